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
#include <QTimer>
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
    bool built = false;         // the view was made for this sheet
    bool stale = false;         // points came since the last redraw
    bool redrawPending = false; // a redraw of the shown chart is on its way
    // Made once with the view and refilled on every redraw.
    QLineSeries *upper = nullptr, *lower = nullptr;
    QScatterSeries *channel[2] = {nullptr, nullptr};
    QValueAxis *x = nullptr, *y = nullptr;
};

State &state() {
    static State s;
    return s;
}

// Points of an earlier sheet (the program started again in the same process)
// are not this sheet's.
void followSheet() {
    State &s = state();
    // A handle can be given again to a new sheet; a view that went with its
    // canvas tells the old sheet is gone all the same.
    if (s.sheet != ppPanel || (s.built && !s.view)) {
        s.sheet = ppPanel;
        s.points.clear();
        s.mode = 1;
        s.built = false;
        s.stale = false;
    }
}

void smallFont(QFont &f, int pixels, bool bold = false) {
    f.setPixelSize(pixels);
    f.setBold(bold);
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
    QFont f = chart->legend()->font();
    smallFont(f, 10);
    chart->legend()->setFont(f);
    f = chart->titleFont();
    smallFont(f, 11, true);
    chart->setTitleFont(f);

    s.upper = new QLineSeries;
    s.lower = new QLineSeries;
    s.upper->setName("+норма");
    s.lower->setName("−норма");
    for (QLineSeries *l : {s.upper, s.lower}) {
        QPen pen(kNormColour);
        pen.setStyle(Qt::DashLine);
        pen.setWidthF(1.2);
        l->setPen(pen);
        chart->addSeries(l);
    }
    for (int c = 0; c < 2; ++c) {
        auto *series = new QScatterSeries;
        series->setName(QString("канал %1").arg(c + 1));
        series->setMarkerSize(7.0);
        series->setColor(kChannelColour[c]);
        series->setBorderColor(kChannelColour[c]);
        chart->addSeries(series);
        s.channel[c] = series;
    }
    // Only for the legend: what red means.
    auto *failedKey = new QScatterSeries;
    failedKey->setName("не норма");
    failedKey->setMarkerSize(7.0);
    failedKey->setColor(kFailedColour);
    failedKey->setBorderColor(kFailedColour);
    chart->addSeries(failedKey);

    s.x = new QValueAxis;
    s.y = new QValueAxis;
    for (QValueAxis *a : {s.x, s.y}) {
        QFont lf = a->labelsFont();
        smallFont(lf, 9);
        a->setLabelsFont(lf);
        QFont tf = a->titleFont();
        smallFont(tf, 10);
        a->setTitleFont(tf);
    }
    chart->addAxis(s.x, Qt::AlignBottom);
    chart->addAxis(s.y, Qt::AlignLeft);
    for (QAbstractSeries *series : chart->series()) {
        series->attachAxis(s.x);
        series->attachAxis(s.y);
    }

    auto *v = new QChartView(chart, canvas);
    v->setRenderHint(QPainter::Antialiasing);
    auto *layout = new QVBoxLayout(canvas);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(v);
    s.view = v;
    s.built = true;
    return v;
}

void redraw() {
    QChartView *v = view();
    if (v == nullptr)
        return;
    State &s = state();
    s.stale = false;
    const bool resistance = s.mode == 1;
    v->chart()->setTitle(resistance ? "Отклонение сопротивления, Ом" : "Отклонение тока, мА");

    std::vector<const JudgedPoint *> mine;
    for (const JudgedPoint &p : s.points)
        if (p.mode == s.mode)
            mine.push_back(&p);

    // The band of the permitted deviation, along the set values.
    std::vector<std::pair<double, double>> band;
    for (const JudgedPoint *p : mine)
        band.emplace_back(p->set, p->permitted);
    std::sort(band.begin(), band.end());
    QList<QPointF> upper, lower;
    for (auto [set, permitted] : band) {
        upper.append(QPointF(set, permitted));
        lower.append(QPointF(set, -permitted));
    }
    s.upper->replace(upper);
    s.lower->replace(lower);

    for (int c = 0; c < 2; ++c) {
        QList<QPointF> points;
        std::vector<int> failed;
        for (const JudgedPoint *p : mine) {
            if (p->chan != c + 1)
                continue;
            if (p->failed)
                failed.push_back(static_cast<int>(points.size()));
            points.append(QPointF(p->set, p->deviation));
        }
        // One change each: every change lays the series' markers out anew.
        QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> red;
        for (int i : failed)
            red.insert(i, {{QXYSeries::PointConfiguration::Color, kFailedColour},
                           {QXYSeries::PointConfiguration::Size, 9.0}});
        QScatterSeries *series = s.channel[c];
        series->replace(points);
        series->setPointsConfiguration(red);
    }

    double xMin = 0.0, xMax = 0.0, yMax = 0.0;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const JudgedPoint *p = mine[i];
        xMin = i == 0 ? p->set : std::min(xMin, p->set);
        xMax = i == 0 ? p->set : std::max(xMax, p->set);
        yMax = std::max({yMax, std::fabs(p->deviation), p->permitted});
    }
    if (mine.empty()) {
        xMax = resistance ? 2000.0 : 3.0;
        yMax = resistance ? 1.0 : 0.01;
    }
    if (xMax <= xMin)
        xMax = xMin + 1.0;
    if (yMax <= 0.0)
        yMax = resistance ? 1.0 : 0.01;
    const double margin = (xMax - xMin) * 0.03;
    s.x->setRange(std::max(0.0, xMin - margin), xMax + margin);
    s.x->setTitleText(resistance ? "заданное, Ом" : "заданное, мА");
    s.x->setLabelFormat(resistance ? "%.0f" : "%.2f");
    s.y->setRange(-yMax * 1.15, yMax * 1.15);
    s.y->setLabelFormat(resistance ? "%.2f" : "%.3f");
}

// Laying out the markers costs more than a point's settle time: a hidden chart
// is brought up to date when it is shown, saved or looked at, a shown one a few
// times a second at the most.
constexpr int kRedrawIntervalMs = 250;

void pointsChanged() {
    State &s = state();
    s.stale = true;
    if (s.redrawPending || !verificationChartShown() || !s.view)
        return;
    s.redrawPending = true;
    QTimer::singleShot(kRedrawIntervalMs, s.view.data(), [] {
        State &now = state();
        now.redrawPending = false;
        if (now.stale && verificationChartShown())
            redraw();
    });
}

} // namespace

void verificationChartAdd(const JudgedPoint &p) {
    followSheet();
    State &s = state();
    s.points.push_back(p);
    s.mode = p.mode;
    pointsChanged();
}

void verificationChartClear() {
    followSheet();
    State &s = state();
    s.points.clear();
    s.points.shrink_to_fit();
    pointsChanged();
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

bool saveVerificationChart(const char *pngPath, int mode) {
    if (pngPath == nullptr || *pngPath == '\0')
        return false;
    QChartView *v = view();
    if (v == nullptr)
        return false;
    if (mode == 1 || mode == 2)
        state().mode = mode;
    redraw();
    // Hidden (a headless run, or the table shown): drawn at the canvas's size all the same.
    QWidget *canvas = CtrlWidget(ppPanel, PP_CHART);
    if (canvas != nullptr && !v->isVisible())
        v->resize(canvas->size());
    // The chart lays itself out and redraws from posted events.
    ProcessSystemEvents();
    return v->grab().save(QString::fromUtf8(pngPath), "PNG");
}

QChart *verificationChart() {
    followSheet();
    if (state().stale)
        redraw();
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
