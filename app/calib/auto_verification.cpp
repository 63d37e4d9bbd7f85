// The automatic verification: both channels, every resistance point of the
// module's hardware version, then the current points; a verdict at the end.
#include "calib.h"

#include "delay.h"
#include "front_panel.h"
#include "long_run.h"
#include "p_ortav.h"
#include "points.h"
#include "protocol_text.h"
#include "run_stop.h"
#include "si_calls.h"
#include "userint.h"
#include "verification_run.h"

#include <cstdio>

int povFailed = 0;

namespace {

constexpr double kSettle = 0.05;
constexpr double kCurrentRange = 10.0;
constexpr short kFuncResistance = 2;
constexpr short kFuncVoltage = 5;

bool g_running = false;
int g_point = 0; // the point the run works on, from 1

// How a pass ended: to its last point, early (the run ends without a verdict)
// or on a stop request.
enum class PassEnd { Done, Early, Stopped };

// Switches the channel on or off; false ends the run (after a reset when it failed).
bool switchChannel(short chan, int on) {
    const ViStatus s = ortav_switch(mvi, chan, on);
    if (s != 0)
        error(on ? "ortav_switch (mvi, chan, 1)" : "ortav_switch (mvi, chan, 0)", s);
    if (s < 0) {
        ortav_reset(mvi);
        return false;
    }
    return true;
}

PassEnd resistancePass(short chan) {
    for (const double P : ortav::calib::resistancePoints(hardVersion)) {
        if (ortav::calib::runStopRequested())
            return PassEnd::Stopped;
        longRunPoint(++g_point);
        SetCtrlVal(ppPanel, PP_R_Z, P);
        SetCtrlVal(ppPanel, PP_R_I, P);
        measSetResRange(P);
        configMultimeter(kFuncResistance);
        if (ortav_config(mvi, chan, P, 0, 0.0) < 0 || !switchChannel(chan, 1))
            return PassEnd::Early;
        Delay(kSettle);
        double M = 0.0;
        if (measureR(&M) >= 0) {
            configMultimeter(kFuncVoltage);
            measSetResRange(M);
            SetCtrlVal(ppPanel, PP_R_I, M);
            setupPresult(1, chan);
        }
        if (!switchChannel(chan, 0))
            return PassEnd::Early;
        ProcessSystemEvents(); // the rows appear as they are judged
    }
    return PassEnd::Done;
}

// A failed module check ends the pass early with its status.
PassEnd currentPass(short chan, ViStatus *status) {
    for (const double P : ortav::calib::currentPoints()) {
        if (ortav::calib::runStopRequested())
            return PassEnd::Stopped;
        longRunPoint(++g_point);
        DeviceData *rec = nullptr;
        if (const ViStatus s = moduleCheck(&rec); s != 0) {
            *status = s;
            return PassEnd::Early;
        }
        const double Rs = rec->coeff.R[chan - 1][6];
        SetCtrlVal(ppPanel, PP_R_Z, P);
        const double I = 0.001 * P;
        SetCtrlVal(ppPanel, PP_R_I, I * Rs);
        measSetURange(kCurrentRange);
        configMultimeter(kFuncVoltage);
        if (ortav_config(mvi, chan, Rs, 1, I) < 0 || !switchChannel(chan, 1))
            return PassEnd::Early;
        Delay(kSettle);
        double U = 0.0;
        if (measureU(&U) >= 0) {
            SetCtrlVal(ppPanel, PP_R_I, U);
            setupPresult(2, chan);
        }
        if (!switchChannel(chan, 0))
            return PassEnd::Early;
        ProcessSystemEvents();
    }
    return PassEnd::Done;
}

// A stop request: outputs disconnected, and the records say the run was cut short.
void stopped() {
    using namespace ortav::calib;
    longRunEnd();
    ortav_reset(mvi);
    WriteLOG(logFile, "%s\n", kClosingInterrupted);
    verificationRunInterrupted();
    povFailed = 0;
    clearRunStop();
    MessagePopup("ORTAV", kClosingInterrupted);
}

int run() {
    struct Pass {
        short chan, mode;
    };
    for (const Pass pass : {Pass{1, 1}, Pass{2, 1}, Pass{1, 2}, Pass{2, 2}}) {
        SetCtrlVal(ppPanel, PP_MODE, pass.mode);
        setModeCB(ppPanel, PP_MODE, EVENT_COMMIT, nullptr, 0, 0);
        Delay(kSettle);
        SetCtrlVal(ppPanel, PP_CHAN, pass.chan);
        Delay(kSettle);
        ViStatus status = 0;
        const PassEnd end =
            pass.mode == 1 ? resistancePass(pass.chan) : currentPass(pass.chan, &status);
        if (end == PassEnd::Stopped) {
            stopped();
            return 0;
        }
        if (end == PassEnd::Early)
            return status;
    }
    using namespace ortav::calib;
    longRunEnd();
    verificationRunEnded(true);
    if (povFailed) {
        WriteLOG(logFile, "%s\n", kClosingFailed);
        MessagePopup("ORTAV", kClosingFailed);
        povFailed = 0;
    } else {
        WriteLOG(logFile, "%s\n", kClosingPassed);
        MessagePopup("ORTAV", kClosingPassedScreen);
    }
    return 0;
}

} // namespace

int autoVerification() {
    // Only versions 0, 1 and 2 have a point list; the operator is told rather
    // than given a run with another version's points or none at all.
    if (!ortav::calib::hasPointList(hardVersion)) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "Автоповерка невозможна: для версии исполнения %d нет списка точек "
                      "поверки.\nУкажите версию исполнения 0, 1 или 2.",
                      hardVersion);
        MessagePopup("ORTAV", text);
        return 0;
    }
    if (g_running) // SET pressed again while the run processes events
        return 0;
    g_running = true;
    // Each run judges its own points: one that ended early leaves nothing behind.
    povFailed = 0;
    ortav::calib::verificationRunStarted();
    g_point = 0;
    const int points = static_cast<int>(2 * ortav::calib::resistancePoints(hardVersion).size() +
                                        2 * ortav::calib::currentPoints().size());
    longRunBegin("\r\nИДЕТ АВТОПОВЕРКА\r\n", points, true);
    const int r = run();
    longRunEnd();
    ortav::calib::verificationRunEnded(false); // ended early; nothing when the verdict came
    g_running = false;
    return r;
}
