// The automatic verification: both channels, every resistance point of the
// module's hardware version, then the current points; a verdict at the end.
#include "calib.h"

#include "delay.h"
#include "front_panel.h"
#include "long_run.h"
#include "norm.h"
#include "p_ortav.h"
#include "points.h"
#include "protocol_text.h"
#include "record_failure.h"
#include "run_stop.h"
#include "si_calls.h"
#include "userint.h"
#include "verification_chart.h"
#include "verification_run.h"
#include "visa.h"

#include <cstdio>
#include <string>
#include <vector>

int povFailed = 0;

namespace {

using namespace ortav::calib;

constexpr double kSettle = 0.05;
constexpr double kCurrentRange = 10.0;
constexpr short kFuncResistance = 2;
constexpr short kFuncVoltage = 5;

bool g_running = false;
int g_point = 0; // the point the run works on, from 1

// How a pass ended: to its last point, early (the run ends without a verdict),
// on a stop request, or because a result could not be recorded.
enum class PassEnd { Done, Early, Stopped, Unrecorded };

// Looked at before each point.
PassEnd beforePoint() {
    if (runStopRequested())
        return PassEnd::Stopped;
    if (resultsLost())
        return PassEnd::Unrecorded;
    return PassEnd::Done;
}

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

// A reading that failed: the point is skipped, with the multimeter's own
// reason (the multimeter layer has put it on the status line since `lines`).
void skipped(short chan, int mode, double set, unsigned lines) {
    std::string reason;
    if (multimeterStatusLines() != lines)
        reason = multimeterStatusText();
    if (reason.empty())
        reason = "нет открытого мультиметра";
    verificationPointSkipped({chan, mode, set, reason});
}

// The rows appear as they are judged: a long run's waits draw them, otherwise
// the events are handled here.
void showJudgedRows() {
    if (!longRunActive())
        ProcessSystemEvents();
}

PassEnd resistancePass(short chan) {
    for (const double P : resistancePoints(hardVersion)) {
        if (const PassEnd e = beforePoint(); e != PassEnd::Done)
            return e;
        longRunPoint(++g_point);
        SetCtrlVal(ppPanel, PP_R_Z, P);
        SetCtrlVal(ppPanel, PP_R_I, P);
        measSetResRange(P);
        configMultimeter(kFuncResistance);
        if (ortav_config(mvi, chan, P, 0, 0.0) < 0 || !switchChannel(chan, 1))
            return PassEnd::Early;
        Delay(kSettle);
        double M = 0.0;
        const unsigned lines = multimeterStatusLines();
        if (measureR(&M) >= 0) {
            configMultimeter(kFuncVoltage);
            measSetResRange(M);
            SetCtrlVal(ppPanel, PP_R_I, M);
            setupPresult(1, chan);
        } else {
            skipped(chan, 1, P, lines);
        }
        if (!switchChannel(chan, 0))
            return PassEnd::Early;
        showJudgedRows();
    }
    return PassEnd::Done;
}

// A failed module check ends the pass early with its status.
PassEnd currentPass(short chan, ViStatus *status) {
    for (const double P : currentPoints()) {
        if (const PassEnd e = beforePoint(); e != PassEnd::Done)
            return e;
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
        const unsigned lines = multimeterStatusLines();
        if (measureU(&U) >= 0) {
            SetCtrlVal(ppPanel, PP_R_I, U);
            setupPresult(2, chan);
        } else {
            skipped(chan, 2, P, lines);
        }
        if (!switchChannel(chan, 0))
            return PassEnd::Early;
        showJudgedRows();
    }
    return PassEnd::Done;
}

// Cut short on request, or because results could not be recorded: outputs
// disconnected, and the records say so.
void endedShort(PassEnd why) {
    longRunEnd();
    ortav_reset(mvi);
    povFailed = 0;
    if (why == PassEnd::Stopped) {
        WriteLOG(logFile, "%s\n", kClosingInterrupted);
        verificationRunInterrupted();
        clearRunStop();
        MessagePopup("ORTAV", kClosingInterrupted);
    } else {
        // The operator has been told which file failed; the protocol gets the
        // closing line if it still takes one.
        WriteLOG(logFile, "%s\n", kClosingUnrecorded);
        verificationRunEnded(false);
    }
}

// The closing line: the verdict, or how many points were not measured; shown
// once it is on the disk.
void closing() {
    const RunSummary &run = lastVerificationRun();
    const int notMeasured = static_cast<int>(run.skipped.size());
    const int planned = run.expected;
    if (notMeasured > 0) {
        const std::string text = formatProtocol(povFailed ? kClosingFailedSkipped : kClosingSkipped,
                                                notMeasured, planned);
        const std::string screen = formatProtocol(
            povFailed ? kClosingFailedSkippedScreen : kClosingSkippedScreen, notMeasured, planned);
        WriteLOG(logFile, "%s\n", text.c_str());
        if (protocolOnDisk())
            MessagePopup("ORTAV", screen.c_str());
    } else if (povFailed) {
        WriteLOG(logFile, "%s\n", kClosingFailed);
        if (protocolOnDisk())
            MessagePopup("ORTAV", kClosingFailed);
    } else {
        WriteLOG(logFile, "%s\n", kClosingPassed);
        if (protocolOnDisk())
            MessagePopup("ORTAV", kClosingPassedScreen);
    }
    povFailed = 0;
}

// The set values and norms of the run (both channels take the same), for the
// chart's axes.
std::vector<PlannedPoint> plannedPoints() {
    std::vector<PlannedPoint> planned;
    for (const double P : resistancePoints(hardVersion))
        planned.push_back({1, P, defPermDev(P)});
    for (const double P : currentPoints())
        planned.push_back({2, P, kCurrentNormMilliamps});
    return planned;
}

int run() {
    struct Pass {
        short chan, mode;
    };
    // A point's settles with nothing sent between them are slept as one.
    const ortav::clock::CoalescedWaits together;
    for (const Pass pass : {Pass{1, 1}, Pass{2, 1}, Pass{1, 2}, Pass{2, 2}}) {
        SetCtrlVal(ppPanel, PP_MODE, pass.mode);
        setModeCB(ppPanel, PP_MODE, EVENT_COMMIT, nullptr, 0, 0);
        Delay(kSettle);
        SetCtrlVal(ppPanel, PP_CHAN, pass.chan);
        Delay(kSettle);
        ViStatus status = 0;
        const PassEnd end =
            pass.mode == 1 ? resistancePass(pass.chan) : currentPass(pass.chan, &status);
        if (end == PassEnd::Stopped || end == PassEnd::Unrecorded) {
            endedShort(end);
            return 0;
        }
        if (end == PassEnd::Early)
            return status;
    }
    // The last points' lines may have been lost too.
    if (!protocolOnDisk() || resultsLost()) {
        endedShort(PassEnd::Unrecorded);
        return 0;
    }
    longRunEnd();
    verificationRunEnded(true);
    closing();
    return 0;
}

} // namespace

int autoVerification() {
    // Only versions 0, 1 and 2 have a point list; the operator is told rather
    // than given a run with another version's points or none at all.
    if (!hasPointList(hardVersion)) {
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
    // Two runs writing one protocol would interleave their lines.
    if (logFile > 0 && !lockProtocolForRun()) {
        const std::string text = std::string("Файл протокола ") + logFileName +
                                 " занят: в него пишет другая поверка.\nАвтоповерка не начата.";
        MessagePopup("ORTAV", text.c_str());
        return VI_ERROR_RSRC_LOCKED;
    }
    g_running = true;
    // Each run judges its own points: one that ended early leaves nothing behind.
    povFailed = 0;
    clearRecordFailure();
    verificationRunStarted();
    g_point = 0;
    const int points =
        static_cast<int>(2 * resistancePoints(hardVersion).size() + 2 * currentPoints().size());
    verificationChartPlan(plannedPoints());
    longRunBegin("\r\nИДЕТ АВТОПОВЕРКА\r\n", points, true);
    const int r = run();
    longRunEnd();
    verificationChartPlan({});
    verificationRunEnded(false); // ended early; nothing when the verdict came
    unlockProtocolAfterRun();
    g_running = false;
    return r;
}
