#include "long_run.h"

#include "delay.h"
#include "msgp.h"
#include "run_stop.h"
#include "userint.h"

#include <chrono>
#include <cstdio>

namespace {

// Points come every few tens of milliseconds; the operator reads the table, the
// chart and the progress at a frame a second as a meter's display is read, for
// a fraction of the work: each frame is drawn by code the processor has to
// fetch again after the run's sleeps, and frames were most of what it did in a
// run. A press of Stop is drawn at once all the same (the pacer answers input
// promptly).
constexpr int kRedrawMsec = 1000;

bool g_active = false;
int g_points = 0;
char g_progress[64] = "";

int stopCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        ortav::calib::requestRunStop();
    return 0;
}

// A wait that ends within this time of the last turn of the event loop is
// slept through without one: a point's settles then cost one wake-up each, not
// a turn of the loop as well, and Stop and the frames are never later than this
// (a press is seen within a fifth of a second, and drawn at once).
constexpr double kQuietWait = 0.2;
std::chrono::steady_clock::time_point g_handled;

// Asleep in the event loop for the wait, so the windows are drawn and Stop is
// answered without the processor polling.
ortav::clock::Hooked duringWait(double upTo) {
    using ortav::clock::Hooked;
    if (!g_active)
        return Hooked::Passed;
    using seconds = std::chrono::duration<double>;
    if (!ortav::clock::isVirtual() &&
        seconds(std::chrono::steady_clock::now() - g_handled).count() + upTo < kQuietWait)
        return Hooked::Passed;
    ProcessSystemEventsFor(upTo);
    g_handled = std::chrono::steady_clock::now();
    return Hooked::Waited;
}

} // namespace

void longRunBegin(const char *text, int points, bool stoppable) {
    msgpDisplay(text);
    if (g_active)
        return;
    g_active = true;
    g_points = points;
    g_progress[0] = '\0';
    msgpStop(stoppable ? stopCB : nullptr);
    if (points > 0)
        longRunPoint(1);
    // Only the message panel (and the popups a run asks) takes input now.
    SetInputOnlyTo(msgpPanel());
    ProcessSystemEvents(); // drawn before the run's first wait
    SetRedrawInterval(kRedrawMsec);
}

void longRunPoint(int n) {
    if (!g_active || g_points <= 0)
        return;
    std::snprintf(g_progress, sizeof g_progress, "точка %d из %d", n, g_points);
    msgpProgress(g_progress, n - 1, g_points);
}

void longRunEnd() {
    if (!g_active)
        return;
    g_active = false;
    g_points = 0;
    SetRedrawInterval(0);
    SetInputOnlyTo(0);
    msgpProgress(nullptr, 0, 0);
    msgpStop(nullptr);
    msgpHide();
}

bool longRunActive() {
    return g_active;
}

void installResponsiveWaits() {
    ortav::clock::setWaitHook(duringWait);
}

const char *longRunProgressText() {
    return g_progress;
}
