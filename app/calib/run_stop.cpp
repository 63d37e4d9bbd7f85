#include "run_stop.h"

#include <atomic>

namespace ortav::calib {

namespace {
// Lock-free, so a signal handler may set it.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);
} // namespace

void requestRunStop() noexcept {
    g_stop.store(true, std::memory_order_relaxed);
}

bool runStopRequested() noexcept {
    return g_stop.load(std::memory_order_relaxed);
}

void clearRunStop() noexcept {
    g_stop.store(false, std::memory_order_relaxed);
}

} // namespace ortav::calib
