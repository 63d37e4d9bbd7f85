// Self-test: walking-one test of three registers, then the module's own check
// logic (test mode) for both current sources and each of the 18 resistors.
#include <charconv>
#include <cstdio>
#include <string>

#include "delay.h"
#include "internal.h"

namespace ortav::driver {

ViStatus testRegBits(ViSession vi, ViUInt32 offset, int bits) {
    const unsigned low = (1u << bits) - 1;
    for (int i = 0; i < bits; ++i) {
        const ViUInt16 one = static_cast<ViUInt16>(1u << i);
        ViStatus s = out16(vi, offset, one);
        if (s != VI_SUCCESS)
            return s;
        ViUInt16 back = 0;
        s = in16(vi, offset, back);
        if (s != VI_SUCCESS)
            return s;
        if ((back & low) != one)
            return ORTAV_ERROR_REG + static_cast<ViStatus>(offset);
    }
    return VI_SUCCESS;
}

namespace {

constexpr std::string_view kPassed = "Самоконтроль завершен успешно";
constexpr std::string_view kInitFailed = "(ошибка инициализации)";

// "%g" of the C locale, whatever locale the program runs in.
std::string_view formatG(double value, char (&buf)[32]) {
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return {buf, static_cast<std::size_t>(r.ptr - buf)};
}

class SelfTest {
public:
    SelfTest(DeviceData *rec, ViInt16 *result, ViChar *message)
        : rec_(rec), vi_(rec->vi), result_(result), message_(message) {}

    ViStatus run();

private:
    // Records a step's status; on failure reports it and asks whether to stop.
    bool step(ViStatus s) {
        status_ = s;
        if (!failed(s))
            return true;
        *result_ = 0;
        ortav_error_message(VI_NULL, s, message_);
        return !ask(0, 0);
    }
    // Reports a failed check (already in message and result); true to go on.
    bool check(ViInt16 channel, ViInt16 code) {
        if (!ask(channel, code))
            return true;
        *result_ = 0;
        return false;
    }
    // The callback's answer; non-zero stops the test and becomes the status.
    bool ask(ViInt16 channel, ViInt16 code) {
        if (rec_->sftCallback == nullptr)
            return false;
        ViInt16 answer = rec_->sftCallback(vi_, channel, code, message_);
        if (answer == 0)
            return false;
        status_ = answer;
        stopped_ = true;
        return true;
    }
    bool testPhase();
    bool currentCheck(ViUInt16 ctrl);
    bool resistorCheck();

    DeviceData *rec_;
    ViSession vi_;
    ViInt16 *result_;
    ViChar *message_;
    ViStatus status_ = VI_SUCCESS;
    bool stopped_ = false;
};

bool SelfTest::testPhase() {
    if (!step(ortav_reset(vi_)))
        return false;
    if (!step(testRegBits(vi_, ORTAV_REG_CTRL, 2)))
        return false;
    if (!step(out16(vi_, ORTAV_REG_CTRL, ORTAV_CTRL_TEST)))
        return false;
    if (!step(testRegBits(vi_, ORTAV_REG_CHAN, 9)))
        return false;
    if (!step(testRegBits(vi_, ORTAV_REG_DAC, 12)))
        return false;
    if (!step(ortav_reset(vi_)))
        return false;
    if (!step(out16(vi_, ORTAV_REG_CTRL, ORTAV_CTRL_TEST)))
        return false;
    if (!step(writeVerify(vi_, ORTAV_REG_CHAN, 0x01FF, ORTAV_CHAN_SEL1 | ORTAV_CHAN_SEL2)))
        return false;
    // 2.78 mA with channel 1's coefficients into both selected channels.
    ViStatus s = writeVerify(vi_, ORTAV_REG_DAC, 0x0FFF, ortavMath_ItoN(&rec_->coeff, 0, 0.00278));
    if (!failed(s))
        Delay(kDacSettle);
    if (!step(s))
        return false;
    s = writeCode(vi_, kCodeBits);
    if (!failed(s))
        Delay(kCodeSettle);
    if (!step(s))
        return false;
    s = writeVerify(vi_, ORTAV_REG_CHAN, 0x01FF,
                    ORTAV_CHAN_SEL1 | ORTAV_CHAN_SEL2 | ORTAV_CHAN_PWR1 | ORTAV_CHAN_PWR2);
    if (!failed(s))
        Delay(kCodeSettle);
    if (!step(s))
        return false;
    ViUInt16 ctrl = 0;
    s = in16(vi_, ORTAV_REG_CTRL, ctrl);
    if (!step(s))
        return false;
    // Nothing to judge when the check register could not be read.
    if (!failed(s) && !currentCheck(ctrl))
        return false;
    return resistorCheck();
}

bool SelfTest::currentCheck(ViUInt16 ctrl) {
    for (ViInt16 n = 1; n <= 2; ++n) {
        if (ctrl & channelBits(static_cast<ViUInt16>(n)).currentOk)
            continue;
        char text[ORTAV_MESSAGE_SIZE];
        std::snprintf(text, sizeof text, "Контроль формирования тока на канале %d не прошел", n);
        putText(message_, ORTAV_MESSAGE_SIZE, text);
        *result_ = n;
        if (!check(n, n))
            return false;
    }
    return true;
}

bool SelfTest::resistorCheck() {
    ViStatus s = writeVerify(vi_, ORTAV_REG_CHAN, 0x01FF, 0);
    if (!failed(s))
        Delay(kCodeSettle);
    if (!step(s))
        return false;
    s = writeVerify(vi_, ORTAV_REG_CHAN, 0x01FF, ORTAV_CHAN_SEL1 | ORTAV_CHAN_SEL2);
    if (!failed(s))
        Delay(kDacSettle);
    if (!step(s))
        return false;

    for (int k = 0; k < ORTAV_RESISTORS; ++k) {
        s = writeCode(vi_, 1u << k);
        if (!failed(s))
            Delay(kCodeSettle);
        if (!step(s))
            return false;
        ViUInt16 ctrl = 0;
        s = in16(vi_, ORTAV_REG_CTRL, ctrl);
        if (!step(s))
            return false;
        if (failed(s) || (ctrl & ORTAV_CTRL_R_OK))
            continue;
        char value[32];
        std::string text = "Контроль подключения резисторов не прошел (резистор ";
        text += formatG(rec_->coeff.R[0][k], value);
        text += ")";
        putText(message_, ORTAV_MESSAGE_SIZE, text);
        *result_ = 3;
        if (!check(0, 3))
            return false;
    }
    return true;
}

ViStatus SelfTest::run() {
    if (rec_->initStatus != 0) {
        *result_ = static_cast<ViInt16>(rec_->initStatus & 0xFF);
        ortav_error_message(VI_NULL, rec_->initStatus, message_);
        appendText(message_, ORTAV_MESSAGE_SIZE, kInitFailed);
        return ORTAV_ERROR_SELF_TEST;
    }
    *result_ = 0;
    putText(message_, ORTAV_MESSAGE_SIZE, kPassed);
    testPhase();
    ortav_reset(vi_);
    return failed(status_) ? ORTAV_ERROR_SELF_TEST : VI_SUCCESS;
}

} // namespace

} // namespace ortav::driver

using namespace ortav::driver;

extern "C" {

ViStatus ortav_sft_interface(ViSession vi, SftCallback callback) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    rec->sftCallback = callback;
    return VI_SUCCESS;
}

ViStatus ortav_self_test(ViSession vi, ViInt16 *result, ViChar message[]) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    if (result == nullptr)
        return VI_ERROR_PARAMETER2;
    if (message == nullptr)
        return VI_ERROR_PARAMETER3;
    return SelfTest(rec, result, message).run();
}

} // extern "C"
