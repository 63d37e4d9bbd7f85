// Recording stand-ins for what the program provides to the multimeter code:
// the status line, the LED, message boxes, the message panel and the
// instrument chooser, whose answers each test scripts.
#pragma once

#include "si_host.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct FakeHost {
    std::vector<std::string> statusLines;
    std::vector<int> ledColors;
    std::vector<std::pair<std::string, std::string>> messages; // title, text
    std::vector<std::string> panel;                            // "show:<text>" and "hide" in order
    std::vector<std::string> listTitles;                       // every chooser asked, in order
    // The chooser's answer per model code; a model not here is cancelled.
    std::map<int, InstrumentEntry *> choice;

    void clear() { *this = FakeHost{}; }
};

FakeHost &host();

// An instrument-list entry for a resource (and a mezzanine position).
InstrumentEntry entry(const char *address, uint16_t model, uint16_t meznum = 0);
