// Headless runs end to end on the simulated bench: the verification on a good,
// the default and a faulty bench (exit status; protocol, CSV and JSON agree point
// for point), self-test and calibration, usage and instrument errors, the real
// executable without a display, and the verification chart against the tables.
#include "batch.h"
#include "batch_test_support.h"
#include "bench.h"
#include "calib.h"
#include "calibration_progress.h"
#include "chart_check.h"
#include "cp1251.h"
#include "delay.h"
#include "front_panel.h"
#include "front_panel_harness.h"
#include "instruments.h"
#include "judged_points.h"
#include "p_ortav.h"
#include "protocol_file.h"
#include "protocol_text.h"
#include "results_csv.h"
#include "run_stop.h"
#include "uitest.h"
#include "userint.h"
#include "verification_chart.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <vector>

using namespace ortav::calib;

namespace {

// One ORTAV (version 2, ideal resistors and a true image) and its multimeter.
std::string bench(const std::string &module = "", const std::string &meter = "") {
    return batchtest::oneModuleBench("batch test", module, meter);
}
const std::string kDeadSource = "faults: {dead_source: [2]}";
// Writes to the channel register fail: the module opens with a warning and
// refuses every output.
const std::string kBrokenChannel = "faults: {access: [{register: 0x0A, on: write}]}";
using batchtest::kStaleImage;

using batchtest::jsonText;
using batchtest::readAll;
using batchtest::Result;

// A run as a fresh process would have it, on the bench loaded just before.
Result batch(std::vector<std::string> args) {
    std::memset(Instruments, 0, sizeof Instruments);
    harness::freshState();
    return batchtest::captured(ortav::batch::run, std::move(args));
}

struct CsvRow {
    int chan, mode;
    double set, measured, deviation, permitted;
    bool failed;
};

std::vector<CsvRow> readCsv(const QString &path) {
    std::vector<CsvRow> rows;
    const QStringList lines = QString::fromStdString(readAll(path)).split('\n', Qt::SkipEmptyParts);
    if (lines.isEmpty() || lines[0] + '\n' != QString(ortav::calib::kCsvHeader))
        return rows;
    const qsizetype columns = lines[0].split(',').size();
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(',');
        if (f.size() != columns) // every row of the shape of the header
            continue;
        rows.push_back({f[1].toInt(), f[2] == "resistance" ? 1 : 2, f[4].toDouble(),
                        f[5].toDouble(), f[6].toDouble(), f[7].toDouble(), f[8] == "fail"});
    }
    return rows;
}

// The protocol's last line, in UTF-8; "<unended>" when the file does not end
// with a line end.
std::string lastLine(const QString &path) {
    const std::string bytes = readAll(path);
    if (bytes.size() < 2 || bytes.substr(bytes.size() - 2) != "\r\n")
        return "<unended>";
    const std::size_t start = bytes.rfind("\r\n", bytes.size() - 3);
    const std::string line =
        bytes.substr(start == std::string::npos ? 0 : start + 2,
                     bytes.size() - 2 - (start == std::string::npos ? 0 : start + 2));
    return ortav::text::fromCp1251(line);
}

int jsonInt(const std::string &json, const QString &pattern) {
    const auto m = QRegularExpression(pattern).match(QString::fromStdString(json));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class BatchRunTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const char *name) const { return dir.filePath(name); }

    // The verification's three files agree point for point, and with the exit status.
    void checkFilesAgree(const Result &r, const QString &protocol, int expectedPoints) {
        const QString stem = protocol.left(protocol.size() - 4);
        const std::vector<CsvRow> rows = readCsv(stem + ".csv");
        QCOMPARE(static_cast<int>(rows.size()), expectedPoints);

        // Every CSV row is a result line of the protocol, in the same order, as the
        // protocol writes it (code page 1251 bytes).
        const std::string log = readAll(protocol);
        std::size_t at = 0;
        int failed = 0;
        for (const CsvRow &row : rows) {
            const std::string line =
                row.mode == 1
                    ? resistanceLine(row.chan, row.set, row.measured, row.deviation, row.permitted,
                                     row.failed)
                    : currentLine(row.chan, row.set, row.measured, row.deviation, row.failed);
            const std::size_t found = log.find("\r\n" + protocolBytes(line), at);
            QVERIFY2(found != std::string::npos, line.c_str());
            at = found + 1;
            failed += row.failed ? 1 : 0;
            QCOMPARE(row.deviation, row.measured - row.set);
            QCOMPARE(row.failed, row.mode == 1 ? std::fabs(row.deviation) > row.permitted
                                               : std::fabs(row.deviation) > 0.01);
        }
        const std::string closing = std::string(failed ? kClosingFailed : kClosingPassed) + "\n";
        QVERIFY(log.size() >= closing.size());
        QCOMPARE(log.substr(log.size() - protocolBytes(closing).size()), protocolBytes(closing));

        const std::string json = readAll(stem + ".json");
        QCOMPARE(jsonInt(json, "\"points_expected\": (\\d+)"), expectedPoints);
        QCOMPARE(jsonInt(json, "\"counts\": \\{\"judged\": (\\d+)"), expectedPoints);
        QCOMPARE(jsonInt(json, "\"counts\": \\{\"judged\": \\d+, \"passed\": (\\d+)"),
                 expectedPoints - failed);
        QCOMPARE(
            jsonInt(json, "\"counts\": \\{\"judged\": \\d+, \"passed\": \\d+, \"failed\": (\\d+)"),
            failed);
        for (int chan : {1, 2})
            for (int mode : {1, 2}) {
                int n = 0, bad = 0;
                for (const CsvRow &row : rows)
                    if (row.chan == chan && row.mode == mode) {
                        ++n;
                        bad += row.failed ? 1 : 0;
                    }
                const QString pattern = QString("\"channel\": %1, \"mode\": \"%2\", \"counts\": "
                                                "\\{\"judged\": (\\d+), \"passed\": \\d+, "
                                                "\"failed\": %3\\}")
                                            .arg(chan)
                                            .arg(mode == 1 ? "resistance" : "current")
                                            .arg(bad);
                QCOMPARE(jsonInt(json, pattern), n);
            }
        QCOMPARE(jsonText(json, "verdict"), QString(failed ? "failed" : "passed"));
        QCOMPARE(jsonText(json, "protocol"), protocol);
        QCOMPARE(jsonText(json, "resource"), QString("VXI0::8::INSTR"));
        QCOMPARE(jsonInt(json, "\"position\": (\\d+)"), 1);
        QCOMPARE(jsonText(json, "coefficient_image").size(), 688); // 344 bytes
        QVERIFY(json.find("\"simulated\": true") != std::string::npos);
        QCOMPARE(jsonText(json, "kind"), QString("tarnel"));

        QCOMPARE(r.code, failed ? 1 : 0);
        const std::string summary = std::to_string(expectedPoints) + " of " +
                                    std::to_string(expectedPoints) + " points judged, " +
                                    std::to_string(expectedPoints - failed) + " passed, " +
                                    std::to_string(failed) + " out of norm";
        QVERIFY2(r.out.find(summary) != std::string::npos, r.out.c_str());
        // Progress: every point, numbered.
        QVERIFY(r.err.find("point 1 of " + std::to_string(expectedPoints) +
                           ": channel 1, "
                           "resistance, set 10.1000 Ohm") != std::string::npos);
        QVERIFY(r.err.find("point " + std::to_string(expectedPoints) + " of ") !=
                std::string::npos);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        ortav::clock::setVirtual(true);
    }

    void cleanup() { calibReset(); }

    void verificationOnTheBenches_data() {
        QTest::addColumn<QString>("yaml");
        QTest::addColumn<int>("failedAtLeast");
        QTest::newRow("good") << QString::fromStdString(bench()) << 0;
        QTest::newRow("default") << QString() << 0;
        QTest::newRow("dead current source") << QString::fromStdString(bench(kDeadSource)) << 4;
        QTest::newRow("stale image") << QString::fromStdString(bench(kStaleImage)) << 2;
    }
    void verificationOnTheBenches() {
        QFETCH(QString, yaml);
        QFETCH(int, failedAtLeast);
        if (yaml.isEmpty())
            ortav::sim::loadDefault();
        else
            ortav::sim::loadString(yaml.toStdString(), "test.yaml");
        const QString protocol = path(QTest::currentDataTag()).replace(' ', '_') + ".log";
        const Result r = batch({"--batch", "verify", "--protocol", protocol.toStdString()});
        checkFilesAgree(r, protocol, 2 * 43 + 2 * 4);
        const std::vector<CsvRow> rows = readCsv(protocol.left(protocol.size() - 4) + ".csv");
        const int failed = static_cast<int>(
            std::count_if(rows.begin(), rows.end(), [](const CsvRow &row) { return row.failed; }));
        QVERIFY2(failed >= failedAtLeast, r.out.c_str());
        if (failedAtLeast == 0 && !yaml.isEmpty())
            QCOMPARE(r.code, 0);
    }

    // A simulated meter errs by its bench noise alone, cut at three deviations:
    // U = 2 · (3 · noise · |reading|) / √3 for every resistance. A current is
    // its volts over the shunt's stored value, which on the simulated bench is
    // as far as e from the real resistor (a limit):
    // U = 2 · |I| · √((3 · noise)² + e²) / √3. The guarded verdict follows from U.
    void theUncertaintyFollowsTheMetersNoise() {
        std::string yaml = bench(kStaleImage);
        const double noise = 2e-4;
        yaml.replace(yaml.find("position: 3}"), 12, "position: 3, noise: 2e-4}");
        ortav::sim::loadString(yaml, "test.yaml");
        // The stale image's resistor 7 against the bench's, per channel.
        double shuntError[2] = {};
        for (int chan = 1; chan <= 2; ++chan) {
            double real = 0.0, stored = 0.0;
            QCOMPARE(ortavBench_moduleResistance("VXI0::8::INSTR", 1, chan, 7, &real), 0);
            const std::vector<uint8_t> &image =
                ortav::sim::bench().findCarrier("VXI0::8::INSTR")->module(1)->eeprom();
            std::memcpy(&stored, image.data() + 8 + 8 * (18 * (chan - 1) + 6), sizeof stored);
            shuntError[chan - 1] = std::fabs(stored / real - 1.0);
            QVERIFY(shuntError[chan - 1] > 300e-6); // more than the default images'
        }
        double none = 0.0; // the multimeter's position holds no ORTAV
        QCOMPARE(ortavBench_moduleResistance("VXI0::8::INSTR", 3, 1, 7, &none), -1);
        const QString protocol = path("noisy.log");
        const Result r = batch({"--batch", "verify", "--protocol", protocol.toStdString()});
        QCOMPARE(r.code, 1);
        const QStringList lines =
            QString::fromStdString(readAll(path("noisy.csv"))).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 94);
        QVERIFY(lines[0].endsWith(
            ",verdict,decision_rule,expanded_uncertainty,tur,tur_low,guarded_verdict,bench"));
        int conditional = 0;
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList f = lines[i].split(',');
            QCOMPARE(f.size(), 15);
            const double measured = f[5].toDouble(), deviation = f[6].toDouble();
            const double permitted = f[7].toDouble(), U = f[10].toDouble();
            QCOMPARE(f[9], QString("simple"));
            const double relative =
                f[2] == "current" ? std::hypot(3 * noise, shuntError[f[1].toInt() - 1]) : 3 * noise;
            QVERIFY2(std::fabs(U - 2 * relative / std::sqrt(3.0) * std::fabs(measured)) <=
                         1e-12 * U,
                     qPrintable(lines[i]));
            QCOMPARE(f[11].toDouble(), permitted / U);
            QCOMPARE(f[12], QString(permitted / U < 4 ? "yes" : "no"));
            const double d = std::fabs(deviation);
            const QString guarded = d <= permitted - U  ? "pass"
                                    : d - U > permitted ? "fail"
                                                        : "conditional";
            QCOMPARE(f[13], guarded);
            conditional += guarded == "conditional" ? 1 : 0;
        }
        QVERIFY(conditional > 0); // the stale image puts some points near their norm
        const std::string json = readAll(path("noisy.json"));
        QCOMPARE(jsonText(json, "meter"), QString("МЦMM (имитация)"));
        QCOMPARE(jsonText(json, "decision_rule"), QString("simple"));
        QCOMPARE(jsonText(json, "meter_period"), QString("1y"));
        QCOMPARE(jsonText(json, "verdict_by_rule"), QString("failed"));
        QVERIFY(jsonText(json, "certificate").startsWith("ORTAV-"));
    }

    // A meters file that says nothing of the shunt: every current is
    // "uncertainty unknown", never a guarded pass; the resistances keep their U.
    void aCurrentWithoutAStatedShuntHasNoUncertainty() {
        ortav::sim::loadString(bench(), "test.yaml");
        const QString meters = path("no_shunt.yaml");
        QFile m(meters);
        QVERIFY(m.open(QIODevice::WriteOnly));
        m.write("simulated:\n  tarnel: {name: МЦMM (имитация), source: тест, noise_bound: 3}\n");
        m.close();
        qputenv("ORTAV_METERS", meters.toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("ORTAV_METERS"); });
        const Result r = batch({"--batch", "verify", "--protocol",
                                path("no_shunt.log").toStdString(), "--decision-rule", "guarded"});
        QCOMPARE(r.code, 1);
        QFile jsonFile(path("no_shunt.json"));
        QVERIFY(jsonFile.open(QIODevice::ReadOnly));
        const QJsonArray points =
            QJsonDocument::fromJson(jsonFile.readAll()).object()["points"].toArray();
        QCOMPARE(points.size(), 94);
        int currents = 0;
        for (const QJsonValue &v : points) {
            const QJsonObject p = v.toObject();
            if (p["mode"] == "current") {
                ++currents;
                QVERIFY(p["expanded_uncertainty"].isNull());
                QCOMPARE(p["uncertainty_unknown"].toString(),
                         "simulated shunt: no entry in " + meters);
                QCOMPARE(p["guarded_verdict"].toString(), QString("conditional"));
            } else {
                QVERIFY(p["expanded_uncertainty"].isDouble());
                QCOMPARE(p["guarded_verdict"].toString(), QString("pass"));
            }
        }
        QCOMPARE(currents, 8);
    }

    // Ideal resistors read through a meter whose stated accuracy is coarse
    // (its noise bound, from a meters file of the test's own): every point is
    // within its norm, many not by the guard band of their U. The certificate
    // gives back the JSON's points, with the simulated bench's watermark.
    void theGuardedRuleAndTheCertificate() {
        std::string yaml = bench();
        yaml.replace(yaml.find("position: 3}"), 12, "position: 3, noise: 1e-9}");
        ortav::sim::loadString(yaml, "test.yaml");
        const QString meters = path("meters.yaml");
        QFile m(meters);
        QVERIFY(m.open(QIODevice::WriteOnly));
        m.write("simulated:\n  tarnel: {name: МЦMM (имитация), source: тест, noise_bound: 1e6}\n"
                "shunt:\n  simulated: {tolerance: 300, distribution: rectangular}\n");
        m.close();
        qputenv("ORTAV_METERS", meters.toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("ORTAV_METERS"); });
        const std::string protocol = path("guarded.log").toStdString();
        QCOMPARE(batch({"--batch", "verify", "--protocol", protocol}).code, 0);
        const QString pdf = path("guarded.pdf");
        const Result r = batch({"--batch", "verify", "--protocol", protocol, "--decision-rule",
                                "guarded", "--meter-period", "24h", "--certificate",
                                pdf.toStdString(), "--asset", "ИНВ-17"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.find("decision rule: guarded, meter accuracy 24h: conditional") !=
                     std::string::npos,
                 r.out.c_str());
        QVERIFY(r.err.find("points out of norm under the guarded rule") != std::string::npos);

        QFile jsonFile(path("guarded.json"));
        QVERIFY(jsonFile.open(QIODevice::ReadOnly));
        const QJsonObject json = QJsonDocument::fromJson(jsonFile.readAll()).object();
        QCOMPARE(json["verdict"].toString(), QString("passed")); // the protocol's
        QCOMPARE(json["verdict_by_rule"].toString(), QString("conditional"));
        QCOMPARE(json["uncertainty"].toObject()["meter_period"].toString(), QString("24h"));
        const QJsonArray points = json["points"].toArray();
        QCOMPARE(points.size(), 94);

        const auto pdftotext = [](const QStringList &args) {
            QProcess p;
            p.start("pdftotext", args);
            p.waitForFinished(60000);
            return QString::fromUtf8(p.readAllStandardOutput());
        };
        const QString text = pdftotext({"-layout", "-nodiag", pdf, "-"});
        const QString all = pdftotext({pdf, "-"});
        for (const QString &s :
             {QString("ИМИТАЦИЯ: batch test"), QString("ИНВ-17"), json["certificate"].toString(),
              QString("за 24 часа после калибровки"), QString("МЦMM (имитация)"),
              QString("Соответствие норме не установлено")})
            QVERIFY2(all.contains(s), qPrintable(s));
        const QRegularExpression rowPattern(
            "^\\s*(\\d+)\\s+([12])\\s+(сопр\\.|ток)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+"
            "(Ом|мА)\\s+(\\S+)\\s+(\\S+)(?: \\(<4\\))?\\s+(годен|не норма|условно)\\s*$",
            QRegularExpression::MultilineOption);
        const auto fixed = [](double v, const char *fmt) {
            CNumbers numbers;
            char t[64];
            std::snprintf(t, sizeof t, fmt, v);
            return QString(t);
        };
        int n = 0;
        for (auto it = rowPattern.globalMatch(text); it.hasNext(); ++n) {
            const auto m = it.next();
            QVERIFY2(n < points.size(), qPrintable(m.captured(0)));
            const QJsonObject p = points[n].toObject();
            QCOMPARE(m.captured(1).toInt(), n + 1);
            QCOMPARE(m.captured(2).toInt(), p["channel"].toInt());
            QCOMPARE(m.captured(3), QString(p["mode"] == "resistance" ? "сопр." : "ток"));
            QCOMPARE(m.captured(4), fixed(p["set"].toDouble(), "%.4f"));
            QCOMPARE(m.captured(5), fixed(p["measured"].toDouble(), "%.4f"));
            QCOMPARE(m.captured(6), fixed(p["deviation"].toDouble(), "%.4f"));
            QCOMPARE(m.captured(7), fixed(p["permitted"].toDouble(), "%.4f"));
            QCOMPARE(m.captured(9), fixed(p["expanded_uncertainty"].toDouble(), "%.3g"));
            QCOMPARE(m.captured(10), fixed(p["tur"].toDouble(), "%.1f"));
            const QString guarded = p["guarded_verdict"].toString();
            QCOMPARE(m.captured(11), QString(guarded == "pass"   ? "годен"
                                             : guarded == "fail" ? "не норма"
                                                                 : "условно"));
        }
        QCOMPARE(n, 94);

        QDir().mkpath(ORTAV_SCREENSHOT_DIR);
        QProcess ppm;
        ppm.start("pdftoppm", {"-png", "-r", "80", "-f", "2", "-l", "2", "-singlefile", pdf,
                               QString(ORTAV_SCREENSHOT_DIR) + "/certificate_page2"});
        QVERIFY(ppm.waitForFinished(60000) && ppm.exitCode() == 0);
        // The watermark's translucent red across the page.
        const QImage page(QString(ORTAV_SCREENSHOT_DIR) + "/certificate_page2.png");
        int marked = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                marked += c.red() > c.green() + 30 && c.red() > c.blue() + 30 ? 1 : 0;
            }
        QVERIFY2(marked > 300, qPrintable(QString::number(marked)));

        const Result lost = batch({"--batch", "verify", "--protocol", protocol, "--certificate",
                                   path("no/such/dir/c.pdf").toStdString()});
        QCOMPARE(lost.code, 4);
        QVERIFY2(lost.err.find("could not be recorded: the certificate " +
                               path("no/such/dir/c.pdf").toStdString() + " cannot be written: ") !=
                     std::string::npos,
                 lost.err.c_str());
    }

    void aSecondRunAppendsToTheSameFiles() {
        ortav::sim::loadString(bench(), "test.yaml");
        const QString protocol = path("twice.log");
        QCOMPARE(batch({"--batch", "verify", "--protocol", protocol.toStdString()}).code, 0);
        QCOMPARE(batch({"--batch", "verify", "--protocol", protocol.toStdString(), "--temperature",
                        "30"})
                     .code,
                 0);
        const std::vector<CsvRow> rows = readCsv(path("twice.csv"));
        QCOMPARE(static_cast<int>(rows.size()), 2 * 94);
        // One header only; the summary is the second run's, at its temperature.
        QCOMPARE(QString::fromStdString(readAll(path("twice.csv"))).count("time,channel"), 1);
        QCOMPARE(jsonInt(readAll(path("twice.json")), "\"ambient_temperature\": (\\d+)"), 30);
        QVERIFY(rows[94].permitted > rows[0].permitted); // the norm widens with the temperature
    }

    // A stop request (a signal, the stop button) ends the run at the next point:
    // the module reset, the protocol's last line and the summary say so.
    void aStoppedRunSaysSoAndLeavesTheModuleReset() {
        ortav::sim::loadString(bench(), "test.yaml");
        const QString protocol = path("stopped.log");
        // The previous run's verdict must not stand beside the next protocol.
        QCOMPARE(batch({"--batch", "verify", "--protocol", protocol.toStdString()}).code, 0);
        QCOMPARE(jsonText(readAll(path("stopped.json")), "verdict"), QString("passed"));
        int judged = 0;
        const int observer = addJudgedObserver([&](const JudgedPoint &) {
            if (++judged == 5)
                requestRunStop();
        });
        const Result r = batch({"--batch", "verify", "--protocol", protocol.toStdString()});
        removeJudgedObserver(observer);
        QCOMPARE(judged, 5);
        QCOMPARE(r.code, 3);
        QVERIFY(!runStopRequested()); // taken by the run
        QCOMPARE(lastLine(protocol), std::string(kClosingInterrupted));
        const std::string json = readAll(path("stopped.json"));
        QCOMPARE(jsonText(json, "verdict"), QString("interrupted"));
        QCOMPARE(jsonInt(json, "\"counts\": \\{\"judged\": (\\d+)"), 5);
        QCOMPARE(static_cast<int>(readCsv(path("stopped.csv")).size()), 94 + 5);
        for (int chan : {1, 2}) {
            const auto state =
                ortav::sim::bench().findCarrier("VXI0::8::INSTR")->module(1)->channel(chan);
            QVERIFY(!state.connected && state.code == 0);
        }
        QVERIFY2(r.err.find("\"ORTAV\": " + std::string(kClosingInterrupted)) != std::string::npos,
                 r.err.c_str());

        // A calibration stops the same way, before its next value, with nothing stored.
        int values = 0;
        const int calObserver = addCalibrationObserver([&](const CalibrationValue &) {
            if (++values == 3)
                requestRunStop();
        });
        const Result cal = batch({"--batch", "calibrate", "--write"});
        removeCalibrationObserver(calObserver);
        QCOMPARE(values, 3);
        QVERIFY2(cal.err.find("Калибровка прервана") != std::string::npos, cal.err.c_str());
        QVERIFY(cal.out.find("are stored") == std::string::npos);
        QVERIFY(!runStopRequested());
    }

    void calibrationStoredIsTheImageTheNextVerificationUses() {
        ortav::sim::loadString(bench(kStaleImage), "test.yaml");
        const Result before =
            batch({"--batch", "verify", "--protocol", path("stale.log").toStdString()});
        QCOMPARE(before.code, 1);
        const Result cal = batch({"--batch", "calibrate", "--write"});
        QCOMPARE(cal.code, 0);
        QVERIFY2(cal.out.find("the coefficients are stored in the module") != std::string::npos,
                 cal.out.c_str());
        QVERIFY(cal.out.find("channel 1: R1=") != std::string::npos);
        QVERIFY2(cal.err.find("value 42 of 42: channel 2, current at point 2: ") !=
                     std::string::npos,
                 cal.err.c_str());
        const Result after =
            batch({"--batch", "verify", "--protocol", path("fresh.log").toStdString()});
        QCOMPARE(after.code, 0);
        QVERIFY(jsonText(readAll(path("stale.json")), "coefficient_image") !=
                jsonText(readAll(path("fresh.json")), "coefficient_image"));
    }

    void aResistorFarFromNominalStopsTheCalibrationUnstored() {
        // Resistor 1 of both channels is half as large again as its nominal value.
        std::string errors = "resistor_error: [0.5";
        for (int k = 1; k < 18; ++k)
            errors += ", 0";
        ortav::sim::loadString(bench(errors + "]"), "test.yaml");
        const Result cal = batch({"--batch", "calibrate", "--write"});
        QCOMPARE(cal.code, 1);
        QVERIFY2(cal.out.find("calibration: FAILED, beyond the tolerance of nominal: channel 1 "
                              "resistor 1, channel 2 resistor 1") != std::string::npos,
                 cal.out.c_str());
        QVERIFY(cal.err.find("value 1 of 42: channel 1, resistor 1: 28.625 Ohm (BEYOND "
                             "TOLERANCE OF NOMINAL)") != std::string::npos);
        QVERIFY(cal.err.find("Прервать калибровку?: yes") != std::string::npos);
        QVERIFY(cal.err.find("the coefficients were not stored") != std::string::npos);
        QVERIFY(cal.err.find("current at point") == std::string::npos); // stopped before
    }

    void calibrationWithoutWriteLeavesTheModuleAlone() {
        ortav::sim::loadString(bench(kStaleImage), "test.yaml");
        const Result cal = batch({"--batch", "calibrate"});
        QCOMPARE(cal.code, 0);
        QVERIFY(cal.out.find("not stored (no --write)") != std::string::npos);
        QCOMPARE(batch({"--batch", "verify", "--protocol", path("still.log").toStdString()}).code,
                 1);
    }

    void selfTest_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("good") << "" << 0 << "self-test: passed (result 0)";
        QTest::newRow("dead source") << QString::fromStdString(kDeadSource) << 1
                                     << "self-test failure (code 2): Контроль формирования тока "
                                        "на канале 2 не прошел";
        QTest::newRow("opened with errors")
            << QString::fromStdString(kBrokenChannel) << 1 << "(ошибка инициализации)";
    }
    void selfTest() {
        QFETCH(QString, module);
        QFETCH(int, code);
        QFETCH(QString, says);
        ortav::sim::loadString(bench(module.toStdString()), "test.yaml");
        const Result r = batch({"--batch", "selftest"});
        QCOMPARE(r.code, code);
        QVERIFY2(r.out.find(says.toStdString()) != std::string::npos, r.out.c_str());
    }

    void errors_data() {
        QTest::addColumn<QString>("yaml");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString good = QString::fromStdString(bench());
        QTest::newRow("unknown command") << good << QStringList{"--batch", "frob"} << 2
                                         << "p_ortav: --batch: unknown command 'frob'";
        QTest::newRow("no such carrier")
            << good << QStringList{"--batch", "verify", "--resource", "VXI0::99::INSTR"} << 2
            << "p_ortav: --resource VXI0::99::INSTR: no carrier of ours has this VISA resource "
               "(found: VXI0::8::INSTR)";
        QTest::newRow("no module there")
            << good << QStringList{"--batch", "selftest", "--position", "2"} << 2
            << "p_ortav: --position 2: no ORTAV module at this position of VXI0::8::INSTR "
               "(modules at: 1)";
        QTest::newRow("multimeter not on the bench")
            << good << QStringList{"--batch", "verify", "--multimeter", "hpe1412"} << 3
            << "p_ortav: instrument error: the multimeter hpe1412 could not be opened";
        QTest::newRow("module refuses its outputs")
            << QString::fromStdString(bench(kBrokenChannel)) << QStringList{"--batch", "calibrate"}
            << 3
            << "p_ortav: instrument error: Ошибка обмена с мезонином ortav_switch (mvi, "
               "chan+1, 1)";
        QTest::newRow("verification ends at its first point")
            << QString::fromStdString(bench(kBrokenChannel))
            << QStringList{"--batch", "verify", "--protocol", "PROTOCOL"} << 3
            << "p_ortav: instrument error: the verification ended before its verdict: "
               "Предупреждение : инициализация прошла с ошибками ortav_init";
        QTest::newRow("unwritable protocol")
            << good << QStringList{"--batch", "verify", "--protocol", "/nonexistent/dir/p.log"} << 2
            << "p_ortav: --protocol /nonexistent/dir/p.log: cannot be opened for appending";
        QTest::newRow("no carrier at all") << "name: empty\n"
                                           << QStringList{"--batch", "verify"} << 3
                                           << "p_ortav: instrument error: no carrier of ours found";
    }
    void errors() {
        QFETCH(QString, yaml);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        ortav::sim::loadString(yaml.toStdString(), "test.yaml");
        std::vector<std::string> a;
        for (const QString &s : args)
            a.push_back(s == "PROTOCOL" ? path("broken.log").toStdString() : s.toStdString());
        const Result r = batch(a);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.find(message.toStdString()) != std::string::npos, r.err.c_str());
        if (code == 3 && args.contains("verify") && args.contains("--protocol")) {
            const std::string json = readAll(path("broken.json"));
            QCOMPARE(jsonText(json, "verdict"), QString("incomplete"));
            QVERIFY(json.find("\"completed\": false") != std::string::npos);
        }
    }

    // The real executable, with no display and no platform named: the run must
    // not need one. The virtual clock keeps it short.
    void theProgramRunsWithoutADisplay_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("passed") << "" << QStringList{"--batch", "verify", "--chart", "c.png"} << 0
                                << "verification: 94 of 94 points judged, 94 passed";
        QTest::newRow("out of norm")
            << QString::fromStdString(kDeadSource) << QStringList{"--batch", "verify"} << 1
            << "p_ortav: 4 points out of norm";
        QTest::newRow("usage") << "" << QStringList{"--batch", "verify", "--position", "0"} << 2
                               << "p_ortav: --position: '0' is not a mezzanine position 1..4";
        QTest::newRow("malformed bench")
            << "bogus: 1" << QStringList{"--batch", "selftest"} << 2
            << "p_ortav: --bench: ORTAV: Ошибка в описании стенда: bench.yaml:";
        QTest::newRow("virtual clock with another VISA")
            << "" << QStringList{"--batch", "selftest", "--visa", "libnot_a_visa.so"} << 2
            << "p_ortav: ORTAV_VIRTUAL_CLOCK=1: only on the simulated bench (VISA: ";
        QTest::newRow("instrument")
            << QString::fromStdString(kBrokenChannel) << QStringList{"--batch", "calibrate"} << 3
            << "p_ortav: instrument error: Ошибка обмена с мезонином";
    }
    void theProgramRunsWithoutADisplay() {
        QFETCH(QString, module);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, says);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QVERIFY(batchtest::writeFile(work.filePath("bench.yaml"), bench(module.toStdString())));
        const Result r =
            batchtest::runProgram(P_ORTAV, args + QStringList{"--bench", "bench.yaml"}, work.path(),
                                  batchtest::withoutDisplay(batchtest::programEnvironment()));
        const QByteArray out = QByteArray::fromStdString(r.out),
                         err = QByteArray::fromStdString(r.err);
        QVERIFY2(r.code == code, (out + err).constData());
        if (code <= 1) {
            // The default protocol beside its results, in the working folder.
            QVERIFY(QFile::exists(work.filePath("ortav.log")));
            QCOMPARE(readCsv(work.filePath("ortav.csv")).size(), std::size_t(94));
            QCOMPARE(jsonText(readAll(work.filePath("ortav.json")), "verdict"),
                     QString(code == 0 ? "passed" : "failed"));
        }
        if (args.contains("--chart"))
            for (const char *png : {"c-R.png", "c-I.png"})
                QVERIFY(!QImage(work.filePath(png)).isNull());
        QVERIFY2((out + err).contains(says.toUtf8()), (out + err).constData());
        // Nothing from Qt that is not the run's own.
        for (const QByteArray &line : err.split('\n'))
            QVERIFY2(!line.startsWith("qt.") && !line.contains("QStandardPaths") &&
                         !line.contains("XDG_RUNTIME_DIR") && !line.contains("propagateSizeHints"),
                     line.constData());
    }

    // Faulty benches, full and broken disks through the real program: the exit
    // status, the protocol's last line (always a whole line), the summary's
    // verdict, and nothing said to be recorded that is not.
    void faultsAreToldNeverPassed_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("meter");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        // The protocol's last line; "-": no protocol; "*": any whole line.
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("verdict"); // the summary's; "-": no summary; "": any
        QTest::addColumn<QString>("json");    // found in the summary
        QTest::addColumn<QString>("says");    // found in the output
        const QStringList verify{"--batch", "verify", "--protocol", "PROTOCOL"};
        const QString stopped = QString::fromUtf8(kClosingUnrecorded);
        // Its series resistance was lost with the image: out of norm, by version 1's norms.
        QTest::newRow("version 1, corrupt EEPROM")
            << "hw_version: 1, eeprom: corrupt"
            << ""
            << "" << verify << 1 << QString::fromUtf8(kClosingFailed) << "failed"
            << "\"hardware_version\": 1,\n    \"hardware_version_reported\": 1"
            << "verification: 18 of 18 points judged";
        QTest::newRow("version chosen over the module's")
            << ""
            << ""
            << "" << verify + QStringList{"--hardware-version", "1"} << 0
            << QString::fromUtf8(kClosingPassed) << "passed"
            << "\"hardware_version\": 1,\n    \"hardware_version_reported\": 2"
            << "verification: 18 of 18 points judged";
        QTest::newRow("no reading at all")
            << ""
            << "leads: {resistance: 1e12, voltage: 1e6}"
            << "" << verify << 3 << "Автоповерка завершена, не измерено точек: 94 из 94."
            << "incomplete"
            << "\"skipped\": [\n    {\"channel\": 1, \"mode\": \"resistance\", \"set\": "
               "10.1, \"reason\": \"p_tarnel_measure_Q Перегрузка"
            << "p_ortav: skipped: channel 2, current, set 0.1000 mA: p_tarnel_measure_Q "
               "Перегрузка: измеряемая величина вне предела измерения";
        QTest::newRow("protocol on /dev/full")
            << ""
            << ""
            << "" << QStringList{"--batch", "verify", "--protocol", "/dev/full"} << 2 << "-"
            << "-"
            << ""
            << "p_ortav: --protocol /dev/full: a character device, not a regular file";
        QTest::newRow("small file system") << ""
                                           << ""
                                           << "tmpfs" << verify << 4 << "*"
                                           << ""
                                           << ""
                                           << "p_ortav: results could not be recorded: ";
        QTest::newRow("file size limit") << ""
                                         << ""
                                         << "limit" << verify << 4 << "*"
                                         << ""
                                         << ""
                                         << "results could not be recorded: ";
        QTest::newRow("CSV in a missing folder")
            << ""
            << ""
            << "dangling csv" << verify << 4 << stopped << "incomplete"
            << "\"not_recorded\": \""
            << "NOT RECORDED: "; // the reason is in the system's language
        QTest::newRow("CSV is a folder") << ""
                                         << ""
                                         << "csv folder" << verify << 2 << "-"
                                         << "-"
                                         << ""
                                         << ".csv: a folder, not a regular file";
        QTest::newRow("protocol is a FIFO") << ""
                                            << ""
                                            << "fifo" << verify << 2 << "-"
                                            << "-"
                                            << ""
                                            << ".log: a FIFO, not a regular file";
        QTest::newRow("chart cannot be saved")
            << ""
            << ""
            << "" << verify + QStringList{"--chart", "/nonexistent/c.png"} << 4
            << QString::fromUtf8(kClosingPassed) << "passed"
            << ""
            << "p_ortav: results could not be recorded: /nonexistent/c-R.png: ";
        QTest::newRow("NaN temperature")
            << ""
            << ""
            << "" << verify + QStringList{"--temperature", "nan"} << 2 << "-"
            << "-"
            << ""
            << "--temperature: 'nan' is not a temperature from -40 to 80 °C";
        QTest::newRow("EEPROM data line stuck, --write")
            << "faults: {stuck: [{register: 0x06, mask: 4, level: 0}]}"
            << ""
            << "" << QStringList{"--batch", "calibrate", "--write"} << 3 << "-"
            << "-"
            << ""
            << "instrument error: Коэффициенты не сохранены: прочитанное из РПЗУ расходится с "
               "записанным с байта 0";
        QTest::newRow("dead current source, --write")
            << QString::fromStdString(kDeadSource) << ""
            << "" << QStringList{"--batch", "calibrate", "--write"} << 1 << "-"
            << "-"
            << ""
            << "the coefficients were refused: Калибровка ORTAV: Канал 2, ток точки 1:";
        // The summary is the first run's, ended by the test's SIGTERM.
        QTest::newRow("two runs on one protocol")
            << ""
            << "instant: true"
            << "concurrent" << verify << 2 << ""
            << "interrupted"
            << ""
            << ".log: another run is writing to it; this one did not start";
    }
    void faultsAreToldNeverPassed() {
        QFETCH(QString, module);
        QFETCH(QString, meter);
        QFETCH(QString, setup);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, last);
        QFETCH(QString, verdict);
        QFETCH(QString, json);
        QFETCH(QString, says);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QVERIFY(batchtest::writeFile(work.filePath("bench.yaml"),
                                     bench(module.toStdString(), meter.toStdString())));
        QString folder = work.path();
        QString program = P_ORTAV;
        QStringList programArgs;
        std::unique_ptr<QProcess> first;
        if (setup == "tmpfs") {
            // 64 KiB, most of it taken: the disk fills up in the middle of the run.
            folder = work.filePath("small");
            QVERIFY(QDir().mkpath(folder));
            if (::mount("tmpfs", folder.toUtf8().constData(), "tmpfs", 0, "size=64k") != 0)
                QSKIP("no tmpfs can be mounted here");
            QFile filler(folder + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly));
            filler.write(QByteArray(48 * 1024, 'x'));
            filler.close();
        } else if (setup == "limit") {
            // Files may not grow beyond 4 KiB: the protocol fills up mid-run.
            program = "/bin/sh";
            programArgs = {"-c", "ulimit -f 8 && exec \"$0\" \"$@\"", P_ORTAV};
        } else if (setup == "dangling csv") {
            QVERIFY(QFile::link("/nonexistent/p.csv", work.filePath("p.csv")));
        } else if (setup == "csv folder") {
            QVERIFY(QDir().mkpath(work.filePath("p.csv")));
        } else if (setup == "fifo") {
            QCOMPARE(::mkfifo(work.filePath("p.log").toUtf8().constData(), 0644), 0);
        }
        const QString protocol = folder + "/p.log";
        QStringList a;
        for (const QString &s : args)
            a << (s == "PROTOCOL" ? protocol : s);
        a << "--bench"
          << "bench.yaml";
        if (setup == "concurrent") {
            // The first run, on the real clock, holds the protocol for seconds.
            first = std::make_unique<QProcess>();
            first->setProcessEnvironment(batchtest::programEnvironment(false));
            first->setWorkingDirectory(work.path());
            first->start(P_ORTAV, a);
            first->setReadChannel(QProcess::StandardError);
            QByteArray err;
            while (!err.contains("point 1 of") && first->waitForReadyRead(60000))
                err += first->readAllStandardError();
            QVERIFY2(err.contains("point 1 of"), err.constData());
        }
        const Result r = batchtest::runProgram(program, programArgs + a, work.path());
        const QByteArray out = QByteArray::fromStdString(r.out),
                         err = QByteArray::fromStdString(r.err);
        if (first) {
            ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
            QVERIFY(first->waitForFinished(60000));
            QCOMPARE(first->exitCode(), 128 + SIGTERM);
        }
        const std::string log = readAll(protocol);
        const std::string summary = readAll(folder + "/p.json");
        const std::string csv = readAll(folder + "/p.csv");
        if (setup == "tmpfs")
            ::umount2(folder.toUtf8().constData(), MNT_DETACH);
        QVERIFY2(r.code == code, (out + err.right(1500)).constData());
        QVERIFY2((out + err).contains(says.toUtf8()), (out + err.right(1500)).constData());
        if (last == "-") {
            QVERIFY(log.empty());
        } else if (!last.isEmpty()) {
            QVERIFY2(log.size() >= 2 && log.substr(log.size() - 2) == "\r\n", log.c_str());
            const std::size_t start = log.rfind("\r\n", log.size() - 3);
            const QString line = QString::fromStdString(
                ortav::text::fromCp1251(log.substr(start + 2, log.size() - start - 4)));
            if (last == "*") // never half a line, whatever the disk took
                QVERIFY2(QRegularExpression(
                             "^(\\d .*/(0.01mA|\\d+\\.\\d{3}%)/ (не норма)?|канал .*/норма/|"
                             "Протокол .*ORTAV|Имитация: стенд .*|"
                             "\\d\\d-\\d\\d-\\d{4}, .*|Автоповерка .*\\.)$")
                             .match(line)
                             .hasMatch(),
                         line.toUtf8().constData());
            else
                QCOMPARE(line, last);
        }
        if (verdict == "-")
            QVERIFY(summary.empty());
        else if (!verdict.isEmpty())
            QCOMPARE(jsonText(summary, "verdict"), verdict);
        QVERIFY2(QString::fromStdString(summary).contains(json), summary.c_str());
        // What the run says was recorded is there: every point judged has its
        // CSV row and its protocol line.
        if (code != 4 && !summary.empty()) {
            const int judged = jsonInt(summary, "\"counts\": \\{\"judged\": (\\d+)");
            QCOMPARE(static_cast<int>(readCsv(folder + "/p.csv").size()), judged);
            QCOMPARE(static_cast<int>(QString::fromStdString(ortav::text::fromCp1251(log))
                                          .count(QRegularExpression("\\d\\.\\d{3}%\\) /"))),
                     judged);
        }
        if (code == 4)
            QVERIFY2(out.contains("NOT RECORDED: ") || !out.contains("summary: "), out.constData());
    }

    // A signal to the real program mid-run: it stops at the next point with the
    // status shells expect, and its records say it was interrupted. The real
    // clock (with readings that take no time) keeps the run going long enough.
    void aSignalStopsTheProgramAtTheNextPoint_data() {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void aSignalStopsTheProgramAtTheNextPoint() {
        QFETCH(int, sig);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QVERIFY(batchtest::writeFile(work.filePath("bench.yaml"), bench("", "instant: true")));
        QProcess p;
        p.setProcessEnvironment(batchtest::programEnvironment(false));
        p.setWorkingDirectory(work.path());
        p.start(P_ORTAV, {"--batch", "verify", "--bench", "bench.yaml"});
        p.setReadChannel(QProcess::StandardError); // the progress
        QByteArray err;
        while (!err.contains("point 1 of 94") && p.waitForReadyRead(60000))
            err += p.readAllStandardError();
        QVERIFY2(err.contains("point 1 of 94"), err.constData());
        QCOMPARE(::kill(static_cast<pid_t>(p.processId()), sig), 0);
        QVERIFY(p.waitForFinished(60000));
        err += p.readAllStandardError();
        QVERIFY2(p.exitStatus() == QProcess::NormalExit, err.right(600).constData());
        QVERIFY2(p.exitCode() == 128 + sig, err.right(600).constData());
        QVERIFY2(err.contains("interrupted by"), err.constData());
        QVERIFY(!err.contains("point 94 of 94"));
        QCOMPARE(lastLine(work.filePath("ortav.log")), std::string(kClosingInterrupted));
        QCOMPARE(jsonText(readAll(work.filePath("ortav.json")), "verdict"), QString("interrupted"));
    }

    // The chart on the verification sheet, driven as an operator would: its
    // series are the results tables, point for point, red where the cell is red.
    void theChartShowsTheTables() {
        harness::Operator o;
        harness::install(o);
        QCOMPARE(harness::start(bench(kStaleImage)), 0);
        std::snprintf(logFileName, sizeof logFileName, "%s",
                      path("chart.log").toUtf8().constData());
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 1));
        QVERIFY(ui::test::toggle(ppPanel, PP_AUTO_POV));
        // The chart grows as the points are judged, not only at the end.
        int judged[3] = {0, 0, 0}, drawnWrong = 0;
        const int observer = addJudgedObserver([&](const JudgedPoint &p) {
            ++judged[p.mode];
            int drawn = 0;
            const ChartFigure *chart = verificationChartFigure();
            for (int c = 0; c < 2; ++c)
                drawn += int(chart->within[c].points.size() + chart->beyond[c].points.size());
            drawnWrong += drawn == judged[p.mode] && verificationChartMode() == p.mode ? 0 : 1;
        });
        QVERIFY(ui::test::click(ppPanel, PP_SET));
        removeJudgedObserver(observer);
        QCOMPARE(judged[1] + judged[2], 94);
        QCOMPARE(drawnWrong, 0);
        QCOMPARE(verificationChartMode(), 2); // the last points judged were currents
        // A run from the panel leaves the same files beside its protocol.
        int rowsR = 0, rowsI = 0;
        GetNumTableRows(ppPanel, PP_TABLE_R, &rowsR);
        GetNumTableRows(ppPanel, PP_TABLE_I, &rowsI);
        QCOMPARE(static_cast<int>(readCsv(path("chart.csv")).size()), rowsR + rowsI);
        const std::string json = readAll(path("chart.json"));
        QCOMPARE(jsonInt(json, "\"counts\": \\{\"judged\": (\\d+)"), rowsR + rowsI);
        QCOMPARE(jsonText(json, "verdict"), QString("failed"));

        auto compare = [](int table) {
            const QString differs = harness::chartVersusTable(table);
            QVERIFY2(differs.isEmpty(), qPrintable(differs));
        };
        compare(PP_TABLE_I);

        // Back to the resistance table; the chart follows the sheet's mode.
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 0));
        QVERIFY(ui::test::click(ppPanel, PP_CHART_SHOW));
        QVERIFY(verificationChartShown());
        QCOMPARE(verificationChartMode(), 1);
        compare(PP_TABLE_R);
        for (const QPointF &p : verificationChartFigure()->bandUpper)
            QCOMPARE(p.y(), defPermDev(p.x()));

        // A picture for the reviewer, and the PNG the operator saves.
        QDir().mkpath(ORTAV_SCREENSHOT_DIR);
        const QString shot = QString(ORTAV_SCREENSHOT_DIR) + "/verification_chart.png";
        ProcessSystemEvents();
        QVERIFY(ui::test::grabPanel(mp, shot.toUtf8().constData()));
        const QString png = path("saved chart.png");
        ui::test::setResponder([&](const ui::test::Request &r) {
            return r.kind == ui::test::RequestKind::FileSelect && r.title == "График поверки"
                       ? ui::test::Answer::file(png.toStdString())
                       : o.answer(r);
        });
        QVERIFY(ui::test::click(ppPanel, PP_CHART_SAVE));
        QVERIFY(QImage(png).width() >= 1200);
        QVERIFY(ui::test::click(ppPanel, PP_CHART_SHOW));
        QVERIFY(!verificationChartShown());
        verificationChartClear(); // the tables emptied: so is the chart
        const ChartFigure *emptied = verificationChartFigure();
        QVERIFY(emptied->bandUpper.isEmpty() && emptied->bandLower.isEmpty());
        for (int c = 0; c < 2; ++c)
            QVERIFY(emptied->within[c].points.isEmpty() && emptied->beyond[c].points.isEmpty());
        harness::install(o);
        const std::vector<std::string> unanswered = ui::test::unanswered();
        QVERIFY2(unanswered.empty(), unanswered.empty() ? "" : unanswered.front().c_str());
        harness::stop();
    }
};

QTEST_MAIN(BatchRunTest)
#include "batch_run_test.moc"
