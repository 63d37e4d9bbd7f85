#include "verification_run.h"

#include "calib.h"
#include "front_panel.h"
#include "instruments.h"
#include "judged_points.h"
#include "observers.h"
#include "p_ortav.h"
#include "points.h"
#include "results_csv.h"
#include "si.h"
#include "userint.h"
#include "visa_library.h"

#include <cstdint>
#include <ctime>

namespace ortav::calib {

namespace {
RunSummary g_run;
int g_observer = 0; // while a run goes on
Observers<std::pair<const RunSummary *, bool>> &runObservers() {
    static Observers<std::pair<const RunSummary *, bool>> o;
    return o;
}
} // namespace

int addRunObserver(RunObserver observer) {
    return runObservers().add(
        [observer](const std::pair<const RunSummary *, bool> &e) { observer(*e.first, e.second); });
}

void removeRunObserver(int id) {
    runObservers().remove(id);
}

std::string moduleResource() {
    for (const InstrumentEntry &e : Instruments)
        if (carrierSession != 0 && e.session == carrierSession && e.kind == KIND_CARRIER)
            return e.Address;
    return {};
}

int modulePosition() {
    int p = 0;
    GetCtrlVal(mp, MP_MEZ_NUMold, &p);
    return p;
}

// In the order the readings use the sessions.
MultimeterInUse multimeterInUse() {
    if (viHP1412 != 0)
        return {"hpe1412", hp1412 != nullptr ? hp1412->Address : ""};
    if (viHP3458 != 0)
        return {"hp3458a", "GPIB0::22::INSTR"};
    if (viDMM1 != 0)
        return {"sulvat", dmm != nullptr ? dmm->Address : ""};
    if (viDMM != 0)
        return {"mervd", dmm != nullptr ? dmm->Address : ""};
    if (viM_DMM1 != 0)
        return {"tarnel", dmm != nullptr ? dmm->Address : ""};
    return {};
}

void verificationRunStarted() {
    if (g_observer != 0)
        removeJudgedObserver(g_observer);
    g_run = RunSummary{};
    g_run.resource = moduleResource();
    g_run.position = modulePosition();
    g_run.hardVersion = hardVersion;
    if (DeviceData *rec = nullptr; moduleCheck(&rec) == 0) {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(&rec->coeff);
        g_run.coeffImage.assign(bytes, bytes + sizeof rec->coeff);
    }
    const MultimeterInUse meter = multimeterInUse();
    g_run.multimeterKind = meter.kind;
    g_run.multimeterResource = meter.resource;
    g_run.ambientTemp = ambientTemp;
    g_run.simulated = ortav::visa::isSimulated();
    g_run.benchName = g_run.simulated ? ortav::visa::benchName() : "";
    if (logFile > 0) {
        g_run.protocol = logFileName;
        g_run.csv = csvBesideProtocol(logFileName);
    }
    if (hasPointList(hardVersion))
        g_run.expected =
            static_cast<int>(2 * resistancePoints(hardVersion).size() + 2 * currentPoints().size());
    g_run.started = std::time(nullptr);
    g_observer = addJudgedObserver([](const JudgedPoint &p) { g_run.points.push_back(p); });
    if (logFile > 0) {
        g_run.running = true;
        writeSummaryJson(besideProtocol(logFileName, ".json"), g_run);
        g_run.running = false;
    }
    runObservers().notify({&g_run, false});
}

void verificationRunInterrupted() {
    if (g_observer == 0)
        return;
    g_run.interrupted = true;
    verificationRunEnded(false);
}

void verificationRunEnded(bool completed) {
    if (g_observer == 0)
        return;
    removeJudgedObserver(g_observer);
    g_observer = 0;
    g_run.finished = std::time(nullptr);
    g_run.completed = completed;
    if (!completed) {
        // What the status line says, if it reports a driver status.
        int colour = 0;
        std::string text;
        GetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, &colour);
        GetCtrlVal(mp, MP_MSG, text);
        if (colour == VAL_RED)
            g_run.error = text;
    }
    if (logFile > 0)
        writeSummaryJson(besideProtocol(logFileName, ".json"), g_run);
    runObservers().notify({&g_run, true});
}

const RunSummary &lastVerificationRun() {
    return g_run;
}

} // namespace ortav::calib
