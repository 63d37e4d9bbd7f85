#include "delay.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <sys/prctl.h>
#include <thread>
#include <utility>

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

std::atomic<ortav::clock::WaitHook> g_hook{nullptr};
std::thread::id g_hookThread;
thread_local bool t_inHook = false;

// The waits this thread put off (CoalescedWaits): how deep in the scopes, and
// when they end (on real or virtual time).
thread_local int t_coalescing = 0;
thread_local bool t_putOff = false;
thread_local steady::time_point t_putOffUntil;
thread_local double t_putOffUntilVirtual = 0.0;

// The hook of this thread, unless it is running already.
ortav::clock::WaitHook hookHere() {
    const ortav::clock::WaitHook h = g_hook.load(std::memory_order_acquire);
    if (h == nullptr || t_inHook || std::this_thread::get_id() != g_hookThread)
        return nullptr;
    return h;
}

ortav::clock::Hooked runHook(ortav::clock::WaitHook h, double upTo) {
    t_inHook = true;
    const ortav::clock::Hooked did = h(upTo);
    t_inHook = false;
    return did;
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

// Waits to the deadline, running the hook of this thread (if any) meanwhile.
void waitUntil(steady::time_point deadline, ortav::clock::WaitHook hook) {
    const auto left = [&] {
        return std::chrono::duration<double>(deadline - steady::now()).count();
    };
    if (hook == nullptr) {
        if (const double l = left(); l > 0.0)
            sleepPrecisely(l);
        return;
    }
    using ortav::clock::Hooked;
    using ortav::clock::kWaitPreciseTail;
    for (bool first = true;; first = false) {
        double l = left();
        if (l <= 0.0 && !first)
            return;
        const Hooked did = runHook(hook, std::max(l, 0.0));
        l = left();
        if (l <= 0.0)
            return;
        if (did == Hooked::Waited && l > kWaitPreciseTail)
            continue; // woken early by an event
        if (did == Hooked::Polled && l > ortav::clock::kWaitHookInterval) {
            sleepPrecisely(ortav::clock::kWaitHookInterval);
            continue;
        }
        sleepPrecisely(l);
        return;
    }
}

steady::duration span(double seconds) {
    return std::chrono::duration_cast<steady::duration>(std::chrono::duration<double>(seconds));
}

} // namespace

extern "C" void Delay(double seconds) {
    Clock &c = theClock();
    const ortav::clock::WaitHook hook = hookHere();
    // Not-a-number and negative waits do not wait (and must not reach the sleep).
    const bool waits = seconds > 0 && seconds < 1e6;
    // A wait inside the hook is slept at once: the hook is itself inside a wait.
    const bool putOff = t_coalescing > 0 && !t_inHook;
    {
        std::unique_lock<std::mutex> g(c.lock);
        if (c.virtualTime) {
            c.record.push_back(seconds);
            if (putOff) {
                if (seconds > 0) {
                    t_putOffUntilVirtual =
                        (t_putOff ? t_putOffUntilVirtual : c.virtualNow) + seconds;
                    t_putOff = true;
                }
                return;
            }
            if (seconds > 0)
                c.virtualNow += seconds;
            g.unlock();
            if (hook != nullptr)
                runHook(hook, 0.0);
            return;
        }
        if (c.recording)
            c.record.push_back(seconds);
    }
    if (putOff) {
        if (!waits)
            return;
        // Counted from the first of them: what came between them is not an
        // access to the hardware, or it would have slept them.
        t_putOffUntil = (t_putOff ? t_putOffUntil : steady::now()) + span(seconds);
        t_putOff = true;
        return;
    }
    if (hook == nullptr) {
        if (waits)
            sleepPrecisely(seconds);
        return;
    }
    waitUntil(steady::now() + span(waits ? seconds : 0.0), hook);
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
    t_putOff = false; // waits put off on the other time are not this time's
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

void setWaitHook(WaitHook hook) {
    g_hookThread = std::this_thread::get_id();
    g_hook.store(hook, std::memory_order_release);
}

CoalescedWaits::CoalescedWaits() {
    ++t_coalescing;
}

CoalescedWaits::~CoalescedWaits() {
    if (--t_coalescing == 0)
        settleWaits();
}

void waitNow(double seconds) {
    const int depth = std::exchange(t_coalescing, 0);
    Delay(seconds);
    t_coalescing = depth;
}

void settleWaits() {
    if (!t_putOff)
        return;
    t_putOff = false;
    const WaitHook hook = hookHere();
    Clock &c = theClock();
    {
        std::unique_lock<std::mutex> g(c.lock);
        if (c.virtualTime) {
            c.virtualNow = std::max(c.virtualNow, t_putOffUntilVirtual);
            g.unlock();
            if (hook != nullptr)
                runHook(hook, 0.0);
            return;
        }
    }
    waitUntil(t_putOffUntil, hook);
}

void advance(double seconds) {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    if (c.virtualTime && seconds > 0)
        c.virtualNow += seconds;
}

} // namespace ortav::clock
