// The self-test's order, waits, results, texts and callback on the recording
// fake, whose check register answers as a test tells it.
#include <string>

#include "fake_fixture.h"

using namespace drvtest;

namespace {

struct Question {
    ViInt16 channel, code;
    std::string message;
};

std::vector<Question> questions;
ViInt16 answer = 0;

ViInt16 callback(ViSession, ViInt16 channel, ViInt16 code, ViChar message[]) {
    questions.push_back({channel, code, message});
    return answer;
}

class SelfTestFake : public FakeTest {
protected:
    void SetUp() override {
        FakeTest::SetUp();
        questions.clear();
        answer = 0;
    }
    // The module's checks: in test mode the check bits read as `checks`, with
    // bit 0x0040 cleared while resistor `badResistor` alone is connected.
    void module(std::uint16_t checks, int badResistor = -1) {
        fake::carrier().readValue = [checks, badResistor](std::uint32_t off, std::uint16_t v) {
            if (off != 0x04 || !(v & 0x0002))
                return v;
            auto &regs = fake::carrier().regs;
            std::uint32_t code = regs[0x0E] | std::uint32_t(regs[0x10] & 3) << 16;
            std::uint16_t bits = checks;
            if (badResistor >= 0 && code == (1u << badResistor))
                bits &= ~0x0040;
            return std::uint16_t(v | bits);
        };
    }
    ViStatus run() {
        std::fill(std::begin(message), std::end(message), 'x');
        message[255] = 0;
        result = -1;
        return ortav_self_test(vi, &result, message);
    }

    ViInt16 result = -1;
    char message[256];
};

// Writes of a reset whose control register read gives `ctrl`, from a channel
// register `chan`.
void resetWrites(std::vector<Access> &v, std::uint16_t ctrl, std::uint16_t chan) {
    v.push_back(W(0x04, ctrl | 1));
    v.push_back(W(0x04, 0));
    if ((chan | 0x30) != chan)
        v.push_back(W(0x0A, chan | 0x30));
    v.push_back(W(0x0E, 0));
    v.push_back(W(0x10, 0));
}

void walkingOne(std::vector<Access> &v, std::uint32_t offset, int bits) {
    for (int i = 0; i < bits; ++i)
        v.push_back(W(offset, std::uint16_t(1u << i)));
}

TEST_F(SelfTestFake, HealthyModuleOrderAndWaits) {
    open();
    module(0x01C0);
    EXPECT_EQ(run(), VI_SUCCESS);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "Самоконтроль завершен успешно");

    std::vector<Access> expected;
    resetWrites(expected, 0x0000, 0x0030);
    walkingOne(expected, 0x04, 2);
    expected.push_back(W(0x04, 2));
    walkingOne(expected, 0x0A, 9);
    walkingOne(expected, 0x0C, 12);
    resetWrites(expected, 0x01C2, 0x0100);
    expected.insert(expected.end(), {W(0x04, 2), W(0x0A, 0x30), W(0x0C, 1138), W(0x0E, 0xFFFF),
                                     W(0x10, 3), W(0x0A, 0x3C), W(0x0A, 0), W(0x0A, 0x30)});
    for (int k = 0; k < 18; ++k) {
        expected.push_back(W(0x0E, std::uint16_t((1u << k) & 0xFFFF)));
        expected.push_back(W(0x10, std::uint16_t((1u << k) >> 16)));
    }
    resetWrites(expected, 0x01C2, 0x0030);
    EXPECT_EQ(writes(), expected);

    std::vector<double> waits{0.005, 0.005, 0.001, 0.005, 0.005, 0.005, 0.001};
    waits.insert(waits.end(), 18, 0.005);
    waits.push_back(0.005);
    EXPECT_EQ(ortav::clock::waits(), waits);
    int resets = 0;
    for (const Event &e : fake::carrier().log)
        resets += e.call == Call::MReset;
    EXPECT_EQ(resets, 3);
}

TEST_F(SelfTestFake, CurrentCheckFailsWithoutCallback) {
    open();
    module(0x00C0); // channel 2's current check never passes
    EXPECT_EQ(run(), VI_SUCCESS);
    EXPECT_EQ(result, 2);
    EXPECT_STREQ(message, "Контроль формирования тока на канале 2 не прошел");
}

TEST_F(SelfTestFake, ResistorTextShowsCalibratedValue) {
    open();
    module(0x01C0, 0);
    EXPECT_EQ(run(), VI_SUCCESS);
    EXPECT_EQ(result, 3);
    EXPECT_STREQ(message, "Контроль подключения резисторов не прошел (резистор 18.75)");

    rec->coeff.R[0][17] = 2500123.5;
    module(0x01C0, 17);
    EXPECT_EQ(run(), VI_SUCCESS);
    EXPECT_STREQ(message, "Контроль подключения резисторов не прошел (резистор 2.50012e+06)");
}

TEST_F(SelfTestFake, CallbackHearsEveryFailureAndMayGoOn) {
    open();
    ASSERT_EQ(ortav_sft_interface(vi, callback), VI_SUCCESS);
    module(0x0040, 4); // both current checks and resistor 4 fail
    EXPECT_EQ(run(), VI_SUCCESS);
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(questions[0].channel, 1);
    EXPECT_EQ(questions[0].code, 1);
    EXPECT_EQ(questions[0].message, "Контроль формирования тока на канале 1 не прошел");
    EXPECT_EQ(questions[1].channel, 2);
    EXPECT_EQ(questions[1].code, 2);
    EXPECT_EQ(questions[2].channel, 0);
    EXPECT_EQ(questions[2].code, 3);
    EXPECT_EQ(questions[2].message, "Контроль подключения резисторов не прошел (резистор 300)");
    EXPECT_EQ(result, 3); // the last failure stands
}

TEST_F(SelfTestFake, CallbackStopsAtFirstFailure) {
    open();
    ASSERT_EQ(ortav_sft_interface(vi, callback), VI_SUCCESS);
    answer = 1;
    module(0x0140); // channel 1 fails first
    EXPECT_EQ(run(), VI_SUCCESS);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "Контроль формирования тока на канале 1 не прошел");
    // No resistor step ran, and the module was reset after the stop.
    std::vector<Access> w = writes();
    for (const Access &a : w)
        EXPECT_FALSE(a.offset == 0x0E && a.value == 1) << "resistor step after stop";
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(std::vector<Access>(w.end() - 2, w.end()),
              (std::vector<Access>{W(0x0E, 0), W(0x10, 0)}));
    EXPECT_EQ(rec->sftCallback, &callback); // stays installed

    // A negative answer is what the test returns as an error.
    questions.clear();
    answer = -1;
    EXPECT_EQ(run(), ORTAV_ERROR_SELF_TEST);
    EXPECT_EQ(questions.size(), 1u);
}

TEST_F(SelfTestFake, StuckRegisterBit) {
    open();
    module(0x01C0);
    auto checks = fake::carrier().readValue;
    fake::carrier().readValue = [checks](std::uint32_t off, std::uint16_t v) {
        v = checks(off, v);
        return off == 0x0C ? std::uint16_t(v | 0x0004) : v; // DAC bit 2 stuck at 1
    };
    ASSERT_EQ(ortav_sft_interface(vi, callback), VI_SUCCESS);
    EXPECT_EQ(run(), VI_SUCCESS); // later accesses succeeded
    ASSERT_GE(questions.size(), 1u);
    EXPECT_EQ(questions[0].channel, 0);
    EXPECT_EQ(questions[0].code, 0);
    EXPECT_EQ(questions[0].message, "Ошибка в регистре c");
    // Step i's verified DAC write fails too (1138 has bit 2 clear).
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "Ошибка в регистре c");

    // Stopped at the register failure: *result 0, return by the answer.
    questions.clear();
    answer = 1;
    EXPECT_EQ(run(), VI_SUCCESS);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_STREQ(message, "Ошибка в регистре c");
}

TEST_F(SelfTestFake, ErrorOnTheLastAccessFailsTheTest) {
    open();
    module(0x01C0);
    fake::carrier().fault = [](const Event &e) {
        bool last = fake::carrier().regs[0x10] == 2; // resistor 17 connected
        return e.call == Call::In && e.offset == 0x04 && last ? VI_ERROR_TMO : VI_SUCCESS;
    };
    EXPECT_EQ(run(), ORTAV_ERROR_SELF_TEST);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "Неизвестный код статуса"); // the fake carrier has no text for it
}

TEST_F(SelfTestFake, ReportsTheOpenFailureInstead) {
    open();
    rec->initStatus = ORTAV_ERROR_COEFF;
    EXPECT_EQ(run(), ORTAV_ERROR_SELF_TEST);
    EXPECT_EQ(result, 8);
    EXPECT_STREQ(message, "Ошибочные коэффициенты из РПЗУ(ошибка инициализации)");
    EXPECT_TRUE(fake::carrier().log.empty());

    // A carrier text that fills the buffer still leaves a terminated message.
    fake::carrier().texts[VI_ERROR_TMO] = std::string(200, 'a') + std::string(40, 'b');
    rec->initStatus = VI_ERROR_TMO;
    EXPECT_EQ(run(), ORTAV_ERROR_SELF_TEST);
    EXPECT_EQ(result, static_cast<ViInt16>(VI_ERROR_TMO & 0xFF));
    std::string text = message;
    EXPECT_LT(text.size(), 256u);
    EXPECT_EQ(text.substr(0, 240), std::string(200, 'a') + std::string(40, 'b'));
}

TEST_F(FakeTest, RegisterBitTest) {
    open();
    using ortav::driver::testRegBits;
    EXPECT_EQ(testRegBits(vi, 0x0A, 9), VI_SUCCESS);
    EXPECT_EQ(accesses().size(), 18u);
    // Bits above the tested ones do not count.
    fake::carrier().readValue = [](std::uint32_t off, std::uint16_t v) {
        return off == 0x0A ? std::uint16_t(v | 0xFE00) : v;
    };
    EXPECT_EQ(testRegBits(vi, 0x0A, 9), VI_SUCCESS);
    fake::carrier().readValue = [](std::uint32_t off, std::uint16_t v) {
        return off == 0x0A ? std::uint16_t(v & ~0x0020) : v;
    };
    clearRecord();
    EXPECT_EQ(testRegBits(vi, 0x0A, 9), ORTAV_ERROR_REG + 0x0A);
    EXPECT_EQ(accesses().size(), 12u); // stopped at bit 5
    // Any non-zero status of an access ends it, warnings included.
    fake::carrier().readValue = nullptr;
    failNth(Call::In, 0x0C, 3, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(testRegBits(vi, 0x0C, 12), VI_SUCCESS_TERM_CHAR);
}

} // namespace
