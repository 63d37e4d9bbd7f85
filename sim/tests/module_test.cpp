// The module at register level, reached through the carrier interface.
#include "sim_fixture.h"

#include <cmath>

namespace simtest {
namespace {

using ortav::clock::advance;

class ModuleTest : public SimTest {
protected:
    // Walking one through the low bits, as the self-test does; the first bit that
    // reads back wrong, or -1.
    int walkingOne(uint32_t offset, int bits) {
        for (int i = 0; i < bits; ++i) {
            out(offset, static_cast<uint16_t>(1 << i));
            if ((in(offset) & ((1 << bits) - 1)) != (1 << i))
                return i;
        }
        return -1;
    }

    void resetPulse() {
        const uint16_t v = in(reg::Ctrl);
        out(reg::Ctrl, v | 1);
        out(reg::Ctrl, 0);
    }

    // The self-test's measuring part: all resistors of both channels with 2.78 mA,
    // then each resistor alone. Returns the control register after the current
    // step and the resistors whose connection check failed (bit k).
    std::pair<uint16_t, uint32_t> checkSequence() {
        resetPulse();
        out(reg::Ctrl, 2);
        out(reg::Chan, 0x30);
        out(reg::Dac, 1138);
        Delay(0.001);
        writeCode(0x3FFFF);
        Delay(0.005);
        out(reg::Chan, 0x3C);
        Delay(0.005);
        const uint16_t ctrl = in(reg::Ctrl);
        out(reg::Chan, 0);
        Delay(0.005);
        out(reg::Chan, 0x30);
        Delay(0.001);
        uint32_t failed = 0;
        for (int k = 0; k < 18; ++k) {
            writeCode(1u << k);
            Delay(0.005);
            if (!(in(reg::Ctrl)&0x40))
                failed |= 1u << k;
        }
        return {ctrl, failed};
    }
};

TEST_F(ModuleTest, IdentificationAndVersionProbe) {
    struct Case {
        const char *yaml;
        uint16_t id;
        uint16_t versionAfterProbe;
    } cases[] = {
        {"", 0x000F, 0x0000},
        {"        hw_version: 2\n        id_high: 0x12\n", 0x120F, 0x0001},
        {"        faults: {id: 0x0010}\n", 0x0010, 0x0000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.yaml);
        open(c.yaml);
        EXPECT_EQ(in(reg::Id), c.id);
        out(reg::Version, 0xFFFF);
        EXPECT_EQ(in(reg::Version), c.versionAfterProbe);
        out(reg::Version, 0x1234);
        EXPECT_EQ(in(reg::Version), 0);
        TearDown();
        mod = car = 0;
    }
}

TEST_F(ModuleTest, RegistersPassTheWalkingOneTestOfAGoodModule) {
    open();
    resetPulse();
    EXPECT_EQ(walkingOne(reg::Ctrl, 2), -1);
    out(reg::Ctrl, 2);
    EXPECT_EQ(walkingOne(reg::Chan, 9), -1);
    // The DAC register holds its value with no channel selected (the last write
    // of the walk above left only bit 8).
    EXPECT_EQ(walkingOne(reg::Dac, 12), -1);
}

TEST_F(ModuleTest, ResetPulseAndCarrierResetRestorePowerUpState) {
    open();
    for (int viaCarrier = 0; viaCarrier < 2; ++viaCarrier) {
        out(reg::Ctrl, 2);
        out(reg::Chan, 0x3C | 0x03 | 0x40);
        writeCode(0x12345);
        out(reg::Dac, 0x123);
        out(reg::Wp, 0);
        if (viaCarrier) {
            EXPECT_EQ(carrik_m_reset(mod, 1), VI_SUCCESS);
        } else {
            out(reg::Ctrl, in(reg::Ctrl) | 1);
            out(reg::Chan, 0x3F); // ignored while the reset line is held
            out(reg::Ctrl, 0);
        }
        EXPECT_EQ(in(reg::Ctrl)&0x3, 0);
        EXPECT_EQ(in(reg::Chan), 0);
        EXPECT_EQ(in(reg::Dac), 0);
        EXPECT_EQ(in(reg::Wp), 1);
        EXPECT_EQ(module().channel(1).code, 0u);
        EXPECT_EQ(module().channel(2).code, 0u);
        EXPECT_FALSE(module().outputConnected(1));
    }
}

TEST_F(ModuleTest, CheckSequencePassesOnAGoodModuleAndShowsEachFault) {
    struct Case {
        const char *name;
        const char *yaml;
        uint16_t currentBits; // 0x0080 | 0x0100 expected after the current step
        uint32_t failedResistors;
    } cases[] = {
        {"good", "", 0x0180, 0},
        {"good, version 2 with errors",
         "        hw_version: 2\n        resistor_error: {spread: 0.01, seed: 3}\n", 0x0180, 0},
        {"open resistor 5 of channel 1",
         "        faults: {open_resistor: [{channel: 1, resistor: 5}]}\n", 0x0180, 1u << 5},
        {"open resistor 17 of channel 2",
         "        faults: {open_resistor: [{channel: 2, resistor: 17}]}\n", 0x0180, 1u << 17},
        {"dead source of channel 2", "        faults: {dead_source: [2]}\n", 0x0080, 0},
        {"current gain 40 % high", "        current_gain: [573160, 409400]\n", 0x0100, 0},
        {"check bit of channel 1 stuck at 0",
         "        faults: {stuck: [{register: 0x04, mask: 0x0080, level: 0}]}\n", 0x0100, 0},
        {"connection check bit stuck at 0",
         "        faults: {stuck: [{register: 0x04, mask: 0x0040, level: 0}]}\n", 0x0180, 0x3FFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.yaml);
        const auto [ctrl, failed] = checkSequence();
        EXPECT_EQ(ctrl & 0x0180, c.currentBits);
        EXPECT_EQ(failed, c.failedResistors);
        TearDown();
        mod = car = 0;
    }
}

TEST_F(ModuleTest, CheckBitsSettleOnlyAfterTheSettleTimes) {
    open();
    out(reg::Ctrl, 2);
    out(reg::Chan, 0x30);
    out(reg::Dac, 1138);
    writeCode(0x3FFFF);
    // Relays still moving: no check passes, both channels busy.
    EXPECT_EQ(in(reg::Ctrl)&0x01F0, 0x0030);
    Delay(0.005);
    EXPECT_EQ(in(reg::Ctrl)&0x01F0, 0x0040);
    out(reg::Chan, 0x3C);
    EXPECT_EQ(in(reg::Ctrl)&0x01F0, 0x0070); // sources powering up
    Delay(0.001);
    EXPECT_EQ(in(reg::Ctrl)&0x01F0, 0x01C0);
    // Outside test mode the check bits read 0.
    out(reg::Ctrl, 0);
    EXPECT_EQ(in(reg::Ctrl), 0);
}

TEST_F(ModuleTest, ResistorCodeReachesSelectedChannelsWithItsHighPart) {
    open("        series: [0.4, 0.6]\n");
    out(reg::Chan, 0x10);
    out(reg::CodeLo, 0x0003);
    EXPECT_EQ(module().channel(1).code, 0u) << "the low part alone is only latched";
    out(reg::CodeHi, 0);
    EXPECT_EQ(module().channel(1).code, 3u);
    EXPECT_EQ(module().channel(2).code, 0u);
    // Before the relays settle the channel is open; then r0 + the parallel pair.
    EXPECT_EQ(module().outputResistance(1), kOpenOhms);
    advance(0.0049);
    EXPECT_EQ(module().outputResistance(1), kOpenOhms);
    advance(0.0001);
    EXPECT_DOUBLE_EQ(module().outputResistance(1), 0.4 + 1.0 / (1 / 18.75 + 1 / 37.5));
    // A changing code: the resistor that stays connected conducts throughout.
    writeCode(0x0006);
    EXPECT_DOUBLE_EQ(module().outputResistance(1), 0.4 + 37.5);
    Delay(0.005);
    EXPECT_DOUBLE_EQ(module().outputResistance(1), 0.4 + 1.0 / (1 / 37.5 + 1 / 75.0));
    // Both channels selected: both take the code.
    out(reg::Chan, 0x30);
    writeCode(0x20000);
    Delay(0.005);
    EXPECT_DOUBLE_EQ(module().outputResistance(2), 0.6 + 2457600.0);
    EXPECT_EQ(in(reg::CodeHi), 2);
}

TEST_F(ModuleTest, CurrentFollowsDacAndPowerAfterTheirSettleTimes) {
    open("        current_gain: 410000\n        current_offset: 2\n        series: 0.5\n");
    out(reg::Chan, 0x10);
    writeCode(0x00008); // 150 ohms
    out(reg::Dac, 1208);
    Delay(0.005);
    EXPECT_EQ(module().sourceCurrent(1), 0.0) << "not powered";
    out(reg::Chan, 0x14);
    EXPECT_EQ(module().sourceCurrent(1), 0.0) << "powering up";
    Delay(0.001);
    const double amps = (1208 - 2) / 410000.0;
    EXPECT_DOUBLE_EQ(module().sourceCurrent(1), amps);
    EXPECT_DOUBLE_EQ(module().outputVoltage(1), amps * 150.5);
    out(reg::Dac, 41);
    EXPECT_DOUBLE_EQ(module().sourceCurrent(1), amps) << "the old current until the DAC settles";
    Delay(0.001);
    EXPECT_DOUBLE_EQ(module().sourceCurrent(1), (41 - 2) / 410000.0);
    // The source cannot drive more than its compliance voltage.
    out(reg::Dac, 1208);
    writeCode(0x20000);
    Delay(0.005);
    EXPECT_NEAR(module().outputVoltage(1), kCompliance, 1e-9);
}

TEST_F(ModuleTest, OutputsConnectNowOrOnTheCarrierTrigger) {
    open();
    // Connect now.
    out(reg::Chan, 0x01 | 0x40);
    EXPECT_EQ(in(reg::Chan)&0x0E00, 0x0200);
    out(reg::Chan, 0x03 | 0x40);
    EXPECT_EQ(in(reg::Chan)&0x0E00, 0x0600);
    // Channel 1 off while channel 2 stays on: no command bit needed.
    out(reg::Chan, 0x02);
    EXPECT_EQ(in(reg::Chan)&0x0E00, 0x0400);
    out(reg::Chan, 0x100);
    EXPECT_EQ(in(reg::Chan)&0x0E00, 0);

    // On trigger: armed until the carrier fires, then bit 11 reports it.
    out(reg::Chan, 0x01 | 0x80);
    EXPECT_EQ(in(reg::Chan), 0x0081);
    EXPECT_TRUE(module().armed());
    bench().findCarrier("VXI0::8::INSTR")->fireTrigger();
    EXPECT_EQ(in(reg::Chan), 0x0081 | 0x0200 | 0x0800);
    // Writing the register back (as a selection does) keeps the output on.
    out(reg::Chan, 0x0081 | 0x0010);
    EXPECT_EQ(in(reg::Chan)&0x0E00, 0x0A00);
}

TEST_F(ModuleTest, CarrierFiresItsTriggerByItselfWhenToldTo) {
    loadString("resources: [{name: VXI0::8::INSTR}]\n"
               "carriers: [{resource: VXI0::8::INSTR, auto_trigger: 0.002, positions: [ortav]}]\n",
               "auto.yaml");
    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_SUCCESS);
    ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    out(reg::Chan, 0x02 | 0x80);
    advance(0.001);
    EXPECT_EQ(in(reg::Chan)&0x0C00, 0);
    advance(0.001);
    EXPECT_EQ(in(reg::Chan)&0x0C00, 0x0C00);
}

TEST_F(ModuleTest, FaultsShowAtTheCarrier) {
    open("        faults:\n"
         "          access: [{register: 0x0C, on: write}, {register: 0x12}]\n"
         "          stuck: [{register: 0x0A, mask: 0x0040, level: 0}]\n"
         "          busy: true\n");
    ViUInt16 v = 0;
    EXPECT_EQ(carrik_m_out16(mod, reg::Dac, 5), CARRIK_ERROR_BUS);
    EXPECT_EQ(carrik_m_in16(mod, reg::Dac, &v), VI_SUCCESS);
    EXPECT_EQ(carrik_m_in16(mod, reg::Wp, &v), CARRIK_ERROR_BUS);
    EXPECT_EQ(carrik_m_out16(mod, reg::Wp, 0), CARRIK_ERROR_BUS);
    // A connect-now bit stuck at 0 never connects, and the walk sees it.
    out(reg::Chan, 0x01 | 0x40);
    EXPECT_FALSE(module().outputConnected(1));
    out(reg::Ctrl, 2);
    EXPECT_EQ(walkingOne(reg::Chan, 9), 6);
    EXPECT_EQ(in(reg::Ctrl)&0x30, 0x30);
}

TEST_F(ModuleTest, OffsetsOutsideTheWindowAreRefused) {
    open();
    ViUInt16 v = 0;
    EXPECT_EQ(carrik_m_in16(mod, 0x03, &v), CARRIK_ERROR_OFFSET);
    EXPECT_EQ(carrik_m_in16(mod, 0x40, &v), CARRIK_ERROR_OFFSET);
    EXPECT_EQ(carrik_m_out16(mod, 0x41, 0), CARRIK_ERROR_OFFSET);
    EXPECT_EQ(carrik_m_in16(mod, 0x3E, &v), VI_SUCCESS);
    EXPECT_EQ(v, 0);
}

} // namespace
} // namespace simtest
