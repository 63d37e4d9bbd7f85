// The reference multimeters' accuracy as their makers state it: per function
// and range, ± (ppm of reading + ppm of range) for a calibration period, the
// step of a reading, and the temperature coefficient outside the reference
// band. Read from the data file shipped with the program (meters.yaml).
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ortav::uncertainty {

enum class Function { DcVoltage, FourWireResistance, DcCurrent };
enum class Period { Hours24, Days90, Year1 };
enum class Distribution { Rectangular, Normal };

// "24h", "90d", "1y" and back; nullopt for any other text.
const char *periodName(Period p);
std::optional<Period> periodFromName(const std::string &name);

// ± (ppmReading · |reading| + ppmRange · range) · 1e-6
struct Accuracy {
    double ppmReading = 0.0;
    double ppmRange = 0.0;
};

struct RangeSpec {
    double range = 0.0;      // nominal full scale, in the function's unit (V, Ω, A)
    double resolution = 0.0; // step of a reading on this range, same unit
    std::array<std::optional<Accuracy>, 3> accuracy; // by Period; empty: not stated
    Accuracy tempco;                                 // per °C outside the reference band
};

struct MeterSpec {
    std::string kind;   // hpe1412, hp3458a, mervd, sulvat, tarnel
    std::string name;   // as an operator knows the instrument
    std::string source; // where the figures come from
    double referenceTemp = 23.0;
    std::array<double, 3> band = {1.0, 5.0, 5.0}; // ± °C around referenceTemp, by Period
    std::map<Function, std::vector<RangeSpec>> functions;
    // A simulated meter errs only by its bench noise, cut at noiseBound
    // deviations: its accuracy is ± noiseBound · noise of reading on any range.
    double noiseBound = 0.0;

    bool stated(Function f) const;
    // The range a reading takes when the meter is asked for `requested`: the
    // smallest one at least as large. nullptr: none is.
    const RangeSpec *rangeFor(Function f, double requested) const;
};

// How far a channel's shunt (the resistor a current is read across) may now
// be from its value in the module's calibration coefficients.
struct ShuntSpec {
    std::string source;
    std::optional<double> tolerancePpm; // ± ppm of the stored value; empty: not stated
    Distribution distribution = Distribution::Rectangular;
    // Relative standard uncertainty: a rectangular tolerance is a limit (t/√3),
    // a normal one an expanded uncertainty at k = 2 (t/2).
    double relativeStandard() const;
};

struct MeterSpecs {
    std::map<std::string, MeterSpec> meters;    // the instruments, by kind
    std::map<std::string, MeterSpec> simulated; // the simulated bench's, by kind
    std::optional<ShuntSpec> shunt, simulatedShunt;
    // nullptr when the file has no entry for the kind.
    const MeterSpec *find(const std::string &kind, bool simulatedBench) const;
    // nullptr when the file says nothing of the shunt.
    const ShuntSpec *findShunt(bool simulatedBench) const;
};

// Parses the file's text. False with "name:line:column: problem" in error.
bool parseMeterSpecs(const std::string &text, const std::string &name, MeterSpecs &out,
                     std::string &error);
// Reads and parses the file; a file that cannot be read is an error too.
bool loadMeterSpecs(const std::string &path, MeterSpecs &out, std::string &error);

} // namespace ortav::uncertainty
