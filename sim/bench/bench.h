// The simulated bench: one model of the hardware on the operator's bench (VISA
// resources, mezzanine carriers, ORTAV modules at register level, multimeters),
// shared by the simulated carrier, VISA and multimeter libraries of one process.
//
// The bench is described by a YAML file (see sim/benches/example.yaml). It is
// loaded on first use from the file named by ORTAV_BENCH, else from the default
// bench built into this library. Simulated time is ortav::clock::now().
//
// Threading: the model is not internally synchronised; every library entry point
// that touches it holds ortav::sim::benchMutex() for the whole call.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ortav::sim {

// ---------------------------------------------------------------------------
// Constants of the hardware.

namespace reg {
constexpr uint32_t Id = 0x02;
constexpr uint32_t Ctrl = 0x04;
constexpr uint32_t Sda = 0x06;
constexpr uint32_t Scl = 0x08;
constexpr uint32_t Chan = 0x0A;
constexpr uint32_t Dac = 0x0C;
constexpr uint32_t CodeLo = 0x0E;
constexpr uint32_t CodeHi = 0x10;
constexpr uint32_t Wp = 0x12;
constexpr uint32_t Version = 0x18;
// The module decodes a 64-byte window of 16-bit registers (even offsets 0x00..0x3E).
constexpr uint32_t WindowSize = 0x40;
} // namespace reg

constexpr uint16_t kOrtavModel = 15;          // low byte of the identification register
constexpr uint16_t kMezzanineMultimeter = 32; // type code of the mezzanine multimeter
constexpr int kResistors = 18;
constexpr int kChannels = 2;
constexpr int kPositions = 4;

constexpr double kCodeSettle = 0.005;       // relays of a new resistor code
constexpr double kDacSettle = 0.001;        // current after a DAC write
constexpr double kPowerSettle = 0.001;      // current source after power-on
constexpr double kEepromWriteCycle = 0.005; // internal write of one EEPROM page
constexpr double kOpenOhms = 1e12;          // an output with nothing conducting
constexpr double kCompliance = 12.0;        // volts the current source can drive

constexpr int kEepromSize = 4096; // bytes (two address bytes; higher address bits ignored)
constexpr int kEepromPage = 32;
constexpr uint32_t kCoeffSignature = 0x00766528;

// Nominal resistor k of a hardware version (version 2 has other top four values).
double nominalResistor(int hwVersion, int k);

// ---------------------------------------------------------------------------
// Bench errors.

// A malformed bench description. what() is "file:line:column: problem"
// (line and column 1-based; 0 when the problem has no place in the file).
class BenchError : public std::runtime_error {
public:
    BenchError(std::string file, int line, int column, std::string problem);
    const std::string &file() const { return file_; }
    int line() const { return line_; }
    int column() const { return column_; }
    const std::string &problem() const { return problem_; }

private:
    std::string file_;
    int line_;
    int column_;
    std::string problem_;
};

// ---------------------------------------------------------------------------
// VISA resources.

enum class ResourceKind { Vxi, Gpib, Usb, Tcpip };

struct ResourceFaults {
    // Another program holds the resource locked for this many seconds after the
    // bench is loaded (clock time); negative: for ever; 0: not locked.
    double lockedFor = 0.0;
    bool silent = false;    // opens, but never answers a query (reads time out)
    bool openFails = false; // cannot be opened at all
};

struct Resource {
    std::string name; // resource string as VISA lists it, e.g. "VXI0::3::INSTR"
    ResourceKind kind = ResourceKind::Vxi;
    int board = 0; // interface board number (the 0 of VXI0, GPIB0, USB0, TCPIP0)
    // VXI
    int slot = 0;
    uint16_t manufacturer = 0; // VXI or USB manufacturer identifier
    uint16_t modelCode = 0;    // VXI or USB model code
    int mainframeLA = 0;
    int la = 0; // VXI logical address
    // GPIB
    int gpibPrimary = 0;
    int gpibSecondary = -1; // -1: none
    // TCPIP
    std::string tcpipAddress; // dotted address, e.g. "192.168.0.17"
    // USB
    std::string usbSerial;
    // Reply to "*IDN?" without the line end; empty: the device does not answer it.
    std::string idn;
    ResourceFaults faults;

    // True while another program holds the resource locked (faults.lockedFor).
    bool lockedByOther() const;
    // Seconds until that lock is released (0 when free, +inf when for ever).
    double lockRemaining() const;

    double loadedAt = 0.0; // clock time of the bench load (time base of lockedFor)
};

// ---------------------------------------------------------------------------
// The ORTAV module.

struct ChannelPhysics {
    std::array<double, kResistors> resistor{}; // real branch resistance of resistor k, ohms
    double series = 0.5;                       // series resistance, ohms
    double gain = 409400.0;                    // DAC codes per ampere
    double offset = 0.0;                       // DAC codes
};

struct StuckBits {
    uint32_t offset = 0;
    uint16_t mask = 0;
    int level = 0; // 0 or 1
};

struct AccessFault {
    uint32_t offset = 0;
    bool onRead = true;
    bool onWrite = true;
};

struct ModuleFaults {
    std::vector<StuckBits> stuck;
    std::optional<uint16_t> id;      // whole identification register instead of the real one
    std::vector<AccessFault> access; // register accesses that fail at the carrier
    bool busy = false;               // busy bits (0x0030 of the control register) stay set
    std::array<uint32_t, kChannels> openResistors{}; // bit k: resistor k never conducts
    std::array<bool, kChannels> deadSource{};        // the channel's current source gives nothing
    bool eepromWpIgnored = false;                    // EEPROM writes even when protected
};

enum class EepromPresence { Present, Absent }; // Absent: never acknowledges

struct ModuleConfig {
    int hwVersion = 1;
    uint8_t idHigh = 0;
    std::array<ChannelPhysics, kChannels> channel{};
    EepromPresence eeprom = EepromPresence::Present;
    std::vector<uint8_t> eepromBytes; // kEepromSize bytes at power-up
    ModuleFaults faults;
};

// What a test (or a multimeter) can see of one channel.
struct ChannelState {
    uint32_t code = 0;      // resistor code applied to the relays (18 bits)
    uint16_t dac = 0;       // DAC code of the channel
    bool powered = false;   // current source power bit
    bool selected = false;  // select bit
    bool outputBit = false; // output bit of the channel register
    bool connected = false; // output relay closed (state bit)
    bool settled = false;   // relays, DAC and power all past their settle times
};

// Result of one register access.
enum class Access {
    Ok,
    Failed,   // a fault made the access fail (the carrier reports a bus error)
    BadOffset // odd offset or outside the module's window
};

class OrtavModule {
public:
    explicit OrtavModule(ModuleConfig config);
    ~OrtavModule();
    OrtavModule(const OrtavModule &) = delete;
    OrtavModule &operator=(const OrtavModule &) = delete;

    // 16-bit register access by byte offset, as the carrier performs it.
    Access read(uint32_t offset, uint16_t &value);
    Access write(uint32_t offset, uint16_t value);

    // The carrier's reset line of this position: the module's power-up state
    // (the EEPROM keeps its contents, its bus logic is reset).
    void reset();
    // The carrier's trigger: channels armed with the on-trigger command connect.
    void trigger();

    const ModuleConfig &config() const;
    ModuleConfig &config(); // tests may change physics and faults on a live module

    // Inspection (no side effects on the bus; time-dependent values use the clock).
    ChannelState channel(int ch) const;            // ch 1 or 2
    uint16_t registerLatch(uint32_t offset) const; // raw latched value written last
    bool testMode() const;
    bool writeProtected() const; // REG_WP bit 0
    bool eepromBusy() const;     // inside an internal write cycle
    bool armed() const;          // some channel waits for the trigger
    double armedSince() const;   // clock time it was armed; negative when not armed

    // Physics of a channel as the outside world sees it at its terminals.
    double
    outputResistance(int ch) const;     // r0 + parallel of conducting resistors; kOpenOhms if none
    double sourceCurrent(int ch) const; // amperes the source drives (0 unpowered, dead, open)
    double outputVoltage(int ch) const; // volts across the output
    bool outputConnected(int ch) const; // output relay closed

    // EEPROM contents (kEepromSize bytes) and direct access for tests.
    const std::vector<uint8_t> &eeprom() const;
    std::vector<uint8_t> &eeprom();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Valid 344-byte calibration image for physics (R[c][k] = branch + series,
// r0, gain, offset); deviation: relative spread of the stored R values, seeded.
std::vector<uint8_t> coeffImage(const ModuleConfig &config, double deviation = 0.0,
                                uint32_t seed = 1);

// ---------------------------------------------------------------------------
// Carriers.

struct Position {
    uint16_t type = 0;                   // 0: empty; 15: ORTAV; any other mezzanine type code
    std::unique_ptr<OrtavModule> module; // for type 15
    bool present() const { return type != 0; }
};

struct Carrier {
    std::string resource; // name of its VISA resource
    std::array<Position, kPositions> positions;
    // Seconds after a module arms its on-trigger outputs until the carrier fires
    // its trigger by itself; negative: only fireTrigger() does.
    double autoTrigger = -1.0;

    Position &position(int p) { return positions.at(p - 1); } // p = 1..4
    OrtavModule *module(int p);                               // null unless an ORTAV sits there
    void fireTrigger();
    // Fires the trigger if autoTrigger has run out for an armed module; the carrier
    // library calls it before every access.
    void poll();
};

// ---------------------------------------------------------------------------
// Multimeters.

enum class MultimeterKind { Hpe1412, Hp3458a, Mervd, Sulvat, Tarnel };

struct Leads {
    enum class Mode {
        SwitchedOn, // the ORTAV channel whose output is connected (the first one found)
        Channel,    // one given channel
        Open,       // nothing
        Fixed       // a fixed resistance (and voltage), for tests
    };
    Mode mode = Mode::SwitchedOn;
    std::string carrier;           // Channel: carrier resource
    int position = 0;              // Channel: 1..4
    int channel = 0;               // Channel: 1..2
    double resistance = kOpenOhms; // Fixed
    double voltage = 0.0;          // Fixed
};

struct Multimeter {
    MultimeterKind kind = MultimeterKind::Hpe1412;
    std::string resource; // where it lives (the carrier's resource for tarnel)
    int position = 0;     // tarnel: mezzanine position on that carrier
    Leads leads;
    double noise = 0.0;   // relative standard deviation of readings
    bool instant = false; // readings take no time (no integration, no trigger delay)
};

// What a multimeter's leads touch at this moment.
struct LeadView {
    bool connected = false; // something is there (else resistance is kOpenOhms)
    double resistance = kOpenOhms;
    double voltage = 0.0;
    double current = 0.0; // current a four-wire current measurement would see
};

enum class Quantity { Voltage, Current, Resistance };

// ---------------------------------------------------------------------------
// The bench.

class Bench {
public:
    std::string name;
    std::string origin; // file name, "<default bench>" or the name given to loadString
    std::vector<Resource> resources;
    std::vector<Carrier> carriers;
    std::vector<Multimeter> multimeters;

    // Look-ups by resource string, compared without regard to case. Entries
    // added through addResource / addCarrier are found through an index, so
    // that a bench of many thousands of resources loads in linear time.
    Resource *findResource(std::string_view name);
    Carrier *findCarrier(std::string_view resource);
    Multimeter *findMultimeter(MultimeterKind kind, std::string_view resource, int position = 0);
    Resource &addResource(Resource r);
    Carrier &addCarrier(Carrier c);

    // What the leads of a multimeter see now, and one reading with its noise.
    LeadView leads(const Multimeter &m);
    double read(const Multimeter &m, Quantity q);

private:
    // Lower-case name -> position in the vector.
    std::unordered_map<std::string, size_t> resourceIndex_;
    std::unordered_map<std::string, size_t> carrierIndex_;
    // Where the last look-up found its entry (checked by name before use).
    size_t lastResource_ = 0;
    size_t lastCarrier_ = 0;
};

// The process's bench, loaded on first use. If the bench file named by
// ORTAV_BENCH is malformed, this is an empty bench and loadError() says why.
Bench &bench();
std::recursive_mutex &benchMutex();

// Replace the bench; on error the bench stays as it was and BenchError is thrown.
void loadFile(const std::string &path);
void loadString(std::string_view yaml, std::string_view origin = "<string>");
void loadDefault();
std::string_view defaultBenchYaml();

// The error of the first load (from ORTAV_BENCH), if any; cleared by a good load.
std::optional<std::string> loadError();

// Incremented at every load; sessions opened on an older bench are stale.
uint64_t generation();

} // namespace ortav::sim

// C entry points for programs that only look the bench up by name (dlsym).
extern "C" {
// 0 when the bench loaded; -1 and the message ("file:line:column: problem") otherwise.
int ortavBench_check(char *message, int size);
// The bench's name, cut to size-1 bytes and NUL-terminated.
void ortavBench_name(char *name, int size);
// Loads another bench file (a command-line option); 0, or -1 and the message.
int ortavBench_load(const char *path, char *message, int size);
// The noise (relative standard deviation) of the bench's multimeter of that kind
// ("hpe1412" ... "tarnel") at that resource (and position, tarnel; 0: any):
// 0, or -1 when the bench has none there. What its readings' uncertainty rests on.
int ortavBench_multimeterNoise(const char *kind, const char *resource, int position, double *noise);
// The real value of resistor 1..18 of channel 1 or 2 of the module at that
// carrier resource and position, as a calibration measures it (the resistor
// with the series resistance): 0, or -1 when the bench has no module there.
// What the value the module stores for it is to be compared with.
int ortavBench_moduleResistance(const char *carrier, int position, int channel, int resistor,
                                double *ohms);
}
