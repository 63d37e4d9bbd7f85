// A carrier driver for tests: 16-bit registers that hold what was written,
// per-session attributes, and a record of every call with the clock time it
// came at, so a test can check exact register sequences and the waits between.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "carrik.h"

namespace fake {

enum class Call { MInit, MClose, MReset, In, Out, SetAttr, GetAttr, ConfigTrigger, TrigLength };

struct Event {
    Call call;
    std::uint32_t offset = 0; // register offset, attribute, or position
    std::uint64_t value = 0;  // value written or read, attribute value, mode
    double time = 0.0;        // clock time of the call
    ViStatus status = 0;
};

// What a register read gives unless a test says otherwise: the value last
// written, except REG_ID (the model code) and REG_SDA (0: the EEPROM acknowledges).
struct Carrier {
    std::vector<Event> log;
    std::map<std::uint32_t, std::uint16_t> regs;
    // Replaces a read's value; gets the offset and what the default would give.
    std::function<std::uint16_t(std::uint32_t, std::uint16_t)> readValue;
    // Non-zero fails the call with that status (the call is still logged).
    std::function<ViStatus(const Event &)> fault;
    // Text of carrier statuses for carrik_error_message; others are unknown.
    std::map<ViStatus, std::string> texts;
    std::map<std::pair<ViSession, ViAttr>, ViAttrState> attributes;
    std::uint16_t id = 0x000F;
    ViSession nextSession = 0x1000;
};

Carrier &carrier();
void reset(); // empty record, registers, attributes; default behaviour

// The register accesses of the record (reads and writes only).
std::vector<Event> registerAccesses();

} // namespace fake
