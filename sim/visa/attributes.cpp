#include "attributes.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <variant>

#include "rsrc_name.h"

namespace ortav::simvisa {

namespace {

using ortav::sim::Resource;
using ortav::sim::ResourceKind;

// A value of one of the widths attributes come in.
using Value = std::variant<ViUInt8, ViUInt16, ViInt16, ViUInt32, std::string>;

ViUInt16 intfTypeOf(const Resource &r) {
    switch (r.kind) {
    case ResourceKind::Vxi:
        return VI_INTF_VXI;
    case ResourceKind::Gpib:
        return VI_INTF_GPIB;
    case ResourceKind::Usb:
        return VI_INTF_USB;
    case ResourceKind::Tcpip:
        return VI_INTF_TCPIP;
    }
    return 0;
}

// The value of an attribute of an instrument session; nothing if it has none.
std::optional<Value> instrumentAttribute(const Session &s, const Resource &r, ViAttr attr) {
    switch (attr) {
    case VI_ATTR_RSRC_CLASS:
        return Value(std::string("INSTR"));
    case VI_ATTR_RSRC_NAME:
        return Value(r.name);
    case VI_ATTR_RSRC_LOCK_STATE:
        return Value(ViUInt32(lockState(s)));
    case VI_ATTR_INTF_TYPE:
        return Value(intfTypeOf(r));
    case VI_ATTR_INTF_NUM:
        return Value(ViUInt16(r.board));
    case VI_ATTR_TMO_VALUE:
        return Value(ViUInt32(s.timeoutMs));
    case VI_ATTR_TERMCHAR:
        return Value(ViUInt8(s.termChar));
    case VI_ATTR_TERMCHAR_EN:
        return Value(ViUInt16(s.termCharEnabled ? VI_TRUE : VI_FALSE));
    case VI_ATTR_SEND_END_EN:
        return Value(ViUInt16(s.sendEndEnabled ? VI_TRUE : VI_FALSE));
    default:
        break;
    }
    switch (r.kind) {
    case ResourceKind::Vxi:
        switch (attr) {
        case VI_ATTR_SLOT:
            return Value(ViInt16(r.slot));
        case VI_ATTR_MANF_ID:
            return Value(ViUInt16(r.manufacturer));
        case VI_ATTR_MODEL_CODE:
            return Value(ViUInt16(r.modelCode));
        case VI_ATTR_MAINFRAME_LA:
            return Value(ViInt16(r.mainframeLA));
        case VI_ATTR_VXI_LA:
            return Value(ViInt16(r.la));
        }
        break;
    case ResourceKind::Gpib:
        switch (attr) {
        case VI_ATTR_GPIB_PRIMARY_ADDR:
            return Value(ViUInt16(r.gpibPrimary));
        case VI_ATTR_GPIB_SECONDARY_ADDR:
            return Value(ViUInt16(r.gpibSecondary < 0 ? VI_NO_SEC_ADDR : r.gpibSecondary));
        }
        break;
    case ResourceKind::Usb:
        switch (attr) {
        case VI_ATTR_MANF_ID:
            return Value(ViUInt16(r.manufacturer));
        case VI_ATTR_MODEL_CODE:
            return Value(ViUInt16(r.modelCode));
        case VI_ATTR_USB_SERIAL_NUM:
            return Value(r.usbSerial);
        }
        break;
    case ResourceKind::Tcpip: {
        auto parsed = parseRsrcName(r.name);
        std::string host;
        std::string device = "inst0";
        if (parsed) {
            // Expanded form: TCPIPn::host::device::INSTR.
            const std::string &e = parsed->expanded;
            size_t a = e.find("::") + 2;
            size_t b = e.find("::", a);
            host = e.substr(a, b - a);
            device = e.substr(b + 2, e.find("::", b + 2) - (b + 2));
        }
        switch (attr) {
        case VI_ATTR_TCPIP_ADDR:
            return Value(r.tcpipAddress.empty() ? host : r.tcpipAddress);
        case VI_ATTR_TCPIP_HOSTNAME:
            return Value(host);
        case VI_ATTR_TCPIP_DEVICE_NAME:
            return Value(device);
        }
        break;
    }
    }
    return std::nullopt;
}

void store(const Value &v, void *out) {
    if (const std::string *text = std::get_if<std::string>(&v)) {
        size_t n = std::min(text->size(), size_t{255});
        std::memcpy(out, text->data(), n);
        static_cast<char *>(out)[n] = '\0';
        return;
    }
    std::visit(
        [out](const auto &x) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(x)>, std::string>)
                std::memcpy(out, &x, sizeof x);
        },
        v);
}

} // namespace

ViStatus getAttribute(ViSession vi, const Session &s, ViAttr attr, void *value) {
    (void)vi;
    if (!value)
        return VI_ERROR_INV_PARAMETER;
    std::optional<Value> v;
    // The implementation's identity, on every kind of session.
    switch (attr) {
    case VI_ATTR_RSRC_SPEC_VERSION:
        v = ViUInt32(kSpecVersion);
        break;
    case VI_ATTR_RSRC_IMPL_VERSION:
        v = ViUInt32(kImplVersion);
        break;
    case VI_ATTR_RSRC_MANF_ID:
        v = ViUInt16(kManfId);
        break;
    case VI_ATTR_RSRC_MANF_NAME:
        v = std::string(kManfName);
        break;
    default:
        break;
    }
    if (!v && s.kind == SessionKind::Instrument) {
        const Resource *r = resourceOf(s);
        if (!r)
            return VI_ERROR_CONN_LOST;
        v = instrumentAttribute(s, *r, attr);
    } else if (!v && s.kind == SessionKind::ResourceManager) {
        if (attr == VI_ATTR_RSRC_LOCK_STATE)
            v = ViUInt32(VI_NO_LOCK);
        else if (attr == VI_ATTR_TMO_VALUE)
            v = ViUInt32(s.timeoutMs);
        else if (attr == VI_ATTR_RSRC_CLASS)
            v = std::string("");
        else if (attr == VI_ATTR_RSRC_NAME)
            v = std::string("");
    }
    if (!v)
        return VI_ERROR_NSUP_ATTR;
    store(*v, value);
    return VI_SUCCESS;
}

ViStatus setAttribute(Session &s, ViAttr attr, ViAttrState value) {
    auto boolean = [&](bool &field) {
        if (value != VI_TRUE && value != VI_FALSE)
            return VI_ERROR_NSUP_ATTR_STATE;
        field = value == VI_TRUE;
        return VI_SUCCESS;
    };
    if (s.kind == SessionKind::FindList)
        return VI_ERROR_NSUP_ATTR;
    if (attr == VI_ATTR_TMO_VALUE) {
        if (value > 0xFFFFFFFFull)
            return VI_ERROR_NSUP_ATTR_STATE;
        s.timeoutMs = static_cast<ViUInt32>(value);
        return VI_SUCCESS;
    }
    if (s.kind == SessionKind::Instrument) {
        switch (attr) {
        case VI_ATTR_TERMCHAR:
            if (value > 0xFF)
                return VI_ERROR_NSUP_ATTR_STATE;
            s.termChar = static_cast<ViUInt8>(value);
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR_EN:
            return boolean(s.termCharEnabled);
        case VI_ATTR_SEND_END_EN:
            return boolean(s.sendEndEnabled);
        default:
            break;
        }
        const Resource *r = resourceOf(s);
        if (!r)
            return VI_ERROR_CONN_LOST;
        if (instrumentAttribute(s, *r, attr))
            return VI_ERROR_ATTR_READONLY;
    }
    switch (attr) {
    case VI_ATTR_RSRC_SPEC_VERSION:
    case VI_ATTR_RSRC_IMPL_VERSION:
    case VI_ATTR_RSRC_MANF_ID:
    case VI_ATTR_RSRC_MANF_NAME:
        return VI_ERROR_ATTR_READONLY;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

} // namespace ortav::simvisa
