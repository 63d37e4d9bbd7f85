#include "fake_carrier.h"

#include <cstring>

#include "delay.h"
#include "visa.h"

namespace fake {

Carrier &carrier() {
    static Carrier c;
    return c;
}

void reset() {
    carrier() = Carrier{};
}

std::vector<Event> registerAccesses() {
    std::vector<Event> out;
    for (const Event &e : carrier().log)
        if (e.call == Call::In || e.call == Call::Out)
            out.push_back(e);
    return out;
}

namespace {

ViStatus record(Event e) {
    Carrier &c = carrier();
    e.time = ortav::clock::now();
    e.status = c.fault ? c.fault(e) : VI_SUCCESS;
    c.log.push_back(e);
    return e.status;
}

} // namespace

} // namespace fake

using fake::Call;
using fake::carrier;

extern "C" {

ViStatus carrik_init(ViConstRsrc, ViBoolean, ViBoolean, ViSession *vi) {
    *vi = 1;
    return VI_SUCCESS;
}
ViStatus carrik_close(ViSession) {
    return VI_SUCCESS;
}
ViStatus carrik_m_type_q(ViSession, ViInt16, ViInt16 *present, ViInt16 *model) {
    *present = 1;
    *model = 15;
    return VI_SUCCESS;
}

ViStatus carrik_error_message(ViSession, ViStatus status, ViChar message[]) {
    auto it = carrier().texts.find(status);
    if (it == carrier().texts.end())
        return VI_ERROR_PARAMETER2;
    std::strncpy(message, it->second.c_str(), 255);
    message[255] = '\0';
    return VI_SUCCESS;
}

ViStatus carrik_m_init(ViSession, ViInt16 position, ViSession *vi) {
    ViStatus s = fake::record({Call::MInit, static_cast<std::uint32_t>(position)});
    if (s >= 0)
        *vi = carrier().nextSession++;
    return s;
}

ViStatus carrik_m_close(ViSession vi) {
    return fake::record({Call::MClose, 0, vi});
}

ViStatus carrik_m_reset(ViSession, ViInt16 mode) {
    return fake::record({Call::MReset, 0, static_cast<std::uint64_t>(mode)});
}

ViStatus carrik_m_in16(ViSession, ViUInt32 offset, ViUInt16 *value) {
    fake::Carrier &c = carrier();
    std::uint16_t v = c.regs.count(offset) ? c.regs[offset] : 0;
    if (offset == 0x02)
        v = c.id;
    if (offset == 0x06)
        v = 0;
    if (c.readValue)
        v = c.readValue(offset, v);
    ViStatus s = fake::record({Call::In, offset, v});
    if (s >= 0)
        *value = v;
    return s;
}

ViStatus carrik_m_out16(ViSession, ViUInt32 offset, ViUInt16 value) {
    ViStatus s = fake::record({Call::Out, offset, value});
    if (s >= 0)
        carrier().regs[offset] = value;
    return s;
}

ViStatus carrik_m_set_attribute(ViSession vi, ViAttr attribute, ViAttrState value) {
    ViStatus s = fake::record({Call::SetAttr, attribute, value});
    if (s >= 0)
        carrier().attributes[{vi, attribute}] = value;
    return s;
}

ViStatus carrik_m_get_attribute(ViSession vi, ViAttr attribute, ViAttrState *value) {
    auto it = carrier().attributes.find({vi, attribute});
    if (it == carrier().attributes.end())
        return VI_ERROR_NSUP_ATTR;
    *value = it->second;
    return VI_SUCCESS;
}

ViStatus carrik_m_config_trigger(ViSession, ViInt16, ViInt16 mode) {
    return fake::record({Call::ConfigTrigger, 0, static_cast<std::uint64_t>(mode)});
}

ViStatus carrik_m_trig_length(ViSession, ViInt16 length) {
    return fake::record({Call::TrigLength, 0, static_cast<std::uint64_t>(length)});
}

} // extern "C"
