// Bench descriptions read in a process that adopted a user's locale writing
// numbers with a decimal comma (a Qt program does): the same bench loads, with
// the same numbers, as in the C locale.
#include "sim_fixture.h"

#include <clocale>
#include <cstdio>
#include <vector>

namespace simtest {
namespace {

// Every number the bench took from its description.
std::vector<double> numbersOf(Bench &b) {
    std::vector<double> v;
    for (const Resource &r : b.resources)
        v.push_back(r.faults.lockedFor);
    for (Carrier &c : b.carriers) {
        v.push_back(c.autoTrigger);
        for (int p = 1; p <= kPositions; ++p)
            if (OrtavModule *m = c.module(p)) {
                for (const ChannelPhysics &ch : m->config().channel) {
                    v.insert(v.end(), ch.resistor.begin(), ch.resistor.end());
                    v.insert(v.end(), {ch.series, ch.gain, ch.offset});
                }
                for (uint8_t byte : m->eeprom()) // coefficients from a deviation
                    v.push_back(byte);
            }
    }
    for (const Multimeter &m : b.multimeters)
        v.insert(v.end(), {m.noise, m.leads.resistance, m.leads.voltage});
    return v;
}

class CommaLocale : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr)
            GTEST_SKIP() << "no ru_RU.UTF-8 locale here";
        char probe[8];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        ASSERT_STREQ(probe, "1,5"); // the locale really writes a comma
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        SimTest::TearDown();
    }
};

TEST_F(CommaLocale, DefaultAndExampleBenchesLoadAsInTheCLocale) {
    for (const char *file : {"", SIM_BENCHES_DIR "/example.yaml"}) {
        std::setlocale(LC_ALL, "C");
        *file ? loadFile(file) : loadDefault();
        const std::vector<double> expected = numbersOf(bench());
        std::setlocale(LC_ALL, "ru_RU.UTF-8");
        ASSERT_NO_THROW(*file ? loadFile(file) : loadDefault()) << file;
        EXPECT_EQ(numbersOf(bench()), expected) << file;
    }
}

TEST_F(CommaLocale, NumbersAreReadWithTheirDecimalPoint) {
    open("        series: [0.125, +2.5e-1]\n"
         "        current_gain: 409399.75\n"
         "        current_offset: -1.5\n");
    const ModuleConfig &m = module().config();
    EXPECT_EQ(m.channel[0].series, 0.125);
    EXPECT_EQ(m.channel[1].series, 0.25);
    EXPECT_EQ(m.channel[0].gain, 409399.75);
    EXPECT_EQ(m.channel[1].offset, -1.5);
}

TEST_F(CommaLocale, ADecimalCommaIsNoNumberInABenchFile) {
    try {
        loadString(benchWithModule("        resistor_error: 0,01\n"), "test.yaml");
        FAIL() << "a bench with '0,01' loaded";
    } catch (const BenchError &e) {
        EXPECT_STREQ(e.what(), "test.yaml:9:25: resistor_error must be a number, not '0,01'");
    }
}

} // namespace
} // namespace simtest
