// Reference multimeters: the five multimeter drivers bound by name, opening and
// configuring the chosen one, readings and range selection.
//
// Every driver call whose status matters goes through siCheck, which writes the
// call's name and the driver's text to the main panel's status line. At most one
// multimeter is normally open; where several are, each operation scans the
// sessions in its own fixed order and uses the first open one.
#pragma once

#include "carrik.h"
#include "visatype.h"

#include <string>
#include <vector>

struct InstrumentEntry;

// Model codes: they select the driver library and filter the instrument list.
enum {
    hpe1412_MODEL_CODE = 579,
    hp3458a_MODEL_CODE = 3458,
    mervd_MODEL_CODE = 324,
    sulvat_MODEL_CODE = 356,
    tarnel_MODEL_CODE = 32,
    carrik_MODEL_CODE = 269,
};

// Function codes, per driver family.
enum {
    hpe1412_FUNC_CURR_DC = 7,
    hpe1412_FUNC_VOLT_DC = 5,
    hpe1412_CONF_FRES = 2,
    hp3458a_CONF_CURR_DC = 6,
    hp3458a_CONF_VOLT_DC = 1,
    hp3458a_CONF_FRES = 5,
    mervd_CONF_CURR_DC = 7,
    mervd_CONF_VOLT_DC = 5,
    mervd_CONF_FRES = 2,
    TARNEL_CONF_CURR_DC = 7,
    TARNEL_CONF_VOLT_DC = 5,
    TARNEL_CONF_FRES = 2,
};

// LED on-colours: a multimeter session open, or none.
enum { SI_LED_OPEN = 0x00FF00, SI_LED_NONE = 0xFFFF00 };

// Call forms of the drivers' entry points. Every integer passes as 32 bits.
typedef ViStatus (*SiInitFn)(ViConstRsrc resource, ViInt32 idQuery, ViInt32 reset, ViSession *vi);
typedef ViStatus (*SiSessionFn)(ViSession vi);
typedef ViStatus (*SiErrorMessageFn)(ViSession vi, ViStatus status, ViChar message[]);
typedef ViStatus (*SiRealFn)(ViSession vi, ViReal64 value);
typedef ViStatus (*SiIntFn)(ViSession vi, ViInt32 value);
typedef ViStatus (*SiIntRealFn)(ViSession vi, ViInt32 flag, ViReal64 value);
typedef ViStatus (*SiIntIntFn)(ViSession vi, ViInt32 a, ViInt32 b);
typedef ViStatus (*SiMeasureFn)(ViSession vi, ViInt32 function, ViReal64 *reading);
typedef ViStatus (*SiFetchFn)(ViSession vi, ViInt32 timeoutMs, ViReal64 readings[], ViInt32 *count);
typedef ViStatus (*SiReadFn)(ViSession vi, ViInt32 *count, ViReal64 readings[]);
typedef ViStatus (*SiConnectFn)(ViSession vi, ViSession carrier, ViInt32 position, ViInt32 idQuery,
                                ViInt32 reset);

// HP E1412 ("hpe1412_32.dll").
extern SiInitFn p_hpe1412_init;
extern SiSessionFn p_hpe1412_close;
extern SiSessionFn p_hpe1412_reset;
extern SiErrorMessageFn p_hpe1412_error_message;
extern SiRealFn p_hpe1412_currDcNplc;
extern SiIntRealFn p_hpe1412_currDcRang;
extern SiIntFn p_hpe1412_func;
extern SiSessionFn p_hpe1412_initImm;
extern SiRealFn p_hpe1412_voltDcNplc;
extern SiIntRealFn p_hpe1412_voltDcRang;
extern SiIntRealFn p_hpe1412_resRang;
extern SiFetchFn p_hpe1412_timedFetch_Q;
extern SiIntFn p_hpe1412_trigCoun;

// HP 3458A ("hp3458a.dll").
extern SiInitFn p_hp3458a_init;
extern SiSessionFn p_hp3458a_close;
extern SiSessionFn p_hp3458a_reset;
extern SiErrorMessageFn p_hp3458a_error_message;
extern SiRealFn p_hp3458a_nplc;
extern SiIntRealFn p_hp3458a_currDcRang;
extern SiIntFn p_hp3458a_func;
extern SiIntRealFn p_hp3458a_voltDcRang;
extern SiIntRealFn p_hp3458a_resRang;
extern SiMeasureFn p_hp3458a_measure_Q;
extern SiIntFn p_hp3458a_trigCoun;

// The maker's "DMM" ("mervd.dll").
extern SiInitFn p_mervd_init;
extern SiSessionFn p_mervd_close;
extern SiSessionFn p_mervd_reset;
extern SiErrorMessageFn p_mervd_error_message;
extern SiRealFn p_mervd_voltDcNplc;
extern SiRealFn p_mervd_currDcNplc;
extern SiIntRealFn p_mervd_currDcRang;
extern SiIntFn p_mervd_func;
extern SiIntRealFn p_mervd_voltDcRang;
extern SiIntRealFn p_mervd_fresRang;
extern SiMeasureFn p_mervd_measure_Q;
extern SiIntFn p_mervd_trigCoun;

// The maker's "ЦMM1" ("sulvat.dll").
extern SiInitFn p_sulvat_init;
extern SiSessionFn p_sulvat_close;
extern SiSessionFn p_sulvat_reset;
extern SiErrorMessageFn p_sulvat_error_message;
extern SiMeasureFn p_sulvat_measure_Q;
extern SiIntFn p_sulvat_configure;
extern SiSessionFn p_sulvat_reconfig;
extern SiIntFn p_sulvat_conf_func;
extern SiIntRealFn p_sulvat_currDcRang;
extern SiIntRealFn p_sulvat_voltDcRang;
extern SiIntRealFn p_sulvat_resRang; // export "sulvat_fresRang"
extern SiRealFn p_sulvat_currDcNplc;
extern SiRealFn p_sulvat_voltDcNplc;
extern SiIntFn p_sulvat_trigCoun;
extern SiIntRealFn p_sulvat_trigDel;
extern SiIntIntFn p_sulvat_trigSour;
extern SiReadFn p_sulvat_read_Q;

// The maker's mezzanine multimeter "МЦMM" ("tarnel_32.dll").
extern SiInitFn p_tarnel_init;
extern SiConnectFn p_tarnel_connect;
extern SiSessionFn p_tarnel_close;
extern SiSessionFn p_tarnel_reset;
extern SiErrorMessageFn p_tarnel_error_message;
extern SiMeasureFn p_tarnel_measure_Q;
extern SiIntFn p_tarnel_configure;
extern SiIntFn p_tarnel_conf_func;
extern SiIntRealFn p_tarnel_currDcRang;
extern SiIntRealFn p_tarnel_voltDcRang;
extern SiIntRealFn p_tarnel_resRang; // export "tarnel_fresRang"
extern SiRealFn p_tarnel_currDcNplc;
extern SiRealFn p_tarnel_voltDcNplc;
extern SiIntFn p_tarnel_trigCoun;
extern SiIntRealFn p_tarnel_trigDel;
extern SiIntIntFn p_tarnel_trigSour;

// The carrier of the mezzanine multimeter, bound here on its own: these are not
// the application's carrier pointers of the same names.
namespace si {
extern decltype(&carrik_init) p_carrik_init;
extern decltype(&carrik_close) p_carrik_close;
} // namespace si

// Sessions (0: not open) and the instrument-list entries chosen last.
extern ViSession viHP1412, viHP3458, viDMM, viDMM1, viM_DMM1;
extern ViSession viNM; // carrier session of the mezzanine multimeter
extern InstrumentEntry *hp1412;
extern InstrumentEntry *dmm;

// Status of the last driver call that went through siCheck.
extern ViStatus siStatus;

// Loads the driver library of a model code and binds all its entry points:
// 0 when bound or when the code is none of ours; -1 when the library is missing
// or lacks an entry point (then none of its pointers stays bound).
int loadLibs(int modelCode);
// Why each failing loadLibs failed, in order, since the last clear: the
// loader's text naming the library and the missing file or entry point.
const std::vector<std::string> &loadLibsFailures();
void clearLoadLibsFailures();

// The status check: stores status in siStatus and reports it (siReport).
ViStatus siCheck(ViStatus status, const char *callText);
// Reports a non-zero status: the call text up to its first '(' followed by the
// text of the first open multimeter's driver, on the status line.
void siReport(ViStatus status, const char *callText);

// Opening: 0 opened and configured; 1 nothing chosen or the driver not bound;
// otherwise the failing (negative) or warning (positive) status.
int SelectHP1412();
int SelectHP3458();
int SelectDMM();
int SelectDMM1();
int SelectM_DMM1();
// Tries every kind in turn until one opens; tells the operator when none did.
void selectHP();
int hasMultimeter();
// Function setup of the "ЦMM1" or mezzanine multimeter before a series of readings.
void configMultimeter(ViInt16 function);
void closeMultimeter();

// One reading of the first open multimeter: siStatus, or -1 with none open.
int measureI(double *result);
int measureU(double *result);
int measureR(double *result);
// Range from the expected value: siStatus (unchanged when nothing was called).
int measSetURange(double volts);
int measSetResRange(double ohms);
// The ranges these choose.
double siVoltRange(double volts);
double siResRange(double ohms);
