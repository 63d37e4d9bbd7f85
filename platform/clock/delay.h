// The one way to wait. The program waits for real; tests switch the clock to
// virtual time, where a wait advances the clock at once and is recorded, so the
// program, the driver and the simulated hardware all see one time.
#pragma once

#ifdef __cplusplus
#include <vector>
extern "C" {
#endif

// Blocks for the given number of seconds (virtual: advances the clock at once).
void Delay(double seconds);

#ifdef __cplusplus
}

namespace ortav::clock {

// Seconds since the clock started (or since the last reset of virtual time).
double now();

// Switches to virtual time starting at 0 with an empty record (on), or back to real time.
void setVirtual(bool on);
bool isVirtual();

// Every wait given to Delay, in order, and a way to clear the record. Virtual
// time always records; real time only while recording is on (a benchmark sets
// it; the program never does, so a long session does not grow a record).
std::vector<double> waits();
void clearWaits();
void setRecording(bool on);

// Virtual time only: moves the clock on without recording a wait (time passing
// outside the program, e.g. an operator's pause).
void advance(double seconds);

} // namespace ortav::clock
#endif
