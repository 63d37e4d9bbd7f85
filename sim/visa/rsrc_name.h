// VISA resource names: parsing, the expanded form and a key to compare names by
// (so "gpib::22", "GPIB0::22::INSTR" and "GPIB0::22::instr" name one resource).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "visatype.h"

namespace ortav::simvisa {

struct RsrcName {
    ViUInt16 intfType = 0; // VI_INTF_*
    ViUInt16 board = 0;    // the number after the interface name (0 when omitted)
    std::string rsrcClass; // "INSTR", "INTFC", "SOCKET", ...
    std::string expanded;  // the full official form, e.g. "GPIB0::22::INSTR"
    std::string key;       // lower-case expanded form with every default filled in
    // Another key the same device answers to: a GPIB device without secondary
    // addressing also answers at secondary address 0, the way clients such as
    // pyvisa spell the address. Empty when there is none.
    std::string altKey;

    bool sameDevice(const std::string &otherKey) const {
        return otherKey == key || (!altKey.empty() && otherKey == altKey);
    }
};

// Nothing when the name is not a valid VISA resource name.
std::optional<RsrcName> parseRsrcName(std::string_view name);

} // namespace ortav::simvisa
