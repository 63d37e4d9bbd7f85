// Discovery: every VISA resource is looked at once; carriers of ours are known
// by their VXI maker and model or by their "*IDN?" reply, and the mezzanines on
// each are asked for through the carrier driver, bound by name.
#include "instruments.h"
#include "long_run.h"

#include "library.h"
#include "text_limits.h"
#include "userint.h"
#include "visa.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

InstrumentEntry Instruments[MAX_INSTRUMENTS];

CarrikInitFn p_carrik_init = nullptr;
CarrikCloseFn p_carrik_close = nullptr;
CarrikTypeQFn p_carrik_m_type_q = nullptr;

namespace {

constexpr ViUInt16 kMakerId = 0xC5B;
constexpr uint16_t kBoxModel = 0x1004;
constexpr std::string_view kIdnPrefix = "KORDAVELIN,CARRIK";

enum : ViUInt16 { INTF_VXI = 2, INTF_GPIB_VXI = 3, INTF_TCPIP = 6, INTF_USB = 7 };

const char *carrierFormat(uint16_t model) {
    switch (model) {
    case 0x10D:
        return "Н.М.  Л.А.крейта:0x%02X, слот:%d\n(%s)";
    case 0x155:
        return "Н.М.У.  Л.А.крейта:0x%02X, слот:%d\n(%s)";
    case 0x177:
        return "Н.М.М.  Л.А.крейта:0x%02X, слот:%d\n(%s)";
    default:
        return nullptr;
    }
}

// Bound once and kept for the life of the program; a failed binding is tried
// again at the next carrier.
bool bindCarrier() {
    if (p_carrik_init != nullptr && p_carrik_close != nullptr && p_carrik_m_type_q != nullptr)
        return true;
    static ortav::loader::Library library;
    if (!library.load("carrik_32.dll"))
        return false;
    if (!library.bind("carrik_init", p_carrik_init) ||
        !library.bind("carrik_close", p_carrik_close) ||
        !library.bind("carrik_m_type_q", p_carrik_m_type_q)) {
        p_carrik_init = nullptr;
        p_carrik_close = nullptr;
        p_carrik_m_type_q = nullptr;
        library.close();
        return false;
    }
    return true;
}

// Adds an entry for each mezzanine of carrier entry c right after it; returns
// how many were added (no more than `room`).
int scanMezzanines(const InstrumentEntry &c, InstrumentEntry *after, int room) {
    if (!bindCarrier())
        return 0;
    ViSession s = 0;
    if (p_carrik_init(c.Address, 1, 1, &s) < 0)
        return 0;
    int added = 0;
    for (ViInt16 position = 1; position <= 4; ++position) {
        ViInt16 present = 0, type = 0;
        if (p_carrik_m_type_q(s, position, &present, &type) < 0)
            break;
        if (present == 0)
            continue;
        if (added >= room)
            break; // the table is full
        InstrumentEntry &e = after[added++];
        e = c;
        e.model = static_cast<uint16_t>(type);
        e.Meznum = static_cast<uint16_t>(position);
        e.kind = KIND_MEZZANINE;
        char text[512];
        std::snprintf(text, sizeof text, "%s мезонин N %d модель 0x%x", c.descr, position,
                      static_cast<unsigned>(static_cast<uint16_t>(type)));
        copyText(e.descr, sizeof e.descr, text);
    }
    p_carrik_close(s);
    return added;
}

// A VXI device: its entry, or false when it is not kept (no slot, or 13 and above).
bool describeVxi(ViSession instr, const char *name, InstrumentEntry &e, bool &ours) {
    ViInt16 slot = -1;
    if (viGetAttribute(instr, VI_ATTR_SLOT, &slot) != VI_SUCCESS || slot < 0 || slot >= 13)
        return false;
    ViInt16 frameLA = 0, la = 0;
    ViUInt16 maker = 0, model = 0;
    viGetAttribute(instr, VI_ATTR_MAINFRAME_LA, &frameLA);
    viGetAttribute(instr, VI_ATTR_VXI_LA, &la);
    viGetAttribute(instr, VI_ATTR_MANF_ID, &maker);
    viGetAttribute(instr, VI_ATTR_MODEL_CODE, &model);
    e.slot = static_cast<uint16_t>(slot);
    copyText(e.Address, sizeof e.Address, name);
    e.frameLA = static_cast<uint16_t>(frameLA);
    e.logAddr = la;
    e.model = model & 0x0FFF;
    char text[512];
    const char *format = carrierFormat(e.model);
    ours = maker == kMakerId && format != nullptr;
    if (ours)
        std::snprintf(text, sizeof text, format, e.frameLA, e.slot, e.Address);
    else
        std::snprintf(text, sizeof text, "Модель 0x%x Л.А.крейта:0x%02X, слот:%d\n(%s)", e.model,
                      e.frameLA, e.slot, e.Address);
    copyText(e.descr, sizeof e.descr, text);
    return true;
}

// A USB or LXI carrier box of ours, known by its identification reply.
bool describeBox(ViSession instr, const char *name, ViUInt16 intf, InstrumentEntry &e) {
    if (viLock(instr, VI_EXCLUSIVE_LOCK, 2000, VI_NULL, VI_NULL) < 0)
        return false;
    copyText(e.Address, sizeof e.Address, name);
    char reply[256] = "";
    ViInt32 size = sizeof reply - 1; // room for the end of the text, whatever VISA does
    ViStatus st = viQueryf(instr, "*IDN?\n", "%#t", &size, reply);
    reply[sizeof reply - 1] = '\0';
    if (size >= 0 && size < static_cast<ViInt32>(sizeof reply))
        reply[size] = '\0';
    viUnlock(instr);
    if (st < 0)
        return false;
    std::string_view r(reply);
    // The line end closes the message; it is no part of the last field.
    while (!r.empty() && (r.back() == '\n' || r.back() == '\r'))
        r.remove_suffix(1);
    if (r.substr(0, kIdnPrefix.size()) != kIdnPrefix)
        return false;
    // The character right after the prefix (normally its comma) is skipped.
    std::string_view rest =
        r.size() > kIdnPrefix.size() + 1 ? r.substr(kIdnPrefix.size() + 1) : std::string_view();
    std::size_t comma = rest.find(',');
    copyText(e.serialNo, sizeof e.serialNo, rest.substr(0, comma));
    if (comma != std::string_view::npos) {
        std::string_view fw = rest.substr(comma + 1);
        copyText(e.fwField, sizeof e.fwField, fw.substr(0, fw.find(',')));
    } else {
        copyText(e.fwField, sizeof e.fwField, "n/a");
    }
    char text[512];
    if (intf == INTF_TCPIP) {
        char address[256] = "";
        viGetAttribute(instr, VI_ATTR_TCPIP_ADDR, address);
        address[sizeof address - 1] = '\0';
        std::snprintf(text, sizeof text, "Dorvik, LXI (%s, №:%s)", address, e.serialNo);
    } else {
        std::snprintf(text, sizeof text, "Dorvik, USB (№:%s)", e.serialNo);
    }
    copyText(e.descr, sizeof e.descr, text);
    e.model = kBoxModel;
    e.slot = 255;
    e.logAddr = 255;
    return true;
}

} // namespace

int FindVISAinstruments() {
    ViSession rm = 0;
    ViStatus st = viOpenDefaultRM(&rm);
    if (st < 0)
        return st;
    ViFindList list = 0;
    ViUInt32 count = 0;
    char name[256] = "";
    st = viFindRsrc(rm, "?*INSTR", &list, &count, name);
    if (st < 0) {
        viClose(rm);
        return st;
    }
    auto scratch =
        std::unique_ptr<InstrumentEntry[]>(new (std::nothrow) InstrumentEntry[MAX_INSTRUMENTS]());
    if (!scratch) {
        viClose(list);
        viClose(rm);
        return VI_ERROR_ALLOC;
    }
    int n = 0;
    ViStatus result = VI_SUCCESS;
    for (ViUInt32 i = 0; i < count; ++i) {
        name[sizeof name - 1] = '\0';
        ViSession instr = 0;
        if (n < MAX_INSTRUMENTS && viOpen(rm, name, VI_NULL, VI_NULL, &instr) == VI_SUCCESS) {
            InstrumentEntry &e = scratch[n];
            ViUInt16 intf = 0;
            viGetAttribute(instr, VI_ATTR_INTF_TYPE, &intf);
            e.intfType = intf;
            bool added = false, ours = false;
            if (intf == INTF_VXI || intf == INTF_GPIB_VXI) {
                added = describeVxi(instr, name, e, ours);
            } else if (intf == INTF_TCPIP || intf == INTF_USB) {
                added = describeBox(instr, name, intf, e);
                ours = added;
            }
            if (added) {
                ++n;
                if (ours) {
                    e.kind = KIND_CARRIER;
                    n += scanMezzanines(e, &scratch[n], MAX_INSTRUMENTS - n);
                } else {
                    e.kind = KIND_OTHER;
                }
            } else {
                e = InstrumentEntry{}; // nothing half-filled stays behind
            }
            viClose(instr);
        }
        if (longRunActive())
            ProcessSystemEvents(); // drawn between resources that take their time
        if (i + 1 < count) {
            st = viFindNext(list, name);
            if (st < 0) {
                result = st;
                break;
            }
        }
    }
    if (result == VI_SUCCESS) {
        int kept = 0;
        for (int k = 0; k < n; ++k) {
            if (scratch[k].slot == 0)
                continue;
            Instruments[kept] = scratch[k];
            Instruments[kept].session = 0;
            ++kept;
        }
        result = kept;
    }
    viClose(list);
    viClose(rm);
    return result;
}
