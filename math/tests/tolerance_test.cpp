// Absolute and percent tolerance checks, with the protocol texts byte for byte.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

#include "ortav_math.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Proc {
    ViInt32 result;
    std::string tolerance;
    std::string deviation;
};

Proc proc(double base, double reference, double value, double tolerance) {
    // Filled beyond the field so a missing NUL would show.
    ViChar tol[32], dev[32];
    std::fill(std::begin(tol), std::end(tol), '#');
    std::fill(std::begin(dev), std::end(dev), '#');
    Proc p;
    p.result = ortavMath_povCheckValueProc(base, reference, value, tolerance, tol, dev);
    EXPECT_EQ(tol[15 + 1], '#') << "tolerance text overran 16 bytes";
    EXPECT_EQ(dev[15 + 1], '#') << "deviation text overran 16 bytes";
    p.tolerance = tol;
    p.deviation = dev;
    return p;
}

struct ProcCase {
    double base, reference, value, tolerance;
    ViInt32 result;
    const char *toleranceText;
    const char *deviationText;
};

void expectCases(std::initializer_list<ProcCase> cases) {
    for (const ProcCase &c : cases) {
        const Proc p = proc(c.base, c.reference, c.value, c.tolerance);
        EXPECT_EQ(p.result, c.result) << c.value << " vs " << c.reference << " tol " << c.tolerance;
        if (c.toleranceText != nullptr) {
            EXPECT_EQ(p.tolerance, c.toleranceText) << "tol " << c.tolerance;
        }
        EXPECT_EQ(p.deviation, c.deviationText) << c.value << " vs " << c.reference;
    }
}

TEST(PovCheckValueProc, ReferenceCases) {
    expectCases({
        {100, 50, 52, 5.0, 0, "   5.0", "    2.0"},
        {100, 50, 44, 5.0, 1, "   5.0", "  -6.0"},
        {100, 50, 55.2, 5.0, 1, "   5.0", "    5.2"},
        {100, 50, 49.7, 5.0, 0, "   5.0", "  -0.3"},
        {1000, 0, 0.3, 0.05, 0, " 0.050", "  0.030"},
        {100, 100, 100, 0.5, 0, "  0.50", "   0.00"},
        {100, 0, 250, 5.0, 1, "   5.0", ">100.0"},
        {100, 0, -150, 5.0, 1, "   5.0", "> -100.0"},
        {0, 50, 52, 5.0, 1, "   5.0", ">100.0"},
        {0, 50, 48, 5.0, 1, "   5.0", "> -100.0"},
        {0, 50, 50, 5.0, 1, "   5.0", ">100.0"}, // 0/0
    });
}

// One row per exponent of the tolerance; the deviation is in units of the
// tolerance's second digit.
TEST(PovCheckValueProc, ToleranceTextByExponent) {
    expectCases({
        {100, 0, 0, 0.00012, 0, "0.00012", " 0.00000"},
        {100, 0, 0, 0.0034, 0, "0.0034", " 0.0000"},
        {100, 0, 0, 0.056, 0, " 0.056", "  0.000"},
        {100, 0, 0, 0.78, 0, "  0.78", "   0.00"},
        {100, 0, 0, 9.1, 0, "   9.1", "    0.0"},
        {100, 0, 0, 23.0, 0, "    23", "      0"},
        {100, 0, 0, 0.0000123, 0, "1.2e-05", "0.0e+00"},
        {100, 0, 0, 450.0, 0, "4.5e+02", ">100.0"},
        // The second digit rounds half up: 4.45 -> 4.5, 4.44 -> 4.4.
        {100, 0, 0, 4.45, 0, "   4.5", "    0.0"},
        {100, 0, 0, 4.44, 0, "   4.4", "    0.0"},
        // Rounding up to 10.0 at E = 0 and 1 stays in its field.
        {100, 0, 0, 9.96, 0, "  10.0", "    0.0"},
        {100, 0, 0, 99.7, 0, "   100", "      0"},
    });
}

// Two significant digits of the tolerance rounding up to the next decade are
// printed in that decade: 0.0996 is "0.10", not 0.0100.
TEST(PovCheckValueProc, ToleranceRoundingUpToTheNextDecade) {
    expectCases({
        {100, 0, 0, 0.996, 0, "   1.0", "   0.00"},
        {100, 0, 0, 0.0996, 0, "  0.10", "  0.000"},
        {100, 0, 0, 0.00996, 0, " 0.010", " 0.0000"},
        {100, 0, 0, 0.000996, 0, "0.0010", " 0.00000"},
        // The decision still counts the finer steps: 0.997 > 0.996 rounds to
        // 100 steps of 0.01, equal to T.
        {100, 0, 0.997, 0.996, 0, "   1.0", "    1.0"},
        {100, 0, 1.006, 0.996, 1, "   1.0", "    1.0"},
    });
}

TEST(PovCheckValueProc, DeviationTextByPositionAndSign) {
    expectCases({
        // P = -5 .. -2, both signs (tolerance exponent -4 .. -1).
        {100, 1, 1.00012, 0.0005, 0, "0.00050", " 0.00012"},
        {100, 1, 0.99988, 0.0005, 0, "0.00050", "-0.00012"},
        {100, 1, 1.0012, 0.005, 0, "0.0050", " 0.0012"},
        {100, 1, 0.9988, 0.005, 0, "0.0050", "-0.0012"},
        {100, 1, 1.012, 0.05, 0, " 0.050", "  0.012"},
        {100, 1, 0.988, 0.05, 0, " 0.050", " -0.012"},
        {100, 1, 1.12, 0.5, 0, "  0.50", "   0.12"},
        {100, 1, 0.88, 0.5, 0, "  0.50", "  -0.12"},
        // P = -1 and 0, both signs, with the whole part 0 keeping its minus.
        {100, 10, 17.5, 9.0, 0, "   9.0", "    7.5"},
        {100, 10, 2.5, 9.0, 0, "   9.0", "  -7.5"},
        {100, 10, 9.7, 9.0, 0, "   9.0", "  -0.3"},
        // Less than half a step still shows one step.
        {100, 10, 9.96, 9.0, 0, "   9.0", "  -0.1"},
        {100, 10, 10.04, 9.0, 0, "   9.0", "    0.1"},
        {100, 10, 35, 30.0, 0, "    30", "     25"},
        {100, 10, -15, 30.0, 0, "    30", "   -25"},
        // A two-digit reduction carries into a new position: 99.6 -> 100.
        {100, 0, 99.6, 5.0, 1, "   5.0", ">100.0"},
        {100, 0, 9.96, 5.0, 1, "   5.0", "     10"},
        {100, 0, -9.96, 5.0, 1, "   5.0", "   -10"},
        // P <= -6 prints the deviation itself.
        {100, 1, 1.00000034, 0.000005, 0, "5.0e-06", "3.4e-07"},
        {100, 1, 0.99999966, 0.000005, 0, "5.0e-06", "-3.4e-07"},
    });
}

// Step 4 compares the unreduced N with T; any non-zero deviation counts at
// least one step.
TEST(PovCheckValueProc, DecisionAtTheLimit) {
    expectCases({
        {100, 50, 55.0, 5.0, 0, "   5.0", "    5.0"},
        {100, 50, 55.04, 5.0, 0, "   5.0", "    5.0"},
        {100, 50, 55.06, 5.0, 1, "   5.0", "    5.1"},
        {100, 50, 44.96, 5.0, 0, "   5.0", "  -5.0"}, // 50.4 steps count as 50
        {1000, 0, 0.00001, 0.0, 1, "   0.0", "    0.1"},
        {1000, 5, 5, 0.0, 0, "   0.0", "    0.0"},
    });
}

TEST(PovCheckValueProc, UndefinedInputsGiveDefinedTexts) {
    expectCases({
        {100, 0, kInf, 5.0, 1, "   5.0", ">100.0"},
        {100, 0, -kInf, 5.0, 1, "   5.0", "> -100.0"},
        {100, 0, kNaN, 5.0, 1, "   5.0", ">100.0"},
        {kNaN, 0, 1, 5.0, 1, "   5.0", ">100.0"},
        {1e-300, 0, 1e300, 5.0, 1, "   5.0", ">100.0"},
        {100, 0, 1, 1e-320, 1, "1.0e-320", ">100.0"},
        {100, 0, 1, 1e300, 0, "1.0e+300", ">100.0"},
        {100, 0, 1, -5.0, 1, "-5.0e+00", "    1.0"},
        {100, 0, 0, -5.0, 1, "-5.0e+00", "    0.0"},
        {100, 0, 1, kNaN, 1, "nan", "    1.0"},
        {100, 0, 1, kInf, 0, "inf", "    1.0"},
        {100, 0, 1, -kInf, 1, "-inf", "    1.0"},
        {100, 0, 0, -0.0, 0, "   0.0", "    0.0"},
    });
}

TEST(PovCheckValueProc, NullTextsAreComputedAndDiscarded) {
    EXPECT_EQ(ortavMath_povCheckValueProc(100, 50, 44, 5.0, nullptr, nullptr), 1);
    ViChar dev[16];
    EXPECT_EQ(ortavMath_povCheckValueProc(100, 50, 52, 5.0, nullptr, dev), 0);
    EXPECT_STREQ(dev, "    2.0");
}

// A program that selected a locale with a decimal comma (Qt does at start-up)
// still gets decimal points and the same rounding.
TEST(ToleranceChecks, IndependentOfTheNumericLocale) {
    const char *locale = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
    if (locale == nullptr) {
        locale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
    if (locale == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    const Proc p = proc(100, 1, 1.00000034, 0.000005);
    double deviation = 0;
    const ViInt32 abs = ortavMath_povCheckValueAbs(1.0, 1.1, 0.1, &deviation);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(p.tolerance, "5.0e-06");
    EXPECT_EQ(p.deviation, "3.4e-07");
    EXPECT_EQ(abs, 0);
    EXPECT_NEAR(deviation, 0.1, 1e-12);
}

struct AbsCase {
    double value, reference, tolerance;
    ViInt32 result;
    double deviation;
};

TEST(PovCheckValueAbs, Cases) {
    const AbsCase cases[] = {
        {1.0, 1.1, 0.1, 0, 0.1},
        {1.0, 1.2, 0.1, 1, 0.2},
        {1.2, 1.0, 0.1, 1, 0.2},
        // Rounded to 7 significant digits before subtracting.
        {1.0000004, 1.0, 0.0, 0, 0.0},
        {1.0000006, 1.0, 0.0, 1, 1e-6},
        // A deviation above the tolerance by less than 1e-9 of it passes.
        {100.0, 0.0, 99.99999995, 0, 100.0},
        {100.0, 0.0, 99.9999, 1, 100.0},
        {kNaN, 1.0, 0.1, 0, kNaN},
        {kInf, 1.0, 0.1, 1, kInf},
        {kInf, kInf, 0.1, 0, kNaN},
        {1.0, 1.0, kNaN, 0, 0.0},
    };
    for (const AbsCase &c : cases) {
        double deviation = -1;
        EXPECT_EQ(ortavMath_povCheckValueAbs(c.value, c.reference, c.tolerance, &deviation),
                  c.result)
            << c.value << " vs " << c.reference;
        if (std::isnan(c.deviation)) {
            EXPECT_TRUE(std::isnan(deviation));
        } else if (std::isinf(c.deviation)) {
            EXPECT_EQ(deviation, c.deviation);
        } else {
            EXPECT_NEAR(deviation, c.deviation, 1e-12) << c.value << " vs " << c.reference;
        }
        EXPECT_EQ(ortavMath_povCheckValueAbs(c.value, c.reference, c.tolerance, nullptr), c.result);
    }
}

} // namespace
