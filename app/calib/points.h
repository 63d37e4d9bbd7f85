// The points of the automatic verification, in the order they are run.
#pragma once

#include <span>

namespace ortav::calib {

// Resistance points in ohms for a hardware version: 33 for version 0, 5 for
// version 1, 43 for version 2. Any other version has no list (empty span):
// the automatic run refuses to start rather than guess one.
std::span<const double> resistancePoints(int hardVersion);
bool hasPointList(int hardVersion);

// Current points in milliamperes, the same for every version.
std::span<const double> currentPoints();

} // namespace ortav::calib
