// Texts of the VISA completion and error codes this library returns.
#pragma once

#include "visatype.h"

namespace ortav::simvisa {

// The standard's description of a code, or nullptr for a code we do not know.
const char *statusText(ViStatus status);

} // namespace ortav::simvisa
