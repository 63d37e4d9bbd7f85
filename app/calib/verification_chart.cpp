#include "verification_chart.h"

#include "calib.h"
#include "embed.h"
#include "front_panel.h"
#include "p_ortav.h"
#include "userint.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPointer>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ortav::calib {

namespace {

const QColor kChannelColour[2] = {QColor(0x1f, 0x3a, 0x60), QColor(0x2e, 0x8b, 0x57)};
const QColor kFailedColour(0xFF, 0x00, 0x00);
const QColor kNormColour(0x80, 0x80, 0x80);

struct State {
    int sheet = 0; // the sheet the points were judged on: a new sheet starts empty
    std::vector<JudgedPoint> points;
    int mode = 1;
    QPointer<QChartView> view;
};

State &state() {
    static State s;
    return s;
}

// Points of an earlier sheet (the program started again in the same process)
// are not this sheet's.
void followSheet() {
    State &s = state();
    if (s.sheet != ppPanel) {
        s.sheet = ppPanel;
        s.points.clear();
        s.mode = 1;
    }
}

QChartView *view() {
    followSheet();
    State &s = state();
    if (s.view)
        return s.view;
    QWidget *canvas = CtrlWidget(ppPanel, PP_CHART);
    if (canvas == nullptr)
        return nullptr;
    auto *chart = new QChart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->setAlignment(Qt::AlignRight);
    QFont small = chart->legend()->font();
    small.setPixelSize(10);
    chart->legend()->setFont(small);
    auto *v = new QChartView(chart, canvas);
    v->setRenderHint(QPainter::Antialiasing);
    auto *layout = new QVBoxLayout(canvas);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(v);
    s.view = v;
    return v;
}

void redraw() {
    QChartView *v = view();
    if (v == nullptr)
        return;
    State &s = state();
    QChart *chart = v->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes())
        chart->removeAxis(axis);
    const bool resistance = s.mode == 1;
    chart->setTitle(resistance ? "Отклонение сопротивления, Ом" : "Отклонение тока, мА");
    QFont titleFont = chart->titleFont();
    titleFont.setPixelSize(11);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);

    std::vector<const JudgedPoint *> mine;
    for (const JudgedPoint &p : s.points)
        if (p.mode == s.mode)
            mine.push_back(&p);

    // The band of the permitted deviation, along the set values.
    std::vector<std::pair<double, double>> band;
    for (const JudgedPoint *p : mine)
        band.emplace_back(p->set, p->permitted);
    std::sort(band.begin(), band.end());
    auto *upper = new QLineSeries;
    auto *lower = new QLineSeries;
    upper->setName("+норма");
    lower->setName("−норма");
    for (auto [set, permitted] : band) {
        upper->append(set, permitted);
        lower->append(set, -permitted);
    }
    for (QLineSeries *l : {upper, lower}) {
        QPen pen(kNormColour);
        pen.setStyle(Qt::DashLine);
        pen.setWidthF(1.2);
        l->setPen(pen);
        chart->addSeries(l);
    }

    double xMin = 0.0, xMax = 1.0, yMax = 0.0;
    bool any = false;
    for (int chan = 1; chan <= 2; ++chan) {
        auto *series = new QScatterSeries;
        series->setName(QString("канал %1").arg(chan));
        series->setMarkerSize(7.0);
        series->setColor(kChannelColour[chan - 1]);
        series->setBorderColor(kChannelColour[chan - 1]);
        for (const JudgedPoint *p : mine) {
            if (p->chan != chan)
                continue;
            series->append(p->set, p->deviation);
            if (p->failed)
                series->setPointConfiguration(
                    series->count() - 1, {{QXYSeries::PointConfiguration::Color, kFailedColour},
                                          {QXYSeries::PointConfiguration::Size, 9.0}});
        }
        chart->addSeries(series);
    }
    // Only for the legend: what red means.
    auto *failedKey = new QScatterSeries;
    failedKey->setName("не норма");
    failedKey->setMarkerSize(7.0);
    failedKey->setColor(kFailedColour);
    failedKey->setBorderColor(kFailedColour);
    chart->addSeries(failedKey);

    for (const JudgedPoint *p : mine) {
        xMin = any ? std::min(xMin, p->set) : p->set;
        xMax = any ? std::max(xMax, p->set) : p->set;
        yMax = std::max({yMax, std::fabs(p->deviation), p->permitted});
        any = true;
    }
    if (!any) {
        xMin = 0.0;
        xMax = resistance ? 2000.0 : 3.0;
        yMax = resistance ? 1.0 : 0.01;
    }
    if (xMax <= xMin)
        xMax = xMin + 1.0;
    const double margin = (xMax - xMin) * 0.03;
    auto *x = new QValueAxis;
    x->setRange(std::max(0.0, xMin - margin), xMax + margin);
    x->setTitleText(resistance ? "заданное, Ом" : "заданное, мА");
    x->setLabelFormat(resistance ? "%.0f" : "%.2f");
    auto *y = new QValueAxis;
    y->setRange(-yMax * 1.15, yMax * 1.15);
    y->setLabelFormat(resistance ? "%.2f" : "%.3f");
    for (QValueAxis *a : {x, y}) {
        QFont f = a->labelsFont();
        f.setPixelSize(9);
        a->setLabelsFont(f);
        QFont t = a->titleFont();
        t.setPixelSize(10);
        a->setTitleFont(t);
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *series : chart->series()) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
}

} // namespace

void verificationChartAdd(const JudgedPoint &p) {
    followSheet();
    State &s = state();
    s.points.push_back(p);
    s.mode = p.mode;
    redraw();
}

void showVerificationChart(bool on) {
    followSheet();
    short mode = 1;
    GetCtrlVal(ppPanel, PP_MODE, &mode);
    state().mode = mode == 2 ? 2 : 1;
    redraw();
    SetCtrlAttribute(ppPanel, PP_CHART, ATTR_VISIBLE, on ? 1 : 0);
    if (QWidget *canvas = CtrlWidget(ppPanel, PP_CHART))
        canvas->raise(); // over whichever table the mode shows
    SetCtrlAttribute(ppPanel, PP_CHART_SHOW, ATTR_LABEL_TEXT, on ? "Таблица" : "График");
}

bool verificationChartShown() {
    int visible = 0;
    GetCtrlAttribute(ppPanel, PP_CHART, ATTR_VISIBLE, &visible);
    return visible != 0;
}

bool saveVerificationChart(const char *pngPath) {
    if (pngPath == nullptr || *pngPath == '\0')
        return false;
    QChartView *v = view();
    if (v == nullptr)
        return false;
    redraw();
    // Hidden (a headless run, or the table shown): drawn at the canvas's size all the same.
    QWidget *canvas = CtrlWidget(ppPanel, PP_CHART);
    if (canvas != nullptr && !v->isVisible())
        v->resize(canvas->size());
    return v->grab().save(QString::fromUtf8(pngPath), "PNG");
}

QChart *verificationChart() {
    QChartView *v = view();
    return v != nullptr ? v->chart() : nullptr;
}

int verificationChartMode() {
    return state().mode;
}

} // namespace ortav::calib

int chartCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        ortav::calib::showVerificationChart(!ortav::calib::verificationChartShown());
    return 0;
}

int saveChartCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    char path[260] = "";
    if (FileSelectPopup("", "*.png", "*.png", "График поверки", VAL_SAVE_BUTTON, 0, 0, 1, 1, path,
                        sizeof path) <= 0)
        return 0;
    if (!ortav::calib::saveVerificationChart(path))
        MessagePopup("График поверки", "Не удалось сохранить график.");
    return 0;
}
