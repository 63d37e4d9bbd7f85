// Opening, finding, resetting and closing a module session; the register
// helpers every operation stands on.
#include <cstdint>
#include <memory>
#include <new>

#include "delay.h"
#include "internal.h"

extern "C" const ViReal64 ortav_nominalR[ORTAV_RESISTORS] = {
    18.75,  37.5,    75.0,    150.0,   300.0,    600.0,    1200.0,   2400.0,    4800.0,
    9600.0, 19200.0, 38400.0, 76800.0, 153600.0, 307200.0, 614400.0, 1228800.0, 2457600.0};

namespace ortav::driver {

ChannelBits channelBits(ViUInt16 channel) {
    switch (channel) {
    case 1:
        return {ORTAV_CHAN_OUT1, ORTAV_CHAN_PWR1, ORTAV_CHAN_SEL1, ORTAV_CHAN_STATE1,
                ORTAV_CTRL_I1_OK};
    case 2:
        return {ORTAV_CHAN_OUT2, ORTAV_CHAN_PWR2, ORTAV_CHAN_SEL2, ORTAV_CHAN_STATE2,
                ORTAV_CTRL_I2_OK};
    default:
        return {ORTAV_CHAN_OUT1 | ORTAV_CHAN_OUT2, ORTAV_CHAN_PWR1 | ORTAV_CHAN_PWR2,
                ORTAV_CHAN_SEL1 | ORTAV_CHAN_SEL2, 0, 0};
    }
}

ViStatus lookup(ViSession vi, DeviceData *&rec) {
    rec = nullptr;
    if (vi == VI_NULL)
        return VI_ERROR_INV_OBJECT;
    ViAttrState value = 0;
    if (failed(carrik_m_get_attribute(vi, ATTR_MODULE_DATA, &value)))
        return VI_ERROR_INV_SETUP;
    auto *found = reinterpret_cast<DeviceData *>(static_cast<std::uintptr_t>(value));
    if (found == nullptr || found->modelCode != ORTAV_MODEL_CODE)
        return VI_ERROR_INV_SETUP;
    rec = found;
    return VI_SUCCESS;
}

void resetDeviceData(DeviceData *rec) {
    rec->trigMode = 0;
    for (int i = 0; i < 2; ++i) {
        rec->code[i] = 0;
        rec->applied[i] = 0;
        rec->rSwitched[i] = 0.0;
        rec->iSet[i] = 0.0;
        rec->state[i] = 0;
    }
    rec->modeR = 0;
    rec->fault = 0;
    rec->fixCurrent[0] = ORTAV_FIX_CURRENT_HI;
    rec->fixCurrent[1] = ORTAV_FIX_CURRENT_LO;
    rec->fixCode[0] = ORTAV_FIX_CODE_HI;
    rec->fixCode[1] = ORTAV_FIX_CODE_LO;
    rec->nominalR = ortav_nominalR;
}

ViStatus getState(DeviceData *rec) {
    ViUInt16 value = 0;
    ViStatus s = in16(rec->vi, ORTAV_REG_CHAN, value);
    if (failed(s))
        return s;
    rec->state[0] = (value & ORTAV_CHAN_STATE1) ? 1 : 0;
    rec->state[1] = (value & ORTAV_CHAN_STATE2) ? 1 : 0;
    return s;
}

ViStatus chkBusy(DeviceData *rec) {
    ViUInt16 value = 0;
    ViStatus s = in16(rec->vi, ORTAV_REG_CTRL, value);
    if (failed(s) || !(value & ORTAV_CTRL_BUSY))
        return s;
    Delay(kBusyRecheck);
    s = in16(rec->vi, ORTAV_REG_CTRL, value);
    if (failed(s) || !(value & ORTAV_CTRL_BUSY))
        return s;
    rec->fault = ORTAV_ERROR_BUSY;
    return ORTAV_ERROR_BUSY;
}

ViStatus writeVerify(ViSession vi, ViUInt32 offset, ViUInt16 mask, ViUInt16 value) {
    ViStatus s = out16(vi, offset, value);
    if (failed(s))
        return s;
    ViUInt16 back = 0;
    s = in16(vi, offset, back);
    if (failed(s))
        return s;
    if ((back ^ value) & mask)
        return ORTAV_ERROR_REG + static_cast<ViStatus>(offset);
    return s;
}

ViStatus selectChannel(ViSession vi, ViUInt16 channel) {
    ViUInt16 old = 0;
    ViStatus s = in16(vi, ORTAV_REG_CHAN, old);
    if (failed(s))
        return s;
    const ViUInt16 both = ORTAV_CHAN_SEL1 | ORTAV_CHAN_SEL2;
    ViUInt16 value =
        channel == 0 ? ViUInt16(old | both) : ViUInt16((old & ~both) | channelBits(channel).select);
    if (value != old)
        s = out16(vi, ORTAV_REG_CHAN, value);
    return s;
}

namespace {

struct SessionCloser {
    ViSession vi;
    ~SessionCloser() {
        if (vi != VI_NULL)
            carrik_m_close(vi);
    }
};

} // namespace

} // namespace ortav::driver

using namespace ortav::driver;

extern "C" {

ViStatus ortav_init(ViSession carrierVi, ViUInt16 position, ViBoolean idQuery, ViBoolean reset,
                    ViSession *vi) {
    if (position < 1 || position > 4)
        return VI_ERROR_PARAMETER2;
    if (idQuery > 1)
        return VI_ERROR_PARAMETER3;
    if (reset > 1)
        return VI_ERROR_PARAMETER4;
    if (vi == nullptr)
        return VI_ERROR_PARAMETER5;

    std::unique_ptr<DeviceData> rec(new (std::nothrow) DeviceData{});
    if (!rec)
        return VI_ERROR_ALLOC;
    // A session that returns early with a warning must still hold the fixed
    // points, the nominal table and usable coefficients.
    resetDeviceData(rec.get());
    flashCoeff(rec.get(), 0);

    ViSession session = VI_NULL;
    ViStatus s = carrik_m_init(carrierVi, static_cast<ViInt16>(position), &session);
    if (failed(s))
        return s;
    SessionCloser closer{session};

    carrik_m_set_attribute(session, ATTR_MODULE_FLAG, 1);
    *vi = session;
    rec->modelCode = ORTAV_MODEL_CODE;
    rec->vi = session;
    rec->carrierVi = carrierVi;

    s = carrik_m_set_attribute(
        session, ATTR_MODULE_DATA,
        static_cast<ViAttrState>(reinterpret_cast<std::uintptr_t>(rec.get())));
    if (!failed(s))
        s = carrik_m_set_attribute(session, ATTR_MODULE_TYPE, ORTAV_MODEL_CODE);
    if (failed(s)) {
        *vi = VI_NULL;
        return s;
    }

    if (idQuery == 1) {
        ViUInt16 id = 0;
        s = in16(session, ORTAV_REG_ID, id);
        if (failed(s)) {
            rec->initStatus = s;
            closer.vi = VI_NULL;
            rec.release();
            return ORTAV_WARN_INIT;
        }
        if ((id & 0xFF) != ORTAV_MODEL_CODE) {
            *vi = VI_NULL;
            return VI_ERROR_FAIL_ID_QUERY;
        }
    }

    // From here on the session is the caller's, whatever happens.
    closer.vi = VI_NULL;
    DeviceData *r = rec.release();

    if (reset == 1) {
        s = ortav_reset(session);
        if (failed(s)) {
            r->initStatus = s;
            return ORTAV_WARN_INIT;
        }
    } else {
        resetDeviceData(r);
    }

    r->hwVersion = 1;
    if (!failed(out16(session, ORTAV_REG_VERSION, 0xFFFF))) {
        ViUInt16 version = 0;
        if (!failed(in16(session, ORTAV_REG_VERSION, version)) && (version & 0xFF) == 1)
            r->hwVersion = 2;
    }

    ViStatus result = VI_SUCCESS;
    auto note = [&](ViStatus step) {
        if (failed(step)) {
            r->initStatus = step;
            result = ORTAV_WARN_INIT;
        }
    };
    note(out16(session, ORTAV_REG_CTRL, 0));
    note(out16(session, ORTAV_REG_WP, 1));
    note(carrik_m_trig_length(session, 0));

    if (failed(ortav_readFlash(r))) {
        r->initStatus = ORTAV_ERROR_COEFF;
        result = ORTAV_WARN_INIT;
        flashCoeff(r, 0);
    }
    return result;
}

ViStatus ortav_close(ViSession vi) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    ortav_switch(vi, 0, 0);
    // If the carrier keeps the session after a failed close, a later look-up
    // must find no record rather than freed memory.
    carrik_m_set_attribute(vi, ATTR_MODULE_DATA, 0);
    rec->modelCode = 0;
    delete rec;
    ortav::clock::settleWaits();
    return carrik_m_close(vi);
}

ViStatus ortav_reset(ViSession vi) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    ortav::clock::settleWaits();
    s = carrik_m_reset(vi, 1);
    if (failed(s))
        return s;
    ViUInt16 ctrl = 0;
    s = in16(vi, ORTAV_REG_CTRL, ctrl);
    if (failed(s))
        return s;
    s = out16(vi, ORTAV_REG_CTRL, ctrl | ORTAV_CTRL_RESET);
    if (failed(s))
        return s;
    s = out16(vi, ORTAV_REG_CTRL, 0);
    if (failed(s))
        return s;
    s = ortav_config_R(vi, 0, 0.0);
    if (failed(s))
        return s;
    resetDeviceData(rec);
    return s;
}

ViStatus ortav_get_attribute(ViSession vi, ViInt32 attribute, void *value) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    if (attribute != ORTAV_ATTR_HW_VERSION && attribute != ORTAV_ATTR_COEFF)
        return VI_ERROR_PARAMETER2;
    if (value == nullptr)
        return VI_ERROR_PARAMETER3;
    if (attribute == ORTAV_ATTR_HW_VERSION)
        *static_cast<ViInt32 *>(value) = rec->hwVersion;
    else
        *static_cast<CoeffImage **>(value) = &rec->coeff;
    return VI_SUCCESS;
}

ViStatus ortav_state(ViSession vi, ViInt16 *state) {
    DeviceData *rec = nullptr;
    ViStatus s = lookup(vi, rec);
    if (failed(s))
        return s;
    if (state == nullptr)
        return VI_ERROR_PARAMETER2;
    s = getState(rec);
    if (!failed(s))
        *state = static_cast<ViInt16>(rec->state[0] | rec->state[1] << 1);
    return s;
}

} // extern "C"
