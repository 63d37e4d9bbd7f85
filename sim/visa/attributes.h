// Attributes of the simulated VISA sessions, each read and written at its own
// width (a 16-bit attribute writes exactly 2 bytes, a text at most 256).
#pragma once

#include "session.h"

namespace ortav::simvisa {

ViStatus getAttribute(ViSession vi, const Session &s, ViAttr attr, void *value);
ViStatus setAttribute(Session &s, ViAttr attr, ViAttrState value);

// Implementation identity reported through the attributes.
constexpr ViVersion kSpecVersion = 0x00500800; // VISA 5.8
constexpr ViVersion kImplVersion = 0x00100000; // 1.0
constexpr ViUInt16 kManfId = 0x0000;
constexpr const char *kManfName = "p_ortav simulated bench";

} // namespace ortav::simvisa
