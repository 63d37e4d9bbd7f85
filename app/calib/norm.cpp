#include "norm.h"

#include <cmath>

namespace ortav::calib {

double permittedDeviation(double r, int hardVersion, double ambientTemp) {
    double dt = 0.0;
    if (ambientTemp > 22.0)
        dt = ambientTemp - 22.0;
    else if (ambientTemp < 18.0)
        dt = 18.0 - ambientTemp;
    // The part of the norm that grows with the end of the range the value lies in.
    const auto base = [dt](double rangeEnd) { return rangeEnd * (0.00001 * dt + 0.0001); };

    if (r <= 100.0)
        return 0.0005 * r + 100.0 * (0.0001 * dt + 0.0005);
    if (r <= 400.0)
        return 0.0006 * r + base(400.0);
    if (r <= 600.0)
        return 0.0006 * r + base(600.0);
    if (r <= 1000.0)
        return 0.0006 * r + base(1000.0);
    if (hardVersion != 2)
        return 0.004 * r + base(10000.0);
    if (r <= 1500.0)
        return 0.0006 * r + base(1500.0);
    return 0.0006 * r + base(2000.0);
}

bool resistanceFailed(double diff, double permitted) {
    // NaN compares false everywhere: a reading that is not a number fails.
    return !(std::fabs(diff) <= permitted);
}

bool currentFailed(double diffMilliamps) {
    return !(std::fabs(diffMilliamps) <= kCurrentNormMilliamps);
}

} // namespace ortav::calib
