#include "results_recording.h"

#include "calib.h"
#include "calibration_progress.h"
#include "front_panel.h"
#include "instruments.h"
#include "judged_points.h"
#include "kelmor_crc32.h"
#include "library.h"
#include "p_ortav.h"
#include "results_json.h"
#include "time_text.h"
#include "userint.h"
#include "verification_run.h"
#include "visa_library.h"

#include <QSettings>
#include <QSysInfo>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace ortav::recording {

using namespace ortav::results;
namespace calib = ortav::calib;

namespace {

Options g_options;
std::unique_ptr<Recorder> g_recorder;
std::string g_error, g_lastRun, g_asset, g_integrity;
int g_judged = 0, g_runs = 0, g_values = 0, g_events = 0;

constexpr int kCalibrationValues = 2 * (18 + 1 + 2); // resistors, series, two currents

std::string hex(const void *data, std::size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    const auto *b = static_cast<const std::uint8_t *>(data);
    std::string s;
    for (std::size_t i = 0; i < size; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

std::string imageInUse() {
    DeviceData *rec = nullptr;
    if (moduleCheck(&rec) != 0)
        return {};
    return hex(&rec->coeff, sizeof rec->coeff);
}

const InstrumentEntry *carrierEntry() {
    for (const InstrumentEntry &e : Instruments)
        if (carrierSession != 0 && e.session == carrierSession && e.kind == KIND_CARRIER)
            return &e;
    return nullptr;
}

// The integrity of ortav_math, as start-up checked it.
std::string integrityState() {
    const std::string file = ortav::loader::systemName("ortav_math.dll");
    char found[KELMOR_FOUND_SIZE] = "";
    PathSearchHandle search = FirstPathFname(".", file.c_str(), found);
    if (search == nullptr)
        return file + ": not found";
    uint32_t stored = 0, computed = 0, whole = 0;
    const int check = CheckFileInternalCRC32(found, &stored, &computed, &whole);
    ClosePathFName(search);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(whole));
    std::string line;
    GetCtrlVal(aboutPanel, ABOUT_CERT_MSG, line);
    const char *state = check == 0 ? "intact" : check == 1 ? "CRC mismatch" : "not checked";
    return std::string(state) + " (CRC32 " + crc + "): " + line;
}

RunRecord header(const char *kind) {
    RunRecord r;
    r.kind = kind;
    r.started = std::time(nullptr);
    r.programVersion = kProgramVersion;
    if (g_integrity.empty())
        g_integrity = integrityState(); // once start-up has shown its line
    r.mathIntegrity = g_integrity;
    r.station = station();
    r.operatorName = operatorName();
    r.simulated = ortav::visa::isSimulated();
    r.bench = r.simulated ? ortav::visa::benchName() : "";
    if (const InstrumentEntry *c = carrierEntry()) {
        r.carrierResource = c->Address;
        const std::string descr = c->descr;
        const bool vxi = c->intfType == 2 || c->intfType == 3;
        r.carrierManufacturer = vxi ? "0xC5B" : descr.substr(0, descr.find(','));
        char model[16];
        std::snprintf(model, sizeof model, "0x%03X", static_cast<unsigned>(c->model));
        r.carrierModel = model;
        r.carrierSerial = c->serialNo;
    }
    r.position = calib::modulePosition();
    r.hardwareVersion = hardVersion;
    for (const InstrumentEntry &e : Instruments)
        if (e.kind == KIND_MEZZANINE && e.Meznum == r.position && r.carrierResource == e.Address)
            r.moduleIdentification = e.descr;
    r.asset = g_asset;
    r.coeffImage = imageInUse();
    const calib::MultimeterInUse m = calib::multimeterInUse();
    r.multimeterKind = m.kind;
    r.multimeterResource = m.resource;
    r.ambientTemperature = ambientTemp;
    return r;
}

std::string statusLineError() {
    int colour = 0;
    std::string text;
    GetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, &colour);
    GetCtrlVal(mp, MP_MSG, text);
    return colour == VAL_RED ? text : std::string();
}

// On the status line in the warning colour, unless it shows a driver's error.
void show(const std::string &text) {
    if (mp > 0 && statusLineError().empty()) {
        SetCtrlVal(mp, MP_MSG, text.c_str());
        SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_DK_YELLOW);
    }
}

// What the database could not take.
void warn(const std::string &text) {
    g_error = text;
    show(text);
}

void done(bool ok, const std::string &runId, const std::string &why) {
    if (ok) {
        g_lastRun = runId;
        return;
    }
    g_lastRun.clear();
    warn("Результат не записан в базу: " + why);
}

void recordWhole(RunRecord r) {
    if (!g_recorder)
        return;
    std::string why;
    if (r.runId.empty())
        r.runId = Recorder::makeRunId();
    const std::string id = r.runId;
    done(g_recorder->record(std::move(r), &why), id, why);
}

bool verificationGoingOn() {
    return g_recorder && g_recorder->running() && g_recorder->current()->kind == kVerification;
}

void onRun(const calib::RunSummary &s, bool ended) {
    if (!g_recorder)
        return;
    std::string why;
    if (!ended) {
        RunRecord r = header(kVerification);
        r.coeffImage = hex(s.coeffImage.data(), s.coeffImage.size());
        r.pointsExpected = s.expected;
        r.decisionRule = s.decisionRule;
        r.ambientTemperature = s.ambientTemp;
        if (!g_recorder->begin(std::move(r), &why))
            done(false, {}, why);
        return;
    }
    if (!verificationGoingOn())
        return;
    const std::string id = g_recorder->current()->runId;
    done(g_recorder->end(calib::verdictOf(s), s.error, &why), id, why);
}

void onPoint(const calib::JudgedPoint &p) {
    if (!g_recorder)
        return;
    PointRecord point;
    point.time = p.time;
    point.chan = p.chan;
    point.mode = p.mode;
    point.set = p.set;
    point.measured = p.measured;
    point.deviation = p.deviation;
    point.permitted = p.permitted;
    point.failed = p.failed;
    point.uncertaintyKnown = p.uncertainty.known;
    point.expanded = p.uncertainty.expanded;
    point.tur = p.tur;
    point.turLow = p.uncertainty.known && p.tur < ortav::uncertainty::kMinimumTur;
    point.guarded = ortav::uncertainty::verdictName(p.guarded);
    if (verificationGoingOn()) {
        std::string why;
        if (!g_recorder->addPoint(point, &why))
            done(false, {}, why);
        return;
    }
    RunRecord r = header(kManual);
    r.decisionRule = ortav::uncertainty::ruleName(p.rule);
    r.pointsExpected = 1;
    r.points.push_back(point);
    r.started = r.finished = p.time;
    r.verdict = p.failed ? "failed" : "passed";
    recordWhole(std::move(r));
}

void onValue(const calib::CalibrationValue &v) {
    if (!g_recorder || !g_recorder->running() || g_recorder->current()->kind != kCalibration)
        return;
    static const char *kinds[] = {"resistor", "series", "current"};
    std::string why;
    if (!g_recorder->addCalibration({v.chan, kinds[v.kind], v.index, v.value, v.beyondTolerance},
                                    &why))
        done(false, {}, why);
}

void onCalibration(const calib::CalibrationEvent &e) {
    if (!g_recorder)
        return;
    std::string why;
    if (e.kind == calib::CalibrationEvent::Started) {
        if (!g_recorder->begin(header(kCalibration), &why))
            done(false, {}, why);
        return;
    }
    if (e.kind == calib::CalibrationEvent::Ended) {
        if (!g_recorder->running() || g_recorder->current()->kind != kCalibration)
            return;
        const RunRecord &r = *g_recorder->current();
        bool beyond = false;
        for (const CalibrationEntry &v : r.calibration)
            beyond = beyond || v.beyondTolerance;
        std::string verdict = "passed", error = statusLineError();
        if (calib::lastCalibrationInterrupted())
            verdict = kInterrupted;
        else if (!error.empty())
            verdict = "incomplete";
        else if (beyond)
            verdict = "failed";
        else if (static_cast<int>(r.calibration.size()) < kCalibrationValues)
            verdict = kInterrupted;
        const std::string id = r.runId;
        done(g_recorder->end(verdict, error, &why), id, why);
        return;
    }
    RunRecord r = header(kStore);
    r.coeffStored = r.coeffImage; // the record holds what was written
    r.verdict = e.stored ? "stored" : "refused";
    if (!e.stored)
        r.error = statusLineError();
    r.finished = r.started;
    recordWhole(std::move(r));
}

} // namespace

void setOptions(const Options &options) {
    g_options = options;
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("p_ortav"),
                       QStringLiteral("p_ortav"));
    settings.beginGroup(QStringLiteral("results"));
    if (g_options.database.empty() && !g_options.off) {
        g_options.database = settings.value(QStringLiteral("database")).toString().toStdString();
        g_options.off = g_options.database == "none";
        if (g_options.off)
            g_options.database.clear();
    }
    if (g_options.station.empty())
        g_options.station = settings.value(QStringLiteral("station")).toString().toStdString();
    if (g_options.calibrationMonths <= 0)
        g_options.calibrationMonths =
            settings.value(QStringLiteral("calibration_interval_months"), kDefaultCalibrationMonths)
                .toInt();
    if (g_options.calibrationMonths <= 0)
        g_options.calibrationMonths = kDefaultCalibrationMonths;
}

int calibrationMonths() {
    return g_options.calibrationMonths > 0 ? g_options.calibrationMonths
                                           : kDefaultCalibrationMonths;
}

const Options &options() {
    return g_options;
}

std::string station() {
    if (!g_options.station.empty())
        return g_options.station;
    return QSysInfo::machineHostName().toStdString();
}

std::string operatorName() {
    if (!g_options.operatorName.empty())
        return g_options.operatorName;
    if (const passwd *pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr)
        return pw->pw_name;
    const char *user = std::getenv("USER");
    return user != nullptr ? user : "";
}

void start() {
    stop();
    if (g_options.off)
        return;
    std::string why;
    std::optional<Target> server;
    std::string local = defaultLocalPath();
    if (!g_options.database.empty()) {
        Target t;
        if (!parseTarget(g_options.database, t, &why)) {
            warn("База результатов не открыта: " + why);
            return;
        }
        if (t.dialect == Dialect::SQLite)
            local = t.path;
        else
            server = t;
    }
    auto recorder = std::make_unique<Recorder>();
    if (!recorder->open(local, server, &why)) {
        warn("База результатов не открыта: " + why);
        return;
    }
    if (server && !recorder->serverReachable(&why))
        warn("Сервер результатов недоступен, запись в " + local + ": " + why);
    g_recorder = std::move(recorder);
    g_integrity.clear();
    g_judged = calib::addJudgedObserver(onPoint);
    g_runs = calib::addRunObserver(onRun);
    g_values = calib::addCalibrationObserver(onValue);
    g_events = calib::addCalibrationEventObserver(onCalibration);
}

void stop() {
    if (g_judged != 0) {
        calib::removeJudgedObserver(g_judged);
        calib::removeRunObserver(g_runs);
        calib::removeCalibrationObserver(g_values);
        calib::removeCalibrationEventObserver(g_events);
        g_judged = g_runs = g_values = g_events = 0;
    }
    if (g_recorder && g_recorder->running()) {
        std::string why;
        g_recorder->end(kInterrupted, "the program ended during the run", &why);
    }
    g_recorder.reset();
    g_error.clear();
    g_lastRun.clear();
    g_asset.clear();
}

bool recording() {
    return g_recorder != nullptr;
}

const std::string &lastError() {
    return g_error;
}

const std::string &lastRecordedRun() {
    return g_lastRun;
}

Recorder *recorder() {
    return g_recorder.get();
}

std::string asset() {
    return g_asset;
}

bool setAsset(const std::string &asset) {
    g_asset = asset;
    const std::string resource = calib::moduleResource();
    if (!g_recorder || resource.empty())
        return false;
    std::string why;
    if (!g_recorder->rememberAsset(resource, calib::modulePosition(), asset, &why)) {
        warn("Инвентарный номер не запомнен: " + why);
        return false;
    }
    return true;
}

ModuleKey openModule() {
    if (!g_asset.empty())
        return {g_asset, {}, {}, 0};
    return {{}, station(), calib::moduleResource(), calib::modulePosition()};
}

std::optional<Due> openModuleDue() {
    if (!g_recorder || mvi == 0)
        return std::nullopt;
    return calibrationDue(g_recorder->history(), openModule(), calibrationMonths(),
                          std::time(nullptr));
}

ortav::calib::CalibrationDue openModuleDueState() {
    ortav::calib::CalibrationDue d;
    d.intervalMonths = calibrationMonths();
    if (!g_recorder) {
        d.why = g_options.off ? "the results database is off" : g_error;
        return d;
    }
    const std::optional<Due> due = openModuleDue();
    if (!due) {
        d.state = "none";
        return d;
    }
    d.state = due->overdue ? "overdue" : due->soon ? "due" : "not_due";
    d.due = due->due;
    d.lastCalibration = due->lastCalibration;
    return d;
}

std::string dueText(const Due &due) {
    return std::string(due.overdue ? "Калибровка просрочена: срок истёк "
                                   : "Срок калибровки истекает ") +
           ortav::text::localText(due.due, "%d.%m.%Y");
}

void moduleOpened() {
    if (!g_recorder || mvi == 0) {
        if (mp > 0)
            SetCtrlVal(mp, MP_ASSET, "");
        return;
    }
    const std::string resource = calib::moduleResource();
    if (g_options.hasAsset)
        setAsset(g_options.asset);
    else
        g_asset = g_recorder->rememberedAsset(resource, calib::modulePosition());
    SetCtrlVal(mp, MP_ASSET, g_asset.c_str());
    if (std::optional<Due> due = openModuleDue(); due && due->soon)
        show(dueText(*due));
}

void selfTestEnded(int code, const std::string &message) {
    if (!g_recorder || mvi == 0)
        return;
    RunRecord r = header(kSelfTest);
    const bool passed = code == 0 && message == "Самоконтроль завершен успешно";
    r.verdict = passed ? "passed" : "failed";
    if (!passed)
        r.error = message + " (code " + std::to_string(code) + ")";
    recordWhole(std::move(r));
}

} // namespace ortav::recording

int assetCB(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    std::string text;
    GetCtrlVal(panel, control, text);
    ortav::recording::setAsset(text);
    return 0;
}
