#include "verification_chart.h"

#include "calib.h"
#include "embed.h"
#include "front_panel.h"
#include "p_ortav.h"
#include "result_files.h"
#include "time_text.h"
#include "userint.h"
#include "verification_run.h"
#include "visa_library.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QImage>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPointer>
#include <QScatterSeries>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

namespace ortav::calib {

namespace {

const QColor kChannelColour[2] = {QColor(0x1f, 0x3a, 0x60), QColor(0x2e, 0x8b, 0x57)};
const QColor kFailedColour(0xFF, 0x00, 0x00);
const QColor kBandColour(0x9a, 0xc8, 0x8a, 0x70);
const QColor kBandEdge(0x5a, 0x8a, 0x4a);

// One chart with its series and axes; the sheet keeps one, a saved PNG draws
// a fresh one at its own size.
struct Drawing {
    QChart *chart = nullptr;
    QLineSeries *upper = nullptr, *lower = nullptr;
    QAreaSeries *band = nullptr;
    QScatterSeries *within[2] = {nullptr, nullptr};
    QScatterSeries *beyond[2] = {nullptr, nullptr};
    QLogValueAxis *xLog = nullptr;
    QValueAxis *xLinear = nullptr, *y = nullptr;
    QAbstractAxis *xUsed = nullptr;
};

void sized(QFont &f, double pixels, bool bold = false) {
    f.setPixelSize(static_cast<int>(std::lround(pixels)));
    f.setBold(bold);
}

// scale 1: the sheet's canvas; larger for a report.
void build(Drawing &d, double scale) {
    auto *chart = new QChart;
    d.chart = chart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    // A plain rectangle with a one-pixel edge is filled; a rounded one, or a
    // wider edge, is stroked at every repaint.
    chart->setBackgroundRoundness(0);
    QPen border = chart->backgroundPen();
    border.setWidthF(0.0);
    chart->setBackgroundPen(border);
    chart->legend()->setAlignment(Qt::AlignRight);
    QFont f = chart->legend()->font();
    sized(f, 10 * scale);
    chart->legend()->setFont(f);
    f = chart->titleFont();
    sized(f, 11 * scale, true);
    chart->setTitleFont(f);

    d.upper = new QLineSeries(chart);
    d.lower = new QLineSeries(chart);
    d.band = new QAreaSeries(d.upper, d.lower);
    d.band->setName("норма");
    d.band->setBrush(kBandColour);
    QPen edge(kBandEdge);
    edge.setWidthF(1.0 * scale);
    d.band->setPen(edge);
    chart->addSeries(d.band);
    const QScatterSeries::MarkerShape shape[2] = {QScatterSeries::MarkerShapeCircle,
                                                  QScatterSeries::MarkerShapeRectangle};
    for (int c = 0; c < 2; ++c) {
        auto *s = new QScatterSeries;
        s->setName(QString("канал %1").arg(c + 1));
        s->setMarkerShape(shape[c]);
        s->setMarkerSize(7.0 * scale);
        s->setColor(kChannelColour[c]);
        s->setBorderColor(kChannelColour[c]);
        chart->addSeries(s);
        d.within[c] = s;
    }
    // Drawn last, so nothing covers a failure.
    for (int c = 0; c < 2; ++c) {
        auto *s = new QScatterSeries;
        s->setName(QString("канал %1: не норма").arg(c + 1));
        s->setMarkerShape(shape[c]);
        s->setMarkerSize(9.0 * scale);
        s->setColor(kFailedColour);
        s->setBorderColor(kChannelColour[c]);
        chart->addSeries(s);
        d.beyond[c] = s;
    }

    d.xLog = new QLogValueAxis;
    d.xLog->setBase(10.0);
    d.xLog->setLabelFormat("%g");
    d.xLog->setMinorTickCount(8); // 2..9 within each decade
    d.xLinear = new QValueAxis;
    d.y = new QValueAxis;
    for (QAbstractAxis *a : std::initializer_list<QAbstractAxis *>{d.xLog, d.xLinear, d.y}) {
        QFont lf = a->labelsFont();
        sized(lf, 9 * scale);
        a->setLabelsFont(lf);
        QFont tf = a->titleFont();
        sized(tf, 10 * scale);
        a->setTitleFont(tf);
    }
    chart->addAxis(d.xLog, Qt::AlignBottom);
    chart->addAxis(d.xLinear, Qt::AlignBottom);
    chart->addAxis(d.y, Qt::AlignLeft);
    // One pixel wide whatever the size, as the theme draws them: a line of a
    // width of its own has its bounds worked out by stroking it, for every
    // grid line at every repaint of a chart shown during a run.
    for (QAbstractAxis *a : std::initializer_list<QAbstractAxis *>{d.xLog, d.xLinear, d.y}) {
        QPen p = a->linePen();
        p.setWidthF(0.0);
        a->setLinePen(p);
        p = a->gridLinePen();
        p.setWidthF(0.0);
        a->setGridLinePen(p);
        p = a->minorGridLinePen();
        p.setWidthF(0.0);
        a->setMinorGridLinePen(p);
    }
    for (QAbstractSeries *s : chart->series())
        s->attachAxis(d.y);
}

// Puts the series on the set-value axis wanted and hides the other.
void useXAxis(Drawing &d, QAbstractAxis *x) {
    if (d.xUsed == x)
        return;
    for (QAbstractSeries *s : d.chart->series()) {
        if (d.xUsed != nullptr)
            s->detachAxis(d.xUsed);
        s->attachAxis(x);
    }
    d.xLog->setVisible(x == d.xLog);
    d.xLinear->setVisible(x == d.xLinear);
    d.xUsed = x;
}

// 1, 2 or 5 times a power of ten, at least `raw`.
double roundStep(double raw) {
    if (!(raw > 0.0) || !std::isfinite(raw))
        return 1.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= raw * (1.0 - 1e-9))
            return m * decade;
    return 10.0 * decade;
}

// Digits after the point that a tick step of 1, 2 or 5 x 10^k needs.
int decimalsFor(double step) {
    return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
}

// A linear axis from lo to hi on round ticks (about `ticks` intervals).
void roundAxis(QValueAxis *a, double lo, double hi, int ticks) {
    const double step = roundStep((hi - lo) / ticks);
    const double from = std::floor(lo / step + 1e-9) * step;
    const double to = std::ceil(hi / step - 1e-9) * step;
    // Each setter lays the chart out again, even for the value it has.
    if (a->tickType() != QValueAxis::TicksDynamic)
        a->setTickType(QValueAxis::TicksDynamic);
    if (a->tickAnchor() != 0.0)
        a->setTickAnchor(0.0);
    if (a->tickInterval() != step)
        a->setTickInterval(step);
    const double top = to > from ? to : from + step;
    if (a->min() != from || a->max() != top)
        a->setRange(from, top);
    const QString format = QString("%.%1f").arg(decimalsFor(step));
    if (a->labelFormat() != format)
        a->setLabelFormat(format);
}

// A series given the points it already shows is laid out and drawn again all the same.
void replaceIfChanged(QXYSeries *series, const QList<QPointF> &points) {
    if (series->points() != points)
        series->replace(points);
}

void draw(Drawing &d, int mode, const std::vector<JudgedPoint> &points, const QString &title,
          const std::vector<PlannedPoint> &planned = {}) {
    const bool resistance = mode == 1;
    if (d.chart->title() != title)
        d.chart->setTitle(title);

    std::vector<const JudgedPoint *> mine;
    for (const JudgedPoint &p : points)
        if (p.mode == mode)
            mine.push_back(&p);

    std::vector<std::pair<double, double>> band;
    band.reserve(mine.size());
    QList<QPointF> within[2], beyond[2];
    double xMin = 0.0, xMax = 0.0, yMax = 0.0;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const JudgedPoint &p = *mine[i];
        band.emplace_back(p.set, p.permitted);
        const int c = p.chan == 2 ? 1 : 0;
        (p.failed ? beyond : within)[c].append(QPointF(p.set, p.deviation));
        xMin = i == 0 ? p.set : std::min(xMin, p.set);
        xMax = i == 0 ? p.set : std::max(xMax, p.set);
        if (std::isfinite(p.deviation))
            yMax = std::max(yMax, std::fabs(p.deviation));
        if (std::isfinite(p.permitted))
            yMax = std::max(yMax, p.permitted);
    }
    // A run's band is its whole corridor from the start: drawn once, not
    // again with each point.
    bool any = !mine.empty();
    for (const PlannedPoint &p : planned) {
        if (p.mode != mode)
            continue;
        band.emplace_back(p.set, p.permitted);
        xMin = any ? std::min(xMin, p.set) : p.set;
        xMax = any ? std::max(xMax, p.set) : p.set;
        if (std::isfinite(p.permitted))
            yMax = std::max(yMax, p.permitted);
        any = true;
    }
    std::sort(band.begin(), band.end());
    QList<QPointF> upper, lower;
    upper.reserve(static_cast<qsizetype>(band.size()));
    lower.reserve(static_cast<qsizetype>(band.size()));
    for (auto [set, permitted] : band) {
        upper.append(QPointF(set, permitted));
        lower.append(QPointF(set, -permitted));
    }
    replaceIfChanged(d.upper, upper);
    replaceIfChanged(d.lower, lower);
    for (int c = 0; c < 2; ++c) {
        replaceIfChanged(d.within[c], within[c]);
        replaceIfChanged(d.beyond[c], beyond[c]);
    }

    if (!any) {
        xMin = resistance ? 10.0 : 0.0;
        xMax = resistance ? 10000.0 : 3.0;
    }
    // Resistances span decades; a set value of 0 (typed by hand) has no place
    // on a logarithmic axis, so such a sheet is drawn on a linear one.
    if (resistance && xMin > 0.0) {
        useXAxis(d, d.xLog);
        double lo = std::pow(10.0, std::floor(std::log10(xMin) + 1e-9));
        double hi = std::pow(10.0, std::ceil(std::log10(xMax) - 1e-9));
        if (hi <= lo)
            hi = lo * 10.0;
        if (d.xLog->min() != lo || d.xLog->max() != hi)
            d.xLog->setRange(lo, hi);
        d.xLog->setTitleText("заданное, Ом");
    } else {
        useXAxis(d, d.xLinear);
        roundAxis(d.xLinear, std::min(0.0, xMin), xMax > 0.0 ? xMax : 1.0, 6);
        d.xLinear->setTitleText(resistance ? "заданное, Ом" : "заданное, мА");
    }
    if (!(yMax > 0.0))
        yMax = resistance ? 1.0 : 0.01;
    yMax *= 1.1;
    roundAxis(d.y, -yMax, yMax, 6);
    d.y->setTitleText(resistance ? "отклонение, Ом" : "отклонение, мА");
}

QString caption(int mode) {
    return mode == 1 ? "Отклонение сопротивления, Ом" : "Отклонение тока, мА";
}

QString onScreenTitle(int mode) {
    QString t = caption(mode);
    if (ortav::visa::isSimulated())
        t += " — имитация";
    return t;
}

struct State {
    int sheet = 0; // the sheet the points were judged on: a new sheet starts empty
    std::vector<JudgedPoint> points;
    int mode = 1;
    QPointer<QChartView> view;
    Drawing drawing;
    bool built = false;             // the view was made for this sheet
    std::vector<PlannedPoint> plan; // a run's points still to come
    bool stale = false;             // points came since the last redraw
    bool redrawPending = false;     // a redraw of the shown chart is on its way
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
        s.plan.clear();
        s.mode = 1;
        s.built = false;
        s.stale = false;
        s.drawing = Drawing{};
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
    s.drawing = Drawing{};
    build(s.drawing, 1.0);
    auto *v = new QChartView(s.drawing.chart, canvas);
    v->setRenderHint(QPainter::Antialiasing);
    // Without a frame the view is all its opaque viewport: nothing under it
    // (the sheet, the tab's frame) is drawn again each time the chart is.
    v->setFrameShape(QFrame::NoFrame);
    auto *layout = new QVBoxLayout(canvas);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(v);
    s.view = v;
    s.built = true;
    return v;
}

void redraw() {
    if (view() == nullptr)
        return;
    State &s = state();
    s.stale = false;
    draw(s.drawing, s.mode, s.points, onScreenTitle(s.mode), s.plan);
    // Grid lines and markers stay put from one redraw to the next: drawn from
    // pictures of themselves, not antialiased anew each time (new ones, as the
    // series make them, are taken in here).
    for (QGraphicsItem *i : s.view->scene()->items())
        if ((i->type() == QGraphicsLineItem::Type || i->type() == QGraphicsEllipseItem::Type) &&
            i->cacheMode() == QGraphicsItem::NoCache)
            i->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
}

// Laying out the markers costs more than a point's settle time: a hidden chart
// is brought up to date when it is shown, saved or looked at, a shown one twice
// a second at the most (a run's points come a dozen a second).
constexpr int kRedrawIntervalMs = 500;

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

void verificationChartPlan(std::vector<PlannedPoint> planned) {
    followSheet();
    state().plan = std::move(planned);
    pointsChanged();
}

void verificationChartClear() {
    followSheet();
    State &s = state();
    s.points.clear();
    s.points.shrink_to_fit();
    pointsChanged();
}

void verificationChartFollowMode(int mode) {
    followSheet();
    State &s = state();
    const int m = mode == 2 ? 2 : 1;
    if (m == s.mode)
        return;
    s.mode = m;
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
    // Under the chart the tables take their rows without drawing them: a row
    // drawn there has the chart drawn again over it.
    for (int table : {PP_TABLE_R, PP_TABLE_I})
        if (QWidget *t = CtrlWidget(ppPanel, table))
            t->setUpdatesEnabled(!on);
    SetCtrlAttribute(ppPanel, PP_CHART_SHOW, ATTR_LABEL_TEXT, on ? "Таблица" : "График");
}

bool verificationChartShown() {
    int visible = 0;
    GetCtrlAttribute(ppPanel, PP_CHART, ATTR_VISIBLE, &visible);
    return visible != 0;
}

std::string verificationChartTitle(int mode) {
    std::string where = moduleResource();
    const int position = modulePosition();
    if (position > 0)
        where += (where.empty() ? "" : ", ") + std::string("мезонин ") + std::to_string(position);
    const std::time_t now = std::time(nullptr);
    const std::string date = ortav::text::localText(now, "%d.%m.%Y");
    std::string t = caption(mode).toStdString() + "<br>";
    if (!where.empty())
        t += where + ", ";
    t += date;
    if (ortav::visa::isSimulated()) {
        t += ", имитация";
        const std::string bench = ortav::visa::benchName();
        if (!bench.empty())
            t += " (стенд «" + bench + "»)";
    }
    return t;
}

bool saveVerificationChart(const char *pngPath, int mode, std::string *why) {
    if (pngPath == nullptr || *pngPath == '\0') {
        if (why != nullptr)
            *why = "no file name";
        return false;
    }
    // A FIFO or a device would hold the open, or take the picture nowhere.
    if (std::string kind; !regularOrAbsent(pngPath, &kind)) {
        if (why != nullptr)
            *why = kind;
        return false;
    }
    const QImage image = verificationChartImage(mode);
    if (image.isNull()) {
        if (why != nullptr)
            *why = "no chart to draw";
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        if (why != nullptr)
            *why = "the chart cannot be encoded as PNG";
        return false;
    }
    // Synced and in whole, as every result: never half a picture.
    if (int error = 0;
        !replaceWhole(pngPath, std::string_view(png.constData(), png.size()), &error)) {
        if (why != nullptr)
            *why = reasonText(error);
        return false;
    }
    return true;
}

QImage verificationChartImage(int mode) {
    followSheet();
    State &s = state();
    if (mode == 1 || mode == 2)
        s.mode = mode;
    if (s.view)
        redraw(); // the sheet shows the mode saved
    // A report's size, drawn apart from the sheet's small canvas.
    constexpr int kWidth = 1400, kHeight = 860;
    Drawing d;
    build(d, 1.8);
    draw(d, s.mode, s.points,
         QString::fromStdString(verificationChartTitle(s.mode))
             .toHtmlEscaped()
             .replace("&lt;br&gt;", "<br>"));
    QChartView v(d.chart);
    v.setRenderHint(QPainter::Antialiasing);
    v.setAttribute(Qt::WA_DontShowOnScreen);
    v.resize(kWidth, kHeight);
    v.show();
    // The chart lays itself out and redraws from posted events.
    ProcessSystemEvents();
    const QImage image = v.grab().toImage();
    v.hide();
    return image;
}

QChart *verificationChart() {
    followSheet();
    if (state().stale || !state().view)
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
    if (std::string why; !ortav::calib::saveVerificationChart(path, 0, &why))
        MessagePopup(
            "График поверки",
            ("Не удалось сохранить график в файл " + std::string(path) + ": " + why).c_str());
    return 0;
}
