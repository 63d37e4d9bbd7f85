#include "certificate.h"

#include "protocol_text.h"
#include "result_files.h"
#include "results_csv.h"
#include "time_text.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <cmath>
#include <cstdio>

namespace ortav::calib {

namespace {

using namespace ortav::uncertainty;

// Carries Cyrillic, and fonts-dejavu-core is installed with the program.
const char *kFontFamily = "DejaVu Sans";
const char *kWatermark = "ИМИТАЦИЯ — не для выдачи";
constexpr int kResolution = 300; // dots per inch of the layout

QString html(const std::string &text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

std::string format(const char *fmt, double v) {
    CNumbers numbers;
    char text[64];
    std::snprintf(text, sizeof text, fmt, v);
    return text;
}

std::string localDate(std::time_t t) {
    return ortav::text::localText(t, "%d.%m.%Y %H:%M:%S");
}

const char *periodText(const std::string &period) {
    if (period == "24h")
        return "24 часа";
    if (period == "90d")
        return "90 суток";
    return "1 год";
}

const char *ruleText(const std::string &rule) {
    return rule == "guarded"
               ? "с защитной полосой (guarded): точка годна при |Δ| + U ≤ Δдоп, не норма при "
                 "|Δ| − U &gt; Δдоп, иначе условно"
               : "простое (simple): точка годна при |Δ| ≤ Δдоп";
}

std::string uncertaintyText(const JudgedPoint &p) {
    return p.uncertainty.known ? format("%.3g", p.uncertainty.expanded) : "неизв.";
}

std::string turText(const JudgedPoint &p) {
    if (!p.uncertainty.known)
        return "неизв.";
    if (std::isinf(p.tur))
        return "∞";
    return format("%.1f", p.tur) + (p.tur < kMinimumTur ? " (&lt;4)" : "");
}

QString row(const QStringList &cells, bool header = false) {
    QString r = "<tr>";
    for (const QString &c : cells)
        r += header ? "<th>" + c + "</th>" : "<td>" + c + "</td>";
    return r + "</tr>";
}

QString documentHtml(const CertificateInput &in) {
    const RunSummary &s = *in.run;
    QString h = "<html><body>";
    h += "<h2 align=\"center\">СЕРТИФИКАТ О КАЛИБРОВКЕ № " + html(s.certificate) + "</h2>";
    h += "<p align=\"center\">мезонина программируемых сопротивлений ORTAV "
         "(автоматическая поверка обоих каналов)</p>";
    h += "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">";
    const auto field = [&h](const QString &name, const QString &value) {
        h += "<tr><td width=\"30%\"><b>" + name + "</b></td><td>" + value + "</td></tr>";
    };
    field("Номер сертификата", html(s.certificate));
    field("Модуль", "ORTAV, инвентарный номер " +
                        (in.assetNumber.empty() ? QString("не указан") : html(in.assetNumber)) +
                        "; носитель " + html(s.resource) + ", позиция " +
                        QString::number(s.position) + "; аппаратная версия " +
                        QString::number(s.hardVersion));
    QString meter = html(s.meterName.empty() ? s.multimeterKind : s.meterName);
    if (!s.multimeterResource.empty())
        meter += " (" + html(s.multimeterResource) + ")";
    field("Эталонный мультиметр", meter);
    field("Погрешность мультиметра",
          QString("за ") + periodText(s.meterPeriod) + " после калибровки; " +
              (s.meterSource.empty() ? QString("характеристики не указаны (неопределённость "
                                               "неизвестна)")
                                     : "по данным: " + html(s.meterSource)));
    field("Температура окружающей среды",
          QString::fromStdString(format("%.1f", s.ambientTemp)) + " °C");
    field("Дата", html(localDate(s.started)));
    field("Оператор", html(s.operatorName));
    field("Рабочее место", html(s.station));
    field("Правило принятия решения", ruleText(s.decisionRule));
    field("Неопределённость", "расширенная U при k = 2 (прямоугольное распределение погрешности "
                              "мультиметра, разрешение, повторяемость; у тока также допуск "
                              "значения шунта, резистора 7 канала); TUR = Δдоп / U, "
                              "менее 4 отмечено");
    if (s.simulated)
        field("Стенд", "ИМИТАЦИЯ: " + html(s.benchName));
    h += "</table>";

    h += "<h3>Результаты</h3>";
    h += "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\">";
    h += "<thead>" +
         row({"№", "Канал", "Режим", "Задано", "Измерено", "Отклонение", "Допуск", "Ед.", "U (k=2)",
              "TUR", "Вердикт"},
             true) +
         "</thead>";
    int n = 0;
    for (const JudgedPoint &p : s.points) {
        ++n;
        QString verdict = certificatePointVerdict(p);
        if (outOfNormByRule(p))
            verdict = "<b>" + verdict + "</b>";
        h += row({QString::number(n), QString::number(p.chan), p.mode == 1 ? "сопр." : "ток",
                  QString::fromStdString(format("%.4f", p.set)),
                  QString::fromStdString(format("%.4f", p.measured)),
                  QString::fromStdString(format("%.4f", p.deviation)),
                  QString::fromStdString(format("%.4f", p.permitted)), p.mode == 1 ? "Ом" : "мА",
                  QString::fromStdString(uncertaintyText(p)), QString::fromStdString(turText(p)),
                  verdict});
    }
    h += "</table>";
    if (s.points.empty())
        h += "<p>Ни одна точка не оценена.</p>";

    for (int mode : {0, 1}) {
        if (in.charts[mode].isNull())
            continue;
        h += QString("<h3>") + (mode == 0 ? "График: сопротивление" : "График: ток") + "</h3>";
        h += QString("<p align=\"center\"><img src=\"chart%1\" width=\"%2\"></p>")
                 .arg(mode)
                 .arg(static_cast<int>(kResolution * 6.5)); // 6.5 inches across
    }
    h += "<h3>Заключение</h3><p><b>" + QString(certificateVerdict(verdictByRule(s))) + "</b></p>";
    h += "</body></html>";
    return h;
}

void drawWatermark(QPainter &painter, const QRectF &page) {
    painter.save();
    painter.translate(page.center());
    painter.rotate(-45.0);
    QFont f(kFontFamily);
    f.setPointSizeF(40);
    f.setBold(true);
    painter.setFont(f);
    painter.setPen(QColor(200, 0, 0, 70));
    const double w = std::hypot(page.width(), page.height());
    painter.drawText(QRectF(-w / 2, -page.height() / 8, w, page.height() / 4), Qt::AlignCenter,
                     QString::fromUtf8(kWatermark));
    painter.restore();
}

} // namespace

const char *certificatePointVerdict(const JudgedPoint &p) {
    if (p.rule == Rule::Guarded)
        return p.guarded == Verdict::Pass   ? "годен"
               : p.guarded == Verdict::Fail ? "не норма"
                                            : "условно";
    return p.failed ? "не норма" : "годен";
}

const char *certificateVerdict(const std::string &verdictByRule) {
    if (verdictByRule == "passed")
        return "Модуль соответствует норме.";
    if (verdictByRule == "failed")
        return "Модуль не соответствует норме.";
    if (verdictByRule == "conditional")
        return "Соответствие норме не установлено: есть точки, оценённые условно.";
    return "Поверка не завершена: соответствие норме не установлено.";
}

bool writeCertificate(const std::string &path, const CertificateInput &in, std::string &error) {
    if (in.run == nullptr) {
        error = "no verification run to certify";
        return false;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setResolution(kResolution);
        pdf.setTitle(QString::fromStdString("Сертификат о калибровке № " + in.run->certificate));
        pdf.setCreator("p_ortav");

        QTextDocument doc;
        doc.documentLayout()->setPaintDevice(&pdf);
        QFont font(kFontFamily);
        font.setPointSizeF(8.5);
        doc.setDefaultFont(font);
        for (int mode : {0, 1})
            if (!in.charts[mode].isNull())
                doc.addResource(QTextDocument::ImageResource, QUrl(QString("chart%1").arg(mode)),
                                in.charts[mode]);
        doc.setHtml(documentHtml(in));

        const QRectF page(QPointF(0, 0), pdf.pageLayout().paintRectPixels(kResolution).size());
        const double footer = kResolution * 0.3; // the page number's line
        const QSizeF body(page.width(), page.height() - footer);
        doc.setPageSize(body);
        const int pages = doc.pageCount();

        QPainter painter;
        if (!painter.begin(&pdf)) {
            error = path + ": the PDF cannot be started";
            return false;
        }
        QFont small(kFontFamily);
        small.setPointSizeF(8);
        for (int i = 0; i < pages; ++i) {
            if (i > 0 && !pdf.newPage()) {
                error = path + ": page " + std::to_string(i + 1) + " cannot be added";
                return false;
            }
            painter.save();
            painter.translate(0, -i * body.height());
            doc.drawContents(&painter, QRectF(QPointF(0, i * body.height()), body));
            painter.restore();
            if (in.run->simulated) // over everything, the charts too
                drawWatermark(painter, page);
            painter.setFont(small);
            painter.setPen(Qt::black);
            painter.drawText(QRectF(0, body.height(), page.width(), footer),
                             Qt::AlignRight | Qt::AlignBottom,
                             QString("Сертификат № %1, стр. %2 из %3")
                                 .arg(QString::fromStdString(in.run->certificate))
                                 .arg(i + 1)
                                 .arg(pages));
        }
        if (!painter.end()) {
            error = path + ": the PDF cannot be finished";
            return false;
        }
    }
    // A reader never sees half a certificate.
    if (int why = 0; !replaceWhole(path, std::string_view(bytes.constData(), bytes.size()), &why)) {
        error = path + ": " + reasonText(why);
        return false;
    }
    return true;
}

} // namespace ortav::calib
