// The certificate as its reader gets it: pdftotext gives back every point of
// the run, in order, as the summary has it; pages are numbered; the simulated
// bench's watermark is on every page and only there. pdftoppm draws the first
// page into the test output for a look.
#include "certificate.h"
#include "protocol_text.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

using namespace ortav::calib;
using namespace ortav::uncertainty;

namespace {

QString run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "<" + program + " failed: " + p.readAllStandardError() + ">";
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString fixed(double v, const char *fmt = "%.4f") {
    CNumbers numbers; // a point, as the certificate writes, under any locale
    char text[64];
    std::snprintf(text, sizeof text, fmt, v);
    return text;
}

// Pixels of the watermark's colour (translucent red on white) on each page,
// drawn by pdftoppm: diagonal text does not come back through pdftotext whole.
QList<int> watermarkPixels(const QString &pdf, const QString &dir) {
    QList<int> counts;
    if (run("pdftoppm", {"-png", "-r", "30", pdf, dir + "/wm"}).startsWith("<"))
        return counts;
    QStringList pages = QDir(dir).entryList({"wm-*.png"}, QDir::Files, QDir::Name);
    for (const QString &name : pages) {
        const QImage page(dir + "/" + name);
        int n = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                n += c.red() > c.green() + 30 && c.red() > c.blue() + 30 ? 1 : 0;
            }
        counts.append(n);
        QFile::remove(dir + "/" + name);
    }
    return counts;
}

// 60 points: both modes, every kind of uncertainty and verdict, more than a page.
RunSummary summary(bool simulated) {
    RunSummary s;
    s.resource = "VXI0::8::INSTR";
    s.position = 1;
    s.hardVersion = 2;
    s.multimeterKind = "hp3458a";
    s.multimeterResource = "GPIB0::22::INSTR";
    s.meterName = "HP 3458A";
    s.meterSource = "Data Sheet";
    s.meterPeriod = "90d";
    s.decisionRule = "guarded";
    s.ambientTemp = 21.5;
    s.simulated = simulated;
    s.benchName = "стенд проверки";
    s.certificate = "ORTAV-20261210-101500-0000CAFE";
    s.operatorName = "Иванов И. И.";
    s.station = "stand-3";
    s.completed = true;
    s.expected = 60;
    for (int i = 0; i < 60; ++i) {
        JudgedPoint p;
        p.chan = i % 2 + 1;
        p.mode = i < 44 ? 1 : 2;
        p.set = p.mode == 1 ? 10.0 * (i + 1) : 0.25 * (i - 43);
        p.deviation = (i % 7 - 3) * (p.mode == 1 ? 0.031 : 0.0031);
        p.measured = p.set + p.deviation;
        p.permitted = p.mode == 1 ? 0.1 : 0.01;
        p.failed = std::fabs(p.deviation) > p.permitted;
        p.rule = Rule::Guarded;
        p.uncertainty.known = i % 5 != 4;
        p.uncertainty.unknownWhy = p.uncertainty.known ? "" : "no entry";
        p.uncertainty.expanded = i % 9 == 0 ? 0.0 : 0.00123 * (i % 4 + 1);
        p.uncertainty.standard = p.uncertainty.expanded / 2;
        p.tur = testUncertaintyRatio(p.permitted, p.uncertainty.expanded);
        p.guarded =
            decide(Rule::Guarded, p.deviation, p.permitted,
                   p.uncertainty.known ? std::optional(p.uncertainty.expanded) : std::nullopt);
        s.points.push_back(p);
    }
    return s;
}

} // namespace

class CertificateTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void thePdfGivesBackEveryPointOnNumberedPages() {
        const RunSummary s = summary(true);
        CertificateInput in;
        in.run = &s;
        in.assetNumber = "ИНВ-0042";
        QImage chart(600, 300, QImage::Format_RGB32);
        chart.fill(Qt::darkCyan);
        in.charts[0] = chart;
        const QString pdf = dir.filePath("cert.pdf");
        std::string error;
        QVERIFY2(writeCertificate(pdf.toStdString(), in, error), error.c_str());
        QVERIFY(!QFile::exists(pdf + ".part"));
        QDir().mkpath(ORTAV_SCREENSHOT_DIR);
        QFile::remove(QString(ORTAV_SCREENSHOT_DIR) + "/certificate.pdf");
        QVERIFY(QFile::copy(pdf, QString(ORTAV_SCREENSHOT_DIR) + "/certificate.pdf"));

        const QString layout = run("pdftotext", {"-layout", "-nodiag", pdf, "-"});
        QStringList pages = layout.split('\f');
        if (pages.last().trimmed().isEmpty())
            pages.removeLast();
        QVERIFY2(pages.size() >= 2, qPrintable(layout));
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY2(pages[i].contains(QString("№ %1, стр. %2 из %3")
                                           .arg(QString::fromStdString(s.certificate))
                                           .arg(i + 1)
                                           .arg(pages.size())),
                     qPrintable(pages[i]));
        const QString all = run("pdftotext", {pdf, "-"});
        for (const char *text :
             {"СЕРТИФИКАТ О КАЛИБРОВКЕ № ORTAV-20261210-101500-0000CAFE", "ИНВ-0042",
              "VXI0::8::INSTR, позиция 1", "аппаратная версия 2", "HP 3458A (GPIB0::22::INSTR)",
              "за 90 суток после калибровки", "21.5 °C", "Иванов И. И.", "stand-3",
              "с защитной полосой (guarded)", "ИМИТАЦИЯ: стенд проверки", "График: сопротивление",
              "Соответствие норме не установлено: есть точки, оценённые условно."})
            QVERIFY2(all.contains(QString::fromUtf8(text)), text);
        QVERIFY(!all.contains("График: ток"));   // no image given
        QVERIFY(!layout.contains("ИМИТАЦИЯ —")); // the diagonal text is apart

        // Every point, in order, as the summary has it.
        const QRegularExpression rowPattern(
            "^\\s*(\\d+)\\s+([12])\\s+(сопр\\.|ток)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+"
            "(Ом|мА)\\s+(\\S+)\\s+(\\S+(?: \\(<4\\))?)\\s+(годен|не норма|условно)\\s*$",
            QRegularExpression::MultilineOption);
        int n = 0;
        for (auto it = rowPattern.globalMatch(layout); it.hasNext();) {
            const auto m = it.next();
            QVERIFY2(n < int(s.points.size()), qPrintable(m.captured(0)));
            const JudgedPoint &p = s.points[n++];
            QCOMPARE(m.captured(1).toInt(), n);
            QCOMPARE(m.captured(2).toInt(), p.chan);
            QCOMPARE(m.captured(3), QString(p.mode == 1 ? "сопр." : "ток"));
            QCOMPARE(m.captured(4), fixed(p.set));
            QCOMPARE(m.captured(5), fixed(p.measured));
            QCOMPARE(m.captured(6), fixed(p.deviation));
            QCOMPARE(m.captured(7), fixed(p.permitted));
            QCOMPARE(m.captured(8), QString(p.mode == 1 ? "Ом" : "мА"));
            QCOMPARE(m.captured(9), p.uncertainty.known ? fixed(p.uncertainty.expanded, "%.3g")
                                                        : QString("неизв."));
            const QString tur = !p.uncertainty.known  ? QString("неизв.")
                                : std::isinf(p.tur)   ? QString("∞")
                                : p.tur < kMinimumTur ? fixed(p.tur, "%.1f") + " (<4)"
                                                      : fixed(p.tur, "%.1f");
            QCOMPARE(m.captured(10), tur);
            QCOMPARE(m.captured(11), QString(certificatePointVerdict(p)));
        }
        QCOMPARE(n, int(s.points.size()));

        // The watermark, on every page.
        const QList<int> marked = watermarkPixels(pdf, dir.path());
        QCOMPARE(marked.size(), pages.size());
        for (int n : marked)
            QVERIFY2(n > 300, qPrintable(QString::number(n)));

        QDir().mkpath(ORTAV_SCREENSHOT_DIR);
        const QString png = QString(ORTAV_SCREENSHOT_DIR) + "/certificate";
        QCOMPARE(
            run("pdftoppm", {"-png", "-r", "80", "-f", "1", "-l", "1", "-singlefile", pdf, png}),
            QString());
        const QImage page(png + ".png");
        QVERIFY(page.width() > 500 && page.height() > 700);
    }

    void aRealBenchHasNoWatermarkAndAFileThatCannotBeWrittenIsAnError() {
        RunSummary s = summary(false);
        s.decisionRule = "simple";
        for (JudgedPoint &p : s.points)
            p.rule = Rule::Simple;
        CertificateInput in;
        in.run = &s;
        const QString pdf = dir.filePath("real.pdf");
        std::string error;
        QVERIFY2(writeCertificate(pdf.toStdString(), in, error), error.c_str());
        const QString all = run("pdftotext", {pdf, "-"});
        QVERIFY2(all.contains("инвентарный номер не указан"), qPrintable(all));
        QVERIFY(all.contains("простое (simple)"));
        QVERIFY(!all.contains("ИМИТАЦИЯ"));
        for (int n : watermarkPixels(pdf, dir.path()))
            QCOMPARE(n, 0);
        QVERIFY(all.contains("Модуль соответствует норме.") ||
                all.contains("Модуль не соответствует норме."));

        const std::string missing = dir.filePath("no/such/dir/c.pdf").toStdString();
        QVERIFY(!writeCertificate(missing, in, error));
        QCOMPARE(QString::fromStdString(error),
                 QString::fromStdString(missing + ": " + std::strerror(ENOENT)));
    }
};

QTEST_MAIN(CertificateTest)
#include "certificate_test.moc"
