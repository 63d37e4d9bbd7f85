#include "rsrc_name.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "visa.h"

namespace ortav::simvisa {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> splitFields(std::string_view s) {
    std::vector<std::string_view> parts;
    while (true) {
        size_t at = s.find("::");
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos)
            break;
        s.remove_prefix(at + 2);
    }
    return parts;
}

// A number as VISA names write them: decimal, or hexadecimal with 0x.
std::optional<unsigned long> number(std::string_view s, unsigned long max) {
    if (s.empty() || s.size() > 20)
        return std::nullopt;
    std::string text(s);
    int base = 10;
    size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    }
    for (size_t i = start; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (base == 10 ? !std::isdigit(c) : !std::isxdigit(c))
            return std::nullopt;
    }
    unsigned long v = std::strtoul(text.c_str() + start, nullptr, base);
    if (v > max)
        return std::nullopt;
    return v;
}

struct Interface {
    const char *prefix;
    ViUInt16 type;
};
// Longer prefixes first: "GPIB-VXI" before "GPIB".
constexpr std::array<Interface, 7> kInterfaces = {{{"GPIB-VXI", VI_INTF_GPIB_VXI},
                                                   {"GPIB", VI_INTF_GPIB},
                                                   {"VXI", VI_INTF_VXI},
                                                   {"ASRL", VI_INTF_ASRL},
                                                   {"PXI", VI_INTF_PXI},
                                                   {"TCPIP", VI_INTF_TCPIP},
                                                   {"USB", VI_INTF_USB}}};

constexpr std::array<const char *, 7> kClasses = {"INSTR",   "INTFC",  "MEMACC", "BACKPLANE",
                                                  "SERVANT", "SOCKET", "RAW"};

} // namespace

std::optional<RsrcName> parseRsrcName(std::string_view name) {
    std::vector<std::string_view> f = splitFields(name);
    for (std::string_view part : f)
        if (part.empty() || part.find_first_of(" \t\r\n") != std::string_view::npos)
            return std::nullopt;

    // Interface and board.
    const std::string head = upper(f[0]);
    const Interface *intf = nullptr;
    for (const Interface &i : kInterfaces)
        if (head.rfind(i.prefix, 0) == 0) {
            intf = &i;
            break;
        }
    if (!intf)
        return std::nullopt;
    RsrcName r;
    r.intfType = intf->type;
    std::string_view boardText =
        std::string_view(head).substr(std::string_view(intf->prefix).size());
    if (!boardText.empty()) {
        auto b = number(boardText, 0xFFFF);
        if (!b || boardText.starts_with("0x"))
            return std::nullopt;
        r.board = static_cast<ViUInt16>(*b);
    }

    // Resource class: the last field when it is one, else INSTR.
    std::vector<std::string_view> fields(f.begin() + 1, f.end());
    r.rsrcClass = "INSTR";
    if (!fields.empty()) {
        const std::string last = upper(fields.back());
        for (const char *c : kClasses)
            if (last == c) {
                r.rsrcClass = c;
                fields.pop_back();
                break;
            }
    }

    const std::string prefix = std::string(intf->prefix) + std::to_string(r.board);
    const std::string &cls = r.rsrcClass;
    std::string expanded;
    std::string key;

    if (cls == "INTFC" || cls == "SERVANT" || (cls == "BACKPLANE" && fields.empty())) {
        if (!fields.empty())
            return std::nullopt;
        expanded = prefix + "::" + cls;
        key = expanded;
    } else if (cls == "INSTR" && (r.intfType == VI_INTF_VXI || r.intfType == VI_INTF_GPIB_VXI ||
                                  r.intfType == VI_INTF_PXI)) {
        if (fields.size() != 1)
            return std::nullopt;
        auto la = number(fields[0], 255);
        if (!la)
            return std::nullopt;
        expanded = prefix + "::" + std::to_string(*la) + "::INSTR";
        key = expanded;
    } else if (cls == "INSTR" && r.intfType == VI_INTF_GPIB) {
        if (fields.empty() || fields.size() > 2)
            return std::nullopt;
        auto primary = number(fields[0], 30);
        if (!primary)
            return std::nullopt;
        expanded = prefix + "::" + std::to_string(*primary);
        if (fields.size() == 2) {
            auto secondary = number(fields[1], 30);
            if (!secondary)
                return std::nullopt;
            expanded += "::" + std::to_string(*secondary);
            if (*secondary == 0)
                r.altKey = lower(prefix + "::" + std::to_string(*primary) + "::INSTR");
        }
        expanded += "::INSTR";
        key = expanded;
    } else if ((cls == "INSTR" || cls == "RAW") && r.intfType == VI_INTF_USB) {
        if (fields.size() < 3 || fields.size() > 4)
            return std::nullopt;
        auto manf = number(fields[0], 0xFFFF);
        auto model = number(fields[1], 0xFFFF);
        if (!manf || !model)
            return std::nullopt;
        std::optional<unsigned long> usbIntf = 0;
        if (fields.size() == 4)
            usbIntf = number(fields[3], 0xFF);
        if (!usbIntf)
            return std::nullopt;
        char ids[32];
        std::snprintf(ids, sizeof ids, "0x%04lX::0x%04lX::", *manf, *model);
        const std::string serial(fields[2]);
        expanded = prefix + "::" + ids + serial +
                   (fields.size() == 4 ? "::" + std::to_string(*usbIntf) : std::string()) +
                   "::" + cls;
        key = prefix + "::" + ids + serial + "::" + std::to_string(*usbIntf) + "::" + cls;
    } else if (cls == "INSTR" && r.intfType == VI_INTF_TCPIP) {
        if (fields.empty() || fields.size() > 2)
            return std::nullopt;
        const std::string device = fields.size() == 2 ? std::string(fields[1]) : "inst0";
        expanded = prefix + "::" + std::string(fields[0]) + "::" + device + "::INSTR";
        key = expanded;
    } else if (cls == "SOCKET" && r.intfType == VI_INTF_TCPIP) {
        if (fields.size() != 2)
            return std::nullopt;
        auto port = number(fields[1], 0xFFFF);
        if (!port)
            return std::nullopt;
        expanded =
            prefix + "::" + std::string(fields[0]) + "::" + std::to_string(*port) + "::SOCKET";
        key = expanded;
    } else if (cls == "INSTR" && r.intfType == VI_INTF_ASRL) {
        if (!fields.empty())
            return std::nullopt;
        expanded = prefix + "::INSTR";
        key = expanded;
    } else if ((cls == "MEMACC" || cls == "BACKPLANE") &&
               (r.intfType == VI_INTF_VXI || r.intfType == VI_INTF_GPIB_VXI)) {
        if (fields.size() > 1 || (fields.size() == 1 && !number(fields[0], 255)))
            return std::nullopt;
        expanded = prefix + (fields.empty() ? "" : "::" + std::string(fields[0])) + "::" + cls;
        key = expanded;
    } else {
        return std::nullopt;
    }
    r.expanded = expanded;
    r.key = lower(key);
    return r;
}

} // namespace ortav::simvisa
