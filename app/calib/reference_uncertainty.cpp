#include "reference_uncertainty.h"

#include "calib.h"
#include "instruments.h"
#include "si.h"
#include "verification_run.h"
#include "visa_library.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace ortav::calib {

using namespace ortav::uncertainty;

namespace {

struct Loaded {
    std::string path;
    MeterSpecs specs;
    std::string error;
};

Loaded &loaded() {
    static Loaded l;
    return l;
}

Budget unknown(std::string why) {
    Budget b;
    b.unknownWhy = std::move(why);
    return b;
}

// The mezzanine meter's position on its carrier (several may share one).
int meterPosition(const std::string &kind) {
    return kind == "tarnel" && dmm != nullptr ? dmm->Meznum : 0;
}

} // namespace

UncertaintySettings &uncertaintySettings() {
    static UncertaintySettings s;
    return s;
}

std::string meterSpecsPath() {
    if (const char *set = std::getenv("ORTAV_METERS"); set != nullptr && *set != '\0')
        return set;
    // The program does not move: looked up once, not at every point.
    static const std::string beside = [] {
        std::error_code ec;
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        return (exe.parent_path().parent_path() / "share" / "p_ortav" / "meters.yaml").string();
    }();
    return beside;
}

const MeterSpecs &meterSpecs(std::string *error) {
    Loaded &l = loaded();
    const std::string path = meterSpecsPath();
    if (path != l.path) {
        l.path = path;
        l.error.clear();
        if (!loadMeterSpecs(path, l.specs, l.error))
            l.specs = MeterSpecs{};
    }
    if (error != nullptr)
        *error = l.error;
    return l.specs;
}

const MeterSpec *meterSpecInUse() {
    const MultimeterInUse m = multimeterInUse();
    if (m.kind.empty())
        return nullptr;
    return meterSpecs().find(m.kind, ortav::visa::isSimulated());
}

void assessPoint(JudgedPoint &p, bool fromMeter, double reading, double shunt) {
    p.rule = uncertaintySettings().rule;
    const MultimeterInUse meter = multimeterInUse();
    std::string fileError;
    const MeterSpecs &specs = meterSpecs(&fileError);
    const bool simulated = ortav::visa::isSimulated();
    Budget b;
    if (!fromMeter) {
        b = unknown("the value was typed by the operator");
    } else if (meter.kind.empty()) {
        b = unknown("no reference multimeter is open");
    } else if (!fileError.empty()) {
        b = unknown(fileError);
    } else {
        Reading r;
        r.function = p.mode == 1 ? Function::FourWireResistance : Function::DcVoltage;
        r.value = reading;
        // The range the reading was taken on: the resistance decade chosen for
        // the set value; 10 V fixed, but the HP 3458A's voltage ranges itself.
        r.requestedRange = p.mode == 1               ? siResRange(p.set)
                           : meter.kind == "hp3458a" ? std::fabs(reading)
                                                     : siVoltRange(10.0);
        r.period = uncertaintySettings().period;
        r.ambientTemp = ambientTemp;
        std::optional<double> noise = 0.0;
        if (simulated)
            noise = ortav::visa::benchMultimeterNoise(meter.kind, meter.resource,
                                                      meterPosition(meter.kind));
        if (!noise) {
            b = unknown("the bench has no " + meter.kind + " at " + meter.resource);
        } else {
            r.relativeNoise = *noise;
            b = evaluate(specs.find(meter.kind, simulated), r);
            if (!b.known && specs.find(meter.kind, simulated) == nullptr)
                b.unknownWhy = meter.kind + std::string(simulated ? " (simulated)" : "") +
                               ": no entry in " + meterSpecsPath();
            if (p.mode != 1 && b.known) {
                // The current is the voltage over resistor 7's stored value.
                const ShuntSpec *s = specs.findShunt(simulated);
                ShuntSpec onBench;
                if (s != nullptr && simulated) {
                    // The bench knows the real resistor: the stored value is as
                    // far from it as it is, whatever image the bench was given
                    // or the module was calibrated with since.
                    onBench = *s;
                    onBench.tolerancePpm.reset();
                    if (const std::optional<double> real = ortav::visa::benchModuleResistance(
                            moduleResource(), modulePosition(), p.chan, 7);
                        real && *real > 0.0 && std::isfinite(shunt))
                        onBench.tolerancePpm = 1e6 * std::fabs(shunt / *real - 1.0);
                    s = &onBench;
                }
                b = currentThroughShunt(b, reading, shunt, s);
                if (s == nullptr)
                    b.unknownWhy = std::string(simulated ? "simulated " : "") +
                                   "shunt: no entry in " + meterSpecsPath();
            }
        }
    }
    p.uncertainty = b;
    p.tur = b.known ? testUncertaintyRatio(p.permitted, b.expanded) : 0.0;
    p.guarded = decide(Rule::Guarded, p.deviation, p.permitted,
                       b.known ? std::optional<double>(b.expanded) : std::nullopt);
}

} // namespace ortav::calib
