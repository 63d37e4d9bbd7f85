// The shipped meters file and what a wrong one is told.
#include "meter_accuracy.h"

#include <gtest/gtest.h>

using namespace ortav::uncertainty;

TEST(MeterAccuracy, ShippedFileStatesThePublishedMetersAndLeavesTheMakersOpen) {
    MeterSpecs specs;
    std::string error;
    ASSERT_TRUE(loadMeterSpecs(ORTAV_METERS_YAML, specs, error)) << error;
    for (const char *kind : {"hpe1412", "hp3458a", "mervd", "sulvat", "tarnel"}) {
        SCOPED_TRACE(kind);
        ASSERT_NE(specs.find(kind, false), nullptr);
        ASSERT_NE(specs.find(kind, true), nullptr);
        EXPECT_EQ(specs.find(kind, true)->noiseBound, 3.0);
    }
    for (const char *kind : {"hpe1412", "hp3458a"}) {
        const MeterSpec *m = specs.find(kind, false);
        EXPECT_FALSE(m->source.empty());
        EXPECT_TRUE(m->stated(Function::DcVoltage));
        EXPECT_TRUE(m->stated(Function::FourWireResistance));
        // Every range the verification asks for: 100 Ω .. 10 kΩ and 10 V.
        for (double r : {100.0, 1e3, 1e4})
            ASSERT_NE(m->rangeFor(Function::FourWireResistance, r), nullptr) << r;
        const RangeSpec *v10 = m->rangeFor(Function::DcVoltage, 10.0);
        ASSERT_NE(v10, nullptr);
        EXPECT_EQ(v10->range, 10.0);
        for (const auto &a : v10->accuracy)
            EXPECT_TRUE(a.has_value());
    }
    const RangeSpec *r = specs.find("hp3458a", false)->rangeFor(Function::FourWireResistance, 1000);
    EXPECT_EQ(r->accuracy[2]->ppmReading, 10.0);
    EXPECT_EQ(r->accuracy[2]->ppmRange, 0.5);
    for (const char *kind : {"mervd", "sulvat", "tarnel"})
        for (Function f : {Function::DcVoltage, Function::FourWireResistance})
            EXPECT_FALSE(specs.find(kind, false)->stated(f)) << kind;
    EXPECT_EQ(specs.find("sulvat", false)->name, "ЦMM1");
    // The modules' shunts are the operator's to state; the simulated bench
    // tells its own at the run.
    ASSERT_NE(specs.findShunt(false), nullptr);
    EXPECT_FALSE(specs.findShunt(false)->tolerancePpm.has_value());
    ASSERT_NE(specs.findShunt(true), nullptr);
    EXPECT_FALSE(specs.findShunt(true)->tolerancePpm.has_value());
    EXPECT_EQ(specs.findShunt(true)->distribution, Distribution::Rectangular);
}

TEST(MeterAccuracy, RangeForTakesTheNextLargerAndNothingBeyondTheLargest) {
    MeterSpecs specs;
    std::string error;
    ASSERT_TRUE(parseMeterSpecs("meters:\n"
                                "  mervd:\n"
                                "    dc_voltage:\n"
                                "      - {range: 1, 1y: [10, 1]}\n"
                                "      - {range: 10, 1y: [10, 1]}\n",
                                "m.yaml", specs, error))
        << error;
    const MeterSpec *m = specs.find("mervd", false);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->name, "mervd");
    EXPECT_EQ(m->rangeFor(Function::DcVoltage, 0.5)->range, 1.0);
    EXPECT_EQ(m->rangeFor(Function::DcVoltage, 1.0)->range, 1.0);
    EXPECT_EQ(m->rangeFor(Function::DcVoltage, 1.5)->range, 10.0);
    EXPECT_EQ(m->rangeFor(Function::DcVoltage, 11.0), nullptr);
    EXPECT_EQ(m->rangeFor(Function::FourWireResistance, 100.0), nullptr);
    EXPECT_FALSE(m->rangeFor(Function::DcVoltage, 1.0)->accuracy[0].has_value());
    EXPECT_EQ(specs.find("mervd", true), nullptr);
}

TEST(MeterAccuracy, AWrongFileIsToldWithItsLineAndColumn) {
    struct Case {
        const char *text, *error;
    } cases[] = {
        {"meters:\n  hp34401: {}\n",
         "m.yaml:2:3: unknown multimeter kind 'hp34401' (hpe1412, hp3458a, mervd, sulvat, tarnel)"},
        {"meters:\n  mervd: {colour: red}\n", "m.yaml:2:11: unknown key 'colour' in entry 'mervd'"},
        {"meters:\n  mervd:\n    dc_voltage:\n      - {range: 10, 1y: [10]}\n",
         "m.yaml:4:25: 1y must be [ppm of reading, ppm of range]"},
        {"meters:\n  mervd:\n    dc_voltage:\n      - {range: 10, 1y: [1,0, 2]}\n",
         "m.yaml:4:25: 1y must be [ppm of reading, ppm of range]"},
        {"meters:\n  mervd:\n    dc_voltage:\n      - {range: 10, 1y: [-1, 2]}\n",
         "m.yaml:4:26: 1y (ppm of reading) must not be negative"},
        {"meters:\n  mervd:\n    dc_voltage:\n      - {range: 10}\n      - {range: 1}\n",
         "m.yaml:5:17: dc_voltage ranges must be listed from the smallest up"},
        {"meters:\n  mervd:\n    dc_voltage:\n      - range: 1,5\n",
         "m.yaml:4:16: range must be a number, not '1,5'"},
        {"simulated: [1, 2]\n", "m.yaml:1:12: simulated must be a mapping of multimeter kinds"},
        {"shunt:\n  modul: {}\n", "m.yaml:2:3: unknown key 'modul' in shunt"},
        {"shunt:\n  module: {tolerance: 300}\n",
         "m.yaml:2:23: shunt 'module': a tolerance needs its distribution (rectangular or normal)"},
        {"shunt:\n  module: {tolerance: 300, distribution: uniform}\n",
         "m.yaml:2:42: distribution must be rectangular or normal, not 'uniform'"},
        {"shunt:\n  simulated: {tolerance: -1, distribution: normal}\n",
         "m.yaml:2:26: tolerance must not be negative"},
    };
    for (const Case &c : cases) {
        MeterSpecs specs;
        std::string error;
        EXPECT_FALSE(parseMeterSpecs(c.text, "m.yaml", specs, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    MeterSpecs specs;
    std::string error;
    EXPECT_FALSE(loadMeterSpecs("/nonexistent/meters.yaml", specs, error));
    EXPECT_EQ(error, "/nonexistent/meters.yaml: cannot be read");
}
