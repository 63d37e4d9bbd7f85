#include "delay.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {

using steady = std::chrono::steady_clock;

struct Clock {
    std::mutex lock;
    bool virtualTime = false;
    double virtualNow = 0.0;
    std::vector<double> record;
    steady::time_point start = steady::now();
};

Clock &theClock() {
    static Clock c;
    return c;
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
    }
    // Not-a-number and negative waits do not wait (and must not reach sleep_for).
    if (seconds > 0 && seconds < 1e6)
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
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

void advance(double seconds) {
    Clock &c = theClock();
    std::lock_guard<std::mutex> g(c.lock);
    if (c.virtualTime && seconds > 0)
        c.virtualNow += seconds;
}

} // namespace ortav::clock
