// What a multimeter's leads touch.
#include "sim_fixture.h"

namespace simtest {
namespace {

const char *kBench = R"(
resources:
  - name: VXI0::8::INSTR
  - name: VXI0::24::INSTR
  - name: GPIB0::22::INSTR
carriers:
  - resource: VXI0::8::INSTR
    positions:
      1: {type: ortav, series: 0.5}
      3: 32
multimeters:
  - {kind: hpe1412, resource: VXI0::24::INSTR}
  - kind: hp3458a
    resource: GPIB0::22::INSTR
    leads: {carrier: VXI0::8::INSTR, position: 1, channel: 2}
  - kind: tarnel
    resource: VXI0::8::INSTR
    position: 3
    leads: {resistance: 100.0, voltage: 0.25}
)";

class LeadsTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        loadString(kBench, "leads.yaml");
        ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_SUCCESS);
        ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    }
    Multimeter &meter(MultimeterKind k, const char *rsrc) {
        return *bench().findMultimeter(k, rsrc);
    }
};

TEST_F(LeadsTest, SwitchedOnChannelIsWhatTheLeadsSee) {
    Multimeter &hp = meter(MultimeterKind::Hpe1412, "VXI0::24::INSTR");
    Multimeter &gpib = meter(MultimeterKind::Hp3458a, "GPIB0::22::INSTR");
    EXPECT_FALSE(bench().leads(hp).connected);
    EXPECT_EQ(bench().read(hp, Quantity::Resistance), kOpenOhms);

    out(reg::Chan, 0x20); // channel 2: 150 ohms, 1208 codes, powered, connected now
    writeCode(0x8);
    out(reg::Dac, 1208);
    out(reg::Chan, 0x20 | 0x08 | 0x02 | 0x40);
    Delay(0.005);
    const double amps = 1208 / 409400.0;
    for (Multimeter *m : {&hp, &gpib}) {
        const LeadView v = bench().leads(*m);
        EXPECT_TRUE(v.connected);
        EXPECT_DOUBLE_EQ(v.resistance, 150.5);
        EXPECT_DOUBLE_EQ(v.current, amps);
        EXPECT_DOUBLE_EQ(bench().read(*m, Quantity::Voltage), amps * 150.5);
    }
    out(reg::Chan, 0x20 | 0x08 | 0x100);
    EXPECT_FALSE(bench().leads(hp).connected);
    EXPECT_EQ(bench().read(hp, Quantity::Voltage), 0.0);
}

TEST_F(LeadsTest, FixedLeadsAndNoise) {
    Multimeter &mez = *bench().findMultimeter(MultimeterKind::Tarnel, "VXI0::8::INSTR", 3);
    EXPECT_DOUBLE_EQ(bench().read(mez, Quantity::Resistance), 100.0);
    EXPECT_DOUBLE_EQ(bench().read(mez, Quantity::Current), 0.0025);
    mez.noise = 1e-3;
    double lo = 1e9, hi = 0;
    for (int i = 0; i < 200; ++i) {
        const double r = bench().read(mez, Quantity::Resistance);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    EXPECT_LT(lo, 100.0);
    EXPECT_GT(hi, 100.0);
    EXPECT_GT(lo, 99.0);
    EXPECT_LT(hi, 101.0);
}

} // namespace
} // namespace simtest
