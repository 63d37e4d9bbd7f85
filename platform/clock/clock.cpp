#include "delay.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <sys/prctl.h>

namespace {

using steady = std::chrono::steady_clock;

struct Clock {
    std::mutex lock;
    bool virtualTime = false;
    bool recording = false;
    double virtualNow = 0.0;
    std::vector<double> record;
    steady::time_point start = steady::now();
};

Clock &theClock() {
    static Clock c;
    return c;
}

// Sleeps until now + seconds. The settle waits are a millisecond or two, so the
// default timer slack (50 us) and relative sleeps would add several per cent to
// every point: sleep to an absolute deadline with the slack at its minimum.
void sleepPrecisely(double seconds) {
    thread_local const bool slackSet = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    (void)slackSet;
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    const double whole = std::floor(seconds);
    deadline.tv_sec += static_cast<time_t>(whole);
    deadline.tv_nsec += static_cast<long>((seconds - whole) * 1e9);
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

} // namespace

extern "C" void Delay(double seconds) {
    Clock &c = theClock();
    {
        std::lock_guard<std::mutex> g(c.lock);
        if (c.virtualTime) {
            c.record.push_back(seconds);
            if (seconds > 0)
                c.virtualNow += seconds;
            return;
        }
        if (c.recording)
            c.record.push_back(seconds);
    }
    // Not-a-number and negative waits do not wait (and must not reach the sleep).
    if (seconds > 0 && seconds < 1e6)
        sleepPrecisely(seconds);
}

namespace ortav::clock {

double now() {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    if (c.virtualTime)
        return c.virtualNow;
    return std::chrono::duration<double>(steady::now() - c.start).count();
}

void setVirtual(bool on) {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    c.virtualTime = on;
    c.virtualNow = 0.0;
    c.record.clear();
}

bool isVirtual() {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    return c.virtualTime;
}

std::vector<double> waits() {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    return c.record;
}

void clearWaits() {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    c.record.clear();
}

void setRecording(bool on) {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    c.recording = on;
    c.record.clear();
}

void advance(double seconds) {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    if (c.virtualTime && seconds > 0)
        c.virtualNow += seconds;
}

} // namespace ortav::clock
