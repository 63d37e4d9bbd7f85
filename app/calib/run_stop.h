// Stopping a long run from outside it: a signal to a headless run, or the
// operator's stop button. The request is only a flag; the automatic verification
// and the calibration look at it at their safe points (between register
// operations, never inside one), and a run that finds it set resets the module,
// says in its records that it was interrupted, and clears it.
#pragma once

namespace ortav::calib {

// Safe to call from a signal handler.
void requestRunStop() noexcept;
bool runStopRequested() noexcept;
void clearRunStop() noexcept;

} // namespace ortav::calib
