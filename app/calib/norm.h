// The permitted deviation of a verified resistance and the judging of a point.
// Pure functions: the panels pass the hardware version and the temperature.
#pragma once

namespace ortav::calib {

// Permitted deviation in ohms of a resistance set to r ohms, for the module's
// hardware version and the ambient temperature in degrees Celsius.
double permittedDeviation(double r, int hardVersion, double ambientTemp);

// Out of norm: a resistance deviation beyond the permitted one, a current
// deviation beyond 0.01 mA. A deviation exactly at the limit passes.
bool resistanceFailed(double diff, double permitted);
bool currentFailed(double diffMilliamps);

inline constexpr double kCurrentNormMilliamps = 0.01;

} // namespace ortav::calib
