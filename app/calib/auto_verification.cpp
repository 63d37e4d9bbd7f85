// The automatic verification: both channels, every resistance point of the
// module's hardware version, then the current points; a verdict at the end.
#include "calib.h"

#include "delay.h"
#include "front_panel.h"
#include "p_ortav.h"
#include "points.h"
#include "protocol_text.h"
#include "verification_run.h"
#include "si_calls.h"
#include "userint.h"

#include <cstdio>

int povFailed = 0;

namespace {

constexpr double kSettle = 0.05;
constexpr double kCurrentRange = 10.0;
constexpr short kFuncResistance = 2;
constexpr short kFuncVoltage = 5;

bool g_running = false;

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

bool resistancePass(short chan) {
    for (const double P : ortav::calib::resistancePoints(hardVersion)) {
        SetCtrlVal(ppPanel, PP_R_Z, P);
        SetCtrlVal(ppPanel, PP_R_I, P);
        measSetResRange(P);
        configMultimeter(kFuncResistance);
        if (ortav_config(mvi, chan, P, 0, 0.0) < 0 || !switchChannel(chan, 1))
            return false;
        Delay(kSettle);
        double M = 0.0;
        if (measureR(&M) >= 0) {
            configMultimeter(kFuncVoltage);
            measSetResRange(M);
            SetCtrlVal(ppPanel, PP_R_I, M);
            setupPresult(1, chan);
        }
        if (!switchChannel(chan, 0))
            return false;
        ProcessSystemEvents(); // the rows appear as they are judged
    }
    return true;
}

// 0 when the pass ran to its end, 1 when it ended the run, or a module-check status.
int currentPass(short chan) {
    for (const double P : ortav::calib::currentPoints()) {
        DeviceData *rec = nullptr;
        if (const ViStatus s = moduleCheck(&rec); s != 0)
            return s;
        const double Rs = rec->coeff.R[chan - 1][6];
        SetCtrlVal(ppPanel, PP_R_Z, P);
        const double I = 0.001 * P;
        SetCtrlVal(ppPanel, PP_R_I, I * Rs);
        measSetURange(kCurrentRange);
        configMultimeter(kFuncVoltage);
        if (ortav_config(mvi, chan, Rs, 1, I) < 0 || !switchChannel(chan, 1))
            return 1;
        Delay(kSettle);
        double U = 0.0;
        if (measureU(&U) >= 0) {
            SetCtrlVal(ppPanel, PP_R_I, U);
            setupPresult(2, chan);
        }
        if (!switchChannel(chan, 0))
            return 1;
        ProcessSystemEvents();
    }
    return 0;
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
        if (pass.mode == 1) {
            if (!resistancePass(pass.chan))
                return 0;
        } else if (const int r = currentPass(pass.chan); r != 0) {
            return r == 1 ? 0 : r;
        }
    }
    using namespace ortav::calib;
    verificationRunEnded(true);
    if (povFailed) {
        WriteLOG(logFile, "%s", kClosingFailed);
        MessagePopup("ORTAV", kClosingFailed);
        povFailed = 0;
    } else {
        WriteLOG(logFile, "%s", kClosingPassed);
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
    ortav::calib::verificationRunStarted();
    const int r = run();
    ortav::calib::verificationRunEnded(false); // ended early; nothing when the verdict came
    g_running = false;
    return r;
}
