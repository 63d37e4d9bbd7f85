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

// What a wait does besides waiting, on the thread that installed it (the user
// interface's, to keep its windows drawn and its Stop button answered): called
// at the start of every wait, never from inside itself, with how long it may
// take (0 on virtual time): the whole wait, so that a hook that sleeps to its
// end precisely costs the wait one wake-up. It says what it did with the time
// (Hooked). A wait still ends at its deadline unless the hook itself takes
// longer. nullptr removes it.
enum class Hooked {
    Polled, // did its work and came back at once: called again every kWaitHookInterval
    Waited, // waited itself (in the event loop, woken by input): called again if back early
    Passed, // nothing to do in this wait: the rest of it is slept through without the hook
};
using WaitHook = Hooked (*)(double upTo);
void setWaitHook(WaitHook hook);

// Waits put together. Within this scope, on its thread, a wait is not slept at
// once: it is added to the waits put off, and they are slept as one (one
// wake-up, the time between them spent in the wait) by settleWaits, which the
// driver's register accesses and the multimeter calls make first, and at the
// end of the scope. The hardware therefore sees at least the sum of the waits
// since its last access, as it would have; the program wakes up once for them.
// Scopes nest; a wait inside the wait hook is slept at once.
class CoalescedWaits {
public:
    CoalescedWaits();
    ~CoalescedWaits();
    CoalescedWaits(const CoalescedWaits &) = delete;
    CoalescedWaits &operator=(const CoalescedWaits &) = delete;
};

// Waits at once even within a CoalescedWaits scope (recorded like Delay): time
// that passes inside the hardware (a simulated reading, a timeout), which the
// program's putting off must not move.
void waitNow(double seconds);

// Sleeps the waits this thread put off, if any, to their end (virtual time:
// moves the clock there). Cheap when there are none.
void settleWaits();

// How often a hook that does not wait itself runs during a long wait.
inline constexpr double kWaitHookInterval = 0.01;
// A waiting hook back within this time of the deadline is not asked again:
// the rest is slept to the deadline here.
inline constexpr double kWaitPreciseTail = 0.002;

} // namespace ortav::clock
#endif
