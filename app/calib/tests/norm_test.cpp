// The permitted deviation and the judging rules, as tables of cases.
#include "norm.h"
#include "points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace ortav::calib;

struct NormCase {
    double r;
    int version;
    double temp;
    double expected;
};

TEST(PermittedDeviation, RangesVersionsAndTemperature) {
    const NormCase cases[] = {
        // 20 degrees: no temperature excess.
        {100, 2, 20, 0.1}, // 0.05 + 0.05
        {100, 1, 20, 0.1}, // the low range is the same for every version
        {10.1, 2, 20, 0.05505},
        {100.1, 2, 20, 0.06006 + 0.04}, // 100 < R <= 400: range end 400
        {400, 2, 20, 0.24 + 0.04},
        {400.1, 2, 20, 0.24006 + 0.06}, // range end 600
        {600, 1, 20, 0.36 + 0.06},
        {1000, 2, 20, 0.7},
        {1000, 1, 20, 0.7},
        {1000.5, 2, 20, 0.6003 + 0.15}, // version 2: range end 1500
        {1500, 2, 20, 0.9 + 0.15},
        {1500.5, 2, 20, 0.9003 + 0.2}, // version 2: range end 2000
        {2000, 2, 20, 1.4},
        {2000, 1, 20, 9.0}, // other versions: 0.4 % + 10 kOhm range
        {2000, 0, 20, 9.0},
        {1000.5, 1, 20, 4.002 + 1.0},
        {2000, 7, 20, 9.0}, // an unknown version judges as a non-2 one
        // Temperature excess beyond 18..22 degrees.
        {1000, 2, 25, 0.73}, // dt 3: + 0.00003 per ohm of range end
        {100, 2, 25, 0.13},  // dt 3 at or below 100 ohms: + 0.03
        {100, 2, 15, 0.13},  // below 18 as well
        {1000, 2, 18, 0.7},  // the edges of the band count as 20
        {1000, 2, 22, 0.7},
        {2000, 1, 30, 8.0 + 10000 * (0.00008 + 0.0001)},
    };
    for (const NormCase &c : cases)
        EXPECT_NEAR(permittedDeviation(c.r, c.version, c.temp), c.expected, 1e-9)
            << "R " << c.r << " version " << c.version << " at " << c.temp;
}

TEST(Judging, EqualityPassesAndNonNumbersFail) {
    struct Case {
        double diff, permitted;
        bool failed;
    };
    const Case r[] = {
        {0.1, 0.1, false},
        {-0.1, 0.1, false},
        {0.1000001, 0.1, true},
        {-0.2, 0.1, true},
        {0.0, 0.0, false},
        {std::nan(""), 0.1, true},
        {std::numeric_limits<double>::infinity(), 1.0, true},
    };
    for (const Case &c : r)
        EXPECT_EQ(resistanceFailed(c.diff, c.permitted), c.failed) << c.diff << " " << c.permitted;

    EXPECT_FALSE(currentFailed(0.01));
    EXPECT_FALSE(currentFailed(-0.01));
    EXPECT_TRUE(currentFailed(0.0100001));
    EXPECT_TRUE(currentFailed(std::nan("")));
    // A typed 1.2 V over a 1200 ohm shunt is 1.0 mA.
    EXPECT_FALSE(currentFailed(1000.0 * 1.2 / 1200.0 - 1.0));
}

TEST(Points, ListsPerHardVersion) {
    EXPECT_EQ(resistancePoints(0).size(), 33u);
    EXPECT_EQ(resistancePoints(1).size(), 5u);
    EXPECT_EQ(resistancePoints(2).size(), 43u);
    EXPECT_EQ(resistancePoints(0).front(), 10.1);
    EXPECT_EQ(resistancePoints(0).back(), 1000.0);
    EXPECT_EQ(resistancePoints(1).front(), 95.1);
    EXPECT_EQ(resistancePoints(1).back(), 120.0);
    // Version 2 is list 0 followed by ten points up to 2 kOhm.
    const auto l0 = resistancePoints(0), l2 = resistancePoints(2);
    for (std::size_t i = 0; i < l0.size(); ++i)
        EXPECT_EQ(l2[i], l0[i]);
    const double tail[] = {1100, 1200, 1300, 1498.5, 1500, 1600, 1700, 1800, 1998, 2000};
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(l2[33 + i], tail[i]);
    for (int v : {-1, 3, 100})
        EXPECT_FALSE(hasPointList(v)) << v;
    const auto currents = currentPoints();
    ASSERT_EQ(currents.size(), 4u);
    EXPECT_EQ(currents[0], 2.78);
    EXPECT_EQ(currents[3], 0.1);
}

} // namespace
