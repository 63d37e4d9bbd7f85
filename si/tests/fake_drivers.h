// Driver entry points that record their calls, for the rules that do not depend
// on what a multimeter measures: which session each operation uses, the status
// check's texts, warnings. Each kind's sessions have fixed handles.
#pragma once

#include "si.h"

#include <map>
#include <string>
#include <vector>

enum : ViSession { kHP1412 = 11, kHP3458 = 12, kDMM = 13, kDMM1 = 14, kM_DMM1 = 15, kNM = 16 };

struct FakeDrivers {
    std::vector<std::string> calls;       // "hpe1412_resRang(11,0,1000)" ...
    std::vector<double> times;            // the clock time of each call
    std::map<std::string, ViStatus> fail; // entry point -> status it returns (else 0)
    // What each kind's readings give, so a test sees which one answered.
    std::map<std::string, double> reading = {
        {"hpe1412", 1.0}, {"hp3458a", 2.0}, {"mervd", 3.0}, {"sulvat", 4.0}, {"tarnel", 5.0}};
};

FakeDrivers &fakes();
// Points every entry point at its recording fake (and clears the record).
void installFakeDrivers();
// Back to nothing bound and no session open.
void clearSiState();
