#include "chart_figure.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ortav::calib {

namespace {

const QColor kChannelColour[2] = {QColor(0x1f, 0x3a, 0x60), QColor(0x2e, 0x8b, 0x57)};
const QColor kFailedColour(0xFF, 0x00, 0x00);
const QColor kBandColour(0x9a, 0xc8, 0x8a, 0x70);
const QColor kBandEdge(0x5a, 0x8a, 0x4a);

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
ChartAxis roundAxis(double lo, double hi, int ticks, QString title) {
    ChartAxis a;
    a.step = roundStep((hi - lo) / ticks);
    a.min = std::floor(lo / a.step + 1e-9) * a.step;
    const double to = std::ceil(hi / a.step - 1e-9) * a.step;
    a.max = to > a.min ? to : a.min + a.step;
    a.decimals = decimalsFor(a.step);
    a.title = std::move(title);
    return a;
}

ChartSeries series(QString name, int channel, bool failed) {
    ChartSeries s;
    s.name = std::move(name);
    s.shape = channel == 0 ? MarkerShape::Circle : MarkerShape::Square;
    s.fill = failed ? kFailedColour : kChannelColour[channel];
    s.edge = kChannelColour[channel];
    s.size = failed ? 9.0 : 7.0;
    return s;
}

} // namespace

// A value typed by hand can be anything a double holds: an axis never has more
// ticks than this, whatever its range.
constexpr std::size_t kMaxTicks = 400;

std::vector<double> ChartAxis::ticks() const {
    std::vector<double> t;
    if (logarithmic) {
        for (double v = min; v > 0.0 && v <= max * (1.0 + 1e-9) && t.size() < kMaxTicks; v *= 10.0)
            t.push_back(v);
        return t;
    }
    if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(min) || !std::isfinite(max) ||
        std::fabs(min / step) > 1e15 || std::fabs(max / step) > 1e15)
        return t;
    const long first = std::lround(min / step), last = std::lround(max / step);
    for (long i = first; i <= last && t.size() < kMaxTicks; ++i)
        t.push_back(static_cast<double>(i) * step);
    return t;
}

std::vector<double> ChartAxis::minorTicks() const {
    std::vector<double> t;
    if (logarithmic)
        for (double decade = min;
             decade > 0.0 && decade < max * (1.0 - 1e-9) && t.size() < 8 * kMaxTicks;
             decade *= 10.0)
            for (int m = 2; m <= 9; ++m)
                t.push_back(decade * m);
    return t;
}

QString ChartAxis::label(double v) const {
    if (logarithmic)
        return QString::asprintf("%g", v);
    if (std::fabs(v) < step * 1e-6)
        v = 0.0; // no "-0.00" at the origin
    return QString::number(v, 'f', decimals);
}

ChartFigure chartFigure(int mode, const std::vector<JudgedPoint> &points, const QString &title,
                        const std::vector<PlannedPoint> &planned) {
    ChartFigure f;
    f.mode = mode == 2 ? 2 : 1;
    f.title = title;
    f.bandFill = kBandColour;
    f.bandEdge = kBandEdge;
    for (int c = 0; c < 2; ++c) {
        f.within[c] = series(QString("канал %1").arg(c + 1), c, false);
        f.beyond[c] = series(QString("канал %1: не норма").arg(c + 1), c, true);
    }
    const bool resistance = f.mode == 1;

    std::vector<std::pair<double, double>> band;
    band.reserve(points.size() + planned.size());
    bool any = false;
    double xMin = 0.0, xMax = 0.0, yMax = 0.0;
    const auto take = [&](double set, double permitted) {
        band.emplace_back(set, permitted);
        xMin = any ? std::min(xMin, set) : set;
        xMax = any ? std::max(xMax, set) : set;
        if (std::isfinite(permitted))
            yMax = std::max(yMax, permitted);
        any = true;
    };
    for (const JudgedPoint &p : points) {
        if (p.mode != f.mode)
            continue;
        take(p.set, p.permitted);
        const int c = p.chan == 2 ? 1 : 0;
        (p.failed ? f.beyond : f.within)[c].points.append(QPointF(p.set, p.deviation));
        if (std::isfinite(p.deviation))
            yMax = std::max(yMax, std::fabs(p.deviation));
    }
    // A run's band is its whole corridor from the start: it does not change
    // as the points come.
    for (const PlannedPoint &p : planned)
        if (p.mode == f.mode)
            take(p.set, p.permitted);
    std::sort(band.begin(), band.end());
    band.erase(std::unique(band.begin(), band.end()), band.end());
    f.bandUpper.reserve(static_cast<qsizetype>(band.size()));
    f.bandLower.reserve(static_cast<qsizetype>(band.size()));
    for (auto [set, permitted] : band) {
        f.bandUpper.append(QPointF(set, permitted));
        f.bandLower.append(QPointF(set, -permitted));
    }

    if (!any) {
        xMin = resistance ? 10.0 : 0.0;
        xMax = resistance ? 10000.0 : 3.0;
    }
    // Resistances span decades; a set value of 0 (typed by hand) has no place
    // on a logarithmic axis, so such a sheet is drawn on a linear one.
    const QString xTitle = resistance ? "заданное, Ом" : "заданное, мА";
    const double lo = std::pow(10.0, std::floor(std::log10(xMin) + 1e-9));
    double hi = std::pow(10.0, std::ceil(std::log10(xMax) - 1e-9));
    if (hi <= lo)
        hi = lo * 10.0;
    if (resistance && xMin > 0.0 && lo > 0.0 && std::isfinite(hi)) {
        f.x.logarithmic = true;
        f.x.min = lo;
        f.x.max = hi;
        f.x.title = xTitle;
    } else {
        f.x = roundAxis(std::min(0.0, xMin), xMax > 0.0 ? xMax : 1.0, 6, xTitle);
    }
    if (!(yMax > 0.0))
        yMax = resistance ? 1.0 : 0.01;
    yMax *= 1.1;
    f.y = roundAxis(-yMax, yMax, 6, resistance ? "отклонение, Ом" : "отклонение, мА");
    return f;
}

} // namespace ortav::calib
