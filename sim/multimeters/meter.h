// The model shared by the five simulated multimeter drivers: sessions on the
// bench's multimeters, function, range, integration time and trigger settings,
// readings of what the leads touch, statuses and their texts.
//
// Each driver library holds one Meter of its kind and maps its own entry points
// and function codes onto it.
#pragma once

#include "bench.h"
#include "visa.h"
#include "visatype.h"

#include <map>
#include <string>

#define DMM_EXPORT extern "C" __attribute__((visibility("default")))

// Statuses of the simulated multimeter drivers beyond the standard VISA ones.
#define DMM_ERROR_OVERLOAD ((ViStatus)0xBFFC0901L)      // reading beyond the range
#define DMM_ERROR_NO_FUNCTION ((ViStatus)0xBFFC0902L)   // the function was not configured
#define DMM_ERROR_NOT_CONNECTED ((ViStatus)0xBFFC0903L) // mezzanine meter not connected
#define DMM_ERROR_STALE ((ViStatus)0xBFFC0904L)         // the bench was replaced
#define DMM_ERROR_NOT_INITIATED ((ViStatus)0xBFFC0905L) // fetch without an initiated reading
#define DMM_ERROR_NO_MEZZANINE ((ViStatus)0xBFFC0906L)  // no mezzanine meter at that position
#define DMM_WARN_RANGE_LIMITED ((ViStatus)0x3FFC0901L)  // range above the largest: largest used

namespace ortav::simdmm {

enum class Function { None, VoltDc, CurrDc, Fres };

// The value an overloaded reading returns, as real meters do.
constexpr double kOverloadReading = 9.9e37;
// Mains period: integration times are counted in power-line cycles.
constexpr double kPowerLineCycle = 0.02;
// How long a reading waits for an answer or a trigger when the driver sets no limit.
constexpr double kDefaultTimeout = 10.0;

struct Settings {
    Function function = Function::None;    // selected (HP, DMM) or configured (ЦMM1, МЦMM)
    double range[3] = {10.0, 0.01, 1.0e8}; // volts, amperes, ohms
    bool autoRange[3] = {true, true, true};
    double nplc[3] = {10.0, 10.0, 10.0};
    int triggerCount = 1;
    double triggerDelay = 0.0;
    int triggerSource = 0; // 0 immediate; anything else waits for a trigger that never comes
    bool initiated = false;
};

struct Session {
    std::string resource;
    int position = 0;        // mezzanine meter: 0 until connected
    bool connected = true;   // false for a mezzanine meter until connect
    uint64_t generation = 0; // bench the session was opened on
    Settings settings;
};

class Meter {
public:
    // kind, the first session handle given out, the function a reset selects.
    Meter(ortav::sim::MultimeterKind kind, ViSession firstHandle, Function resetFunction);

    ViStatus init(ViConstRsrc resource, ViInt32 idQuery, ViInt32 reset, ViSession *vi);
    ViStatus connect(ViSession vi, ViSession carrier, ViInt32 position);
    ViStatus close(ViSession vi);
    ViStatus reset(ViSession vi);

    ViStatus setRange(ViSession vi, Function f, ViInt32 autoRange, ViReal64 range);
    ViStatus setNplc(ViSession vi, Function f, ViReal64 nplc); // Function::None: all three
    ViStatus select(ViSession vi, Function f);                 // the function of the next readings
    ViStatus configure(ViSession vi, Function f);              // the same, for the maker's meters
    ViStatus reconfigure(ViSession vi);                        // the configured function once more
    ViStatus triggerCount(ViSession vi, ViInt32 count);
    ViStatus triggerDelay(ViSession vi, ViInt32 autoDelay, ViReal64 delay);
    ViStatus triggerSource(ViSession vi, ViInt32 source);

    // HP E1412 style: initiate, then fetch the triggered readings within timeoutSeconds.
    ViStatus initiate(ViSession vi);
    ViStatus fetch(ViSession vi, double timeoutSeconds, ViReal64 readings[], ViInt32 *count);
    // One reading in function f. needConfigured: f must be the configured function.
    ViStatus measure(ViSession vi, Function f, bool needConfigured, ViReal64 *reading);
    // The triggered readings of the configured function.
    ViStatus read(ViSession vi, ViInt32 *count, ViReal64 readings[]);

    // Text of any status, at most 256 bytes with the NUL.
    static ViStatus errorMessage(ViStatus status, ViChar message[]);

private:
    ViStatus find(ViSession vi, Session *&s);
    // Under the bench's lock: change(settings of the session) -> status.
    template <typename Change> ViStatus withSettings(ViSession vi, Change change);
    ViStatus take(ViSession vi, Function f, int count, double timeout, ViReal64 readings[]);

    ortav::sim::MultimeterKind kind_;
    Function resetFunction_;
    ViSession next_;
    std::map<ViSession, Session> sessions_;
};

// Function codes of the maker's drivers (DMM, ЦMM1, МЦMM): 7 DC current,
// 5 DC voltage, 2 four-wire resistance; None for any other.
Function makerFunction(ViInt32 code);

} // namespace ortav::simdmm
