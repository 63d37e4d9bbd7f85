#include "verification_run.h"

#include "calib.h"
#include "front_panel.h"
#include "instruments.h"
#include "judged_points.h"
#include "observers.h"
#include "p_ortav.h"
#include "points.h"
#include "record_failure.h"
#include "reference_uncertainty.h"
#include "results_csv.h"
#include "results_recording.h"
#include "run_certificate.h"
#include "si.h"
#include "time_text.h"
#include "userint.h"
#include "visa_library.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>

namespace ortav::calib {

namespace {
RunSummary g_run;
int g_observer = 0; // while a run goes on
Observers<std::pair<const RunSummary *, bool>> &runObservers() {
    static Observers<std::pair<const RunSummary *, bool>> o;
    return o;
}

// The run's start to the second and 32 random bits: two runs never share one,
// not even two started in the same second on two stands.
std::string certificateNumber(std::time_t started) {
    const std::string date = ortav::text::localText(started, "%Y%m%d-%H%M%S");
    std::random_device random;
    char number[64];
    std::snprintf(number, sizeof number, "ORTAV-%s-%08X", date.c_str(),
                  static_cast<unsigned>(random()));
    return number;
}

void writeSummary() {
    const std::string path = besideProtocol(logFileName, ".json");
    if (int why = 0; !writeSummaryJson(path, g_run, &why))
        resultNotRecorded(path, why);
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
    if (ViInt32 reported = 0;
        mvi != 0 && ortav_get_attribute(mvi, ORTAV_ATTR_HW_VERSION, &reported) >= 0)
        g_run.hardVersionReported = reported;
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
    g_run.mathFile = lastMathIntegrity().file;
    g_run.mathIntegrity = mathIntegrityName(lastMathIntegrity());
    if (logFile > 0) {
        g_run.protocol = logFileName;
        g_run.csv = csvBesideProtocol(logFileName);
    }
    if (hasPointList(hardVersion))
        g_run.expected =
            static_cast<int>(2 * resistancePoints(hardVersion).size() + 2 * currentPoints().size());
    g_run.started = std::time(nullptr);
    g_run.certificate = certificateNumber(g_run.started);
    // As the results database records them (its options, else the account and host).
    g_run.operatorName = ortav::recording::operatorName();
    g_run.station = ortav::recording::station();
    g_run.calibrationDue = ortav::recording::openModuleDueState();
    const UncertaintySettings &how = uncertaintySettings();
    g_run.decisionRule = ortav::uncertainty::ruleName(how.rule);
    g_run.meterPeriod = ortav::uncertainty::periodName(how.period);
    meterSpecs(&g_run.meterSpecsError);
    if (const ortav::uncertainty::MeterSpec *spec = meterSpecInUse()) {
        g_run.meterName = spec->name;
        g_run.meterSource = spec->source;
    }
    g_observer = addJudgedObserver([](const JudgedPoint &p) { g_run.points.push_back(p); });
    if (logFile > 0) {
        g_run.running = true;
        writeSummary();
        g_run.running = false;
    }
    certificateButtonFollowsRun(false);
    runObservers().notify({&g_run, false});
}

void verificationPointSkipped(const SkippedPoint &p) {
    if (g_observer != 0)
        g_run.skipped.push_back(p);
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
    g_run.notRecorded = recordFailureText();
    if (logFile > 0)
        writeSummary();
    certificateButtonFollowsRun(true);
    runObservers().notify({&g_run, true});
}

const RunSummary &lastVerificationRun() {
    return g_run;
}

} // namespace ortav::calib
