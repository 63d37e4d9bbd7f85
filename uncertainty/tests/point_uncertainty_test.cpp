// Uncertainty and TUR of a reading against figures worked out by hand from the
// shipped file.
#include "point_uncertainty.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ortav::uncertainty;

namespace {

const MeterSpecs &shipped() {
    static MeterSpecs specs = [] {
        MeterSpecs s;
        std::string error;
        if (!loadMeterSpecs(ORTAV_METERS_YAML, s, error))
            ADD_FAILURE() << error;
        return s;
    }();
    return specs;
}

Reading reading(Function f, double value, double range, Period p, double ambient) {
    Reading r;
    r.function = f;
    r.value = value;
    r.requestedRange = range;
    r.period = p;
    r.ambientTemp = ambient;
    return r;
}

} // namespace

TEST(PointUncertainty, HandComputedBudgets) {
    struct Case {
        const char *what, *kind;
        bool simulated;
        Reading r;
        double range, limit, standard, expanded;
    } cases[] = {
        // ±(12 ppm · 100.05 + 5 ppm · 100) = 1.7006 mΩ; resolution 10 µΩ.
        {"3458A 100 Ω 1y 20 °C", "hp3458a", false,
         reading(Function::FourWireResistance, 100.05, 100, Period::Year1, 20), 100, 1.7006e-3,
         9.818461114994889e-4, 1.9636922229989777e-3},
        // 30 °C is 2 °C beyond 23 ± 5: + 2 · (3 ppm · 999.5 + 0.1 ppm · 1000).
        {"3458A 1 kΩ 90d 30 °C", "hp3458a", false,
         reading(Function::FourWireResistance, 999.5, 1000, Period::Days90, 30), 1000, 1.4693e-2,
         8.483056622861047e-3, 1.6966113245722093e-2},
        // A value between ranges takes the next larger: 1050 Ω asks for 10 kΩ.
        {"3458A 10 kΩ range", "hp3458a", false,
         reading(Function::FourWireResistance, 1200.0, 1050, Period::Year1, 23), 1e4,
         1e-6 * (10 * 1200.0 + 0.5 * 1e4), 0, 0},
        // ±(35 ppm · 3.336 + 5 ppm · 10) = 166.76 µV; resolution 10 µV.
        {"E1412 10 V 1y", "hpe1412", false,
         reading(Function::DcVoltage, 3.336, 10, Period::Year1, 20), 10, 1.6676e-4,
         9.63221982030449e-05, 1.926443964060898e-4},
        // The 24 h band is 23 ± 1 °C: at 20 °C two degrees beyond it.
        {"E1412 1 kΩ 24h 20 °C", "hpe1412", false,
         reading(Function::FourWireResistance, 1000.2, 1000, Period::Hours24, 20), 1000, 3.90064e-2,
         2.2522205642136087e-2, 4.5044411284272175e-2},
        // A simulated meter: ± 3 · noise of reading, on any range, nothing else.
        {"simulated 1 kΩ", "hpe1412", true,
         [] {
             Reading r = reading(Function::FourWireResistance, 1000, 1000, Period::Year1, 40);
             r.relativeNoise = 2e-6;
             return r;
         }(),
         1000, 6e-3, 3.4641016151377548e-3, 6.9282032302755096e-3},
        {"simulated without noise", "tarnel", true,
         reading(Function::DcVoltage, 3.3, 10, Period::Hours24, 20), 10, 0, 0, 0},
        // Four readings spread 2 mΩ: repeatability 1 mΩ.
        {"3458A repeatability", "hp3458a", false,
         [] {
             Reading r = reading(Function::FourWireResistance, 100, 100, Period::Year1, 23);
             r.count = 4;
             r.spread = 0.002;
             return r;
         }(),
         100, 1.7e-3, 1.4011929441253503e-3, 2.8023858882507005e-3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Budget b = evaluate(shipped().find(c.kind, c.simulated), c.r);
        ASSERT_TRUE(b.known) << b.unknownWhy;
        EXPECT_EQ(b.range, c.range);
        EXPECT_NEAR(b.accuracyLimit, c.limit, 1e-12);
        if (c.standard != 0 || c.limit == 0) {
            EXPECT_NEAR(b.standard, c.standard, 1e-12);
            EXPECT_NEAR(b.expanded, c.expanded, 1e-12);
            EXPECT_DOUBLE_EQ(b.expanded, 2 * b.standard);
        }
    }
}

TEST(PointUncertainty, CurrentFromTheShuntVoltageAndTheShuntsValue) {
    // 2.78 mA through 1200 Ω read as 3.336 V on the E1412's 10 V range: the
    // voltage's u = 96.322 µV carries over as 80.268 nA; the shunt's ± 300 ppm
    // rectangular adds 2.78 mA · 300e-6 / √3 = 481.51 nA in quadrature.
    const Budget v = evaluate(shipped().find("hpe1412", false),
                              reading(Function::DcVoltage, 3.336, 10, Period::Year1, 20));
    ShuntSpec rectangular;
    rectangular.tolerancePpm = 300;
    const Budget mA = currentThroughShunt(v, 3.336, 1200.0, &rectangular);
    ASSERT_TRUE(mA.known);
    EXPECT_NEAR(mA.uAccuracy, v.uAccuracy * 1000.0 / 1200.0, 1e-18);
    EXPECT_NEAR(mA.uShunt, 4.8151012450414787e-4, 1e-15);
    EXPECT_NEAR(mA.standard, 4.88154721222536e-4, 1e-15);
    EXPECT_NEAR(mA.expanded, 9.76309442445072e-4, 1e-15);
    EXPECT_NEAR(testUncertaintyRatio(0.01, mA.expanded), 10.242654188569531, 1e-9);
    // A normal ± 100 ppm is U at k = 2: u = 50 ppm of 2.78 mA = 139 nA. The
    // sign of the voltage does not matter.
    ShuntSpec normal;
    normal.tolerancePpm = 100;
    normal.distribution = Distribution::Normal;
    const Budget n = currentThroughShunt(v, -3.336, 1200.0, &normal);
    EXPECT_NEAR(n.uShunt, 1.39e-4, 1e-15);
    EXPECT_NEAR(n.expanded, 3.21023562075134e-4, 1e-15);
    // The shipped file's simulated shunt states no figure: the bench gives it
    // at the run, and without it the current's U is not known.
    const Budget sim = currentThroughShunt(v, 3.336, 1200.0, shipped().findShunt(true));
    EXPECT_FALSE(sim.known);
    // 3458A, 100 Ω against its 0.1 Ω norm.
    const Budget r =
        evaluate(shipped().find("hp3458a", false),
                 reading(Function::FourWireResistance, 100.05, 100, Period::Year1, 20));
    EXPECT_NEAR(testUncertaintyRatio(0.1, r.expanded), 50.924477282533935, 1e-9);
    EXPECT_TRUE(std::isinf(testUncertaintyRatio(0.1, 0.0)));
}

TEST(PointUncertainty, ACurrentWithoutAStatedShuntIsUnknown) {
    const Budget v = evaluate(shipped().find("hpe1412", false),
                              reading(Function::DcVoltage, 1.2, 10, Period::Year1, 20));
    ASSERT_TRUE(v.known);
    ShuntSpec stated;
    stated.tolerancePpm = 300;
    const Budget noMeter =
        evaluate(nullptr, reading(Function::DcVoltage, 1.2, 10, Period::Year1, 20));
    struct Case {
        const char *what;
        Budget volts;
        double shunt;
        const ShuntSpec *spec;
        const char *why;
    } cases[] = {
        {"no entry", v, 1200, nullptr, "the shunt has no entry in meters.yaml"},
        {"shipped module entry", v, 1200, shipped().findShunt(false),
         "no tolerance stated for the shunt in meters.yaml"},
        {"no shunt value", v, 0.0, &stated,
         "the module's coefficients hold no value for the shunt"},
        {"garbage shunt value", v, std::nan(""), &stated,
         "the module's coefficients hold no value for the shunt"},
        {"the voltage's own reason stays", noMeter, 1200, &stated,
         "the multimeter has no entry in meters.yaml"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Budget b = currentThroughShunt(c.volts, 1.2, c.shunt, c.spec);
        EXPECT_FALSE(b.known);
        EXPECT_EQ(b.unknownWhy, c.why);
        EXPECT_EQ(b.expanded, 0.0);
    }
}

TEST(PointUncertainty, NothingStatedIsUnknownNeverAFigure) {
    struct Case {
        const MeterSpec *spec;
        Reading r;
        const char *why;
    } cases[] = {
        {nullptr, reading(Function::DcVoltage, 1, 10, Period::Year1, 20),
         "the multimeter has no entry in meters.yaml"},
        {shipped().find("mervd", false),
         reading(Function::FourWireResistance, 100, 100, Period::Year1, 20),
         "DMM: no accuracy stated for four-wire resistance in meters.yaml"},
        {shipped().find("hpe1412", false),
         reading(Function::DcCurrent, 0.001, 0.01, Period::Year1, 20),
         "HP E1412: no accuracy stated for DC current in meters.yaml"},
        {shipped().find("hpe1412", false),
         reading(Function::DcVoltage, 250, 300, Period::Year1, 20),
         "HP E1412: no DC voltage range of 300.000000 in meters.yaml"},
    };
    for (const Case &c : cases) {
        const Budget b = evaluate(c.spec, c.r);
        EXPECT_FALSE(b.known);
        EXPECT_EQ(b.unknownWhy, c.why);
        EXPECT_EQ(b.expanded, 0.0);
    }
    MeterSpecs specs;
    std::string error;
    ASSERT_TRUE(parseMeterSpecs("meters:\n  mervd:\n    name: DMM\n    dc_voltage:\n"
                                "      - {range: 10, 1y: [10, 1]}\n",
                                "m.yaml", specs, error));
    const Budget b = evaluate(specs.find("mervd", false),
                              reading(Function::DcVoltage, 1, 10, Period::Days90, 20));
    EXPECT_FALSE(b.known);
    EXPECT_EQ(b.unknownWhy, "DMM: no 90d accuracy stated for DC voltage in meters.yaml");
}
