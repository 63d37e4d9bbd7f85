// Resistance and current to codes and back, on nominal and skewed coefficients.
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>

#include "ortav_math.h"

namespace {

constexpr double kOpen = 999999999.0;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Nominal resistors 18.75 * 2^k on both channels, each measured with r0 in series.
CoeffImage nominal(double r0 = 0.0) {
    CoeffImage image{};
    image.signature = ORTAV_COEFF_SIGNATURE;
    for (int c = 0; c < ORTAV_CHANNELS; ++c) {
        for (int k = 0; k < ORTAV_RESISTORS; ++k) {
            image.R[c][k] = 18.75 * std::ldexp(1.0, k) + r0;
        }
        image.r0[c] = r0;
        image.iGain[c] = 409400.0;
        image.iOffset[c] = 0.0;
    }
    return image;
}

struct RCase {
    double ohms;
    ViInt32 code;
};

TEST(RtoN, NominalTable) {
    const CoeffImage image = nominal();
    const RCase cases[] = {
        {10.0, 0x0000F}, {18.75, 0x00001}, {20.0, 0x0001E},
        {50.0, 0x0000C}, {100.0, 0x00018}, {10000.0, 0x1BC00}, // the greedy 0x2BC00 is replaced
        {0.0, 0},        {5e-11, 0},       {-5e-11, 0},
    };
    for (const RCase &c : cases) {
        for (ViInt32 channel : {0, 1}) {
            EXPECT_EQ(ortavMath_RtoN(&image, channel, c.ohms), c.code) << c.ohms;
        }
    }
    EXPECT_NEAR(ortavMath_countR(&image, 0x2BC00, 0), 10031.0, 0.5);
    EXPECT_NEAR(ortavMath_countR(&image, 0x1BC00, 0), 9990.2, 0.05);
}

TEST(RtoN, AboveEveryResistorIsMinusOne) {
    const CoeffImage image = nominal();
    EXPECT_EQ(ortavMath_RtoN(&image, 0, 18.75 * std::ldexp(1.0, 18)), -1);
    EXPECT_EQ(ortavMath_RtoN(&image, 0, 1e12), -1);
    EXPECT_EQ(ortavMath_RtoN(&image, 1, kInf), -1);
}

TEST(CountR, NominalTableAndOpenCircuit) {
    const CoeffImage image = nominal();
    EXPECT_DOUBLE_EQ(ortavMath_countR(&image, 0x0000F, 0), 10.0);
    EXPECT_DOUBLE_EQ(ortavMath_countR(&image, 0x00001, 1), 18.75);
    EXPECT_EQ(ortavMath_countR(&image, 0, 0), kOpen);
    // Bits beyond the 18 resistors connect nothing.
    EXPECT_EQ(ortavMath_countR(&image, static_cast<ViInt32>(0x80000000u), 0), kOpen);
    EXPECT_DOUBLE_EQ(ortavMath_countR(&image, static_cast<ViInt32>(0xFFFC0001u), 0), 18.75);
}

TEST(CountR, SeriesResistanceAndUnfittedResistors) {
    CoeffImage image = nominal(0.5);
    // R includes r0: the branch is R - r0, and r0 adds back in series.
    EXPECT_DOUBLE_EQ(ortavMath_countR(&image, 0x00003, 0), 0.5 + 12.5);
    image.R[1][0] = 0.1; // 0.1 ohm or less: not fitted, ignored
    EXPECT_DOUBLE_EQ(ortavMath_countR(&image, 0x00003, 1), 0.5 + 37.5);
    EXPECT_EQ(ortavMath_countR(&image, 0x00001, 1), kOpen);
    // Channels are independent.
    EXPECT_DOUBLE_EQ(ortavMath_countR(&image, 0x00001, 0), 19.25);
}

// Every code realises a conductance that is a whole number of steps of the
// largest resistor; RtoN of that resistance gives the code back.
TEST(RtoN, RoundTripsEveryCode) {
    for (double r0 : {0.0, 0.35}) {
        const CoeffImage image = nominal(r0);
        for (ViInt32 code = 1; code < (1 << ORTAV_RESISTORS); ++code) {
            const double ohms = ortavMath_countR(&image, code, 0);
            ASSERT_EQ(ortavMath_RtoN(&image, 0, ohms), code) << "r0 " << r0 << " ohms " << ohms;
        }
    }
}

// With nominal resistors every code's conductance is n * g0, g0 = 1 / R17 =
// 1 / 2457600 S. The greedy pass reaches floor(G / g0) steps from below and the
// correction takes the next step up when that overshoots by less than the
// shortfall, so the conductance error is at most g0 / 2. In ohms, for a branch
// target x: |R - x| = x * R * |dG| <= x^2 (g0/2) / (1 - x g0/2), about 20.4
// ohms at 10 kohm and 0.00002 ohms at 10 ohms.
TEST(RtoN, NearestConductanceStepForRandomTargets) {
    const double g0 = 1.0 / (18.75 * std::ldexp(1.0, 17));
    std::mt19937_64 random(20240305);
    std::uniform_real_distribution<double> logOhms(std::log(10.0), std::log(10000.0));
    for (double r0 : {0.0, 0.35}) {
        const CoeffImage image = nominal(r0);
        for (int i = 0; i < 20000; ++i) {
            const double target = std::exp(logOhms(random));
            const ViInt32 code = ortavMath_RtoN(&image, 1, target);
            ASSERT_GT(code, 0);
            ASSERT_LT(code, 1 << ORTAV_RESISTORS);
            const double x = target - r0;
            const double r = ortavMath_countR(&image, code, 1) - r0;
            const double dG = std::fabs(1.0 / r - 1.0 / x);
            ASSERT_LE(dG, g0 / 2 * (1 + 1e-9)) << "target " << target;
            const double bound = x * x * (g0 / 2) / (1 - x * g0 / 2);
            ASSERT_LE(std::fabs(r - x), bound * (1 + 1e-9)) << "target " << target;
        }
    }
}

struct ICase {
    double amperes;
    ViUInt16 code;
};

TEST(ItoN, NominalTableAndOffset) {
    CoeffImage image = nominal();
    const ICase cases[] = {{0.00295, 1208}, {0.0001, 41}, {0.00278, 1138}, {0.0, 0}};
    for (const ICase &c : cases) {
        EXPECT_EQ(ortavMath_ItoN(&image, 0, c.amperes), c.code) << c.amperes;
    }
    image.iGain[1] = 400000.0;
    image.iOffset[1] = -3.0;
    EXPECT_EQ(ortavMath_ItoN(&image, 1, 0.001), 397); // 400 - 3 + 0.5
    EXPECT_EQ(ortavMath_ItoN(&image, 0, 0.001), 409);
    // Outside 0..4095 the low 16 bits pass through: -2.5 truncates to -2.
    EXPECT_EQ(ortavMath_ItoN(&image, 1, 0.0), 0xFFFE);
    EXPECT_EQ(ortavMath_ItoN(&image, 0, 1.0), static_cast<ViUInt16>(409400 & 0xFFFF));
}

// Under the sanitizers these must neither crash nor convert out of range.
TEST(Conversion, UndefinedInputsGiveDefinedResults) {
    CoeffImage image = nominal();
    for (double x : {kNaN, kInf, -kInf, 1e300, -1e300, 3e9, -3e9}) {
        EXPECT_EQ(ortavMath_ItoN(&image, 0, x), 0) << x; // overflow reads INT32_MIN
        (void)ortavMath_RtoN(&image, 0, x);
    }
    EXPECT_EQ(ortavMath_ItoN(&image, 0, 5000.0), static_cast<ViUInt16>(2047000000 & 0xFFFF));
    EXPECT_EQ(ortavMath_RtoN(&image, 0, kNaN), 0x3FFFF); // every "not less than" holds

    image = nominal(0.5);
    image.R[0][3] = kNaN;
    image.R[0][4] = image.r0[0]; // a zero branch
    image.iGain[0] = kNaN;
    EXPECT_EQ(ortavMath_ItoN(&image, 0, 0.001), 0);
    EXPECT_EQ(ortavMath_countR(&image, 0x10, 0), 0.5); // r0 + 1/inf
    EXPECT_EQ(ortavMath_countR(&image, 0x08, 0), kOpen);
    (void)ortavMath_RtoN(&image, 0, 100.0);
}

TEST(Conversion, NullImageOrBadChannelReadsNothing) {
    const CoeffImage image = nominal();
    for (ViInt32 channel : {0, 1}) {
        EXPECT_EQ(ortavMath_countR(nullptr, 0xF, channel), kOpen);
        EXPECT_EQ(ortavMath_RtoN(nullptr, channel, 100.0), 0);
        EXPECT_EQ(ortavMath_ItoN(nullptr, channel, 0.001), 0);
    }
    for (ViInt32 channel : {-1, 2, 1000000}) {
        EXPECT_EQ(ortavMath_countR(&image, 0xF, channel), kOpen);
        EXPECT_EQ(ortavMath_RtoN(&image, channel, 100.0), 0);
        EXPECT_EQ(ortavMath_ItoN(&image, channel, 0.001), 0);
    }
}

} // namespace
