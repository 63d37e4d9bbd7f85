// Statuses of the simulated carrier driver beyond the standard VISA ones.
#pragma once

#include "visatype.h"

#define CARRIK_ERROR_NO_MEZZANINE ((ViStatus)0xBFFC0801L) // no mezzanine at the position
#define CARRIK_ERROR_BUS ((ViStatus)0xBFFC0802L)    // the mezzanine did not complete the access
#define CARRIK_ERROR_OFFSET ((ViStatus)0xBFFC0803L) // register offset outside the window or odd
#define CARRIK_ERROR_ATTR ((ViStatus)0xBFFC0804L)   // attribute never set
#define CARRIK_ERROR_TYPE ((ViStatus)0xBFFC0805L)   // mezzanine of another type at the position
#define CARRIK_ERROR_STALE ((ViStatus)0xBFFC0806L)  // the bench was replaced under the session
