// Runs recorded in the results database: a headless verification point for
// point as its CSV and JSON have it, calibrate-store-verify as the module's
// history with its drift and due date, the self-test, a run that ended early,
// the due date in the JSON summary, a point judged by hand on the front panel,
// and the history window.
#include "batch.h"
#include "batch_options.h"
#include "batch_test_support.h"
#include "bench.h"
#include "calib.h"
#include "database.h"
#include "front_panel_harness.h"
#include "history.h"
#include "history_report.h"
#include "history_window.h"
#include "instruments.h"
#include "p_ortav.h"
#include "pg_cluster.h"
#include "results_recording.h"
#include "uitest.h"
#include "userint.h"

#include <QChartView>
#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace ortav::results;

namespace {

std::string bench(const std::string &module = "", const std::string &meter = "") {
    return batchtest::oneModuleBench("history test", module, meter);
}
using batchtest::kStaleImage;
// A meter whose readings are worth something less than exact: U is not 0.
const std::string kNoisyMeter = "noise: 2e-5";

using batchtest::jsonText;
using batchtest::readAll;
using batchtest::Result;

// A run as a fresh process would have it, on the bench loaded just before.
Result batch(std::vector<std::string> args) {
    std::memset(Instruments, 0, sizeof Instruments);
    harness::freshState();
    return batchtest::captured(ortav::batch::run, std::move(args));
}

double jsonNumber(const std::string &json, const QString &key) {
    const auto m =
        QRegularExpression("\"" + key + "\": ([-0-9.eE+]+)").match(QString::fromStdString(json));
    return m.hasMatch() ? m.captured(1).toDouble() : NAN;
}

// Where the recorded run's points are not the CSV's rows, in their order,
// number for number with the run's decision rule, the uncertainty and the
// guarded verdict; empty when they are.
QString differsFromCsv(const RunRecord &run, const std::string &csv) {
    const QStringList lines = QString::fromStdString(csv).split('\n', Qt::SkipEmptyParts);
    if (static_cast<std::size_t>(lines.size()) != run.points.size() + 1)
        return QString("%1 points recorded, %2 CSV rows")
            .arg(run.points.size())
            .arg(lines.size() - 1);
    const auto number = [](double v) {
        return std::isinf(v) ? QString("inf") : QString::number(v, 'g', 17);
    };
    const auto written = [&](const QString &f) {
        return f == "unknown" || f == "inf" ? f : number(f.toDouble());
    };
    for (std::size_t i = 0; i < run.points.size(); ++i) {
        const PointRecord &p = run.points[i];
        const QStringList f = lines[static_cast<int>(i) + 1].split(',');
        const QString unknown = "unknown";
        const QStringList recorded = {QString::number(p.chan),
                                      p.mode == 1 ? "resistance" : "current",
                                      number(p.set),
                                      number(p.measured),
                                      number(p.deviation),
                                      number(p.permitted),
                                      p.failed ? "fail" : "pass",
                                      QString::fromStdString(run.decisionRule),
                                      p.uncertaintyKnown ? number(p.expanded) : unknown,
                                      p.uncertaintyKnown ? number(p.tur) : unknown,
                                      p.uncertaintyKnown ? (p.turLow ? "yes" : "no") : unknown,
                                      QString::fromStdString(p.guarded)};
        const QStringList inCsv = {f.value(1),           f.value(2),          written(f.value(4)),
                                   written(f.value(5)),  written(f.value(6)), written(f.value(7)),
                                   f.value(8),           f.value(9),          written(f.value(10)),
                                   written(f.value(11)), f.value(12),         f.value(13)};
        if (recorded != inCsv)
            return QString("point %1: recorded %2, CSV %3")
                .arg(i + 1)
                .arg(recorded.join(','), inCsv.join(','));
    }
    return {};
}

} // namespace

class BatchResultsDbTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::string db() const { return dir.filePath("results.sqlite").toStdString(); }
    QString path(const char *name) const { return dir.filePath(name); }

    // A run as the station's operator starts it: this database, this station.
    Result recorded(std::vector<std::string> args, const std::string &asset = "ИНВ-117") {
        args.insert(args.end(),
                    {"--results-db", db(), "--station", "station-3", "--operator", "Петров"});
        if (!asset.empty())
            args.insert(args.end(), {"--asset", asset});
        return batch(std::move(args));
    }

    // The next run finds no database: none of its file, its log or its index.
    void freshDatabase() {
        for (const char *end : {"", "-wal", "-shm"})
            QFile::remove(QString::fromStdString(db()) + end);
    }

    std::vector<RunRecord> runs(const char *kind = nullptr) {
        Database d;
        std::string error;
        Target t;
        t.path = db();
        if (!d.open(t, &error))
            qWarning("%s", error.c_str());
        std::vector<RunRecord> list;
        for (const RunRecord &r : d.allRuns(kind))
            list.push_back(*d.run(r.runId));
        return list;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        ortav::clock::setVirtual(true);
    }
    void cleanup() {
        calibReset();
        ortav::recording::setOptions({});
    }

    void verificationIsRecordedPointForPointAsItsCsvAndJson() {
        ortav::sim::loadString(bench(kStaleImage, kNoisyMeter), "test.yaml");
        const QString protocol = path("v.log");
        const Result r = recorded({"--batch", "verify", "--protocol", protocol.toStdString(),
                                   "--temperature", "24.5", "--decision-rule", "guarded"});
        QCOMPARE(r.code, 1);
        const std::vector<RunRecord> all = runs(kVerification);
        QCOMPARE(all.size(), std::size_t(1));
        const RunRecord &run = all[0];

        // Every CSV row, number for number.
        const QString differs = differsFromCsv(run, readAll(path("v.csv")));
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
        QCOMPARE(run.decisionRule, std::string("guarded"));
        QVERIFY(std::any_of(run.points.begin(), run.points.end(),
                            [](const PointRecord &p) { return p.uncertaintyKnown; }));
        // And what the JSON says of the run.
        const std::string json = readAll(path("v.json"));
        QCOMPARE(QString::fromStdString(run.verdict), jsonText(json, "verdict"));
        QCOMPARE(QString::fromStdString(run.coeffImage), jsonText(json, "coefficient_image"));
        QCOMPARE(run.coeffImage.size(), std::size_t(688));
        QCOMPARE(QString::fromStdString(run.carrierResource), jsonText(json, "resource"));
        QCOMPARE(QString::fromStdString(run.multimeterKind), jsonText(json, "kind"));
        QCOMPARE(run.ambientTemperature, jsonNumber(json, "ambient_temperature"));
        QCOMPARE(double(run.pointsExpected), jsonNumber(json, "points_expected"));
        QCOMPARE(run.position, 1);
        QCOMPARE(run.hardwareVersion, 2);
        // Who, where, with what.
        QCOMPARE(run.station, std::string("station-3"));
        QCOMPARE(run.operatorName, std::string("Петров"));
        QCOMPARE(run.asset, std::string("ИНВ-117"));
        QVERIFY(run.simulated);
        QCOMPARE(run.bench, std::string("history test"));
        QCOMPARE(run.carrierManufacturer, std::string("0xC5B"));
        QCOMPARE(run.carrierModel, std::string("0x10D"));
        QVERIFY2(run.mathIntegrity.rfind("intact (CRC32 ", 0) == 0, run.mathIntegrity.c_str());
        QVERIFY(run.mathIntegrity.find("ortav_math") != std::string::npos);
        QVERIFY(!run.programVersion.empty());
        QVERIFY(run.finished >= run.started);
    }

    void calibrateStoreVerifyIsTheModulesHistoryWithItsDrift() {
        ortav::sim::loadString(bench(kStaleImage), "test.yaml");
        QCOMPARE(recorded({"--batch", "calibrate", "--write"}, "ИНВ-200").code, 0);
        // The asset is remembered for the carrier and position.
        QCOMPARE(
            recorded({"--batch", "verify", "--protocol", path("h.log").toStdString()}, "").code, 0);

        Database d;
        std::string error;
        Target t;
        t.path = db();
        QVERIFY2(d.open(t, &error), error.c_str());
        const std::vector<RunRecord> history = d.runs({"ИНВ-200", {}, {}, 0});
        QCOMPARE(history.size(), std::size_t(3));
        QCOMPARE(history[0].kind, std::string(kCalibration));
        QCOMPARE(history[0].verdict, std::string("passed"));
        QCOMPARE(history[1].kind, std::string(kStore));
        QCOMPARE(history[1].verdict, std::string("stored"));
        QCOMPARE(history[2].kind, std::string(kVerification));
        QCOMPARE(history[2].verdict, std::string("passed"));
        // The verification used the image just stored.
        QCOMPARE(history[2].coeffImage, history[1].coeffStored);

        const RunRecord calibration = *d.run(history[0].runId);
        QCOMPARE(calibration.calibration.size(), std::size_t(42));
        const std::vector<DriftPoint> drift = ortav::results::drift(d, {"ИНВ-200", {}, {}, 0});
        QCOMPARE(drift.size(), std::size_t(1));
        int resistors = 0;
        for (const CalibrationEntry &v : calibration.calibration) {
            if (v.kind != "resistor")
                continue;
            ++resistors;
            const double nominal = nominalResistor(v.index);
            QCOMPARE(drift[0].relative[v.chan - 1][v.index - 1], (v.value - nominal) / nominal);
        }
        QCOMPARE(resistors, 36);

        std::optional<Due> due = calibrationDue(d, {"ИНВ-200", {}, {}, 0}, 12, history[1].finished);
        QVERIFY(due);
        QCOMPARE(due->due, dueDate(history[1].finished, 12));
        QVERIFY(!due->soon);
    }

    void selfTestAndARunEndedEarlyAreRecordedAsTheyEnded_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("self-test passed") << ""
                                          << "selftest" << kSelfTest << "passed";
        QTest::newRow("self-test failed") << "faults: {dead_source: [2]}"
                                          << "selftest" << kSelfTest << "failed";
        QTest::newRow("verification ended early")
            << "faults: {access: [{register: 0x0A, on: write}]}"
            << "verify" << kVerification << "JSON";
    }
    void selfTestAndARunEndedEarlyAreRecordedAsTheyEnded() {
        QFETCH(QString, module);
        QFETCH(QString, command);
        QFETCH(QString, kind);
        QFETCH(QString, verdict);
        freshDatabase();
        ortav::sim::loadString(bench(module.toStdString()), "test.yaml");
        std::vector<std::string> args{"--batch", command.toStdString()};
        if (command == "verify")
            args.insert(args.end(), {"--protocol", path("e.log").toStdString()});
        recorded(args);
        const std::vector<RunRecord> all = runs(kind.toStdString().c_str());
        QCOMPARE(all.size(), std::size_t(1));
        if (verdict == "JSON") {
            QCOMPARE(QString::fromStdString(all[0].verdict),
                     jsonText(readAll(path("e.json")), "verdict"));
            QVERIFY(all[0].verdict != "passed");
        } else {
            QCOMPARE(QString::fromStdString(all[0].verdict), verdict);
        }
    }

    // A module whose last stored calibration is this many days from falling
    // due; when it was stored.
    std::time_t storedCalibration(const std::string &asset, int daysLeft) {
        Database d;
        std::string error;
        Target t;
        t.path = db();
        if (!d.open(t, &error)) {
            qWarning("%s", error.c_str());
            return 0;
        }
        RunRecord r;
        r.runId = asset + "-store";
        r.kind = kStore;
        r.asset = asset;
        const std::time_t now = std::time(nullptr);
        // Back 12 months from the due moment.
        r.started = r.finished =
            QDateTime::fromSecsSinceEpoch(now + std::time_t(daysLeft) * 86400, Qt::UTC)
                .addMonths(-12)
                .toSecsSinceEpoch();
        r.verdict = "stored";
        if (!d.insertRun(r, &error)) {
            qWarning("%s", error.c_str());
            return 0;
        }
        return r.finished;
    }

    // The real program's verification says in its JSON summary what its
    // output says of the module's calibration due date, and the date is the
    // last stored calibration's plus the interval.
    void theSummaryJsonSaysWhenTheCalibrationFallsDue_data() {
        QTest::addColumn<int>("daysLeft"); // none: no stored calibration
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("says"); // in the output
        const int none = std::numeric_limits<int>::min();
        QTest::newRow("overdue") << -3 << ""
                                 << "overdue"
                                 << " (OVERDUE)\n";
        QTest::newRow("due soon") << 10 << ""
                                  << "due"
                                  << " (due within 30 days)\n";
        QTest::newRow("not due") << 100 << ""
                                 << "not_due"
                                 << "\n";
        QTest::newRow("never calibrated") << none << ""
                                          << "none"
                                          << "calibration due: no stored calibration on record\n";
        QTest::newRow("no database") << none << "none"
                                     << "unknown"
                                     << "calibration due: unknown (the results database is off)\n";
    }
    void theSummaryJsonSaysWhenTheCalibrationFallsDue() {
        QFETCH(int, daysLeft);
        QFETCH(QString, database);
        QFETCH(QString, state);
        QFETCH(QString, says);
        const std::string asset = std::string("JSON-") + QTest::currentDataTag();
        std::time_t stored = 0;
        if (daysLeft != std::numeric_limits<int>::min())
            QVERIFY((stored = storedCalibration(asset, daysLeft)) != 0);
        QTemporaryDir work;
        QVERIFY(batchtest::writeFile(work.filePath("bench.yaml"), bench()));
        const Result r =
            batchtest::runProgram(P_ORTAV,
                                  {"--batch", "verify", "--bench", "bench.yaml", "--results-db",
                                   database.isEmpty() ? QString::fromStdString(db()) : database,
                                   "--asset", QString::fromStdString(asset)},
                                  work.path());
        QVERIFY2(r.code == 0, (r.out + r.err).c_str());
        const std::string json = readAll(work.filePath("ortav.json"));
        const auto due = QRegularExpression("\"calibration_due\": (\\{[^}]*\\})")
                             .match(QString::fromStdString(json))
                             .captured(1)
                             .toStdString();
        QCOMPARE(jsonText(due, "state"), state);
        QCOMPARE(jsonNumber(due, "interval_months"), 12.0);
        if (stored == 0) {
            QVERIFY2(due.find("\"due\": null, \"last_calibration\": null") != std::string::npos,
                     due.c_str());
            QVERIFY2(r.out.find(says.toStdString()) != std::string::npos, r.out.c_str());
            QCOMPARE(due.find("\"why\"") != std::string::npos, state == "unknown");
            return;
        }
        const QString date = QString::fromStdString(utcText(dueDate(stored, 12)));
        QCOMPARE(jsonText(due, "due"), date);
        QCOMPARE(jsonText(due, "last_calibration"), QString::fromStdString(utcText(stored)));
        // The output: the date, then what it means (nothing when not due yet).
        QVERIFY2(r.out.find("calibration due: " + date.toStdString() + says.toStdString()) !=
                     std::string::npos,
                 r.out.c_str());
    }

    void aModuleDueSaysSoOnTheStatusLineAndInTheSummary_data() {
        QTest::addColumn<int>("daysLeft");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("statusLine");
        QTest::newRow("overdue") << -3 << "(OVERDUE)"
                                 << "Калибровка просрочена: срок истёк ";
        QTest::newRow("due soon") << 10 << "(due within 30 days)"
                                  << "Срок калибровки истекает ";
        QTest::newRow("not due") << 100 << ""
                                 << "";
    }
    void aModuleDueSaysSoOnTheStatusLineAndInTheSummary() {
        QFETCH(int, daysLeft);
        QFETCH(QString, summary);
        QFETCH(QString, statusLine);
        const std::string asset = std::string("DUE-") + QTest::currentDataTag();
        storedCalibration(asset, daysLeft);
        ortav::sim::loadString(bench(), "test.yaml");
        const Result r = recorded({"--batch", "selftest"}, asset);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.find("calibration due: ") != std::string::npos, r.out.c_str());
        if (!summary.isEmpty())
            QVERIFY2(r.out.find(summary.toStdString()) != std::string::npos, r.out.c_str());
        else
            QVERIFY2(r.out.find("(OVERDUE)") == std::string::npos &&
                         r.out.find("(due within") == std::string::npos,
                     r.out.c_str());

        // The panel, opening the module (its asset remembered from the run before).
        harness::Operator op;
        harness::install(op);
        ortav::recording::Options o;
        o.database = db();
        o.station = "station-3";
        ortav::recording::setOptions(o);
        QCOMPARE(harness::start(bench()), 0);
        QCOMPARE(QString::fromStdString(ortav::recording::asset()), QString::fromStdString(asset));
        const QString line = QString::fromStdString(harness::text(mp, MP_MSG));
        if (statusLine.isEmpty()) {
            QVERIFY2(!line.contains("алибровк"), qPrintable(line));
        } else {
            QVERIFY2(line.startsWith(statusLine), qPrintable(line));
            QCOMPARE(harness::attribute(mp, MP_MSG, ATTR_TEXT_COLOR), int(VAL_DK_YELLOW));
        }
        harness::stop();
        ui::test::setResponder({});
    }

    // A point judged by hand on the verification sheet: the value set, the
    // reading typed in, INPUT. It is a run of its own in the database, the row
    // its CSV beside the protocol has.
    void aPointJudgedByHandIsARunOfItsOwn_data() {
        QTest::addColumn<int>("mode"); // the sheet's ring: 0 resistance, 1 current
        QTest::addColumn<double>("set");
        QTest::addColumn<double>("reading"); // typed, as a share of what the module should give
        QTest::addColumn<QString>("verdict");
        QTest::newRow("resistance in norm") << 0 << 150.0 << 1.00001 << "passed";
        QTest::newRow("resistance out of norm") << 0 << 150.0 << 1.01 << "failed";
        QTest::newRow("current out of norm") << 1 << 5.0 << 1.1 << "failed";
    }
    void aPointJudgedByHandIsARunOfItsOwn() {
        QFETCH(int, mode);
        QFETCH(double, set);
        QFETCH(double, reading);
        QFETCH(QString, verdict);
        freshDatabase();
        harness::Operator op;
        harness::install(op);
        ortav::recording::Options o;
        o.database = db();
        o.station = "station-5";
        o.operatorName = "Сидорова";
        ortav::recording::setOptions(o);
        QCOMPARE(harness::start(bench()), 0);
        QVERIFY(ui::test::enterText(mp, MP_ASSET, "ИНВ-900"));
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 1));
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, mode));
        QVERIFY(ui::test::enter(ppPanel, PP_R_Z, set));
        QVERIFY(ui::test::click(ppPanel, PP_SET));
        // What the module should give: the resistance, or the voltage across the shunt.
        const double expected = harness::number(ppPanel, PP_R_I);
        QVERIFY(expected > 0);
        QVERIFY(ui::test::enter(ppPanel, PP_R_I, expected * reading));
        QVERIFY(ui::test::click(ppPanel, PP_INPUT));
        const std::string csv = readAll(harness::workFolder->filePath("ortav.csv"));
        const std::string recordedRun = ortav::recording::lastRecordedRun();
        harness::stop();
        ui::test::setResponder({});

        const std::vector<RunRecord> all = runs();
        QCOMPARE(all.size(), std::size_t(1));
        const RunRecord &run = all[0];
        QCOMPARE(run.runId, recordedRun);
        QCOMPARE(run.kind, std::string(kManual));
        QCOMPARE(QString::fromStdString(run.verdict), verdict);
        QCOMPARE(run.pointsExpected, 1);
        QCOMPARE(run.asset, std::string("ИНВ-900"));
        QCOMPARE(run.station, std::string("station-5"));
        QCOMPARE(run.operatorName, std::string("Сидорова"));
        QCOMPARE(run.carrierResource, std::string("VXI0::8::INSTR"));
        QCOMPARE(run.position, 1);
        QCOMPARE(run.multimeterKind, std::string("tarnel"));
        QCOMPARE(run.coeffImage.size(), std::size_t(688));
        QCOMPARE(run.points.size(), std::size_t(1));
        const PointRecord &p = run.points[0];
        QCOMPARE(run.started, p.time);
        QCOMPARE(run.finished, p.time);
        QCOMPARE(p.mode, mode + 1);
        QCOMPARE(p.set, set);
        QCOMPARE(p.failed, verdict == "failed");
        const QString differs = differsFromCsv(run, csv);
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }

    // --history and --due as the program's start runs them.
    Result report(std::vector<std::string> args) {
        return batchtest::captured(
            [](int argc, char *argv[], std::FILE *out, std::FILE *err) {
                ortav::batch::Options o;
                const std::string wrong = ortav::batch::parse(argc, argv, o);
                if (!wrong.empty()) {
                    std::fputs(wrong.c_str(), err);
                    return 2;
                }
                return ortav::batch::printHistory(o, out, err);
            },
            std::move(args));
    }

    void historyAndDueArePrintedWithoutAWindow() {
        freshDatabase();
        ortav::sim::loadString(bench(kStaleImage, kNoisyMeter), "test.yaml");
        QCOMPARE(recorded({"--batch", "calibrate", "--write"}, "ИНВ-300").code, 0);
        QCOMPARE(recorded({"--batch", "verify", "--protocol", path("p.log").toStdString(),
                           "--decision-rule", "guarded"},
                          "")
                     .code,
                 0);
        storedCalibration("OLD-1", -5);

        Result r = report({"--history", "--asset", "ИНВ-300", "--results-db", db()});
        QCOMPARE(r.code, 0);
        const QStringList lines = QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[0].contains(" calibration  passed      station-3, Петров, ИНВ-300 "
                                   "VXI0::8::INSTR position 1"),
                 qPrintable(lines[0]));
        QVERIFY(lines[1].contains(" store        stored "));
        QVERIFY2(lines[2].contains(" verification passed ") &&
                     lines[2].contains(", 94 points, 0 out of norm"),
                 qPrintable(lines[2]));
        QVERIFY(lines[3].startsWith("calibration due: ИНВ-300: last calibration "));

        // The same module by its carrier and position on this station.
        r = report({"--history", "--resource", "VXI0::8::INSTR", "--position", "1", "--json",
                    "--results-db", db(), "--station", "station-3"});
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromStdString(r.out).count("\"run_id\""), 3);
        QVERIFY(r.out.find("\"kind\": \"store\", ") != std::string::npos);
        QVERIFY(r.out.find("\"calibration_due\": {\"module\": \"ИНВ-300\"") != std::string::npos);
        QCOMPARE(QString::fromStdString(r.out).count("\"relative\": [["), 1);

        r = report({"--due", "--results-db", db()});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.rfind("OLD-1: last calibration ", 0) == 0 &&
                     r.out.find("(OVERDUE)") != std::string::npos &&
                     r.out.find("ИНВ-300") == std::string::npos,
                 r.out.c_str());
        // Over a two-year interval nothing is due yet.
        r = report({"--due", "--json", "--calibration-interval", "24", "--results-db", db()});
        QCOMPARE(r.out, std::string("[\n]\n"));
        r = report({"--due", "--json", "--results-db", db()});
        QCOMPARE(QString::fromStdString(r.out).count("\"module\": \"OLD-1\""), 1);
        QVERIFY(r.out.find("\"overdue\": true") != std::string::npos);
    }

    void historyUsageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("asset and resource")
            << QStringList{"--history", "--asset", "A", "--resource", "R", "--position", "1"} << 2
            << "--history: either --asset or --resource and --position";
        QTest::newRow("resource alone") << QStringList{"--history", "--resource", "R"} << 2
                                        << "--history: --resource and --position go together";
        QTest::newRow("no such file")
            << QStringList{"--history", "--results-db", "/nonexistent/r.sqlite"} << 2
            << "/nonexistent/r.sqlite: no results database there";
        QTest::newRow("nothing to read") << QStringList{"--due", "--results-db", "none"} << 2
                                         << "--results-db none: there is no database to read";
        QTest::newRow("with a run")
            << QStringList{"--batch", "verify", "--history"} << 2 << "--history: not with --batch";
        QTest::newRow("json alone")
            << QStringList{"--json"} << 2 << "--json: only with --history or --due";
        QTest::newRow("server away")
            << QStringList{"--history", "--results-db", "postgresql://x@/db?host=/nonexistent"} << 3
            << "the results database cannot be read: ";
    }
    void historyUsageErrors() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        std::vector<std::string> a;
        for (const QString &s : args)
            a.push_back(s.toStdString());
        const Result r = report(a);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.find(message.toStdString()) != std::string::npos, r.err.c_str());
    }

    // After historyAndDueArePrintedWithoutAWindow: the module ИНВ-300 calibrated,
    // stored and verified.
    void historyWindowShowsTheRunsTheirPointsAndTheDrift() {
        harness::Operator op;
        std::string exportTo;
        ui::test::setResponder([&](const ui::test::Request &r) {
            if (r.kind == ui::test::RequestKind::FileSelect)
                return ui::test::Answer::file(exportTo);
            return op.answer(r);
        });
        ortav::recording::Options o;
        o.database = db();
        o.station = "station-3";
        ortav::recording::setOptions(o);
        QCOMPARE(harness::start(bench()), 0);
        QVERIFY(ui::test::chooseMenuItem(GetPanelMenuBar(mp), MENU_HELP_HISTORY));
        QWidget *w = ortav::history::historyWindow();
        QVERIFY(w != nullptr && w->isVisible());
        QCOMPARE(w->windowTitle(), QString("История"));
        QVERIFY2(w->findChild<QLabel *>("module")->text().startsWith(
                     "Инв. № ИНВ-300; Срок калибровки истекает "),
                 qPrintable(w->findChild<QLabel *>("module")->text()));
        auto *runs = w->findChild<QTableWidget *>("runs");
        QCOMPARE(runs->rowCount(), 3);
        QCOMPARE(runs->item(0, 1)->text(), QString("Калибровка"));
        QCOMPARE(runs->item(1, 1)->text(), QString("Запись коэффициентов"));
        QCOMPARE(runs->item(1, 2)->text(), QString("записаны"));
        QCOMPARE(runs->item(2, 1)->text(), QString("Поверка"));
        QCOMPARE(runs->item(2, 2)->text(), QString("норма"));
        QCOMPARE(runs->item(2, 3)->text(), QString("station-3"));
        QCOMPARE(runs->item(2, 4)->text(), QString("Петров"));

        // A click on the verification shows its points.
        runs->setCurrentCell(2, 0);
        auto *points = w->findChild<QTableWidget *>("points");
        QCOMPARE(points->rowCount(), 94);
        QCOMPARE(points->item(0, 2)->text(), QString("10.1000 Ом"));

        // The drift: 18 resistors per channel, one stored calibration each.
        Database d;
        std::string error;
        Target t;
        t.path = db();
        QVERIFY2(d.open(t, &error), error.c_str());
        const std::vector<DriftPoint> drift = ortav::results::drift(d, {"ИНВ-300", {}, {}, 0});
        QCOMPARE(drift.size(), std::size_t(1));
        for (int c = 0; c < 2; ++c) {
            auto *view = w->findChild<QChartView *>(QString("drift%1").arg(c + 1));
            const QList<QAbstractSeries *> series = view->chart()->series();
            QCOMPARE(series.size(), 18);
            for (int k = 0; k < 18; ++k) {
                auto *line = static_cast<QLineSeries *>(series[k]);
                QCOMPARE(line->name(), QString("R%1").arg(k + 1));
                QCOMPARE(line->count(), 1);
                QCOMPARE(line->at(0).y(), 100.0 * drift[0].relative[c][k]);
            }
        }

        // The run's points to CSV: the very rows written beside its protocol.
        exportTo = path("exported-run.csv").toStdString();
        w->findChild<QPushButton *>("exportRun")->click();
        // Every column, the uncertainty and the guarded verdict too.
        QCOMPARE(QString::fromStdString(readAll(path("exported-run.csv"))),
                 QString::fromStdString(readAll(path("p.csv"))));
        exportTo = path("exported-history.csv").toStdString();
        w->findChild<QPushButton *>("exportHistory")->click();
        const QStringList rows = QString::fromStdString(readAll(path("exported-history.csv")))
                                     .split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 4);
        QVERIFY(rows[0].startsWith("run_id,kind,started,finished,verdict,"));
        QVERIFY2(rows[3].contains(",verification,") && rows[3].endsWith(",94,0"),
                 qPrintable(rows[3]));

        // Another station's run of the module appears on "Обновить"; the run
        // looked at stays selected, its points shown.
        {
            RunRecord other;
            other.runId = "station-9-selftest";
            other.kind = kSelfTest;
            other.asset = "ИНВ-300";
            other.station = "station-9";
            other.started = other.finished = std::time(nullptr) + 3600;
            other.verdict = "passed";
            QVERIFY2(d.insertRun(other, &error), error.c_str());
        }
        QCOMPARE(runs->rowCount(), 3);
        w->findChild<QPushButton *>("refresh")->click();
        QCOMPARE(runs->rowCount(), 4);
        QCOMPARE(runs->item(3, 1)->text(), QString("Самоконтроль"));
        QCOMPARE(runs->item(3, 3)->text(), QString("station-9"));
        QCOMPARE(runs->currentRow(), 2);
        QCOMPARE(points->rowCount(), 94);
        // The asset field shows the module's number; another one typed in is remembered.
        QCOMPARE(harness::text(mp, MP_ASSET), std::string("ИНВ-300"));
        QVERIFY(ui::test::enterText(mp, MP_ASSET, "ИНВ-301"));
        QCOMPARE(ortav::recording::recorder()->rememberedAsset("VXI0::8::INSTR", 1),
                 std::string("ИНВ-301"));
        harness::stop();
        QVERIFY(ortav::history::historyWindow() == nullptr);
        ui::test::setResponder({});
    }

    // The real program on a station recording into a PostgreSQL server started
    // for the test: the run reaches the server point for point as its CSV; a
    // run while the server is down waits at the station and reaches it once,
    // with the next run.
    void runsReachAServerAndWaitForItWhenItIsDown() {
        ortav::results::test::PgCluster server;
        std::string error;
        QVERIFY2(server.start(&error), error.c_str());
        QVERIFY2(server.createDatabase("stations", &error), error.c_str());
        const Target target = server.target("stations");
        const QString url = QString::fromStdString("postgresql://" + target.user + "@/" +
                                                   target.database + "?host=" + target.host);
        QTemporaryDir work;
        QVERIFY(batchtest::writeFile(work.filePath("bench.yaml"), bench(kStaleImage, kNoisyMeter)));
        // The station's own file is in its user's data folder.
        QProcessEnvironment env = batchtest::programEnvironment();
        env.insert("XDG_DATA_HOME", work.filePath("data"));
        const auto run = [&](const QStringList &command) {
            return batchtest::runProgram(P_ORTAV,
                                         command + QStringList{"--bench", "bench.yaml",
                                                               "--results-db", url, "--station",
                                                               "station-7", "--asset", "ИНВ-PG"},
                                         work.path(), env);
        };
        const auto recordedId = [](const Result &r) {
            const auto m = QRegularExpression("database: run (\\S+) recorded\n")
                               .match(QString::fromStdString(r.out));
            return m.captured(1).toStdString();
        };

        Result r = run({"--batch", "verify"});
        QVERIFY2(r.code == 1, (r.out + r.err).c_str()); // the stale image: points out of norm
        const std::string first = recordedId(r);
        QVERIFY2(!first.empty(), r.out.c_str());
        {
            Database d;
            QVERIFY2(d.open(target, &error), error.c_str());
            const std::optional<RunRecord> there = d.run(first);
            QVERIFY2(there, d.lastError().c_str());
            QCOMPARE(there->kind, std::string(kVerification));
            QCOMPARE(there->station, std::string("station-7"));
            QCOMPARE(there->asset, std::string("ИНВ-PG"));
            QCOMPARE(QString::fromStdString(there->verdict),
                     jsonText(readAll(work.filePath("ortav.json")), "verdict"));
            const QString differs = differsFromCsv(*there, readAll(work.filePath("ortav.csv")));
            QVERIFY2(differs.isEmpty(), qPrintable(differs));
        }

        // Server down: the run is the station's to send.
        QVERIFY(server.stop());
        r = run({"--batch", "selftest"});
        QVERIFY2(r.code == 0, (r.out + r.err).c_str());
        QVERIFY2(r.err.find("Сервер результатов недоступен") != std::string::npos, r.err.c_str());
        QString local;
        for (QDirIterator it(work.filePath("data"), {"results.sqlite"}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            local = it.next();
        QVERIFY(!local.isEmpty());
        const auto waiting = [&] {
            Database d;
            Target t;
            t.path = local.toStdString();
            std::string why;
            QSqlQuery q(d.open(t, &why) ? d.sql() : QSqlDatabase());
            return q.exec("SELECT run_id FROM outbox") && q.next()
                       ? q.value(0).toString().toStdString()
                       : std::string();
        };
        const std::string second = waiting();
        QVERIFY(!second.empty());

        // Back: the next run sends it, and itself.
        QVERIFY(server.restart());
        r = run({"--batch", "selftest"});
        QVERIFY2(r.code == 0, (r.out + r.err).c_str());
        const std::string third = recordedId(r);
        QVERIFY2(!third.empty() && r.err.find("warning") == std::string::npos,
                 (r.out + r.err).c_str());
        QCOMPARE(waiting(), std::string());
        Database d;
        QVERIFY2(d.open(target, &error), error.c_str());
        std::vector<std::string> ids;
        for (const RunRecord &rec : d.allRuns())
            ids.push_back(rec.runId);
        std::sort(ids.begin(), ids.end());
        std::vector<std::string> expected{first, second, third};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(ids, expected);
    }
};

QTEST_MAIN(BatchResultsDbTest)
#include "batch_results_db_test.moc"
