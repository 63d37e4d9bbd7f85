// Opening, looking up, resetting and closing a session on the recording fake.
#include <algorithm>
#include <cmath>

#include "fake_fixture.h"

using namespace drvtest;

namespace {

std::vector<Call> calls() {
    std::vector<Call> out;
    for (const Event &e : fake::carrier().log)
        out.push_back(e.call);
    return out;
}

TEST_F(FakeTest, InitChecksArgumentsBeforeTouchingAnything) {
    struct Case {
        ViUInt16 position;
        ViBoolean idQuery, reset;
        bool nullVi;
        ViStatus expected;
    };
    const Case cases[] = {
        {0, 1, 1, false, VI_ERROR_PARAMETER2}, {5, 1, 1, false, VI_ERROR_PARAMETER2},
        {1, 2, 1, false, VI_ERROR_PARAMETER3}, {4, 1, 2, false, VI_ERROR_PARAMETER4},
        {4, 0, 0, true, VI_ERROR_PARAMETER5},  {0, 2, 2, true, VI_ERROR_PARAMETER2},
    };
    for (const Case &c : cases) {
        ViSession s = 0x55;
        EXPECT_EQ(ortav_init(1, c.position, c.idQuery, c.reset, c.nullVi ? nullptr : &s),
                  c.expected);
        EXPECT_EQ(s, 0x55u);
    }
    EXPECT_TRUE(fake::carrier().log.empty());
}

TEST_F(FakeTest, InitSequence) {
    fake::carrier().id = 0x120F; // only the low byte is the model
    ASSERT_EQ(ortav_init(7, 3, 1, 1, &vi), ORTAV_WARN_INIT);
    rec = recordOf(vi);
    ASSERT_NE(rec, nullptr);
    const std::vector<Event> &log = fake::carrier().log;
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log[0].call, Call::MInit);
    EXPECT_EQ(log[0].offset, 3u);
    EXPECT_EQ(log[1].call, Call::SetAttr);
    EXPECT_EQ(log[1].offset, ATTR_MODULE_FLAG);
    EXPECT_EQ(log[1].value, 1u);
    EXPECT_EQ(log[2].offset, ATTR_MODULE_DATA);
    EXPECT_EQ(log[2].value, reinterpret_cast<std::uintptr_t>(rec));
    EXPECT_EQ(log[3].offset, ATTR_MODULE_TYPE);
    EXPECT_EQ(log[3].value, 15u);
    EXPECT_EQ(log[5].call, Call::MReset);
    EXPECT_EQ(log[5].value, 1u);

    std::vector<Access> got = accesses();
    std::vector<Access> head(got.begin(), got.begin() + std::min<size_t>(got.size(), 14));
    const std::vector<Access> expected = {
        R(0x02, 0x120F),                                          // identification
        R(0x04, 0),      W(0x04, 1),      W(0x04, 0),             // reset pulse
        R(0x0A, 0),      W(0x0A, 0x30),   W(0x0E, 0), W(0x10, 0), // both codes to 0
        W(0x18, 0xFFFF), R(0x18, 0xFFFF),                         // version probe
        W(0x04, 0),      W(0x12, 1),                              // control, write protection
        W(0x08, 2),      W(0x06, 4),                              // EEPROM read begins
    };
    EXPECT_EQ(head, expected);
    auto trig = std::find_if(log.begin(), log.end(),
                             [](const Event &e) { return e.call == Call::TrigLength; });
    ASSERT_NE(trig, log.end());
    EXPECT_EQ(trig->value, 0u);

    EXPECT_EQ(rec->modelCode, 15);
    EXPECT_EQ(rec->vi, vi);
    EXPECT_EQ(rec->carrierVi, 7u);
    EXPECT_EQ(rec->hwVersion, 1);
    // The fake EEPROM reads as zeros: unsigned, so nominal coefficients.
    EXPECT_EQ(rec->initStatus, ORTAV_ERROR_COEFF);
    EXPECT_EQ(ortav::driver::flashCoeff(rec, 1), 0);
    EXPECT_EQ(rec->coeff.R[1][17], 2457600.0);
    EXPECT_EQ(rec->coeff.r0[0], 0.0);
    EXPECT_EQ(rec->fixCode[0], 1208);
    EXPECT_EQ(rec->fixCode[1], 41);
    EXPECT_EQ(rec->fixCurrent[0], 0.00295);
    EXPECT_EQ(rec->fixCurrent[1], 0.0001);
    // One code write of the reset settles; the EEPROM read has no waits.
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.005});
}

TEST_F(FakeTest, InitWithoutResetOrQueryClearsTheRecord) {
    ASSERT_EQ(ortav_init(1, 2, 0, 0, &vi), ORTAV_WARN_INIT);
    rec = recordOf(vi);
    std::vector<Access> got = accesses();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[0], W(0x18, 0xFFFF));
    EXPECT_TRUE(std::none_of(fake::carrier().log.begin(), fake::carrier().log.end(),
                             [](const Event &e) { return e.call == Call::MReset; }));
    EXPECT_EQ(rec->nominalR, ortav_nominalR);
}

TEST_F(FakeTest, HardwareVersionFromTheProbe) {
    const std::pair<std::uint16_t, int> cases[] = {{0x0001, 2}, {0xFF01, 2}, {0xFFFF, 1}, {0, 1}};
    for (auto [probe, version] : cases) {
        fake::reset();
        fake::carrier().readValue = [probe](std::uint32_t off, std::uint16_t v) {
            return off == 0x18 ? probe : v;
        };
        ViSession s = 0;
        ASSERT_EQ(ortav_init(1, 1, 1, 1, &s), ORTAV_WARN_INIT);
        ViInt32 hw = 0;
        EXPECT_EQ(ortav_get_attribute(s, ORTAV_ATTR_HW_VERSION, &hw), VI_SUCCESS);
        EXPECT_EQ(hw, version) << std::hex << probe;
        ortav_close(s);
    }
    // A failing probe leaves version 1 and is not a warning of its own.
    fake::reset();
    failOn(Call::In, 0x18);
    ASSERT_EQ(ortav_init(1, 1, 1, 1, &vi), ORTAV_WARN_INIT);
    rec = recordOf(vi);
    EXPECT_EQ(rec->hwVersion, 1);
    EXPECT_EQ(rec->initStatus, ORTAV_ERROR_COEFF);
}

TEST_F(FakeTest, InitIdMismatchClosesEverything) {
    fake::carrier().id = 0x0010;
    vi = 0x77;
    EXPECT_EQ(ortav_init(1, 1, 1, 1, &vi), VI_ERROR_FAIL_ID_QUERY);
    EXPECT_EQ(vi, 0u);
    EXPECT_EQ(calls().back(), Call::MClose);
}

TEST_F(FakeTest, InitFailuresOfTheCarrier) {
    failOn(Call::MInit, 1, VI_ERROR_RSRC_NFOUND);
    vi = 0;
    EXPECT_EQ(ortav_init(1, 1, 1, 1, &vi), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(vi, 0u);

    for (ViAttr attr : {ATTR_MODULE_DATA, ATTR_MODULE_TYPE}) {
        fake::reset();
        failOn(Call::SetAttr, attr, VI_ERROR_NSUP_ATTR);
        ViSession s = 0;
        EXPECT_EQ(ortav_init(1, 1, 1, 1, &s), VI_ERROR_NSUP_ATTR);
        EXPECT_EQ(s, 0u);
        EXPECT_EQ(calls().back(), Call::MClose);
    }
    // The flag's result does not matter.
    fake::reset();
    failOn(Call::SetAttr, ATTR_MODULE_FLAG, VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(ortav_init(1, 1, 1, 1, &vi), ORTAV_WARN_INIT);
    rec = recordOf(vi);
}

TEST_F(FakeTest, LateStepFailuresOnlyWarn) {
    struct Case {
        Call call;
        std::uint32_t offset;
    };
    for (Case c : {Case{Call::Out, 0x12}, Case{Call::TrigLength, 0}}) {
        fake::reset();
        failOn(c.call, c.offset, VI_ERROR_TMO);
        ViSession s = 0;
        ASSERT_EQ(ortav_init(1, 1, 1, 1, &s), ORTAV_WARN_INIT);
        // The coefficient failure comes last and is what stays recorded.
        EXPECT_EQ(recordOf(s)->initStatus, ORTAV_ERROR_COEFF);
        EXPECT_NE(s, 0u);
        ortav_close(s);
    }
}

// An open that warns before the reset has never run resetDeviceData or read
// the EEPROM; nothing may meet an empty table or empty coefficients.
TEST_F(FakeTest, EarlyWarningStillHasTablesAndCoefficients) {
    struct Case {
        Call call;
        std::uint32_t offset;
    };
    for (Case c : {Case{Call::In, 0x02}, Case{Call::MReset, 0}}) {
        fake::reset();
        failOn(c.call, c.offset, VI_ERROR_TMO);
        ASSERT_EQ(ortav_init(1, 1, 1, 1, &vi), ORTAV_WARN_INIT);
        rec = recordOf(vi);
        fake::carrier().fault = nullptr;
        EXPECT_EQ(rec->initStatus, VI_ERROR_TMO);
        ASSERT_EQ(rec->nominalR, ortav_nominalR);
        EXPECT_EQ(rec->nominalR[0], 18.75);
        EXPECT_EQ(rec->nominalR[17], 2457600.0);
        EXPECT_EQ(rec->fixCurrent[0], 0.00295);
        EXPECT_EQ(rec->fixCode[1], 41);
        EXPECT_EQ(ortav::driver::flashCoeff(rec, 1), 0);

        // The application may write the image back, and outputs use nominal values.
        EXPECT_EQ(ortav_writeFlash(rec), VI_SUCCESS);
        clearRecord();
        EXPECT_EQ(ortav_config_R(vi, 1, 100.0), VI_SUCCESS);
        EXPECT_EQ(rec->code[0], 0x18);
        EXPECT_EQ(ortav_config_I(vi, 2, 0.00295), VI_SUCCESS);
        EXPECT_EQ(fake::carrier().regs[0x0C], 1208);

        // The self-test reports the open's failure and touches nothing.
        ViInt16 result = -1;
        char message[256];
        clearRecord();
        EXPECT_EQ(ortav_self_test(vi, &result, message), ORTAV_ERROR_SELF_TEST);
        EXPECT_EQ(result, static_cast<ViInt16>(VI_ERROR_TMO & 0xFF));
        EXPECT_TRUE(fake::carrier().log.empty());
        EXPECT_EQ(ortav_close(vi), VI_SUCCESS);
        vi = 0;
    }
}

TEST_F(FakeTest, SessionLookup) {
    open();
    DeviceData other{};
    other.modelCode = 14;
    fake::carrier().attributes[{0x999, ATTR_MODULE_DATA}] =
        reinterpret_cast<std::uintptr_t>(&other);
    fake::carrier().attributes[{0x998, ATTR_MODULE_DATA}] = 0;
    ViInt16 state = 0;
    struct Case {
        ViSession s;
        ViStatus expected;
    };
    for (Case c : {Case{0, VI_ERROR_INV_OBJECT}, Case{0x999, VI_ERROR_INV_SETUP},
                   Case{0x998, VI_ERROR_INV_SETUP}, Case{0x997, VI_ERROR_INV_SETUP}}) {
        EXPECT_EQ(ortav_reset(c.s), c.expected);
        EXPECT_EQ(ortav_state(c.s, &state), c.expected);
        EXPECT_EQ(ortav_switch(c.s, 1, 1), c.expected);
        EXPECT_EQ(ortav_mode_R(c.s, 1), c.expected);
        EXPECT_EQ(ortav_sft_interface(c.s, nullptr), c.expected);
        EXPECT_EQ(ortav_close(c.s), c.expected);
    }
    EXPECT_TRUE(fake::carrier().log.empty());
}

TEST_F(FakeTest, ResetSequence) {
    open();
    rec->trigMode = 1;
    rec->modeR = 1;
    rec->code[0] = 0x18;
    rec->iSet[1] = 0.001;
    rec->fixCode[0] = 0;
    fake::carrier().regs[0x04] = 0x0042;
    fake::carrier().regs[0x0A] = 0x0213;
    EXPECT_EQ(ortav_reset(vi), VI_SUCCESS);
    ASSERT_EQ(fake::carrier().log.front().call, Call::MReset);
    const std::vector<Access> expected = {
        R(0x04, 0x42),  W(0x04, 0x43), W(0x04, 0), R(0x0A, 0x213),
        W(0x0A, 0x233), W(0x0E, 0),    W(0x10, 0),
    };
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.005});
    EXPECT_EQ(rec->trigMode, 0);
    EXPECT_EQ(rec->modeR, 0);
    EXPECT_EQ(rec->code[0], 0);
    EXPECT_EQ(rec->iSet[1], 0.0);
    EXPECT_EQ(rec->fixCode[0], 1208);
}

TEST_F(FakeTest, ResetStopsAtTheFirstFailure) {
    open();
    failOn(Call::Out, 0x04, VI_ERROR_TMO);
    rec->modeR = 1;
    EXPECT_EQ(ortav_reset(vi), VI_ERROR_TMO);
    EXPECT_EQ(accesses().size(), 2u);
    EXPECT_EQ(rec->modeR, 1); // the record is left alone
}

TEST_F(FakeTest, LatchedFaultMakesResetFail) {
    open();
    fake::carrier().regs[0x04] = 0x0030;
    EXPECT_EQ(ortav::driver::chkBusy(rec), ORTAV_ERROR_BUSY);
    EXPECT_EQ(rec->fault, ORTAV_ERROR_BUSY);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.002});
    EXPECT_EQ(ortav_reset(vi), ORTAV_ERROR_INSTR);
    EXPECT_EQ(rec->fault, ORTAV_ERROR_BUSY); // only closing clears it
}

TEST_F(FakeTest, BusyCheck) {
    open();
    // Busy once, then free: no fault.
    int reads = 0;
    fake::carrier().readValue = [&](std::uint32_t off, std::uint16_t v) {
        return off == 0x04 ? std::uint16_t(++reads == 1 ? 0x0010 : 0) : v;
    };
    EXPECT_EQ(ortav::driver::chkBusy(rec), VI_SUCCESS);
    EXPECT_EQ(rec->fault, 0);
    EXPECT_EQ(reads, 2);
    // Free at once: one read, no wait.
    clearRecord();
    EXPECT_EQ(ortav::driver::chkBusy(rec), VI_SUCCESS);
    EXPECT_EQ(accesses().size(), 1u);
    EXPECT_TRUE(ortav::clock::waits().empty());
}

TEST_F(FakeTest, CloseDisconnectsThenReleases) {
    open();
    fake::carrier().regs[0x0A] = 0x0233;
    EXPECT_EQ(ortav_close(vi), VI_SUCCESS);
    EXPECT_EQ(accesses(), (std::vector<Access>{R(0x0A, 0x233), W(0x0A, 0x130)}));
    EXPECT_EQ(calls().back(), Call::MClose);
    vi = 0;
}

// A carrier that fails to close keeps the session; the driver must not leave
// it pointing at the freed record.
TEST_F(FakeTest, FailedCloseLeavesNoDanglingRecord) {
    open();
    failOn(Call::MClose, 0, VI_ERROR_CLOSING_FAILED);
    EXPECT_EQ(ortav_close(vi), VI_ERROR_CLOSING_FAILED);
    EXPECT_EQ(ortav_close(vi), VI_ERROR_INV_SETUP);
    EXPECT_EQ(ortav_switch(vi, 1, 1), VI_ERROR_INV_SETUP);
    vi = 0;
}

TEST_F(FakeTest, Attributes) {
    open();
    ViInt32 hw = 0;
    CoeffImage *image = nullptr;
    EXPECT_EQ(ortav_get_attribute(vi, 3, nullptr), VI_ERROR_PARAMETER2);
    EXPECT_EQ(ortav_get_attribute(vi, 0, &hw), VI_ERROR_PARAMETER2);
    EXPECT_EQ(ortav_get_attribute(vi, 1, nullptr), VI_ERROR_PARAMETER3);
    EXPECT_EQ(ortav_get_attribute(vi, 1, &hw), VI_SUCCESS);
    EXPECT_EQ(hw, 1);
    EXPECT_EQ(ortav_get_attribute(vi, 2, &image), VI_SUCCESS);
    EXPECT_EQ(image, &rec->coeff);
}

TEST_F(FakeTest, State) {
    open();
    ViInt16 state = -1;
    EXPECT_EQ(ortav_state(vi, nullptr), VI_ERROR_PARAMETER2);
    const std::pair<std::uint16_t, ViInt16> cases[] = {
        {0x0000, 0}, {0x0200, 1}, {0x0400, 2}, {0x0603, 3}, {0xF9FF, 0}};
    for (auto [reg, expected] : cases) {
        fake::carrier().regs[0x0A] = reg;
        EXPECT_EQ(ortav_state(vi, &state), VI_SUCCESS);
        EXPECT_EQ(state, expected) << std::hex << reg;
    }
    failOn(Call::In, 0x0A, VI_ERROR_TMO);
    state = 9;
    EXPECT_EQ(ortav_state(vi, &state), VI_ERROR_TMO);
    EXPECT_EQ(state, 9);
    EXPECT_EQ(rec->state[0], 0);
}

TEST_F(FakeTest, WriteVerifyAndSelect) {
    open();
    using ortav::driver::selectChannel;
    using ortav::driver::writeVerify;
    fake::carrier().readValue = [](std::uint32_t off, std::uint16_t v) {
        return off == 0x0C ? std::uint16_t(v | 0xF000) : v;
    };
    EXPECT_EQ(writeVerify(vi, 0x0C, 0x0FFF, 0x123), VI_SUCCESS); // upper bits ignored
    EXPECT_EQ(writeVerify(vi, 0x0C, 0xFFFF, 0x123), ORTAV_ERROR_REG + 0x0C);
    failOn(Call::Out, 0x0C, VI_ERROR_TMO);
    clearRecord();
    EXPECT_EQ(writeVerify(vi, 0x0C, 0x0FFF, 1), VI_ERROR_TMO);
    EXPECT_EQ(accesses().size(), 1u);
    fake::carrier().fault = nullptr;

    struct Case {
        std::uint16_t before;
        ViUInt16 channel;
        std::vector<Access> expected;
    };
    const Case cases[] = {
        {0x0213, 1, {R(0x0A, 0x213)}},
        {0x0213, 2, {R(0x0A, 0x213), W(0x0A, 0x223)}},
        {0x0203, 0, {R(0x0A, 0x203), W(0x0A, 0x233)}},
        {0x0033, 0, {R(0x0A, 0x33)}},
        {0x0033, 1, {R(0x0A, 0x33), W(0x0A, 0x13)}},
    };
    for (const Case &c : cases) {
        fake::carrier().regs[0x0A] = c.before;
        clearRecord();
        EXPECT_EQ(selectChannel(vi, c.channel), VI_SUCCESS);
        EXPECT_EQ(accesses(), c.expected) << c.before << " " << c.channel;
        EXPECT_TRUE(ortav::clock::waits().empty());
    }
}

} // namespace
