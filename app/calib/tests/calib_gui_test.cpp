// Calibration and verification driven as an operator drives them, headless on
// the simulated bench with the virtual clock: the whole calibration, storing
// and reading back the coefficients, the automatic verification with its
// protocol, cell-by-cell calibration and the refusals of bad tables.
#include "front_panel_harness.h"

#include "calib.h"
#include "calibration_progress.h"
#include "chart_check.h"
#include "cp1251.h"
#include "embed.h"
#include "judged_points.h"
#include "linked_parts.h"
#include "long_run.h"
#include "msgp.h"
#include "norm.h"
#include "ortav.h"
#include "ortav_math.h"
#include "panels.h"
#include "points.h"
#include "protocol_file.h"
#include "protocol_text.h"
#include "results_csv.h"
#include "run_stop.h"
#include "verification_chart.h"
#include "verification_run.h"
#include "visa.h"

#include <QDate>
#include <QImage>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>

using namespace harness;
namespace fs = std::filesystem;

namespace {

const char *const kCarrier = "VXI0::8::INSTR";

// A module whose resistors, series resistances and current sources are off
// nominal by known amounts, with an empty EEPROM (the driver starts on nominal
// coefficients), and the mezzanine multimeter beside it.
std::string deviatingBench(int hwVersion = 2, const std::string &resistorError = "0.01") {
    return "name: \"Калибровочный стенд\"\n"
           "resources:\n"
           "  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D, "
           "mainframe_la: 0}\n"
           "carriers:\n"
           "  - resource: VXI0::8::INSTR\n"
           "    positions:\n"
           "      1:\n"
           "        type: ortav\n"
           "        hw_version: " +
           std::to_string(hwVersion) +
           "\n"
           "        resistor_error: " +
           resistorError +
           "\n"
           "        series: [0.45, 0.52]\n"
           "        current_gain: [412000.0, 407000.0]\n"
           "        current_offset: [3.0, -4.0]\n"
           "        eeprom: blank\n"
           "      3: 32\n"
           "multimeters:\n"
           "  - kind: tarnel\n"
           "    resource: VXI0::8::INSTR\n"
           "    position: 3\n";
}

ortav::sim::OrtavModule &module() {
    return *ortav::sim::bench().findCarrier(kCarrier)->module(1);
}

DeviceData *record() {
    DeviceData *rec = nullptr;
    return moduleCheck(&rec) == 0 ? rec : nullptr;
}

double cell(int panel, int table, int column, int row) {
    double v = 0;
    GetTableCellVal(panel, table, MakePoint(column, row), &v);
    return v;
}

std::string cellText(int panel, int table, int column, int row) {
    std::string t;
    GetTableCellVal(panel, table, MakePoint(column, row), t);
    return t;
}

std::string slurp(const fs::path &p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// Where the lines of a complete automatic run stand in its protocol: each of
// the four passes commits MODE, so each starts with a column heading. Split at
// its line ends, the protocol ends in an empty piece after the closing line.
constexpr int kRunLines = 3 + 4 + 86 + 8 + 1;
int resistanceLineAt(int i) {
    return i < 43 ? 4 + i : 5 + i;
} // i = 0..85
int currentLineAt(int i) {
    return i < 4 ? 92 + i : 93 + i;
} // i = 0..7
constexpr int kClosingAt = kRunLines - 1;

std::vector<std::string> split(const std::string &s, const std::string &sep) {
    std::vector<std::string> out;
    std::size_t at = 0;
    for (std::size_t next; (next = s.find(sep, at)) != std::string::npos; at = next + sep.size())
        out.push_back(s.substr(at, next - at));
    out.push_back(s.substr(at));
    return out;
}

// What the module really gives for a set resistance and current, from its
// physics and the coefficients the driver converts with.
double realResistance(int chan, double set, const CoeffImage &coeff) {
    const ViInt32 code = ortavMath_RtoN(&coeff, chan - 1, set);
    const auto &ch = module().config().channel[chan - 1];
    double g = 0;
    for (int k = 0; k < 18; ++k)
        if (code & (1 << k))
            g += 1.0 / ch.resistor[k];
    return ch.series + 1.0 / g;
}

// The current a point reads in milliamperes: the source's real current across
// resistor 7, converted with the resistor 7 value of the record.
double realCurrentReading(int chan, double milliamps, const CoeffImage &coeff) {
    const auto &ch = module().config().channel[chan - 1];
    const int code = ortavMath_ItoN(&coeff, chan - 1, 0.001 * milliamps) & 0x0FFF;
    const double amps = (code - ch.offset) / ch.gain;
    return 1000.0 * amps * (ch.series + ch.resistor[6]) / coeff.R[chan - 1][6];
}

// The operator: types values into DP (nothing: cancel), answers questions in
// order (default yes), chooses files; everything else as the harness's.
struct CalibOperator {
    Operator base;
    std::deque<std::optional<double>> entries;
    std::deque<int> answers;
    std::vector<double> dpShown; // the value DP showed when it came up
    std::vector<std::string> confirms;
    std::string file;

    ui::test::Answer answer(const ui::test::Request &r) {
        using ui::test::Answer;
        using ui::test::RequestKind;
        if (r.kind == RequestKind::Wait && r.panel == dpPanel) {
            int rVisible = 0;
            GetCtrlAttribute(dpPanel, DP_MEAS_R, ATTR_VISIBLE, &rVisible);
            const int field = rVisible ? DP_MEAS_R : DP_MEAS_U;
            dpShown.push_back(number(dpPanel, field));
            if (entries.empty())
                return Answer::none();
            const auto e = entries.front();
            entries.pop_front();
            if (!e)
                return ui::test::click(dpPanel, DP_COMMANDBUTTON_2) ? Answer::ok() : Answer::none();
            ui::test::enter(dpPanel, field, *e);
            return ui::test::click(dpPanel, DP_OK) ? Answer::ok() : Answer::none();
        }
        if (r.kind == RequestKind::Confirm && r.title != "ORTAV") {
            confirms.push_back(r.title + "|" + r.text);
            const int a = answers.empty() ? 1 : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return a ? Answer::yes() : Answer::no();
        }
        if (r.kind == RequestKind::FileSelect && !file.empty())
            return Answer::file(file);
        return base.answer(r);
    }
};

CalibOperator *calibOp = nullptr;

} // namespace

class CalibTest : public QObject {
    Q_OBJECT
    CalibOperator o;
    fs::path dir;

    void startOn(const std::string &yaml) {
        QCOMPARE(start(yaml), 0);
        QVERIFY(mvi != 0);
        QVERIFY(hasMultimeter());
    }

    // The verification sheet, with the protocol going to the test's folder.
    void showVerification(const std::string &name = "ortav.log") {
        std::snprintf(logFileName, sizeof logFileName, "%s", (dir / name).c_str());
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 1));
    }

    void runAutomatic() {
        if (autoPov == 0)
            QVERIFY(ui::test::toggle(ppPanel, PP_AUTO_POV));
        QCOMPARE(autoPov, 1);
        QVERIFY(ui::test::click(ppPanel, PP_SET));
    }

    int rows(int table) {
        int n = 0;
        GetNumTableRows(ppPanel, table, &n);
        return n;
    }

private slots:
    void init() {
        o = CalibOperator{};
        calibOp = &o;
        ui::test::setResponder([](const ui::test::Request &r) { return calibOp->answer(r); });
        harness::op = &o.base;
        char tmpl[] = "/tmp/ortav_calib_XXXXXX";
        QVERIFY(mkdtemp(tmpl) != nullptr);
        dir = tmpl;
    }

    void cleanup() {
        stop();
        calibReset();
        fs::remove_all(dir);
        QVERIFY2(ui::test::unanswered().empty(),
                 ui::test::unanswered().empty() ? "" : ui::test::unanswered().front().c_str());
    }

    // The module is calibrated, the coefficients are stored and read back by a
    // new session, and the automatic verification then passes every point; its
    // protocol is checked line by line.
    void calibrateStoreReadBackAndVerify() {
        startOn(deviatingBench());
        // The message panel counts the values as they are measured.
        std::vector<std::string> progress;
        const int observer =
            ortav::calib::addCalibrationObserver([&](const ortav::calib::CalibrationValue &) {
                progress.push_back(longRunProgressText());
            });
        QVERIFY(ui::test::chooseMenuItem(GetPanelMenuBar(mp), MENU_EXE_CALIBR));
        ortav::calib::removeCalibrationObserver(observer);
        QCOMPARE(int(progress.size()), 36 + 2 + 4);
        QCOMPARE(progress.front(), std::string("точка 1 из 46"));
        QCOMPARE(progress.back(), std::string("точка 46 из 46"));
        QVERIFY(!ui::test::isPanelShown(msgpPanel()));
        QCOMPARE(text(mp, MP_MSG),
                 std::string("Калибровка завершена. Коэффициенты только в "
                             "таблицах: в модуль их записывает «Записать flash»."));
        QVERIFY(o.confirms.empty()); // every resistor within 30 % of nominal
        Point active{};
        GetActiveTableCell(cpPanel, CP_TABLE, &active);
        QCOMPARE(active.x * 100 + active.y, 101); // the keyboard starts at the first cell

        // The tables hold the real values.
        for (int c = 1; c <= 2; ++c) {
            const auto &ch = module().config().channel[c - 1];
            for (int k = 1; k <= 18; ++k) {
                const double real = ch.series + ch.resistor[k - 1];
                QVERIFY2(std::fabs(cell(cpPanel, CP_TABLE, c, k) - real) <= 1e-9 * real,
                         qPrintable(QString("channel %1 resistor %2").arg(c).arg(k)));
                int colour = -1;
                GetTableCellAttribute(cpPanel, CP_TABLE, MakePoint(c, k), ATTR_TEXT_COLOR, &colour);
                QCOMPARE(colour, int(VAL_BLACK));
            }
            QVERIFY(std::fabs(cell(cpPanel, CP_TABLE, c, 19) - ch.series) < 0.002);
            QCOMPARE(calCurrent[c - 1], cell(cpPanel, CP_TABLE_I, c, 1));
            QVERIFY(std::fabs(cell(cpPanel, CP_TABLE_I, c, 1) - (1208 - ch.offset) / ch.gain) <
                    1e-12);
            QVERIFY(std::fabs(cell(cpPanel, CP_TABLE_I, c, 2) - (41 - ch.offset) / ch.gain) <
                    1e-12);
        }
        QVERIFY(!module().channel(1).connected && !module().channel(2).connected);

        // WRITE stores them; a new session reads them back.
        QVERIFY(ui::test::click(cpPanel, CP_WRITE));
        const CoeffImage written = record()->coeff;
        QCOMPARE(written.signature, ORTAV_COEFF_SIGNATURE);
        for (int c = 0; c < 2; ++c) {
            QVERIFY(std::fabs(written.iGain[c] - module().config().channel[c].gain) < 1e-3);
            QVERIFY(std::fabs(written.iOffset[c] - module().config().channel[c].offset) < 1e-6);
        }
        QCOMPARE(std::memcmp(module().eeprom().data(), &written, sizeof written), 0);
        SelectORTAV();
        QVERIFY(mvi != 0);
        QCOMPARE(std::memcmp(&record()->coeff, &written, sizeof written), 0);
        QCOMPARE(cell(cpPanel, CP_TABLE, 2, 12), written.R[1][11]);

        // The automatic verification passes every point.
        showVerification();
        runAutomatic();
        QCOMPARE(o.base.messages.back(),
                 std::string("ORTAV|Автоповерка завершена,\nнеисправностей не обнаружено."));
        QCOMPARE(rows(PP_TABLE_R), 86);
        QCOMPARE(rows(PP_TABLE_I), 8);
        QCOMPARE(povFailed, 0);

        // The protocol: heading, simulated-bench line, then per pass a column
        // heading and its lines (2 x 43 resistance, 2 x 4 current), the verdict.
        const fs::path file = dir / "ortav.log";
        const std::string bytes = slurp(file);
        QVERIFY(bytes.find('\n') == bytes.find("\r\n") + 1);
        const std::vector<std::string> lines = split(ortav::text::fromCp1251(bytes), "\r\n");
        QCOMPARE(int(lines.size()), kRunLines + 1);
        QVERIFY(std::regex_match(lines[0], std::regex(R"(\d\d-\d\d-\d{4}, \d\d:\d\d:\d\d)")));
        QCOMPARE(lines[1], std::string("Протокол проверки погрешности мезонина ORTAV"));
        QCOMPARE(lines[2], std::string("Имитация: стенд Калибровочный стенд"));
        for (int at : {3, 47})
            QCOMPARE(lines[at] + "\n", std::string(ortav::calib::kColumnsR));
        for (int at : {91, 96})
            QCOMPARE(lines[at] + "\n", std::string(ortav::calib::kColumnsI));
        ortav::calib::CNumbers numbers; // the expected texts, with the protocol's decimal point
        const auto points = ortav::calib::resistancePoints(2);
        for (int i = 0; i < 86; ++i) {
            const std::string &l = lines[resistanceLineAt(i)];
            const int chan = i < 43 ? 1 : 2;
            char set[32];
            std::snprintf(set, sizeof set, "%d      %10.4f Ом ", chan, points[i % 43]);
            QVERIFY2(l.rfind(set, 0) == 0, l.c_str());
            QVERIFY2(l.back() == ' ' && l.find("не норма") == std::string::npos, l.c_str());
        }
        const auto currents = ortav::calib::currentPoints();
        for (int i = 0; i < 8; ++i) {
            char set[32];
            std::snprintf(set, sizeof set, "%d     %10.4fмА  ", i < 4 ? 1 : 2, currents[i % 4]);
            const std::string &l = lines[currentLineAt(i)];
            QVERIFY2(l.rfind(set, 0) == 0, l.c_str());
            QVERIFY2(l.back() == ' ' && l.find("/0.01mA/ ") != std::string::npos, l.c_str());
        }
        QCOMPARE(lines[kClosingAt], std::string(ortav::calib::kClosingPassed));
        QCOMPARE(lines[kRunLines], std::string()); // the closing line ends like the others

        // The view shows the same lines.
        int shown = 0;
        GetNumTextBoxLines(chlpPanel, CHLP_LOG, &shown);
        QCOMPARE(shown, kRunLines);
        QVERIFY(ui::test::click(ppPanel, PP_WRITE_LOG));
        QVERIFY(ui::test::isPanelShown(chlpPanel));
        QVERIFY(ui::test::click(chlpPanel, CHLP_COMMANDBUTTON_2));
        QVERIFY(!ui::test::isPanelShown(chlpPanel));

        // Opening the file again appends a new heading after everything.
        ortav::calib::closeProtocol(logFile);
        SetupChlp(&logFile, logFileName);
        const std::string again = slurp(file);
        QCOMPARE(again.substr(0, bytes.size()), bytes);
        QVERIFY(ortav::text::fromCp1251(again.substr(bytes.size()))
                    .find("\r\nПротокол проверки погрешности мезонина ORTAV\r\nИмитация: стенд "
                          "Калибровочный стенд\r\n") != std::string::npos);
    }

    // What an operator does on the bench the program starts on: calibrate,
    // store, verify; every point passes and the protocol says on which bench.
    void defaultBenchCalibrateStoreAndVerify() {
        QCOMPARE(start(), 0);
        QVERIFY(mvi != 0 && hasMultimeter());
        QVERIFY(ui::test::chooseMenuItem(GetPanelMenuBar(mp), MENU_EXE_CALIBR));
        QVERIFY(o.confirms.empty());
        QVERIFY(ui::test::click(cpPanel, CP_WRITE));
        QCOMPARE(std::memcmp(module().eeprom().data(), &record()->coeff, sizeof(CoeffImage)), 0);
        showVerification();
        ortav::clock::clearWaits();
        runAutomatic();
        QCOMPARE(o.base.messages.back(),
                 std::string("ORTAV|Автоповерка завершена,\nнеисправностей не обнаружено."));
        QCOMPARE(rows(PP_TABLE_R) + rows(PP_TABLE_I), 94);
        // The run's own settling waits: two as each pass begins, one per point.
        int settles = 0;
        for (double w : ortav::clock::waits())
            settles += w == 0.05 ? 1 : 0;
        QCOMPARE(settles, 4 * 2 + 94);
        const std::vector<std::string> lines =
            split(ortav::text::fromCp1251(slurp(dir / "ortav.log")), "\r\n");
        QCOMPARE(int(lines.size()), kRunLines + 1);
        QCOMPARE(lines[2], std::string("Имитация: стенд Моделируемый стенд (по умолчанию)"));
        QCOMPARE(lines[kClosingAt], std::string(ortav::calib::kClosingPassed));
    }

    // "Сертификат…" is there once an automatic run has ended; the PDF is written
    // where the operator says, and one that cannot be written is told at once.
    void certificateAfterAnAutomaticRun() {
        QCOMPARE(start(), 0);
        showVerification();
        QVERIFY(!ui::test::click(ppPanel, PP_CERTIFICATE)); // dimmed: no run yet
        runAutomatic();
        o.file = (dir / "cert.pdf").string();
        QVERIFY(ui::test::click(ppPanel, PP_CERTIFICATE));
        const std::string pdf = slurp(dir / "cert.pdf");
        QVERIFY(pdf.rfind("%PDF-", 0) == 0);
        QVERIFY(pdf.find("%%EOF") != std::string::npos);

        o.file = (dir / "missing" / "cert.pdf").string();
        const std::size_t before = o.base.messages.size();
        QVERIFY(ui::test::click(ppPanel, PP_CERTIFICATE));
        QCOMPARE(o.base.messages.size(), before + 1);
        const std::string told = "Сертификат не записан: " + o.file + ": ";
        QVERIFY2(o.base.messages.back().rfind("Сертификат|" + told, 0) == 0,
                 o.base.messages.back().c_str());
        std::string line;
        int colour = 0;
        GetCtrlVal(mp, MP_MSG, line);
        GetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, &colour);
        QVERIFY(line.rfind(told, 0) == 0);
        QCOMPARE(colour, VAL_RED);
    }

    // The decision rule and the meter's period chosen on the sheet hold for
    // the runs that follow, as the batch options do: the CSV's columns, the
    // JSON and the certificate's rule line, its period and its verdicts. A
    // slightly stale image read through a noisy meter puts points in the
    // guard band.
    void theSheetsDecisionRuleAndPeriodGoToTheResults() {
        std::string yaml = deviatingBench(2, "0.001");
        yaml.replace(yaml.find("eeprom: blank"), 13,
                     "eeprom: {image: valid, deviation: 5e-4, seed: 5}");
        yaml += "    noise: 2e-4\n";
        startOn(yaml);
        showVerification();
        QVERIFY(ui::test::choose(ppPanel, PP_DECISION_RULE, 1));
        QVERIFY(ui::test::choose(ppPanel, PP_METER_PERIOD, 0));
        runAutomatic();
        runAutomatic(); // the choice stays for the next run
        const std::vector<std::string> lines = split(slurp(dir / "ortav.csv"), "\n");
        QCOMPARE(lines.front() + "\n", std::string(ortav::calib::kCsvHeader));
        int points = 0, conditional = 0;
        for (std::size_t i = 1; i < lines.size() && !lines[i].empty(); ++i, ++points) {
            const std::vector<std::string> f = split(lines[i], ",");
            QCOMPARE(f[9], std::string("guarded"));
            QVERIFY2(f[10] != "unknown", lines[i].c_str());
            // Read with a point whatever the locale the program runs in.
            const auto number = [](const std::string &t) {
                return QString::fromStdString(t).toDouble();
            };
            const double d = std::fabs(number(f[6])), permitted = number(f[7]);
            const double U = number(f[10]);
            const std::string guarded = d <= permitted - U  ? "pass"
                                        : d - U > permitted ? "fail"
                                                            : "conditional";
            QVERIFY2(f[13] == guarded, lines[i].c_str());
            conditional += guarded == "conditional" ? 1 : 0;
        }
        QCOMPARE(points, 2 * 94);
        QVERIFY(conditional > 0);
        const std::string json = slurp(dir / "ortav.json");
        QVERIFY(json.find("\"decision_rule\": \"guarded\", \"meter_period\": \"24h\"") !=
                std::string::npos);

        o.file = (dir / "cert.pdf").string();
        QVERIFY(ui::test::click(ppPanel, PP_CERTIFICATE));
        QProcess text;
        text.start("pdftotext", {QString::fromStdString(o.file), "-"});
        QVERIFY(text.waitForFinished(60000) && text.exitCode() == 0);
        const QString certificate = QString::fromUtf8(text.readAllStandardOutput());
        for (const char *s :
             {"с защитной полосой (guarded)", "за 24 часа после калибровки", "условно"})
            QVERIFY2(certificate.contains(QString::fromUtf8(s)), s);
    }

    // On nominal coefficients the verification fails exactly the points the
    // module's physics puts out of norm; the next run starts afresh.
    void uncalibratedModuleFailsWherePhysicsSays() {
        startOn(deviatingBench());
        const CoeffImage coeff = record()->coeff; // nominal: the EEPROM is blank
        QCOMPARE(coeff.iGain[0], ORTAV_NOMINAL_GAIN);
        showVerification();
        runAutomatic();
        QCOMPARE(o.base.messages.back(),
                 std::string("ORTAV|При выполнении поверки были обнаружены несоответствия норме."));
        QCOMPARE(povFailed, 0);
        const std::vector<std::string> lines =
            split(ortav::text::fromCp1251(slurp(dir / "ortav.log")), "\r\n");
        QCOMPARE(int(lines.size()), kRunLines + 1);
        const auto points = ortav::calib::resistancePoints(2);
        int failures = 0;
        for (int i = 0; i < 86; ++i) {
            const int chan = i < 43 ? 1 : 2;
            const double set = points[i % 43];
            const double real = realResistance(chan, set, coeff);
            // The sheet keeps four decimals of a reading: no verdict is asserted
            // within that of the limit.
            const double norm = ortav::calib::permittedDeviation(set, 2, 20.0);
            const bool mustFail = std::fabs(real - set) > norm + 1e-3;
            const bool mayPass = std::fabs(real - set) < norm - 1e-3;
            const std::string &l = lines[resistanceLineAt(i)];
            const bool failed = l.find("не норма") != std::string::npos;
            QVERIFY2(failed ? !mayPass : !mustFail, l.c_str());
            failures += failed;
        }
        QVERIFY(failures > 40); // 1 % off everywhere: most of the points
        for (int i = 0; i < 8; ++i) {
            const int chan = i < 4 ? 1 : 2;
            const double set = ortav::calib::currentPoints()[i % 4];
            const double reading = realCurrentReading(chan, set, coeff);
            const std::string &l = lines[currentLineAt(i)];
            const bool failed = l.find("не норма") != std::string::npos;
            if (std::fabs(std::fabs(reading - set) - 0.01) > 1e-3)
                QVERIFY2(failed == (std::fabs(reading - set) > 0.01), l.c_str());
        }
        QCOMPARE(lines[kClosingAt], std::string(ortav::calib::kClosingFailed));

        // Version 1: five resistance points per channel; the verdict again.
        QVERIFY(ui::test::enter(mp, MP_VER, 1));
        QCOMPARE(hardVersion, 1);
        runAutomatic();
        QCOMPARE(rows(PP_TABLE_R), 86 + 10);
        QCOMPARE(rows(PP_TABLE_I), 16);
    }

    // A version without a point list is refused with a message; the version
    // control itself takes only 0..2.
    void hardVersionWithoutPointListIsRefused() {
        startOn(deviatingBench());
        showVerification();
        QVERIFY(ui::test::enter(mp, MP_VER, 3));
        QVERIFY(number(mp, MP_VER) <= 2.0);
        hardVersion = 3; // as if set elsewhere
        const std::string before = slurp(dir / "ortav.log");
        runAutomatic();
        QCOMPARE(o.base.messages.back(),
                 std::string("ORTAV|Автоповерка невозможна: для версии исполнения 3 нет списка "
                             "точек поверки.\nУкажите версию исполнения 0, 1 или 2."));
        QCOMPARE(rows(PP_TABLE_R), 0);
        QCOMPARE(slurp(dir / "ortav.log"), before);
    }

    // A module opened with a warning (its EEPROM blank) is still the version
    // the driver read: the main panel shows it and the run uses its points.
    void aModuleOpenedWithAWarningKeepsItsVersion() {
        hardVersion = 2; // what the program starts with
        startOn(deviatingBench(1));
        QCOMPARE(hardVersion, 1);
        QCOMPARE(number(mp, MP_VER), 1.0);
        showVerification();
        runAutomatic();
        QCOMPARE(rows(PP_TABLE_R), 10);
    }

    // A result that cannot be recorded is told once, on the status line in red
    // and in a popup naming the file and the reason; the run stops at the next
    // point, and its closing line says why.
    void aResultThatCannotBeRecordedStopsTheRun() {
        startOn(deviatingBench());
        const fs::path csv = dir / "ortav.csv";
        fs::create_symlink("/nonexistent/ortav.csv", csv); // its folder is missing
        showVerification();
        runAutomatic();
        const std::string told =
            "Результаты не записаны в файл " + csv.string() + ": " + std::strerror(ENOENT);
        QCOMPARE(std::count(o.base.messages.begin(), o.base.messages.end(),
                            "Ошибка записи результатов|" + told),
                 1L);
        QCOMPARE(o.base.messages.back(), "Ошибка записи результатов|" + told);
        QCOMPARE(rows(PP_TABLE_R) + rows(PP_TABLE_I), 1);
        std::string status;
        GetCtrlVal(mp, MP_MSG, status);
        int colour = 0;
        GetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, &colour);
        QCOMPARE(status, told);
        QCOMPARE(colour, VAL_RED);
        const std::vector<std::string> lines =
            split(ortav::text::fromCp1251(slurp(dir / "ortav.log")), "\r\n");
        QCOMPARE(lines[lines.size() - 2], std::string(ortav::calib::kClosingUnrecorded));
        QCOMPARE(lines.back(), std::string());
    }

    // Points the multimeter gave no reading for are counted at the end, on the
    // screen and in the protocol; such a run never says "no faults found".
    void pointsWithoutAReadingAreCountedNeverPassed() {
        std::string yaml = deviatingBench();
        yaml += "    leads: {resistance: 1e12, voltage: 1e6}\n"; // beyond every range
        startOn(yaml);
        showVerification();
        runAutomatic();
        QCOMPARE(o.base.messages.back(),
                 std::string("ORTAV|Автоповерка завершена,\nне измерено точек: 94 из 94."));
        QCOMPARE(rows(PP_TABLE_R) + rows(PP_TABLE_I), 0);
        const std::vector<std::string> lines =
            split(ortav::text::fromCp1251(slurp(dir / "ortav.log")), "\r\n");
        QCOMPARE(lines[lines.size() - 2],
                 std::string("Автоповерка завершена, не измерено точек: 94 из 94."));
        const ortav::calib::RunSummary &run = ortav::calib::lastVerificationRun();
        QCOMPARE(int(run.skipped.size()), 94);
        QCOMPARE(run.skipped[0].reason,
                 std::string("p_tarnel_measure_Q Перегрузка: измеряемая величина вне предела "
                             "измерения"));
        QCOMPARE(ortav::calib::verdictOf(run), std::string("incomplete"));
    }

    // What is not a number never becomes a norm: the controls keep their value.
    void notANumberIsRefusedByTheControls() {
        startOn(deviatingBench());
        QVERIFY(SetCtrlVal(ppPanel, PP_TEMPERATURE, std::nan("")) < 0);
        QVERIFY(SetCtrlVal(ppPanel, PP_TEMPERATURE, -HUGE_VAL) < 0);
        QVERIFY(!ui::test::enter(ppPanel, PP_TEMPERATURE, HUGE_VAL));
        temparatureCB(ppPanel, PP_TEMPERATURE, EVENT_COMMIT, nullptr, 0, 0);
        QCOMPARE(ambientTemp, 20.0);
    }

    // Cell by cell: typed values, the strongly-different question, cancel,
    // the higher-range repeat, the current points and the series resistance.
    void cellByCellCalibration() {
        startOn(deviatingBench());
        DeviceData *rec = record();
        const double before = cell(cpPanel, CP_TABLE, 2, 3);

        // Typed, within 10 %: taken as it is.
        o.entries = {1203.5};
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 1, 7));
        QCOMPARE(o.dpShown.back(), 1200.0);
        QCOMPARE(number(dpPanel, DP_CHAN), 1.0);
        QCOMPARE(cell(cpPanel, CP_TABLE, 1, 7), 1203.5);
        QVERIFY(!module().channel(1).connected);

        // Strongly different, and the operator keeps the old value.
        o.entries = {100.0};
        o.answers = {1};
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 2, 3));
        QCOMPARE(o.confirms.back(),
                 std::string("Калибровка ORTAV|Измеренное значение 100 сильно отличается от "
                             "ожидаемого 75\nНе использовать измеренное значение?"));
        QCOMPARE(cell(cpPanel, CP_TABLE, 2, 3), before);

        // Cancelled: unchanged; the control refuses a negative resistance.
        o.entries = {std::nullopt};
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 2, 3));
        QCOMPARE(cell(cpPanel, CP_TABLE, 2, 3), before);
        o.entries = {-5.0};
        o.answers = {1};
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 2, 3));
        QCOMPARE(cell(cpPanel, CP_TABLE, 2, 3), before);

        // Measured: 1 % off nominal is more than the 1 % accuracy, so a repeat
        // on the higher range is offered once.
        QVERIFY(ui::test::toggle(mp, MP_AUTO_POV));
        QCOMPARE(autoMeasure, 1);
        const auto &ch1 = module().config().channel[0];
        const double real2 = ch1.series + ch1.resistor[1];
        o.entries = {real2, real2};
        o.answers = {1};
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 1, 2));
        // What the multimeter read is what DP offered, both times.
        QCOMPARE(int(o.dpShown.size()), 6);
        QVERIFY(std::fabs(o.dpShown[4] - real2) < 1e-9);
        QVERIFY(std::fabs(o.dpShown[5] - real2) < 1e-9);
        QCOMPARE(o.confirms.back(),
                 std::string("Калибровка ORTAV|Повторить измерение на старшем диапазоне?"));
        QVERIFY(std::fabs(cell(cpPanel, CP_TABLE, 1, 2) - real2) < 1e-9);

        // Current point 2 of channel 1: resistor 8 as the shunt, DAC code 41.
        // With no value for the shunt there is nothing to work the current out with.
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(1, 8), "");
        const std::size_t dpBefore = o.dpShown.size();
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE_I, 1, 2));
        QCOMPARE(o.base.messages.back(),
                 std::string("Калибровка ORTAV|В таблице нет сопротивления резистора 8 канала 1, "
                             "через который измеряется ток.\nСначала откалибруйте этот резистор."));
        QCOMPARE(o.dpShown.size(), dpBefore);
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(1, 8), ch1.series + ch1.resistor[7]);
        const double expectU = (41 - ch1.offset) / ch1.gain * (ch1.series + ch1.resistor[7]);
        const double pointBefore = cell(cpPanel, CP_TABLE_I, 1, 2);
        o.entries = {std::nullopt}; // cancelled: nothing changes, the module is reset
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE_I, 1, 2));
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 1, 2), pointBefore);
        QVERIFY(!module().channel(1).powered);
        o.entries = {expectU};
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE_I, 1, 2));
        QVERIFY(std::fabs(o.dpShown.back() - expectU) < 0.02 * expectU); // read across the channel
        QVERIFY(std::fabs(calCurrent[2] - (41 - ch1.offset) / ch1.gain) < 1e-9);
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 1, 2), calCurrent[2]);
        QVERIFY(!module().channel(1).powered);

        // The series resistance from three typed pair readings.
        QVERIFY(ui::test::toggle(mp, MP_AUTO_POV));
        QCOMPARE(autoMeasure, 0);
        for (int k = 1; k <= 4; ++k)
            SetTableCellVal(cpPanel, CP_TABLE, MakePoint(2, k), 18.75 * (1 << (k - 1)) + 0.5);
        o.entries.clear();
        for (int j = 1; j <= 3; ++j) {
            const double r1 = 18.75 * (1 << (j - 1)) + 0.5, r2 = 2 * r1 - 0.5;
            o.entries.push_back(0.5 + (r1 - 0.5) * (r2 - 0.5) / (r1 + r2 - 1.0));
        }
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 2, 19));
        QVERIFY(std::fabs(cell(cpPanel, CP_TABLE, 2, 19) - 0.5) < 0.0015);
        QVERIFY(!module().channel(2).connected);
        QVERIFY(rec == record()); // same session all along
    }

    // DEFAULT then WRITE stores nominal values; tables the driver must never
    // see are refused before the record or the EEPROM is touched.
    void defaultWriteAndRefusals() {
        startOn(deviatingBench());
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(1, 19), 0.45);
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(2, 19), 0.52);
        QVERIFY(ui::test::click(cpPanel, CP_DEFAULT));
        QCOMPARE(cell(cpPanel, CP_TABLE, 2, 18), 2457600.0);
        QCOMPARE(cell(cpPanel, CP_TABLE, 1, 19), 0.45);
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 2, 1), 0.00295);
        QVERIFY(ui::test::click(cpPanel, CP_WRITE));
        CoeffImage stored;
        std::memcpy(&stored, module().eeprom().data(), sizeof stored);
        QCOMPARE(stored.signature, ORTAV_COEFF_SIGNATURE);
        QCOMPARE(stored.R[1][17], 2457600.0);
        QCOMPARE(stored.r0[1], 0.52);
        QVERIFY(std::fabs(stored.iGain[0] - 409473.684) < 0.001);
        QVERIFY(std::fabs(stored.iOffset[0] - 0.0526) < 0.0001);
        const std::vector<uint8_t> eeprom = module().eeprom();
        const CoeffImage held = record()->coeff;

        struct Bad {
            int table, column, row;
            const char *text;
            const char *message;
        };
        const Bad cases[] = {
            {CP_TABLE_I, 1, 2, "0.00295", "Канал 1: токи обеих точек равны (0.00295 А)"},
            {CP_TABLE, 2, 5, "nan", "Канал 2, резистор 5: «nan»"},
            {CP_TABLE, 1, 1, "", "Канал 1, резистор 1: «»"},
            {CP_TABLE, 1, 3, "-75", "Канал 1, резистор 3: «-75»"},
            {CP_TABLE, 2, 19, "abc", "Канал 2, R0: «abc»"},
            {CP_TABLE, 2, 19, "1e300", "Канал 2, R0: «1e300»"},
            {CP_TABLE_I, 2, 1, "inf", "Канал 2, ток точки 1: «inf»"},
        };
        for (const Bad &b : cases) {
            std::string old;
            GetTableCellVal(cpPanel, b.table, MakePoint(b.column, b.row), old);
            SetTableCellVal(cpPanel, b.table, MakePoint(b.column, b.row), b.text);
            QVERIFY(ui::test::click(cpPanel, CP_WRITE));
            QVERIFY2(o.base.messages.back().find(b.message) != std::string::npos,
                     o.base.messages.back().c_str());
            QVERIFY(o.base.messages.back().find("Коэффициенты не записаны.") != std::string::npos);
            QVERIFY(text(mp, MP_MSG).find("РПЗУ") == std::string::npos); // not the EEPROM's fault
            QCOMPARE(std::memcmp(&record()->coeff, &held, sizeof held), 0);
            QVERIFY(module().eeprom() == eeprom);
            SetTableCellVal(cpPanel, b.table, MakePoint(b.column, b.row), old.c_str());
        }

        // A resistor 25 % off: refused by the driver's bounds, the cell named;
        // nothing is written and the record keeps the driver's values.
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(1, 6), 750.0);
        QVERIFY(ui::test::click(cpPanel, CP_WRITE));
        QVERIFY2(o.base.messages.back().find("Канал 1, резистор 6: «750") != std::string::npos &&
                     o.base.messages.back().find("20 % от номинала 600 Ом") != std::string::npos,
                 o.base.messages.back().c_str());
        QCOMPARE(std::memcmp(&record()->coeff, &held, sizeof held), 0);
        QVERIFY(module().eeprom() == eeprom);

        // READ puts the stored image back.
        QVERIFY(ui::test::click(cpPanel, CP_READ));
        QCOMPARE(cell(cpPanel, CP_TABLE, 1, 6), 600.0);

        // Without a module READ and WRITE do nothing and say nothing; DEFAULT
        // still works, with the driver's nominal values.
        closeAll(0);
        QCOMPARE(mvi, ViSession(0));
        const std::string line = text(mp, MP_MSG);
        const std::size_t shown = o.base.messages.size();
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(1, 6), 700.0);
        QVERIFY(ui::test::click(cpPanel, CP_READ));
        QVERIFY(ui::test::click(cpPanel, CP_WRITE));
        QCOMPARE(cell(cpPanel, CP_TABLE, 1, 6), 700.0);
        QCOMPARE(text(mp, MP_MSG), line);
        QCOMPARE(o.base.messages.size(), shown);
        QCOMPARE(readFlash(cpPanel, CP_READ, EVENT_COMMIT, nullptr, 0, 0),
                 int(VI_ERROR_INV_OBJECT));
        QVERIFY(ui::test::click(cpPanel, CP_DEFAULT));
        QCOMPARE(cell(cpPanel, CP_TABLE, 1, 6), 600.0);
        QVERIFY(module().eeprom() == eeprom);
    }

    // The module stops taking current settings once the resistors are measured:
    // the driver's text is on the status line, the current cells keep their
    // values, and the run still ends as every run does (module reset, the
    // message panel gone, the normal cursor).
    void calibrationEndsCleanlyWhenTheCurrentPhaseFails() {
        startOn(deviatingBench());
        const double before[2] = {cell(cpPanel, CP_TABLE_I, 1, 1), cell(cpPanel, CP_TABLE_I, 2, 1)};
        const int observer = ortav::calib::addCalibrationObserver([](const auto &v) {
            if (v.kind == ortav::calib::CalibrationValue::Series && v.chan == 2)
                module().config().faults.access.push_back({0x0C, false, true}); // DAC writes
        });
        QCOMPARE(Calibrate(0), 0);
        ortav::calib::removeCalibrationObserver(observer);
        QVERIFY2(text(mp, MP_MSG).find("ortav_config") != std::string::npos,
                 text(mp, MP_MSG).c_str());
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 1, 1), before[0]);
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 2, 1), before[1]);
        QVERIFY(std::fabs(cell(cpPanel, CP_TABLE, 2, 19) - 0.52) < 0.002); // the resistors are in
        QVERIFY(!ui::test::isPanelShown(msgpPanel()));
        QVERIFY(!module().channel(1).connected && !module().channel(2).connected);
        QCOMPARE(module().channel(1).code, 0u);

        // The module works again, but now the multimeter stops answering: no
        // voltage reading, so no current is made up; the cells stay as they were.
        module().config().faults.access.clear();
        const double currents[4] = {calCurrent[0], calCurrent[1], calCurrent[2], calCurrent[3]};
        const int silencer = ortav::calib::addCalibrationObserver([](const auto &v) {
            if (v.kind == ortav::calib::CalibrationValue::Series && v.chan == 2)
                ortav::sim::bench().findResource(kCarrier)->faults.silent = true;
        });
        QCOMPARE(Calibrate(0), 0);
        ortav::calib::removeCalibrationObserver(silencer);
        ortav::sim::bench().findResource(kCarrier)->faults.silent = false;
        for (int i = 0; i < 4; ++i)
            QCOMPARE(calCurrent[i], currents[i]);
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 1, 1), before[0]);
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 2, 1), before[1]);
        QVERIFY(!ui::test::isPanelShown(msgpPanel()));
    }

    // Calibrating channel 2 only leaves channel 1's resistors alone but still
    // measures both currents; a resistor far off nominal turns red and brings
    // the abort question, whose "yes" skips the currents.
    void calibrateOneChannelAndTheAbortQuestion() {
        // Resistor 10 of channel 1 is 35 % below nominal.
        std::string ch1 = "[", ch2 = "[";
        for (int k = 0; k < 18; ++k) {
            ch1 += std::string(k ? ", " : "") + (k == 9 ? "-0.35" : "0.01");
            ch2 += std::string(k ? ", " : "") + "0.01";
        }
        startOn(deviatingBench(2, "\n          - " + ch1 + "]\n          - " + ch2 + "]"));
        QCOMPARE(Calibrate(2), 0);
        QVERIFY(o.confirms.empty());
        for (int k = 1; k <= 19; ++k)
            QCOMPARE(cellText(cpPanel, CP_TABLE, 1, k), std::string());
        QVERIFY(cell(cpPanel, CP_TABLE, 2, 10) > 9000.0);
        QVERIFY(std::fabs(cell(cpPanel, CP_TABLE, 2, 19) - 0.52) < 0.002);
        QVERIFY(!ui::test::isPanelShown(msgpPanel()));
        // Both currents are measured; channel 1's across resistor 7 as its
        // record still has it (nominal), so its value carries that error.
        for (int c = 1; c <= 2; ++c) {
            const auto &ch = module().config().channel[c - 1];
            const double shunt = record()->coeff.R[c - 1][6];
            const double expected =
                (1208 - ch.offset) / ch.gain * (ch.series + ch.resistor[6]) / shunt;
            QVERIFY(std::fabs(cell(cpPanel, CP_TABLE_I, c, 1) - expected) < 1e-9 * expected);
        }
        QCOMPARE(record()->coeff.R[0][6], 1200.0);

        const double currentBefore = cell(cpPanel, CP_TABLE_I, 1, 1);
        o.answers = {1};
        QCOMPARE(Calibrate(0), 0);
        QCOMPARE(o.confirms.back(),
                 std::string("Калибровка ORTAV|Калибровка резисторов показала отклонение от "
                             "номинала\nПрервать калибровку?"));
        int colour = 0;
        GetTableCellAttribute(cpPanel, CP_TABLE, MakePoint(1, 10), ATTR_TEXT_COLOR, &colour);
        QCOMPARE(colour, int(VAL_RED));
        GetTableCellAttribute(cpPanel, CP_TABLE, MakePoint(2, 10), ATTR_TEXT_COLOR, &colour);
        QCOMPARE(colour, int(VAL_BLACK));
        SetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(1, 1), 0.001);
        QCOMPARE(cell(cpPanel, CP_TABLE_I, 1, 1), 0.001); // not measured after "yes"
        QVERIFY(!ui::test::isPanelShown(msgpPanel()));
        QVERIFY(!module().channel(1).connected && !module().channel(1).powered);

        // "No": the currents are measured; the red cell stays red.
        o.answers = {0};
        QCOMPARE(Calibrate(0), 0);
        // Now across the calibrated resistor 7: the source's real current.
        const auto &ch = module().config().channel[0];
        QVERIFY(std::fabs(cell(cpPanel, CP_TABLE_I, 1, 1) - (1208 - ch.offset) / ch.gain) <
                1e-9 * currentBefore);
        GetTableCellAttribute(cpPanel, CP_TABLE, MakePoint(1, 10), ATTR_TEXT_COLOR, &colour);
        QCOMPARE(colour, int(VAL_RED));
        QVERIFY(!ui::test::isPanelShown(msgpPanel()));
    }

    // One value at a time: typed, and measured by the multimeter.
    void manualVerification() {
        startOn(deviatingBench());
        showVerification();
        // Typed resistance: the channel stays on until the value is entered.
        QVERIFY(ui::test::enter(ppPanel, PP_R_Z, 150.0));
        QVERIFY(ui::test::click(ppPanel, PP_SET));
        QCOMPARE(number(ppPanel, PP_R_I), 150.0);
        QCOMPARE(GetActiveCtrl(ppPanel), int(PP_R_I));
        QVERIFY(module().channel(1).connected);
        QVERIFY(ui::test::enter(ppPanel, PP_R_I, 150.3));
        QVERIFY(ui::test::click(ppPanel, PP_INPUT));
        QVERIFY(!module().channel(1).connected);
        QCOMPARE(rows(PP_TABLE_R), 1);
        int colour = 0;
        GetTableCellAttribute(ppPanel, PP_TABLE_R, MakePoint(4, 1), ATTR_TEXT_COLOR, &colour);
        QCOMPARE(colour, int(VAL_RED)); // 0.3 ohm is beyond 0.13 at 150 ohms

        // Typed current: 1.2 V over resistor 7 of 1200 ohms is 1.0 mA.
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 1));
        QVERIFY(ui::test::enter(ppPanel, PP_R_Z, 1.0));
        QVERIFY(ui::test::click(ppPanel, PP_SET));
        QCOMPARE(number(ppPanel, PP_R_I), 1.2); // the expected voltage
        QVERIFY(module().channel(1).powered);
        QVERIFY(ui::test::click(ppPanel, PP_INPUT));
        QCOMPARE(rows(PP_TABLE_I), 1);
        QCOMPARE(cell(ppPanel, PP_TABLE_I, 3, 1), 1.0);
        QCOMPARE(cell(ppPanel, PP_TABLE_I, 4, 1), 0.0);

        // Measured: judged at once.
        QVERIFY(ui::test::toggle(mp, MP_AUTO_POV));
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 0));
        QVERIFY(ui::test::enter(ppPanel, PP_R_Z, 200.0));
        QVERIFY(ui::test::click(ppPanel, PP_SET));
        QCOMPARE(rows(PP_TABLE_R), 2);
        QVERIFY(std::fabs(cell(ppPanel, PP_TABLE_R, 3, 2) -
                          realResistance(1, 200.0, record()->coeff)) < 1e-3);
        QVERIFY(!module().channel(1).connected);

        // A value the module cannot set: the status line says why.
        QVERIFY(ui::test::enter(ppPanel, PP_R_Z, 5.0));
        QVERIFY(ui::test::click(ppPanel, PP_SET));
        QVERIFY2(text(mp, MP_MSG).find("ortav_config (mvi, chan, R, 0, 0.0)") != std::string::npos,
                 text(mp, MP_MSG).c_str());
        QCOMPARE(rows(PP_TABLE_R), 2);

        const std::vector<std::string> lines =
            split(ortav::text::fromCp1251(slurp(dir / "ortav.log")), "\r\n");
        QCOMPARE(int(lines.size()), 3 + 2 + 2 + 2 + 1);
        QVERIFY(lines[4].find("не норма") != std::string::npos);
        QCOMPARE(lines[6], std::string("1         1.0000мА      1.0000мА      0.0000мА (0.000%) "
                                       "/0.01mA/ "));
    }

    // The chart draws every judged point where its table has it, failures in
    // red, whatever the order of passing and failing points, through mode
    // changes while it is shown and after an automatic run.
    void chartDrawsWhatTheTablesHold() {
        startOn(deviatingBench());
        showVerification();
        QVERIFY(ui::test::click(ppPanel, PP_CHART_SHOW));
        const auto judge = [](double set, double measured) {
            return ui::test::enter(ppPanel, PP_R_Z, set) && ui::test::click(ppPanel, PP_SET) &&
                   ui::test::enter(ppPanel, PP_R_I, measured) && ui::test::click(ppPanel, PP_INPUT);
        };
        const auto drawsTable = [](int table) {
            const QString differs = chartVersusTable(table);
            QVERIFY2(differs.isEmpty(), qPrintable(differs));
        };
        // Two failures, then a pass; in current mode (volts over 1200 ohms) a
        // pass, a failure, a pass.
        using Points = std::vector<std::pair<double, double>>;
        for (auto [set, measured] : Points{{150.0, 150.3}, {200.0, 200.5}, {100.0, 100.05}})
            QVERIFY(judge(set, measured));
        drawsTable(PP_TABLE_R);
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 1));
        drawsTable(PP_TABLE_I);
        for (auto [set, volts] : Points{{1.0, 1.2}, {2.0, 2.5}, {0.5, 0.6}})
            QVERIFY(judge(set, volts));
        drawsTable(PP_TABLE_I);
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 0));
        drawsTable(PP_TABLE_R);

        // After an automatic run, a failed point typed by hand.
        runAutomatic();
        drawsTable(PP_TABLE_I);
        QVERIFY(ui::test::toggle(ppPanel, PP_AUTO_POV));
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 0));
        QVERIFY(judge(100.0, 100.5));
        drawsTable(PP_TABLE_R);
        QVERIFY(rows(PP_TABLE_R) == 3 + 86 + 1);
        // Every row of the CSV names the simulated bench in its last column.
        const std::vector<std::string> csv = split(slurp(dir / "ortav.csv"), "\n");
        QCOMPARE(int(csv.size()), 1 + 3 + 3 + 94 + 1 + 1);
        for (std::size_t i = 1; i + 1 < csv.size(); ++i)
            QVERIFY2(csv[i].ends_with(",Калибровочный стенд"), csv[i].c_str());

        // Saved for a report: wide enough, titled with the module, the date
        // and the simulated bench.
        const std::string title = ortav::calib::verificationChartTitle(1);
        const std::string date = QDate::currentDate().toString("dd.MM.yyyy").toStdString();
        QCOMPARE(title, "Отклонение сопротивления, Ом\nVXI0::8::INSTR, мезонин 1, " + date +
                            ", имитация (стенд «Калибровочный стенд»)");
        o.file = (dir / "chart.png").string();
        QVERIFY(ui::test::click(ppPanel, PP_CHART_SAVE));
        const QImage saved(QString::fromStdString(o.file));
        QVERIFY(saved.width() >= 1200);
#ifdef ORTAV_SCREENSHOT_DIR
        QDir().mkpath(ORTAV_SCREENSHOT_DIR);
        QVERIFY(saved.save(QString(ORTAV_SCREENSHOT_DIR) + "/chart_saved.png"));
        QVERIFY(ui::test::grabPanel(mp, ORTAV_SCREENSHOT_DIR "/chart_on_sheet.png"));
#endif
        drawsTable(PP_TABLE_R);
    }

    // An automatic run's chart has the axes of all its points from the first
    // one on: for a module within its norms they stay put while the points
    // come (a deviation beyond the norms widens them, not to be hidden).
    void chartAxesHoldTheWholeRunFromItsFirstPoint() {
        std::string yaml = deviatingBench(2, "0.001");
        yaml.replace(yaml.find("eeprom: blank"), 13, "eeprom: {image: valid}");
        startOn(yaml);
        showVerification();
        QVERIFY(ui::test::click(ppPanel, PP_CHART_SHOW));
        using Range = std::pair<double, double>;
        std::set<Range> xs, ys;
        const int observer =
            ortav::calib::addJudgedObserver([&](const ortav::calib::JudgedPoint &p) {
                if (p.mode != 1)
                    return;
                const ortav::calib::ChartFigure *chart = ortav::calib::verificationChartFigure();
                xs.insert({chart->x.min, chart->x.max});
                ys.insert({chart->y.min, chart->y.max});
            });
        runAutomatic();
        ortav::calib::removeJudgedObserver(observer);
        QCOMPARE(int(xs.size()), 1);
        QCOMPARE(int(ys.size()), 1);
        const auto points = ortav::calib::resistancePoints(hardVersion);
        const double low = *std::min_element(points.begin(), points.end());
        const double top = *std::max_element(points.begin(), points.end());
        QVERIFY(xs.begin()->first <= low && xs.begin()->second >= top);
        QVERIFY(ys.begin()->second >= defPermDev(top));
    }

    // "Стоп" in the message panel ends an automatic run after the point under
    // way as an interrupted run ends: the module reset, the protocol's closing
    // line, the verdict. Meanwhile the waits process events, and nothing but the
    // message panel takes the operator's input.
    void stopDuringAnAutomaticRun() {
        startOn(deviatingBench());
        showVerification();
        int judged = 0;
        std::string progress;
        int bar = -1, barMax = -1;
        const int observer =
            ortav::calib::addJudgedObserver([&](const ortav::calib::JudgedPoint &) {
                if (++judged != 5)
                    return;
                progress = text(msgpPanel(), msgpProgressText());
                GetCtrlVal(msgpPanel(), msgpProgressBar(), &bar);
                GetCtrlAttribute(msgpPanel(), msgpProgressBar(), ATTR_MAX_VALUE, &barMax);
#ifdef ORTAV_SCREENSHOT_DIR
                QDir().mkpath(ORTAV_SCREENSHOT_DIR);
                ui::test::grabPanel(msgpPanel(), ORTAV_SCREENSHOT_DIR "/running_message_panel.png");
#endif
                // Real clicks, queued as the operator's are, handled during the next wait.
                QTimer::singleShot(0, [] {
                    QTest::mouseClick(CtrlWidget(ppPanel, PP_AUTO_POV), Qt::LeftButton);
                    QTest::mouseClick(CtrlWidget(msgpPanel(), msgpStopButton()), Qt::LeftButton);
                });
            });
        runAutomatic();
        ortav::calib::removeJudgedObserver(observer);
        // Handled in the next point's first wait: that point is the run's last.
        QCOMPARE(judged, 6);
        QCOMPARE(rows(PP_TABLE_R), 6);
        QCOMPARE(progress, std::string("точка 5 из 94"));
        QCOMPARE(bar, 4);
        QCOMPARE(barMax, 94);
        QCOMPARE(autoPov, 1); // the click on the sheet went nowhere
        for (int c = 0; c < 2; ++c) {
            const auto &ch = module().channel(c + 1);
            QVERIFY(ch.code == 0 && !ch.connected && !ch.powered);
        }
        const std::vector<std::string> lines =
            split(ortav::text::fromCp1251(slurp(dir / "ortav.log")), "\r\n");
        QVERIFY(lines.size() >= 2);
        QCOMPARE(lines[lines.size() - 2], std::string(ortav::calib::kClosingInterrupted));
        QVERIFY(slurp(dir / "ortav.json").find("\"verdict\": \"interrupted\"") !=
                std::string::npos);
        QCOMPARE(o.base.messages.back(), "ORTAV|" + std::string(ortav::calib::kClosingInterrupted));
        QVERIFY(!ui::test::isPanelShown(msgpPanel()));
        QCOMPARE(GetInputOnlyTo(), 0);
        QVERIFY(!ortav::calib::runStopRequested());
        // The next run starts afresh and runs to its end.
        runAutomatic();
        QCOMPARE(rows(PP_TABLE_R), 6 + 86);
    }

    // On the real clock, where waits that end soon after the event loop ran
    // are slept through without it, "Стоп" is still answered within a fifth of
    // a second: a few points.
    void stopOnTheRealClock() {
        startOn(deviatingBench());
        showVerification();
        ortav::clock::setVirtual(false);
        int judged = 0;
        const int observer =
            ortav::calib::addJudgedObserver([&](const ortav::calib::JudgedPoint &) {
                if (++judged == 3)
                    QTimer::singleShot(0, [] {
                        QTest::mouseClick(CtrlWidget(msgpPanel(), msgpStopButton()),
                                          Qt::LeftButton);
                    });
            });
        runAutomatic();
        ortav::calib::removeJudgedObserver(observer);
        ortav::clock::setVirtual(true);
        // The click waits at most a fifth of a second: up to four points.
        QVERIFY2(judged >= 4 && judged <= 7, std::to_string(judged).c_str());
        QCOMPARE(rows(PP_TABLE_R), judged);
        QVERIFY(slurp(dir / "ortav.json").find("\"verdict\": \"interrupted\"") !=
                std::string::npos);
    }

    // The measured-value popup from the keyboard: a typed value and Return
    // enter it, Escape cancels; the chart is saved through a save dialogue.
    void measuredValuePopupFromTheKeyboard() {
        startOn(deviatingBench());
        std::deque<int> keys{Qt::Key_Return, Qt::Key_Escape};
        ui::test::setResponder([&](const ui::test::Request &r) {
            if (r.kind != ui::test::RequestKind::Wait || r.panel != dpPanel || keys.empty())
                return calibOp->answer(r);
            QWidget *field = CtrlWidget(dpPanel, DP_MEAS_R);
            field->setFocus();
            const int key = keys.front();
            keys.pop_front();
            if (key == Qt::Key_Return) {
                QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(field, "18.8");
            }
            QTest::keyClick(field, static_cast<Qt::Key>(key));
            return ui::test::Answer::ok();
        });
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 1, 1));
        QCOMPARE(cell(cpPanel, CP_TABLE, 1, 1), 18.8);
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 2, 1));
        QVERIFY(keys.empty());
        QVERIFY(cellText(cpPanel, CP_TABLE, 2, 1).empty()); // cancelled: unchanged
        QVERIFY(!ui::test::isPopup(dpPanel));

        showVerification();
        int button = 0;
        ui::test::setResponder([&](const ui::test::Request &r) {
            if (r.kind == ui::test::RequestKind::FileSelect)
                button = r.button;
            return calibOp->answer(r);
        });
        QVERIFY(ui::test::click(ppPanel, PP_CHART_SAVE));
        QCOMPARE(button, int(VAL_SAVE_BUTTON));
    }

    // An unwritable protocol file: the message once, then the screen only.
    void unwritableProtocolGoesToTheScreen() {
        startOn(deviatingBench());
        showVerification("missing/ortav.log");
        QCOMPARE(logFile, -1);
        QCOMPARE(o.base.messages.back(),
                 std::string("Ошибка открытия файла протокола.|Сообщения будут выводиться "
                             "только на экран"));
        SetCtrlVal(ppPanel, PP_R_Z, 100.0);
        SetCtrlVal(ppPanel, PP_R_I, 100.05);
        QVERIFY(ui::test::click(ppPanel, PP_INPUT));
        int lines = 0;
        GetNumTextBoxLines(chlpPanel, CHLP_LOG, &lines);
        QCOMPARE(lines, 5); // heading (3 lines), column heading, the point
        const std::size_t messages = o.base.messages.size();
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 0));
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 1));
        QCOMPARE(o.base.messages.size(), messages); // no second try
        QVERIFY(!fs::exists(dir / "missing"));

        // Choosing a file opens it; its lines follow its heading without a
        // column heading until MODE is committed again.
        o.file = (dir / "other.log").string();
        QVERIFY(ui::test::click(ppPanel, PP_FILE_NAME_S));
        QVERIFY(logFile > 0);
        QCOMPARE(text(ppPanel, PP_FILE_NAME), o.file);
        // Choosing the file in use (whatever the letter case) does nothing to it.
        const int handle = logFile;
        std::string upper = o.file;
        for (char &ch : upper)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        o.file = upper;
        QVERIFY(ui::test::click(ppPanel, PP_FILE_NAME_S));
        QCOMPARE(logFile, handle);
        o.file = (dir / "other.log").string();
        QVERIFY(ui::test::click(ppPanel, PP_INPUT));
        std::vector<std::string> got = split(ortav::text::fromCp1251(slurp(o.file)), "\r\n");
        QCOMPARE(int(got.size()), 5);
        QCOMPARE(got[3], std::string("1        100.0000 Ом   100.0500 Ом     0.0500 Ом (0.050%) "
                                     "/0.100%/ "));
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 1));
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 0));
        QVERIFY(ui::test::click(ppPanel, PP_INPUT));
        got = split(ortav::text::fromCp1251(slurp(o.file)), "\r\n");
        QCOMPARE(int(got.size()), 7);
        QCOMPARE(got[4] + "\n", std::string(ortav::calib::kColumnsR));
    }
};

QTEST_MAIN(CalibTest)
#include "calib_gui_test.moc"
