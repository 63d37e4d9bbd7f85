#include "batch.h"

#include "batch_options.h"
#include "batch_policy.h"
#include "calib.h"
#include "calibration_progress.h"
#include "delay.h"
#include "front_panel.h"
#include "instruments.h"
#include "judged_points.h"
#include "linked_parts.h"
#include "p_ortav.h"
#include "points.h"
#include "protocol_text.h"
#include "record_failure.h"
#include "reference_uncertainty.h"
#include "result_files.h"
#include "results_csv.h"
#include "results_json.h"
#include "results_recording.h"
#include "run_certificate.h"
#include "run_stop.h"
#include "si.h"
#include "uitest.h"
#include "userint.h"
#include "verification_chart.h"
#include "verification_run.h"
#include "visa.h"
#include "visa_library.h"

#include <QString>
#include <QtGlobal>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <pthread.h>
#include <string>
#include <strings.h>
#include <vector>

namespace ortav::batch {

using namespace ortav::calib;

namespace {

// On an automated stand nobody reads a warning: an ortav_math that is not the
// released file (or cannot be checked) stops the run before anything is
// touched, unless --allow-modified-math says to go on.
bool mathIntegrityAccepted(const Options &o, std::FILE *err) {
    const MathIntegrity &m = lastMathIntegrity();
    if (m.result == 0)
        return true;
    char what[512];
    if (m.result == 1)
        std::snprintf(what, sizeof what,
                      "%s: Некорректная контрольная сумма файла ortav_math.dll! (embedded "
                      "%08X, computed %08X)",
                      m.file.c_str(), static_cast<unsigned>(m.stored),
                      static_cast<unsigned>(m.computed));
    else
        std::snprintf(what, sizeof what, "%s: ortav_math cannot be checked (%s)",
                      m.file.empty() ? "libortav_math.so" : m.file.c_str(),
                      m.file.empty() ? "not found" : "unreadable, or no embedded checksum");
    if (o.allowModifiedMath) {
        std::fprintf(err, "p_ortav: warning: %s; going on (--allow-modified-math)\n", what);
        return true;
    }
    std::fprintf(err, "p_ortav: %s; the run stops (--allow-modified-math goes on)\n", what);
    return false;
}

// Outcome of a step: the exit code and, when not 0, the message.
struct Outcome {
    int code = kPassed;
    std::string message;
};

// No window, ever: the offscreen platform unless one without windows is set.
void headlessPlatform() {
    const char *set = std::getenv("QT_QPA_PLATFORM");
    if (set == nullptr || (std::strcmp(set, "offscreen") != 0 && std::strcmp(set, "minimal") != 0))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// Qt's own notes (the offscreen platform's size hints, XDG_RUNTIME_DIR, fonts)
// are nothing a headless run's reader needs to see; only its failures are.
QtMessageHandler g_qtMessages = nullptr;
void quietOffscreen(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (type != QtCriticalMsg && type != QtFatalMsg)
        return;
    if (g_qtMessages != nullptr)
        g_qtMessages(type, context, message);
}

// SIGINT, SIGTERM, SIGHUP: the run stops at its next safe point, resets the
// module and says so in its records; the exit status is the one shells expect
// of a process ended by the signal (128 + its number). A second one acts as
// if the program did not handle it.
volatile std::sig_atomic_t g_signal = 0;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
sigset_t g_previousMask;
struct sigaction g_previousXfsz;

void onStopSignal(int sig) {
    g_signal = sig;
    requestRunStop();
}

void handleStopSignals() {
    g_signal = 0;
    struct sigaction a {};
    a.sa_handler = onStopSignal;
    sigemptyset(&a.sa_mask);
    a.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &a, &g_previous[i]);
    // A file grown beyond the size limit is a write that failed, reported as such.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &g_previousXfsz);
    // A parent may have started us with them blocked; they would then wait
    // until the run is over.
    sigset_t stop;
    sigemptyset(&stop);
    for (int sig : kStopSignals)
        sigaddset(&stop, sig);
    pthread_sigmask(SIG_UNBLOCK, &stop, &g_previousMask);
}

void restoreStopSignals() {
    pthread_sigmask(SIG_SETMASK, &g_previousMask, nullptr);
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &g_previous[i], nullptr);
    sigaction(SIGXFSZ, &g_previousXfsz, nullptr);
}

const char *signalName(int sig) {
    return sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "SIGHUP";
}

// ORTAV_VIRTUAL_CLOCK=1: every wait passes at once. Only the simulated bench
// can take that; a real module would be driven without its settle times.
Outcome virtualClock(int argc, char *argv[]) {
    const char *on = std::getenv("ORTAV_VIRTUAL_CLOCK");
    if (on == nullptr || std::strcmp(on, "1") != 0)
        return {};
    ortav::visa::selectFromArgs(argc, argv);
    if (!ortav::visa::isSimulated()) {
        const std::string library =
            ortav::visa::isLoaded() ? ortav::visa::libraryName() : ortav::visa::error();
        return {kUsage,
                "ORTAV_VIRTUAL_CLOCK=1: only on the simulated bench (VISA: " + library + ")"};
    }
    ortav::clock::setVirtual(true);
    return {};
}

// The status line when it reports a driver status (red), else empty.
std::string statusLineError() {
    int colour = 0;
    std::string text;
    GetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, &colour);
    GetCtrlVal(mp, MP_MSG, text);
    return colour == VAL_RED ? text : std::string();
}

void clearStatusLine() {
    DefaultCtrl(mp, MP_MSG);
}

std::string join(const std::vector<std::string> &items, const char *sep) {
    std::string s;
    for (const std::string &i : items)
        s += (s.empty() ? "" : sep) + i;
    return s;
}

// The driver's text for the fault its session has latched, if any.
std::string driverFault() {
    DeviceData *rec = nullptr;
    if (moduleCheck(&rec) != 0 || rec->fault == 0)
        return {};
    char text[ORTAV_MESSAGE_SIZE] = "";
    ortav_error_message(mvi, rec->fault, text);
    text[sizeof text - 1] = '\0';
    return text;
}

// What the status line said when the module was opened (a warning), if anything.
std::string openingWarning;

// One chart per mode: "run.png" gives "run-R.png" and "run-I.png".
std::string chartFile(const std::string &name, int mode) {
    std::string stem = name;
    if (stem.size() > 4 && strcasecmp(stem.c_str() + stem.size() - 4, ".png") == 0)
        stem.resize(stem.size() - 4);
    return stem + (mode == 1 ? "-R.png" : "-I.png");
}

const char *unit(int mode) {
    return mode == 1 ? "Ohm" : "mA";
}

// ---- the module and the multimeter ---------------------------------------------------------

Outcome chooseModule(const Options &o, Policy &policy) {
    if (policy.resourceMissing)
        return {kUsage, "--resource " + o.resource +
                            ": no carrier of ours has this VISA resource (found: " +
                            (policy.carriersOffered.empty() ? std::string("none")
                                                            : join(policy.carriersOffered, ", ")) +
                            ")"};
    if (carrierSession == 0) {
        std::string why = join(policy.messages, "; ");
        return {kInstrument, "no carrier of ours found" + (why.empty() ? "" : ": " + why)};
    }
    if (o.position != 0 && modulePosition() != o.position) {
        int items = 0;
        GetNumListItems(mp, MP_MEZ_NUM, &items);
        std::vector<std::string> positions;
        int index = -1;
        for (int i = 0; i < items; ++i) {
            std::string label;
            GetLabelFromIndex(mp, MP_MEZ_NUM, i, label);
            positions.push_back(label);
            if (label == std::to_string(o.position))
                index = i;
        }
        if (index < 0)
            return {kUsage, "--position " + std::to_string(o.position) +
                                ": no ORTAV module at this position of " + moduleResource() +
                                " (modules at: " +
                                (positions.empty() ? std::string("none") : join(positions, ", ")) +
                                ")"};
        clearStatusLine();
        // The operator's double click on the position.
        ui::test::activate(mp, MP_MEZ_NUM, index);
    }
    if (mvi == 0) {
        std::string why = statusLineError();
        if (why.empty())
            why = join(policy.messages, "; ");
        return {kInstrument, "no ORTAV module opened" + (why.empty() ? "" : ": " + why)};
    }
    return {};
}

Outcome checkMultimeter(const Options &o) {
    const MultimeterInUse m = multimeterInUse();
    if (o.multimeter.empty() && m.kind.empty())
        return {kInstrument, "no reference multimeter could be opened" +
                                 (statusLineError().empty() ? "" : ": " + statusLineError())};
    if (!o.multimeter.empty() && m.kind != o.multimeter)
        return {kInstrument, "the multimeter " + o.multimeter + " could not be opened" +
                                 (statusLineError().empty() ? "" : ": " + statusLineError())};
    return {};
}

// ---- self-test ------------------------------------------------------------------------------

Outcome selftest(Policy &policy, std::FILE *out, std::FILE *err) {
    std::fprintf(err, "p_ortav: self-test of the module\n");
    clearStatusLine();
    SelftestCB(mp, MP_SELFTEST, EVENT_COMMIT, nullptr, 0, 0);
    int result = 0;
    std::string message;
    GetCtrlVal(stPanel, ST_RESULT, &result);
    GetCtrlVal(stPanel, ST_MSG, message);
    RemovePopup(1);
    for (const Policy::Question &q : policy.selftestQuestions)
        std::fprintf(out, "self-test failure (code %d): %s\n", q.code, q.text.c_str());
    const bool passed = policy.selftestQuestions.empty() && result == 0 &&
                        message == "Самоконтроль завершен успешно";
    std::fprintf(out, "self-test: %s (result %d): %s\n", passed ? "passed" : "FAILED", result,
                 message.c_str());
    // Code 0 is a register access that failed: the module could not be tested.
    for (const Policy::Question &q : policy.selftestQuestions)
        if (q.code == 0)
            return {kInstrument, q.text};
    if (!passed)
        return {kFailed, "self-test failed: " + message};
    return {};
}

// ---- calibration ----------------------------------------------------------------------------

Outcome calibrate(const Options &o, Policy &policy, std::FILE *out, std::FILE *err) {
    constexpr int kValues = 2 * (ORTAV_RESISTORS + 1 + 2); // resistors, series, two currents
    std::fprintf(err, "p_ortav: calibration of both channels, %d values\n", kValues);
    int n = 0;
    const int observer = addCalibrationObserver([&](const CalibrationValue &v) {
        CNumbers numbers;
        ++n;
        if (v.kind == CalibrationValue::Resistor)
            std::fprintf(err, "p_ortav: value %d of %d: channel %d, resistor %d: %.6g Ohm%s\n", n,
                         kValues, v.chan, v.index, v.value,
                         v.beyondTolerance ? " (BEYOND TOLERANCE OF NOMINAL)" : "");
        else if (v.kind == CalibrationValue::Series)
            std::fprintf(err, "p_ortav: value %d of %d: channel %d, series resistance: %.6g Ohm\n",
                         n, kValues, v.chan, v.value);
        else
            std::fprintf(err, "p_ortav: value %d of %d: channel %d, current at point %d: %.9g A\n",
                         n, kValues, v.chan, v.index, v.value);
    });
    clearStatusLine();
    Calibrate(0);
    removeCalibrationObserver(observer);
    if (lastCalibrationInterrupted()) {
        std::fprintf(out, "calibration: interrupted; the coefficients were not stored\n");
        return {kInstrument, "the calibration was interrupted; the coefficients were not stored"};
    }
    if (std::string e = statusLineError(); !e.empty())
        return {kInstrument, e};
    std::vector<std::string> red;
    {
        CNumbers numbers;
        for (int chan = 1; chan <= 2; ++chan) {
            std::fprintf(out, "channel %d:", chan);
            for (int row = 1; row <= 19; ++row) {
                double v = 0.0;
                int colour = 0;
                GetTableCellVal(cpPanel, CP_TABLE, MakePoint(chan, row), &v);
                GetTableCellAttribute(cpPanel, CP_TABLE, MakePoint(chan, row), ATTR_TEXT_COLOR,
                                      &colour);
                std::fprintf(out, " %s%d=%.6g", row <= 18 ? "R" : "r", row <= 18 ? row : 0, v);
                if (colour == VAL_RED)
                    red.push_back("channel " + std::to_string(chan) + " resistor " +
                                  std::to_string(row));
            }
            for (int point = 1; point <= 2; ++point) {
                double v = 0.0;
                GetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(chan, point), &v);
                std::fprintf(out, " I%d=%.9g", point, v);
            }
            std::fprintf(out, "\n");
        }
    }
    if (policy.calibrationAborted || !red.empty()) {
        std::fprintf(out, "calibration: FAILED, beyond the tolerance of nominal: %s\n",
                     join(red, ", ").c_str());
        return {kFailed, "resistors beyond the tolerance of nominal: " + join(red, ", ") +
                             (o.write ? "; the coefficients were not stored" : "")};
    }
    if (!o.write) {
        std::fprintf(out, "calibration: done; the coefficients were not stored (no --write)\n");
        return {};
    }
    const std::size_t before = policy.messages.size();
    clearStatusLine();
    writeFlash(cpPanel, CP_WRITE, EVENT_COMMIT, nullptr, 0, 0);
    if (std::string e = statusLineError(); !e.empty())
        return {kInstrument, e};
    if (policy.messages.size() > before)
        return {kFailed, "the coefficients were refused: " + policy.messages.back()};
    std::fprintf(out, "calibration: done; the coefficients are stored in the module\n");
    return {};
}

// ---- verification ---------------------------------------------------------------------------

Outcome verify(const Options &o, Policy &policy, std::FILE *out, std::FILE *err) {
    if (o.hardwareVersion != 0) {
        // The operator's choice on the main panel, over what the module reports.
        SetCtrlVal(mp, MP_VER, o.hardwareVersion);
        verCB(mp, MP_VER, EVENT_COMMIT, nullptr, 0, 0);
        if (hardVersion != o.hardwareVersion)
            return {kInstrument, "--hardware-version " + std::to_string(o.hardwareVersion) +
                                     ": the main panel did not take it"};
    }
    if (o.hasTemperature) {
        SetCtrlVal(ppPanel, PP_TEMPERATURE, o.temperature);
        temparatureCB(ppPanel, PP_TEMPERATURE, EVENT_COMMIT, nullptr, 0, 0);
    }
    if (!o.protocol.empty()) {
        if (o.protocol.size() >= sizeof logFileName)
            return {kUsage, "--protocol " + o.protocol + ": the name is too long"};
        std::snprintf(logFileName, sizeof logFileName, "%s", o.protocol.c_str());
        SetCtrlVal(ppPanel, PP_FILE_NAME, logFileName);
    }
    // Results go only into regular files (or new ones): a FIFO would hold the
    // run, a device would take them nowhere.
    const std::string protocolArg =
        std::string(o.protocol.empty() ? "the protocol file " : "--protocol ") + logFileName;
    {
        std::vector<std::pair<std::string, std::string>> files = {
            {protocolArg, logFileName},
            {"the results file " + besideProtocol(logFileName, ".csv"),
             besideProtocol(logFileName, ".csv")},
            {"the summary " + besideProtocol(logFileName, ".json"),
             besideProtocol(logFileName, ".json")}};
        for (int mode : {1, 2})
            if (!o.chart.empty())
                files.push_back({"--chart " + chartFile(o.chart, mode), chartFile(o.chart, mode)});
        for (const auto &[what, file] : files)
            if (std::string kind; !regularOrAbsent(file, &kind))
                return {kUsage, what + ": " + kind + ", not a regular file"};
    }
    // The operator turns to the verification sheet: the protocol opens.
    ui::test::selectTab(mp, tabCtrl, 1);
    if (logFile == 0)
        tabCB(mp, tabCtrl, EVENT_TAB_CHANGED, nullptr, 1, ppPanel);
    if (logFile <= 0)
        return {kUsage, protocolArg + ": cannot be opened for appending"};
    if (resultsLost()) { // not even its heading
        if (firstRecordFailure().reason == reasonText(kLockedElsewhere))
            return {kUsage, protocolArg + ": another run is writing to it; this one did not start"};
        return {kUnrecorded, "results could not be recorded: " + recordFailureText()};
    }
    SetCtrlVal(ppPanel, PP_AUTO_POV, 1);
    auto_pov(ppPanel, PP_AUTO_POV, EVENT_COMMIT, nullptr, 0, 0);
    // Chosen on the sheet as the operator would.
    SetCtrlVal(ppPanel, PP_DECISION_RULE,
               static_cast<int>(*ortav::uncertainty::ruleFromName(o.decisionRule)));
    decisionRuleCB(ppPanel, PP_DECISION_RULE, EVENT_COMMIT, nullptr, 0, 0);
    SetCtrlVal(ppPanel, PP_METER_PERIOD,
               static_cast<int>(*ortav::uncertainty::periodFromName(o.meterPeriod)));
    meterPeriodCB(ppPanel, PP_METER_PERIOD, EVENT_COMMIT, nullptr, 0, 0);
    if (std::string e; meterSpecs(&e), !e.empty())
        std::fprintf(err, "p_ortav: warning: the meters' accuracy cannot be used: %s\n", e.c_str());

    if (!ortav::calib::hasPointList(hardVersion))
        return {kInstrument, "hardware version " + std::to_string(hardVersion) +
                                 " has no list of verification points"};
    const int expected = static_cast<int>(2 * ortav::calib::resistancePoints(hardVersion).size() +
                                          2 * ortav::calib::currentPoints().size());
    std::size_t judgedSoFar = 0;
    const int observer = addJudgedObserver([&](const JudgedPoint &p) {
        ++judgedSoFar;
        CNumbers numbers;
        std::fprintf(err,
                     "p_ortav: point %zu of %d: channel %d, %s, set %.4f %s, measured %.4f %s, "
                     "deviation %.4f %s (permitted %.4f %s): %s\n",
                     judgedSoFar, expected, p.chan, p.mode == 1 ? "resistance" : "current", p.set,
                     unit(p.mode), p.measured, unit(p.mode), p.deviation, unit(p.mode), p.permitted,
                     unit(p.mode), p.failed ? "OUT OF NORM" : "pass");
    });
    std::fprintf(err, "p_ortav: automatic verification of both channels, %d points\n", expected);
    const std::size_t before = policy.messages.size();
    clearStatusLine();
    const int started = setP(ppPanel, PP_SET, EVENT_COMMIT, nullptr, 0, 0);
    removeJudgedObserver(observer);
    if (started == VI_ERROR_RSRC_LOCKED)
        return {kUsage, protocolArg + ": another run is writing to it; this one did not start"};
    // The run wrote its summary as it ended; a headless run knows more about
    // why one ended early, and says it there too.
    RunSummary summary = lastVerificationRun();
    const int judged = static_cast<int>(summary.points.size());
    if (!summary.completed && summary.error.empty()) {
        // A configuration the module refused ends the run without a word on the
        // status line; the driver's latched fault or the opening's warning says why.
        summary.error = statusLineError();
        if (summary.error.empty())
            summary.error = driverFault();
        if (summary.error.empty() && policy.messages.size() > before)
            summary.error = policy.messages.back();
        if (summary.error.empty())
            summary.error = openingWarning;
    }
    if (!summary.completed) {
        summary.error = "the verification ended before its verdict" +
                        (summary.error.empty() ? "" : ": " + summary.error);
    } else if (judged < summary.expected) {
        summary.error = std::to_string(summary.expected - judged) + " of " +
                        std::to_string(summary.expected) +
                        " points skipped: the multimeter gave no reading";
    }
    // Each skipped point by name, with the multimeter's reason; the summary
    // names the first.
    for (const SkippedPoint &s : summary.skipped) {
        CNumbers numbers;
        char text[160];
        std::snprintf(text, sizeof text, "channel %d, %s, set %.4f %s", s.chan,
                      s.mode == 1 ? "resistance" : "current", s.set, unit(s.mode));
        std::fprintf(err, "p_ortav: skipped: %s: %s\n", text, s.reason.c_str());
        if (&s == summary.skipped.data())
            summary.error += std::string(summary.skipped.size() > 1 ? " (the first: " : " (") +
                             text + ": " + s.reason + ")";
    }
    const std::string json = besideProtocol(logFileName, ".json");
    if (int why = 0; !writeSummaryJson(json, summary, &why))
        resultNotRecorded(json, why);
    for (int mode : {1, 2}) {
        if (o.chart.empty())
            break;
        const std::string png = chartFile(o.chart, mode);
        if (std::string why; !saveVerificationChart(png.c_str(), mode, &why))
            resultNotRecorded(png, why);
        else
            std::fprintf(out, "chart: %s\n", png.c_str());
    }

    std::string certificateError;
    if (!o.certificate.empty()) {
        if (writeRunCertificate(o.certificate, "", certificateError))
            std::fprintf(out, "certificate: %s (%s)\n", o.certificate.c_str(),
                         summary.certificate.c_str());
        else
            std::fprintf(err, "p_ortav: the certificate %s cannot be written: %s\n",
                         o.certificate.c_str(), certificateError.c_str());
    }

    int failed = 0, outByRule = 0;
    for (const JudgedPoint &p : summary.points) {
        failed += p.failed ? 1 : 0;
        outByRule += outOfNormByRule(p) ? 1 : 0;
    }
    const std::string verdict = verdictOf(summary);
    const std::string byRule = verdictByRule(summary);
    std::fprintf(out, "module: %s position %d, hardware version %d%s%s\n", summary.resource.c_str(),
                 summary.position, summary.hardVersion,
                 summary.simulated ? ", simulated bench " : "", summary.benchName.c_str());
    std::fprintf(out, "multimeter: %s %s\n", summary.multimeterKind.c_str(),
                 summary.multimeterResource.c_str());
    {
        CNumbers numbers;
        std::fprintf(out, "ambient temperature: %.1f C\n", summary.ambientTemp);
    }
    std::fprintf(out, "verification: %d of %d points judged, %d passed, %d out of norm: %s\n",
                 judged, summary.expected, judged - failed, failed, verdict.c_str());
    std::fprintf(out, "protocol: %s\nresults: %s\nsummary: %s\n", summary.protocol.c_str(),
                 summary.csv.c_str(), json.c_str());
    std::fprintf(out, "decision rule: %s, meter accuracy %s%s: %s\n", summary.decisionRule.c_str(),
                 summary.meterPeriod.c_str(),
                 summary.meterName.empty() ? " (not stated: uncertainty unknown)" : "",
                 byRule.c_str());
    if (resultsLost()) {
        std::fprintf(out, "NOT RECORDED: %s\n", recordFailureText().c_str());
        return {kUnrecorded, "results could not be recorded: " + recordFailureText()};
    }
    if (verdict == "interrupted")
        return {kInstrument, "the verification was interrupted"};
    if (verdict == "incomplete")
        return {kInstrument, summary.error};
    if (!certificateError.empty())
        return {kUnrecorded, "results could not be recorded: the certificate " + o.certificate +
                                 " cannot be written: " + certificateError};
    if (byRule == "failed" || byRule == "conditional")
        return {kFailed, std::to_string(outByRule) + " points out of norm" +
                             (summary.decisionRule == "guarded" ? " under the guarded rule" : "")};
    return {};
}

// When the module's last stored calibration falls due (the results database),
// as the run's summary says it.
void dueSummary(std::FILE *out) {
    const ortav::calib::CalibrationDue due = ortav::recording::openModuleDueState();
    if (due.state == "unknown")
        std::fprintf(out, "calibration due: unknown (%s)\n", due.why.c_str());
    else if (due.state == "none")
        std::fprintf(out, "calibration due: no stored calibration on record\n");
    else
        std::fprintf(out, "calibration due: %s%s\n", ortav::results::utcText(due.due).c_str(),
                     due.state == "overdue" ? " (OVERDUE)"
                     : due.state == "due"   ? " (due within 30 days)"
                                            : "");
}

// Whether the run is in the results database: said only when it is.
void recordingSummary(std::FILE *out, std::FILE *err) {
    if (!ortav::recording::recording())
        return;
    if (!ortav::recording::lastError().empty())
        std::fprintf(err, "p_ortav: warning: %s\n", ortav::recording::lastError().c_str());
    else if (!ortav::recording::lastRecordedRun().empty())
        std::fprintf(out, "database: run %s recorded\n",
                     ortav::recording::lastRecordedRun().c_str());
}

Outcome afterStart(const Options &o, Policy &policy, std::FILE *out, std::FILE *err) {
    if (Outcome r = chooseModule(o, policy); r.code != kPassed)
        return r;
    openingWarning = statusLineError();
    if (!openingWarning.empty())
        std::fprintf(err, "p_ortav: warning: %s\n", openingWarning.c_str());
    dueSummary(out);
    if (o.command == Command::SelfTest)
        return selftest(policy, out, err);
    if (Outcome r = checkMultimeter(o); r.code != kPassed)
        return r;
    if (o.command == Command::Calibrate)
        return calibrate(o, policy, out, err);
    return verify(o, policy, out, err);
}

} // namespace

void useResultsOptions(const Options &o) {
    ortav::recording::Options r;
    r.off = o.resultsDb == "none";
    r.database = r.off ? "" : o.resultsDb;
    r.station = o.station;
    r.operatorName = o.operatorName;
    r.hasAsset = o.hasAsset;
    r.asset = o.asset;
    r.calibrationMonths = o.calibrationMonths;
    ortav::recording::setOptions(r);
}

int run(int argc, char *argv[], std::FILE *out, std::FILE *err) {
    Options options;
    if (const std::string wrong = parse(argc, argv, options); !wrong.empty()) {
        std::fprintf(err, "p_ortav: %s\n%s", wrong.c_str(), usage());
        return kUsage;
    }
    useResultsOptions(options);
    if (!mathIntegrityAccepted(options, err))
        return kInstrument;
    headlessPlatform();
    if (Outcome clock = virtualClock(argc, argv); clock.code != kPassed) {
        std::fprintf(err, "p_ortav: %s\n", clock.message.c_str());
        return clock.code;
    }
    g_qtMessages = qInstallMessageHandler(quietOffscreen);
    handleStopSignals();
    Policy policy(options, err);
    ui::test::setResponder([&policy](const ui::test::Request &r) { return policy.answer(r); });
    ui::test::clearRecord();

    Outcome outcome;
    if (startUp(argc, argv) != 0) {
        const std::string why = join(policy.messages, "; ");
        if (why.find("Ошибка в описании стенда") != std::string::npos)
            outcome = {kUsage, "--bench: " + why};
        else
            outcome = {kInstrument,
                       "the program could not start" + (why.empty() ? "" : ": " + why)};
    } else {
        outcome = afterStart(options, policy, out, err);
    }
    if (outcome.code == kPassed || outcome.code == kFailed) {
        // A question nobody could answer means the run did not go as its policy says.
        const std::vector<std::string> unanswered = ui::test::unanswered();
        if (!unanswered.empty())
            outcome = {kInstrument, "unanswered: " + join(unanswered, "; ")};
    }
    if (const int sig = g_signal; sig != 0)
        outcome = {kInterrupted + sig,
                   std::string("interrupted by ") + signalName(sig) +
                       (options.command == Command::SelfTest
                            ? ""
                            : "; the run stopped at its next safe point with the module reset")};
    RemovePopup(1);
    recordingSummary(out, err);
    shutDown();
    calibReset(); // the protocol file closed
    uncertaintySettings() = {};
    ui::test::setResponder({});
    ui::test::clearRecord();
    qInstallMessageHandler(g_qtMessages);
    restoreStopSignals();
    clearRunStop();

    switch (outcome.code) {
    case kPassed:
        break;
    case kFailed:
        std::fprintf(err, "p_ortav: %s\n", outcome.message.c_str());
        break;
    case kUsage:
        std::fprintf(err, "p_ortav: %s\n", outcome.message.c_str());
        break;
    case kUnrecorded:
        std::fprintf(err, "p_ortav: %s\n", outcome.message.c_str());
        break;
    case kInterrupted + SIGINT:
    case kInterrupted + SIGTERM:
    case kInterrupted + SIGHUP:
        std::fprintf(err, "p_ortav: %s\n", outcome.message.c_str());
        break;
    default:
        std::fprintf(err, "p_ortav: instrument error: %s\n", outcome.message.c_str());
        break;
    }
    return outcome.code;
}

} // namespace ortav::batch
