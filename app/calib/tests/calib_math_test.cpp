// The series-resistance search and the current DAC line.
#include "calib_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace ortav::calib;

// What a pair reads through a channel with series resistance r0, when the
// table holds each resistor as measured through the channel.
double pairReading(double r0, double r1, double r2) {
    return r0 + (r1 - r0) * (r2 - r0) / (r1 + r2 - 2 * r0);
}

TEST(SeriesEstimate, FindsTheSeriesResistanceOfAPair) {
    for (double r0 : {0.0, 0.05, 0.412, 0.5, 1.3}) {
        for (auto [n1, n2] : {std::pair{18.75, 37.5}, {37.5, 75.0}, {75.0, 150.0}}) {
            const double r1 = n1 * 1.003 + r0, r2 = n2 * 0.998 + r0;
            EXPECT_NEAR(seriesEstimate(pairReading(r0, r1, r2), r1, r2), r0, 0.0011)
                << r0 << " " << n1;
        }
    }
}

TEST(SeriesEstimate, NeverBelowZeroAndAlwaysEnds) {
    // The deviation grows at once when the reading is the plain parallel value or less.
    EXPECT_EQ(seriesEstimate(parallel(18.75, 37.5), 18.75, 37.5), 0.0);
    EXPECT_EQ(seriesEstimate(5.0, 18.75, 37.5), 0.0);
    EXPECT_EQ(seriesEstimate(std::nan(""), 18.75, 37.5), 0.0);
    EXPECT_EQ(seriesEstimate(1.0, std::nan(""), 37.5), 0.0);
    // Values typed far off: the walk is bounded.
    EXPECT_LE(seriesEstimate(1e7, 1e7, 1e7), kSeriesLimit);
    EXPECT_LE(seriesEstimate(1e300, 1e300, 1e300), kSeriesLimit);
}

TEST(DacLine, ThroughBothCalibrationPoints) {
    // Nominal currents at the codes 1208 and 41.
    const DacLine l = dacLine(0.00295, 1208, 0.0001, 41);
    EXPECT_NEAR(l.gain, 409473.68, 0.01);
    EXPECT_NEAR(l.offset, 0.0526, 0.0001);
    EXPECT_NEAR(currentAtCode(1208, l.gain, l.offset), 0.00295, 1e-15);
    EXPECT_NEAR(currentAtCode(41, l.gain, l.offset), 0.0001, 1e-15);
    // The module's own line comes back from currents measured on it.
    const double gain = 410312.0, offset = 1.7;
    const DacLine back =
        dacLine(currentAtCode(1208, gain, offset), 1208, currentAtCode(41, gain, offset), 41);
    EXPECT_NEAR(back.gain, gain, 1e-6);
    EXPECT_NEAR(back.offset, offset, 1e-9);
    EXPECT_FALSE(std::isfinite(dacLine(0.001, 1208, 0.001, 41).gain));
}

} // namespace
