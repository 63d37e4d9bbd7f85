// The simulated VISA library's own functions, for the simulated carrier driver.
// A carrier driver hands out VISA sessions of its carrier's resource, so VISA
// calls on them work; ours opens them here. A program that defines functions of
// the standard names (forwarders to the VISA library it chose) would catch calls
// made by name, so the driver calls through this table instead.
#pragma once

#include "visa.h"

namespace ortav::simvisa {

struct OwnFunctions {
    decltype(&::viOpenDefaultRM) viOpenDefaultRM;
    decltype(&::viOpen) viOpen;
    decltype(&::viClose) viClose;
    decltype(&::viGetAttribute) viGetAttribute;
};

__attribute__((visibility("default"))) const OwnFunctions &ownFunctions();

} // namespace ortav::simvisa
