#include "point_uncertainty.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ortav::uncertainty {

namespace {

const char *functionText(Function f) {
    switch (f) {
    case Function::DcVoltage:
        return "DC voltage";
    case Function::DcCurrent:
        return "DC current";
    default:
        return "four-wire resistance";
    }
}

Budget unknown(std::string why) {
    Budget b;
    b.unknownWhy = std::move(why);
    return b;
}

} // namespace

Budget evaluate(const MeterSpec *spec, const Reading &r) {
    if (spec == nullptr)
        return unknown("the multimeter has no entry in meters.yaml");
    if (!spec->stated(r.function))
        return unknown(spec->name + ": no accuracy stated for " + functionText(r.function) +
                       " in meters.yaml");
    const int period = static_cast<int>(r.period);
    const double value = std::fabs(r.value);
    Budget b;
    b.range = r.requestedRange;
    double resolution = 0.0;
    if (spec->functions.count(r.function) != 0) {
        const RangeSpec *range = spec->rangeFor(r.function, r.requestedRange);
        if (range == nullptr)
            return unknown(spec->name + ": no " + functionText(r.function) + " range of " +
                           std::to_string(r.requestedRange) + " in meters.yaml");
        const std::optional<Accuracy> &acc = range->accuracy[period];
        if (!acc)
            return unknown(spec->name + ": no " + periodName(r.period) + " accuracy stated for " +
                           functionText(r.function) + " in meters.yaml");
        b.range = range->range;
        resolution = range->resolution;
        const double outside =
            std::max(0.0, std::fabs(r.ambientTemp - spec->referenceTemp) - spec->band[period]);
        b.accuracyLimit =
            1e-6 * (acc->ppmReading * value + acc->ppmRange * range->range) +
            1e-6 * (range->tempco.ppmReading * value + range->tempco.ppmRange * range->range) *
                outside;
    }
    b.accuracyLimit += spec->noiseBound * r.relativeNoise * value;
    b.known = true;
    b.uAccuracy = b.accuracyLimit / std::sqrt(3.0);
    b.uResolution = resolution / std::sqrt(12.0);
    b.uRepeatability = r.count > 1 ? r.spread / std::sqrt(static_cast<double>(r.count)) : 0.0;
    b.standard = std::sqrt(b.uAccuracy * b.uAccuracy + b.uResolution * b.uResolution +
                           b.uRepeatability * b.uRepeatability);
    b.expanded = kCoverage * b.standard;
    return b;
}

Budget scaled(Budget b, double factor) {
    const double f = std::fabs(factor);
    for (double *v : {&b.range, &b.accuracyLimit, &b.uAccuracy, &b.uResolution, &b.uRepeatability,
                      &b.standard, &b.expanded})
        *v *= f;
    return b;
}

Budget currentThroughShunt(const Budget &volts, double voltage, double shunt,
                           const ShuntSpec *spec) {
    if (!volts.known)
        return volts;
    if (spec == nullptr)
        return unknown("the shunt has no entry in meters.yaml");
    if (!spec->tolerancePpm)
        return unknown("no tolerance stated for the shunt in meters.yaml");
    if (!std::isfinite(shunt) || !(shunt > 0))
        return unknown("the module's coefficients hold no value for the shunt");
    const double toMilliamps = 1000.0 / shunt;
    Budget b = scaled(volts, toMilliamps);
    // I = U / Rs: the shunt's relative uncertainty is the current's.
    b.uShunt = std::fabs(voltage) * toMilliamps * spec->relativeStandard();
    b.standard = std::hypot(b.standard, b.uShunt);
    b.expanded = kCoverage * b.standard;
    return b;
}

double testUncertaintyRatio(double permitted, double expanded) {
    if (expanded <= 0)
        return std::numeric_limits<double>::infinity();
    return permitted / expanded;
}

} // namespace ortav::uncertainty
