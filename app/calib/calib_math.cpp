#include "calib_math.h"

#include <cmath>

namespace ortav::calib {

double seriesEstimate(double measured, double r1, double r2) {
    const auto deviation = [&](double x) {
        return measured - (x + (r1 - x) * (r2 - x) / (r1 + r2 - 2 * x));
    };
    double x = 0.0;
    double prev = 1e10;
    // A deviation that is not a number never shrinks: the search stops at once.
    // Bound the walk so that no typed value can keep it going: a series
    // resistance is below the smaller resistor of the pair, and far below a
    // kilohm on any module.
    const double limit = std::fmin(kSeriesLimit, std::fmin(r1, r2));
    for (;;) {
        const double d = deviation(x);
        if (!(std::fabs(prev) >= std::fabs(d)) || !(x <= limit))
            break;
        prev = d;
        x += kSeriesStep;
    }
    const double estimate = x - kSeriesStep;
    return estimate < 0.0 ? 0.0 : estimate;
}

DacLine dacLine(double i1, unsigned code1, double i2, unsigned code2) {
    const double gain = (static_cast<double>(code1) - static_cast<double>(code2)) / (i1 - i2);
    return {gain, static_cast<double>(code2) - gain * i2};
}

double currentAtCode(unsigned code, double gain, double offset) {
    return (static_cast<double>(code) - offset) / gain;
}

double parallel(double a, double b) {
    return 1.0 / (1.0 / a + 1.0 / b);
}

} // namespace ortav::calib
