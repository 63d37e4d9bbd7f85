// Output configuration on the recording fake: argument checks, register
// sequences, the code update's order and its waits.
#include <array>
#include <cmath>
#include <optional>

#include "fake_fixture.h"

using namespace drvtest;

namespace {

TEST_F(FakeTest, GuardRefusesBeforeArgumentChecks) {
    open();
    rec->fault = ORTAV_ERROR_BUSY;
    ViInt16 waiting = 0;
    EXPECT_EQ(ortav_config_R(vi, 7, 5.0), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_config_I(vi, 7, 1.0), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_set_I(vi, 7, 0), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_powering(vi, 7, 7), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_switch(vi, 7, 7), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_switch_R(vi, 7, 99, 0), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_config_trigger(vi, 7), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_gstart_q(vi, &waiting), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav_config(vi, 1, 100.0, 0, 0.0), ORTAV_ERROR_INSTR);
    EXPECT_EQ(ortav::driver::applyCodes(rec, 1), ORTAV_ERROR_INSTR);
    // Not guarded.
    EXPECT_EQ(ortav_mode_R(vi, 1), VI_SUCCESS);
    ViInt16 state = 0;
    EXPECT_EQ(ortav_state(vi, &state), VI_SUCCESS);
    EXPECT_EQ(ortav_chan_q(vi, 1, nullptr, nullptr, nullptr, nullptr), VI_SUCCESS);
    EXPECT_EQ(writes().size(), 0u);
}

TEST_F(FakeTest, ArgumentChecks) {
    open();
    struct Case {
        const char *what;
        ViStatus got, expected;
    };
    const Case cases[] = {
        {"R 5 ohm", ortav_config_R(vi, 1, 5.0), VI_ERROR_PARAMETER3},
        {"R 9.999", ortav_config_R(vi, 1, 9.999), VI_ERROR_PARAMETER3},
        {"R 20000", ortav_config_R(vi, 1, 20000.0), VI_ERROR_PARAMETER3},
        {"R -10", ortav_config_R(vi, 1, -10.0), VI_ERROR_PARAMETER3},
        {"R NaN", ortav_config_R(vi, 1, std::nan("")), VI_ERROR_PARAMETER3},
        {"R 1e-11", ortav_config_R(vi, 1, 1e-11), VI_ERROR_PARAMETER3},
        {"R channel 3", ortav_config_R(vi, 3, 100.0), VI_ERROR_PARAMETER2},
        {"I 0.00009", ortav_config_I(vi, 1, 0.00009), VI_ERROR_PARAMETER3},
        {"I 0.0031", ortav_config_I(vi, 1, 0.0031), VI_ERROR_PARAMETER3},
        {"I NaN", ortav_config_I(vi, 1, std::nan("")), VI_ERROR_PARAMETER3},
        {"I channel 3", ortav_config_I(vi, 3, 0.001), VI_ERROR_PARAMETER2},
        {"set_I channel 3", ortav_set_I(vi, 3, 100), VI_ERROR_PARAMETER2},
        {"power 2", ortav_powering(vi, 1, 2), VI_ERROR_PARAMETER3},
        {"power channel 3", ortav_powering(vi, 3, 1), VI_ERROR_PARAMETER2},
        {"switch 2", ortav_switch(vi, 1, 2), VI_ERROR_PARAMETER3},
        {"switch channel 3", ortav_switch(vi, 3, 1), VI_ERROR_PARAMETER2},
        {"trigger 2", ortav_config_trigger(vi, 2), VI_ERROR_PARAMETER2},
        {"chan_q 0", ortav_chan_q(vi, 0, nullptr, nullptr, nullptr, nullptr), VI_ERROR_PARAMETER2},
        {"chan_q 3", ortav_chan_q(vi, 3, nullptr, nullptr, nullptr, nullptr), VI_ERROR_PARAMETER2},
        {"switch_R channel 0", ortav_switch_R(vi, 0, 1, 0), VI_ERROR_PARAMETER2},
        {"switch_R channel 3", ortav_switch_R(vi, 3, 1, 0), VI_ERROR_PARAMETER2},
        {"switch_R resistor 19", ortav_switch_R(vi, 1, 19, 0), VI_ERROR_PARAMETER3},
        {"gstart_q null", ortav_gstart_q(vi, nullptr), VI_ERROR_PARAMETER2},
        {"config power 2", ortav_config(vi, 1, 0.0, 2, 0.001), VI_ERROR_PARAMETER3},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.got, c.expected) << c.what;
    // Only the last case got as far as the hardware (its resistance step).
    const std::vector<Access> expected = {R(0x0A, 0x30), W(0x0A, 0x10), W(0x0E, 0), W(0x10, 0)};
    EXPECT_EQ(accesses(), expected);
}

TEST_F(FakeTest, AcceptedLimits) {
    open();
    EXPECT_EQ(ortav_config_I(vi, 1, 0.003), VI_SUCCESS);
    EXPECT_EQ(ortav_config_I(vi, 1, 0.0001), VI_SUCCESS);
    EXPECT_EQ(ortav_config_R(vi, 1, 10.0), VI_SUCCESS);
    EXPECT_EQ(ortav_config_R(vi, 1, 10000.0), VI_SUCCESS);
    EXPECT_EQ(ortav_config_R(vi, 1, -1e-12), VI_SUCCESS);
}

TEST_F(FakeTest, NoResistorWritesCodeZero) {
    open();
    rec->code[0] = 0x18;
    rec->code[1] = 0x0C;
    EXPECT_EQ(ortav_config_R(vi, 2, 0.0), VI_SUCCESS);
    EXPECT_EQ(accesses(),
              (std::vector<Access>{R(0x0A, 0x30), W(0x0A, 0x20), W(0x0E, 0), W(0x10, 0)}));
    EXPECT_EQ(rec->code[0], 0x18);
    EXPECT_EQ(rec->code[1], 0);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.005});
    ViReal64 r = 0;
    EXPECT_EQ(ortav_chan_q(vi, 2, &r, nullptr, nullptr, nullptr), VI_SUCCESS);
    EXPECT_EQ(r, 999999999.0);
}

TEST_F(FakeTest, ConfigROneChannel) {
    open();
    fake::carrier().regs[0x0A] = 0x0021;
    EXPECT_EQ(ortav_config_R(vi, 1, 100.0), VI_SUCCESS);
    const std::vector<Access> expected = {
        R(0x0A, 0x21),                // state
        R(0x0A, 0x21),                // the code update's read
        R(0x0A, 0x21), W(0x0A, 0x11), // select channel 1
        W(0x0E, 0x18), W(0x10, 0),
    };
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(rec->code[0], 0x18);
    EXPECT_EQ(rec->applied[0], 0x18);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.005});
    ViReal64 r = 0;
    EXPECT_EQ(ortav_chan_q(vi, 1, &r, nullptr, nullptr, nullptr), VI_SUCCESS);
    EXPECT_NEAR(r, 100.0, 0.01);
}

// With the transition mode on and channel outputs connected, channel 0 writes
// both transition codes first, then both codes; each write waits 5 ms.
TEST_F(FakeTest, CodeUpdateOrderWithTransitions) {
    open();
    rec->modeR = 1;
    rec->code[0] = 0x00002; // 37.5 ohm
    rec->code[1] = 0x00001; // 18.75 ohm
    rec->applied[0] = rec->code[0];
    rec->applied[1] = rec->code[1];
    fake::carrier().regs[0x0A] = 0x0603; // both outputs on, both state bits
    EXPECT_EQ(ortav_config_R(vi, 0, 18.75), VI_SUCCESS);
    ASSERT_EQ(rec->code[0], 0x00001);
    ASSERT_EQ(rec->code[1], 0x00001);
    // Channel 2 had nothing to change: only channel 1 takes the transition.
    std::vector<Access> got = accesses();
    const std::vector<Access> want = {
        R(0x0A, 0x603), R(0x0A, 0x603),  R(0x0A, 0x603),  W(0x0A, 0x613), W(0x0E, 0xFFF8),
        W(0x10, 3),     R(0x0A, 0x613),  W(0x0E, 0x0001), W(0x10, 0),     R(0x0A, 0x613),
        W(0x0A, 0x623), W(0x0E, 0x0001), W(0x10, 0),
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.005, 0.005, 0.005}));
    EXPECT_EQ(rec->applied[0], 1);
    EXPECT_EQ(rec->applied[1], 1);
}

TEST_F(FakeTest, CodeUpdateBothTransitionsBeforeBothCodes) {
    open();
    rec->modeR = 1;
    rec->code[0] = rec->applied[0] = 0x00001;
    rec->code[1] = rec->applied[1] = 0x00018;
    fake::carrier().regs[0x0A] = 0x0603;
    EXPECT_EQ(ortav_config_R(vi, 0, 37.5), VI_SUCCESS); // 0x00002 on both
    std::vector<std::uint16_t> codesWritten;
    for (const Access &a : writes())
        if (a.offset == 0x0E)
            codesWritten.push_back(a.value);
    // TransCod(1, 2) = 3 for channel 1, then channel 2's own.
    const std::int32_t t1 = ortav::driver::TransCod(0x00018, 0x00002);
    EXPECT_EQ(codesWritten, (std::vector<std::uint16_t>{0x0003, std::uint16_t(t1), 2, 2}));
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.005, 0.005, 0.005, 0.005}));
}

TEST_F(FakeTest, NoTransitionWithoutModeOrState) {
    struct Case {
        ViUInt16 modeR;
        std::uint16_t chan;
    };
    for (Case c : {Case{0, 0x0603}, Case{1, 0x0003}}) {
        open();
        rec->modeR = c.modeR;
        rec->code[0] = rec->applied[0] = 0x00002;
        fake::carrier().regs[0x0A] = c.chan;
        EXPECT_EQ(ortav_config_R(vi, 1, 18.75), VI_SUCCESS);
        std::vector<std::uint16_t> codes;
        for (const Access &a : writes())
            if (a.offset == 0x0E)
                codes.push_back(a.value);
        EXPECT_EQ(codes, std::vector<std::uint16_t>{1});
        EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.005});
        ortav_close(vi);
        vi = 0;
        fake::reset();
    }
}

TEST_F(FakeTest, ChannelZeroFailureLeavesChannelTwoAlone) {
    open();
    rec->code[1] = rec->applied[1] = 0x0C;
    failNth(Call::Out, 0x0E, 2, VI_ERROR_TMO); // channel 2's low word
    EXPECT_EQ(ortav_config_R(vi, 0, 100.0), VI_ERROR_TMO);
    EXPECT_EQ(rec->applied[0], 0x18);
    EXPECT_EQ(rec->applied[1], 0x0C);
    EXPECT_EQ(fake::carrier().regs[0x0E], 0x18);
}

TEST_F(FakeTest, Current) {
    open();
    rec->coeff.iGain[1] = 400000.0;
    rec->coeff.iOffset[1] = 3.0;
    fake::carrier().regs[0x0A] = 0x0010;
    EXPECT_EQ(ortav_config_I(vi, 0, 0.001), VI_SUCCESS);
    const std::vector<Access> expected = {
        R(0x0A, 0x10), W(0x0C, 409),  R(0x0C, 409),               // channel 1
        R(0x0A, 0x10), W(0x0A, 0x20), W(0x0C, 403), R(0x0C, 403), // channel 2
    };
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.001, 0.001}));
    EXPECT_EQ(rec->iSet[0], 0.001);
    EXPECT_EQ(rec->iSet[1], 0.001);

    // A DAC that does not hold the code: verified on 12 bits.
    clearRecord();
    fake::carrier().readValue = [](std::uint32_t off, std::uint16_t v) {
        return off == 0x0C ? std::uint16_t(v ^ 0x0800) : v;
    };
    EXPECT_EQ(ortav_config_I(vi, 1, 0.002), ORTAV_ERROR_REG + 0x0C);
    EXPECT_EQ(rec->iSet[0], 0.001);
    EXPECT_TRUE(ortav::clock::waits().empty());

    // Raw codes: low 16 bits written, 12 verified, iSet untouched.
    fake::carrier().readValue = nullptr;
    clearRecord();
    EXPECT_EQ(ortav_set_I(vi, 2, 0x12345), VI_SUCCESS);
    EXPECT_EQ(writes().back(), W(0x0C, 0x2345));
    EXPECT_EQ(rec->iSet[1], 0.001);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.001});
}

TEST_F(FakeTest, Powering) {
    open();
    fake::carrier().regs[0x0A] = 0x0201;
    EXPECT_EQ(ortav_powering(vi, 2, 1), VI_SUCCESS);
    EXPECT_EQ(ortav_powering(vi, 2, 1), VI_SUCCESS); // unchanged: no write, no wait
    EXPECT_EQ(ortav_powering(vi, 0, 1), VI_SUCCESS);
    EXPECT_EQ(ortav_powering(vi, 0, 0), VI_SUCCESS);
    EXPECT_EQ(accesses(),
              (std::vector<Access>{R(0x0A, 0x201), W(0x0A, 0x209), R(0x0A, 0x209), R(0x0A, 0x209),
                                   W(0x0A, 0x20D), R(0x0A, 0x20D), W(0x0A, 0x201)}));
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.001, 0.001, 0.001}));
}

TEST_F(FakeTest, ConfigWithPowerOffNeverChecksTheCurrent) {
    open();
    fake::carrier().regs[0x0A] = 0x0004;
    EXPECT_EQ(ortav_config(vi, 1, 100.0, 0, 0.5), VI_SUCCESS);
    EXPECT_EQ(fake::carrier().regs[0x0A] & 0x0004, 0);
    EXPECT_EQ(rec->iSet[0], 0.0);
    // Powered: the current is set after the power.
    clearRecord();
    EXPECT_EQ(ortav_config(vi, 1, 100.0, 1, 0.5), VI_ERROR_PARAMETER3);
    EXPECT_EQ(ortav_config(vi, 2, 200.0, 1, 0.002), VI_SUCCESS);
    EXPECT_EQ(rec->code[1], 0x30); // 300 || 600 ohm
    EXPECT_EQ(fake::carrier().regs[0x0C], 819);
    EXPECT_EQ(fake::carrier().regs[0x0A] & 0x0008, 0x0008);
}

struct SwitchCase {
    ViInt32 trigMode;
    std::uint16_t before;
    ViUInt16 channel, on;
    std::uint16_t written;
};

TEST_F(FakeTest, SwitchBits) {
    const SwitchCase cases[] = {
        {0, 0x0000, 1, 1, 0x0041}, {1, 0x0000, 1, 1, 0x0081}, {0, 0x0FF0, 2, 1, 0x0072},
        {1, 0x0031, 0, 1, 0x00B3}, {0, 0x0603, 1, 0, 0x0002}, // channel 2 still on: no 0x0100
        {0, 0x0601, 1, 0, 0x0100}, {0, 0x0F3F, 0, 0, 0x013C}, {0, 0x0002, 2, 0, 0x0100},
        {0, 0x0000, 0, 0, 0x0100},
    };
    open();
    for (const SwitchCase &c : cases) {
        rec->trigMode = c.trigMode;
        fake::carrier().regs[0x0A] = c.before;
        clearRecord();
        EXPECT_EQ(ortav_switch(vi, c.channel, c.on), VI_SUCCESS);
        EXPECT_EQ(accesses(), (std::vector<Access>{R(0x0A, c.before), W(0x0A, c.written)}))
            << "trig " << c.trigMode << " chan " << c.channel << " on " << c.on;
        EXPECT_TRUE(ortav::clock::waits().empty());
    }
}

TEST_F(FakeTest, TriggerMode) {
    open();
    EXPECT_EQ(ortav_config_trigger(vi, 1), VI_SUCCESS);
    EXPECT_EQ(rec->trigMode, 1);
    ASSERT_FALSE(fake::carrier().log.empty());
    EXPECT_EQ(fake::carrier().log.back().call, Call::ConfigTrigger);
    EXPECT_EQ(fake::carrier().log.back().value, 1u);
    // The carrier's result is ignored.
    failOn(Call::ConfigTrigger, 0, VI_ERROR_TMO);
    EXPECT_EQ(ortav_config_trigger(vi, 0), VI_SUCCESS);
    EXPECT_EQ(rec->trigMode, 0);
}

TEST_F(FakeTest, WaitingForTrigger) {
    open();
    ViInt16 waiting = 7;
    EXPECT_EQ(ortav_gstart_q(vi, &waiting), VI_SUCCESS);
    EXPECT_EQ(waiting, 0);
    EXPECT_TRUE(accesses().empty()); // mode 0: nothing read
    rec->trigMode = 1;
    const std::pair<std::uint16_t, ViInt16> cases[] = {
        {0x0081, 1}, {0x0082, 1}, {0x0080, 0}, {0x0001, 0}, {0x00C1, 0}, {0x0181, 0}, {0x0881, 0},
    };
    for (auto [reg, expected] : cases) {
        fake::carrier().regs[0x0A] = reg;
        EXPECT_EQ(ortav_gstart_q(vi, &waiting), VI_SUCCESS);
        EXPECT_EQ(waiting, expected) << std::hex << reg;
    }
}

TEST_F(FakeTest, ChannelQuery) {
    open();
    rec->code[1] = 0x0000F;
    rec->iSet[1] = 0.002;
    fake::carrier().regs[0x0A] = 0x0408;
    ViReal64 r = 0, i = 0;
    ViInt16 powered = 0, state = 0;
    EXPECT_EQ(ortav_chan_q(vi, 2, &r, &powered, &i, &state), VI_SUCCESS);
    EXPECT_DOUBLE_EQ(r, 10.0);
    EXPECT_EQ(powered, 1);
    EXPECT_EQ(i, 0.002);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(ortav_chan_q(vi, 1, &r, &powered, &i, &state), VI_SUCCESS);
    EXPECT_EQ(r, 999999999.0);
    EXPECT_EQ(powered, 0);
    EXPECT_EQ(state, 0);
}

TEST_F(FakeTest, SwitchResistor) {
    open();
    fake::carrier().regs[0x0A] = 0x0030;
    EXPECT_EQ(ortav_switch_R(vi, 2, 18, 0), VI_SUCCESS);
    EXPECT_EQ(accesses(), (std::vector<Access>{R(0x0A, 0x30), W(0x0A, 0x20), R(0x0A, 0x20),
                                               W(0x0E, 0), W(0x10, 2)}));
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.001, 0.005}));
    EXPECT_EQ(rec->code[1], 0x20000);
    EXPECT_EQ(rec->rSwitched[1], 2457600.0);

    // Accumulate: a second resistor in parallel, channel already selected.
    clearRecord();
    EXPECT_EQ(ortav_switch_R(vi, 2, 17, 1), VI_SUCCESS);
    EXPECT_EQ(accesses(), (std::vector<Access>{R(0x0A, 0x20), W(0x0E, 0), W(0x10, 3)}));
    EXPECT_EQ(rec->code[1], 0x30000);
    EXPECT_DOUBLE_EQ(rec->rSwitched[1], 1.0 / (1.0 / 2457600.0 + 1.0 / 1228800.0));

    // Resistor 0 opens the channel: bit 31 stored, code 0 on the module.
    clearRecord();
    EXPECT_EQ(ortav_switch_R(vi, 2, 0, 0), VI_SUCCESS);
    EXPECT_EQ(writes(), (std::vector<Access>{W(0x0E, 0), W(0x10, 0)}));
    EXPECT_EQ(static_cast<std::uint32_t>(rec->code[1]), 0x80000000u);
    EXPECT_EQ(rec->rSwitched[1], 999999999.0);

    // A select that does not read back.
    fake::carrier().readValue = [](std::uint32_t off, std::uint16_t v) {
        return off == 0x0A ? std::uint16_t(v & ~0x0010) : v;
    };
    clearRecord();
    EXPECT_EQ(ortav_switch_R(vi, 1, 1, 0), ORTAV_ERROR_REG + 0x0A);
    EXPECT_EQ(rec->code[0], 0);
}

// After calibration left bit 31 in the code, the next resistance takes the
// transition step with codes that differ only outside the module's bits.
TEST_F(FakeTest, ResistanceAfterOpeningByResistorZero) {
    open();
    rec->modeR = 1;
    fake::carrier().regs[0x0A] = 0x0211;
    ASSERT_EQ(ortav_switch_R(vi, 1, 0, 0), VI_SUCCESS);
    clearRecord();
    EXPECT_EQ(ortav_config_R(vi, 1, 100.0), VI_SUCCESS);
    std::vector<std::uint16_t> codes;
    for (const Access &a : writes())
        if (a.offset == 0x0E)
            codes.push_back(a.value);
    EXPECT_EQ(codes.back(), 0x18);
    EXPECT_EQ(rec->applied[0], 0x18);
}

} // namespace

namespace {
// The calls that reach the module (not the carrier's bookkeeping of the
// session record), with their clock time from the start of the record.
struct ModuleCall {
    Call call;
    std::uint32_t offset;
    std::uint64_t value;
    double time;
};
std::vector<ModuleCall> moduleCalls(double start) {
    std::vector<ModuleCall> out;
    for (const Event &e : fake::carrier().log)
        if (e.call != Call::GetAttr && e.call != Call::SetAttr)
            out.push_back({e.call, e.offset, e.value, e.time - start});
    return out;
}
} // namespace

// Waits a caller puts off are slept before the driver's next call to the
// carrier: the module sees every call at the time it would have.
TEST_F(FakeTest, PutOffWaitsAreSleptBeforeTheNextCarrierCall) {
    const auto sequence = [this] {
        ASSERT_EQ(ortav_config_R(vi, 1, 37.5), VI_SUCCESS);
        ASSERT_EQ(ortav_switch(vi, 1, 1), VI_SUCCESS);
        Delay(0.05); // the caller's own settle
        ASSERT_EQ(ortav_config_trigger(vi, 1), VI_SUCCESS);
        Delay(0.01);
        ASSERT_EQ(ortav_switch(vi, 1, 0), VI_SUCCESS);
        // Its page waits are followed by writes, with no read between.
        const std::array<std::uint8_t, 100> bytes{};
        ASSERT_EQ(ortav::driver::eepromWrite(vi, bytes.data(), bytes.size()), VI_SUCCESS);
        Delay(0.02);
        ASSERT_EQ(ortav_reset(vi), VI_SUCCESS);
        Delay(0.02);
        ASSERT_EQ(ortav_close(vi), VI_SUCCESS);
        vi = 0;
    };
    std::vector<ModuleCall> slept, putOff;
    for (const bool together : {false, true}) {
        fake::reset();
        ortav::clock::setVirtual(true);
        open();
        const double start = ortav::clock::now();
        {
            std::optional<ortav::clock::CoalescedWaits> scope;
            if (together)
                scope.emplace();
            sequence();
        }
        (together ? putOff : slept) = moduleCalls(start);
    }
    ASSERT_GT(slept.size(), 10u);
    ASSERT_EQ(putOff.size(), slept.size());
    for (std::size_t i = 0; i < slept.size(); ++i) {
        EXPECT_EQ(putOff[i].call, slept[i].call) << i;
        EXPECT_EQ(putOff[i].offset, slept[i].offset) << i;
        EXPECT_EQ(putOff[i].value, slept[i].value) << i;
        EXPECT_NEAR(putOff[i].time, slept[i].time, 1e-9) << i;
    }
}
