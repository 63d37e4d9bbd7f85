// Output configuration: resistor codes (with the optional transition code),
// current source, output switching and the trigger mode.
#include <cmath>

#include "delay.h"
#include "internal.h"

namespace ortav::driver {

namespace {

// Session lookup plus the latched-fault guard.
ViStatus guardedLookup(ViSession vi, DeviceData *&rec) {
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    if (rec->fault != 0)
        return ORTAV_ERROR_INSTR;
    return VI_SUCCESS;
}

// The start of every operation on a channel argument (0: both, 1, 2): the
// session's record, then the channel.
ViStatus channelCall(ViSession vi, ViUInt16 channel, DeviceData *&rec) {
    ViStatus s = guardedLookup(vi, rec);
    if (failed(s))
        return s;
    return channel <= 2 ? s : VI_ERROR_PARAMETER2;
}

// Channel indices an argument addresses: {first, last} inclusive.
struct Range {
    int first, last;
};
Range indices(ViUInt16 channel) {
    return channel == 0 ? Range{0, 1} : Range{channel - 1, channel - 1};
}

ViStatus writeDac(DeviceData *rec, int index, ViUInt16 dac) {
    ViStatus s = selectChannel(rec->vi, static_cast<ViUInt16>(index + 1));
    if (failed(s))
        return s;
    s = writeVerify(rec->vi, ORTAV_REG_DAC, 0x0FFF, dac);
    return s;
}

bool transitionDue(const DeviceData *rec, int i) {
    return rec->modeR != 0 && rec->state[i] != 0 && rec->applied[i] != rec->code[i];
}

} // namespace

std::int32_t TransCod(std::int32_t oldCode, std::int32_t newCode) {
    std::uint32_t o = static_cast<std::uint32_t>(oldCode) & kCodeBits;
    std::uint32_t n = static_cast<std::uint32_t>(newCode) & kCodeBits;
    std::uint32_t diff = o ^ n;
    // Codes equal on the module's 18 bits: nothing switches, no step needed.
    if (diff == 0)
        return static_cast<std::int32_t>(n);
    int d = 0;
    while (!(diff & (1u << d)))
        ++d;
    bool falling = !(n & (1u << d));
    if (falling) {
        o = ~o & kCodeBits;
        n = ~n & kCodeBits;
    }
    std::uint32_t above = kCodeBits & ~((2u << d) - 1);
    std::uint32_t r = o & n & above;
    if (falling)
        r = ~r & kCodeBits;
    if (r == 0)
        r = (kCodeBits << (d + 3)) & kCodeBits;
    return static_cast<std::int32_t>(r);
}

ViStatus writeCode(ViSession vi, std::uint32_t code) {
    ViStatus s = out16(vi, ORTAV_REG_CODE_LO, static_cast<ViUInt16>(code & 0xFFFF));
    if (failed(s))
        return s;
    return out16(vi, ORTAV_REG_CODE_HI, static_cast<ViUInt16>((code >> 16) & 3));
}

ViStatus applyCodes(DeviceData *rec, ViUInt16 channel) {
    if (rec->fault != 0)
        return ORTAV_ERROR_INSTR;
    ViSession vi = rec->vi;
    ViUInt16 chan = 0;
    ViStatus s = in16(vi, ORTAV_REG_CHAN, chan);
    if (failed(s))
        return s;

    auto step = [&](int i, std::int32_t code) {
        s = writeCode(vi, static_cast<std::uint32_t>(code));
        if (failed(s))
            return false;
        rec->applied[i] = code;
        Delay(kCodeSettle);
        return true;
    };

    if (channel != 0) {
        int i = channel - 1;
        s = selectChannel(vi, channel);
        if (failed(s))
            return s;
        if (transitionDue(rec, i) && !step(i, TransCod(rec->applied[i], rec->code[i])))
            return s;
        step(i, rec->code[i]);
        return s;
    }

    for (int i = 0; i < 2; ++i) {
        if (!transitionDue(rec, i))
            continue;
        s = selectChannel(vi, static_cast<ViUInt16>(i + 1));
        if (failed(s) || !step(i, TransCod(rec->applied[i], rec->code[i])))
            return s;
    }
    for (int i = 0; i < 2; ++i) {
        s = selectChannel(vi, static_cast<ViUInt16>(i + 1));
        if (failed(s) || !step(i, rec->code[i]))
            return s;
    }
    return s;
}

} // namespace ortav::driver

using namespace ortav::driver;

extern "C" {

ViStatus ortav_config(ViSession vi, ViUInt16 channel, ViReal64 resistance, ViUInt16 powerOn,
                      ViReal64 current) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    s = ortav_config_R(vi, channel, resistance);
    if (failed(s))
        return s;
    s = ortav_powering(vi, channel, powerOn);
    if (failed(s) || powerOn == 0)
        return s;
    return ortav_config_I(vi, channel, current);
}

ViStatus ortav_config_R(ViSession vi, ViUInt16 channel, ViReal64 resistance) {
    DeviceData *rec = nullptr;
    ViStatus s = channelCall(vi, channel, rec);
    if (failed(s))
        return s;
    bool none = std::fabs(resistance) <= 1e-12;
    if (!none && !(resistance >= 10.0 && resistance <= 10000.0))
        return VI_ERROR_PARAMETER3;
    Range r = indices(channel);

    if (resistance < 10.0) {
        s = selectChannel(vi, channel);
        if (failed(s))
            return s;
        s = writeCode(vi, 0);
        if (failed(s))
            return s;
        for (int i = r.first; i <= r.last; ++i)
            rec->code[i] = 0;
        Delay(kCodeSettle);
        return s;
    }

    s = getState(rec);
    if (failed(s))
        return s;
    for (int i = r.first; i <= r.last; ++i) {
        std::int32_t n = ortavMath_RtoN(&rec->coeff, i, resistance);
        rec->applied[i] = rec->code[i];
        rec->code[i] = n;
    }
    return applyCodes(rec, channel);
}

ViStatus ortav_config_I(ViSession vi, ViUInt16 channel, ViReal64 current) {
    DeviceData *rec = nullptr;
    ViStatus s = channelCall(vi, channel, rec);
    if (failed(s))
        return s;
    if (!(current >= 0.0001 && current <= 0.003))
        return VI_ERROR_PARAMETER3;
    Range r = indices(channel);
    for (int i = r.first; i <= r.last; ++i) {
        ViUInt16 n = ortavMath_ItoN(&rec->coeff, i, current);
        s = writeDac(rec, i, n);
        if (failed(s))
            return s;
        rec->iSet[i] = current;
        Delay(kDacSettle);
    }
    return s;
}

ViStatus ortav_set_I(ViSession vi, ViUInt16 channel, ViInt32 dacCode) {
    DeviceData *rec = nullptr;
    ViStatus s = channelCall(vi, channel, rec);
    if (failed(s))
        return s;
    Range r = indices(channel);
    for (int i = r.first; i <= r.last; ++i) {
        s = writeDac(rec, i, static_cast<ViUInt16>(dacCode & 0xFFFF));
        if (failed(s))
            return s;
        Delay(kDacSettle);
    }
    return s;
}

ViStatus ortav_powering(ViSession vi, ViUInt16 channel, ViUInt16 on) {
    DeviceData *rec = nullptr;
    ViStatus s = channelCall(vi, channel, rec);
    if (failed(s))
        return s;
    if (on > 1)
        return VI_ERROR_PARAMETER3;
    ViUInt16 old = 0;
    s = in16(vi, ORTAV_REG_CHAN, old);
    if (failed(s))
        return s;
    ViUInt16 power = channelBits(channel).power;
    ViUInt16 value = on ? ViUInt16(old | power) : ViUInt16(old & ~power);
    if (value == old)
        return s;
    s = out16(vi, ORTAV_REG_CHAN, value);
    if (failed(s))
        return s;
    Delay(kDacSettle);
    return s;
}

ViStatus ortav_switch(ViSession vi, ViUInt16 channel, ViUInt16 on) {
    DeviceData *rec = nullptr;
    ViStatus s = channelCall(vi, channel, rec);
    if (failed(s))
        return s;
    if (on > 1)
        return VI_ERROR_PARAMETER3;
    ViUInt16 value = 0;
    s = in16(vi, ORTAV_REG_CHAN, value);
    if (failed(s))
        return s;
    value &= 0x003F;
    ViUInt16 out = channelBits(channel).out;
    if (on) {
        value |= out;
        value |= rec->trigMode == 1 ? ORTAV_CHAN_ON_TRIGGER : ORTAV_CHAN_CONNECT;
    } else {
        value &= ~out;
        if (!(value & (ORTAV_CHAN_OUT1 | ORTAV_CHAN_OUT2)))
            value |= ORTAV_CHAN_ALL_OFF;
    }
    return out16(vi, ORTAV_REG_CHAN, value);
}

ViStatus ortav_config_trigger(ViSession vi, ViUInt16 mode) {
    DeviceData *rec = nullptr;
    ViStatus s = guardedLookup(vi, rec);
    if (failed(s))
        return s;
    if (mode > 1)
        return VI_ERROR_PARAMETER2;
    ortav::clock::settleWaits();
    carrik_m_config_trigger(vi, 0, static_cast<ViInt16>(mode));
    rec->trigMode = mode;
    return VI_SUCCESS;
}

ViStatus ortav_gstart_q(ViSession vi, ViInt16 *waiting) {
    DeviceData *rec = nullptr;
    ViStatus s = guardedLookup(vi, rec);
    if (failed(s))
        return s;
    if (waiting == nullptr)
        return VI_ERROR_PARAMETER2;
    *waiting = 0;
    if (rec->trigMode != 1)
        return s;
    ViUInt16 value = 0;
    s = in16(vi, ORTAV_REG_CHAN, value);
    if (failed(s))
        return s;
    const ViUInt16 done = ORTAV_CHAN_CONNECT | ORTAV_CHAN_ALL_OFF | ORTAV_CHAN_TRIGGERED;
    if ((value & (ORTAV_CHAN_OUT1 | ORTAV_CHAN_OUT2)) && (value & ORTAV_CHAN_ON_TRIGGER) &&
        !(value & done))
        *waiting = 1;
    return s;
}

ViStatus ortav_mode_R(ViSession vi, ViInt16 mode) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    rec->modeR = static_cast<ViUInt16>(mode);
    return VI_SUCCESS;
}

ViStatus ortav_chan_q(ViSession vi, ViUInt16 channel, ViReal64 *resistance, ViInt16 *powered,
                      ViReal64 *current, ViInt16 *state) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    if (channel != 1 && channel != 2)
        return VI_ERROR_PARAMETER2;
    ViUInt16 value = 0;
    s = in16(vi, ORTAV_REG_CHAN, value);
    if (failed(s))
        return s;
    int i = channel - 1;
    ChannelBits bits = channelBits(channel);
    if (state)
        *state = (value & bits.state) ? 1 : 0;
    if (powered)
        *powered = (value & bits.power) ? 1 : 0;
    if (current)
        *current = rec->iSet[i];
    if (resistance)
        *resistance = ortavMath_countR(&rec->coeff, rec->code[i], i);
    return s;
}

ViStatus ortav_switch_R(ViSession vi, ViUInt16 channel, ViUInt16 resistor, ViInt16 accumulate) {
    DeviceData *rec = nullptr;
    ViStatus s = guardedLookup(vi, rec);
    if (failed(s))
        return s;
    // The record holds codes for two channels and the module has 18 resistors.
    if (channel != 1 && channel != 2)
        return VI_ERROR_PARAMETER2;
    if (resistor > ORTAV_RESISTORS)
        return VI_ERROR_PARAMETER3;
    int i = channel - 1;
    // Resistor 0 wraps to bit 31, outside the module's 18 bits: nothing connected.
    std::uint32_t mask = 1u << ((resistor - 1u) & 31u);
    if (accumulate)
        mask |= static_cast<std::uint32_t>(rec->code[i]);

    ViUInt16 chan = 0;
    s = in16(vi, ORTAV_REG_CHAN, chan);
    if (failed(s))
        return s;
    const ViUInt16 both = ORTAV_CHAN_SEL1 | ORTAV_CHAN_SEL2;
    ViUInt16 select = channelBits(channel).select;
    if ((chan & both) != select) {
        s = writeVerify(vi, ORTAV_REG_CHAN, 0x01FF, ViUInt16((chan & ~both) | select));
        if (failed(s))
            return s;
        Delay(kDacSettle);
    }
    s = writeCode(vi, mask);
    if (failed(s))
        return s;
    Delay(kCodeSettle);
    rec->code[i] = static_cast<std::int32_t>(mask);
    rec->rSwitched[i] = ortavMath_countR(&rec->coeff, static_cast<ViInt32>(mask), i);
    return s;
}

} // extern "C"
