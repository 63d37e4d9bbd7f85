#include "chart_painter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ortav::calib {

namespace {

const QColor kText(0x30, 0x30, 0x30);
const QColor kAxisLine(0x80, 0x80, 0x80);
const QColor kGrid(0xd4, 0xd4, 0xd4);
const QColor kMinorGrid(0xee, 0xee, 0xee);

QFont sized(double pixels, bool bold = false) {
    QFont f;
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    f.setBold(bold);
    return f;
}

QFont titleFont(double s) {
    return sized(11 * s, true);
}
QFont legendFont(double s) {
    return sized(10 * s);
}
QFont labelFont(double s) {
    return sized(9 * s);
}
QFont axisTitleFont(double s) {
    return sized(10 * s);
}

double position(const ChartAxis &a, double v) {
    if (a.logarithmic) {
        const double lo = std::log10(a.min), hi = std::log10(a.max);
        return hi > lo ? (std::log10(v) - lo) / (hi - lo) : 0.0;
    }
    return a.max > a.min ? (v - a.min) / (a.max - a.min) : 0.0;
}

const ChartSeries *legendSeries(const ChartFigure &f, int i) {
    return i < 2 ? &f.within[i] : &f.beyond[i - 2];
}

constexpr int kLegendEntries = 5; // the band, then the four series

double legendWidth(const ChartFigure &f, double s) {
    const QFontMetricsF fm(legendFont(s));
    double text = fm.horizontalAdvance(f.bandName);
    for (int i = 0; i < 4; ++i)
        text = std::max(text, fm.horizontalAdvance(legendSeries(f, i)->name));
    return 14 * s + 6 * s + text + 14 * s;
}

QStringList titleLines(const ChartFigure &f) {
    return f.title.isEmpty() ? QStringList{} : f.title.split('\n');
}

// A one-pixel line on the pixel grid: crisp without antialiasing.
double snapped(double v) {
    return std::floor(v) + 0.5;
}

void paintMarker(QPainter &p, const ChartSeries &s, QPointF at, double scale) {
    const double r = s.size * scale / 2.0;
    if (s.shape == MarkerShape::Circle)
        p.drawEllipse(at, r, r);
    else
        p.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r));
}

void markerPen(QPainter &p, const ChartSeries &s, double scale) {
    p.setPen(QPen(s.edge, scale));
    p.setBrush(s.fill);
}

// A series' marker drawn once into a small picture (its centre on a pixel
// corner) and copied where each point lands: an antialiased shape costs the
// rasterizer many times a copy, and a run draws two hundred of them. Kept per
// look: the few series of a chart at a screen's or a report's size.
class MarkerSprites {
public:
    const QImage &of(const ChartSeries &s, double scale, double ratio) {
        for (const Sprite &k : sprites_)
            if (k.shape == s.shape && k.fill == s.fill.rgba() && k.edge == s.edge.rgba() &&
                k.size == s.size && k.scale == scale && k.ratio == ratio)
                return k.image;
        if (sprites_.size() >= 32)
            sprites_.clear();
        const int half = static_cast<int>(std::ceil((s.size * scale / 2.0 + scale) * ratio)) + 1;
        QImage image(2 * half, 2 * half, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        image.setDevicePixelRatio(ratio);
        QPainter q(&image);
        q.setRenderHint(QPainter::Antialiasing, true);
        markerPen(q, s, scale);
        paintMarker(q, s, QPointF(half / ratio, half / ratio), scale);
        q.end();
        sprites_.push_back({s.shape, s.fill.rgba(), s.edge.rgba(), s.size, scale, ratio, image});
        return sprites_.back().image;
    }

private:
    struct Sprite {
        MarkerShape shape;
        QRgb fill, edge;
        double size, scale, ratio;
        QImage image;
    };
    std::vector<Sprite> sprites_;
};

// Copies land pixel for pixel on a raster device drawn without scaling; a PDF
// or a scaled painter gets the shapes themselves.
bool copiesMarkers(const QPainter &p) {
    return p.paintEngine() != nullptr && p.paintEngine()->type() == QPaintEngine::Raster &&
           p.worldTransform().type() <= QTransform::TxTranslate;
}

} // namespace

QPointF ChartLayout::map(QPointF value) const {
    // Far off the plot is as good as a little off it, and keeps the raster
    // engine's fixed-point coordinates from overflowing.
    const auto near = [](double t) { return std::isfinite(t) ? std::clamp(t, -10.0, 11.0) : t; };
    return {plot.left() + near(position(x, value.x())) * plot.width(),
            plot.bottom() - near(position(y, value.y())) * plot.height()};
}

QRectF ChartLayout::markerBounds(const ChartSeries &s, QPointF value) const {
    const double r = s.size * scale / 2.0 + scale + 1.0;
    const QPointF at = map(value);
    return {at.x() - r, at.y() - r, 2 * r, 2 * r};
}

ChartLayout chartLayout(const QRectF &whole, const ChartFigure &f, double scale) {
    ChartLayout l;
    l.whole = whole;
    l.scale = scale;
    l.x = f.x;
    l.y = f.y;
    const double s = scale, margin = 6 * s, gap = 4 * s;
    const QFontMetricsF title(titleFont(s)), label(labelFont(s)), axisTitle(axisTitleFont(s));
    double yLabels = 0.0;
    for (double v : f.y.ticks())
        yLabels = std::max(yLabels, label.horizontalAdvance(f.y.label(v)));
    const QStringList lines = titleLines(f);
    const double titleHeight = lines.isEmpty() ? 0.0 : lines.size() * title.height() + gap;
    double left = whole.left() + margin + axisTitle.height() + gap + yLabels + gap;
    double right = whole.right() - margin - legendWidth(f, s);
    double top = whole.top() + margin + titleHeight + label.height() / 2;
    double bottom = whole.bottom() - margin - axisTitle.height() - gap - label.height() - gap;
    // A canvas too small for its labels still gets a plot, if a cramped one.
    if (right - left < 10)
        right = left + 10;
    if (bottom - top < 10)
        bottom = top + 10;
    l.plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    return l;
}

void paintChartBackdrop(QPainter &p, const ChartLayout &l, const ChartFigure &f) {
    const double s = l.scale, margin = 6 * s, gap = 4 * s;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(l.whole, Qt::white);

    // Grid: the minor lines of a logarithmic axis, then the ticks' own.
    p.setPen(QPen(kMinorGrid, 0));
    for (double v : f.x.minorTicks()) {
        const double x = snapped(l.map({v, f.y.min}).x());
        p.drawLine(QPointF(x, l.plot.top()), QPointF(x, l.plot.bottom()));
    }
    p.setPen(QPen(kGrid, 0));
    for (double v : f.x.ticks()) {
        const double x = snapped(l.map({v, f.y.min}).x());
        p.drawLine(QPointF(x, l.plot.top()), QPointF(x, l.plot.bottom()));
    }
    for (double v : f.y.ticks()) {
        const double y = snapped(l.map({f.x.min, v}).y());
        p.drawLine(QPointF(l.plot.left(), y), QPointF(l.plot.right(), y));
    }

    // The band of norms.
    if (!f.bandUpper.isEmpty()) {
        // A corner the axes cannot place (a norm that is not a number) is left out.
        QPolygonF band;
        const auto corner = [&](QPointF v) {
            const QPointF at = l.map(v);
            if (std::isfinite(at.x()) && std::isfinite(at.y()))
                band << at;
        };
        for (const QPointF &v : f.bandUpper)
            corner(v);
        for (auto it = f.bandLower.crbegin(); it != f.bandLower.crend(); ++it)
            corner(*it);
        p.save();
        p.setClipRect(l.plot);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(f.bandEdge, s));
        p.setBrush(f.bandFill);
        p.drawPolygon(band);
        p.restore();
    }

    // The axes, their labels and titles.
    p.setPen(QPen(kAxisLine, 0));
    const double axisX = snapped(l.plot.left()), axisY = snapped(l.plot.bottom());
    p.drawLine(QPointF(axisX, l.plot.top()), QPointF(axisX, axisY));
    p.drawLine(QPointF(axisX, axisY), QPointF(l.plot.right(), axisY));
    p.setPen(kText);
    p.setFont(labelFont(s));
    const QFontMetricsF label(p.font());
    const double tick = 3 * s;
    for (double v : f.x.ticks()) {
        const double x = l.map({v, f.y.min}).x();
        p.drawLine(QPointF(snapped(x), axisY), QPointF(snapped(x), axisY + tick));
        const QString text = f.x.label(v);
        const double w = label.horizontalAdvance(text);
        p.drawText(QPointF(x - w / 2, l.plot.bottom() + gap + label.ascent()), text);
    }
    for (double v : f.y.ticks()) {
        const double y = l.map({f.x.min, v}).y();
        p.drawLine(QPointF(axisX - tick, snapped(y)), QPointF(axisX, snapped(y)));
        const QString text = f.y.label(v);
        const double w = label.horizontalAdvance(text);
        p.drawText(QPointF(l.plot.left() - gap - w, y - label.height() / 2 + label.ascent()), text);
    }
    p.setFont(axisTitleFont(s));
    const QFontMetricsF axisTitle(p.font());
    p.drawText(QPointF(l.plot.center().x() - axisTitle.horizontalAdvance(f.x.title) / 2,
                       l.whole.bottom() - margin - axisTitle.descent()),
               f.x.title);
    p.save();
    p.translate(l.whole.left() + margin + axisTitle.ascent(), l.plot.center().y());
    p.rotate(-90);
    p.drawText(QPointF(-axisTitle.horizontalAdvance(f.y.title) / 2, 0), f.y.title);
    p.restore();

    // The title, a line under another, over the plot.
    p.setFont(titleFont(s));
    const QFontMetricsF title(p.font());
    double line = l.whole.top() + margin + title.ascent();
    for (const QString &text : titleLines(f)) {
        p.drawText(QPointF(l.plot.center().x() - title.horizontalAdvance(text) / 2, line), text);
        line += title.height();
    }

    // The legend, at the right, level with the plot's middle.
    p.setFont(legendFont(s));
    const QFontMetricsF legend(p.font());
    const double row = std::max(legend.height(), 12 * s);
    const double lx = l.plot.right() + 8 * s;
    double ly = l.plot.center().y() - row * kLegendEntries / 2;
    const QPointF swatch(lx + 7 * s, 0);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int i = 0; i < kLegendEntries; ++i, ly += row) {
        const QPointF at(swatch.x(), ly + row / 2);
        QString name;
        if (i == 0) {
            p.setPen(QPen(f.bandEdge, s));
            p.setBrush(f.bandFill);
            p.drawRect(QRectF(at.x() - 6 * s, at.y() - 4 * s, 12 * s, 8 * s));
            name = f.bandName;
        } else {
            const ChartSeries &series = *legendSeries(f, i - 1);
            markerPen(p, series, s);
            paintMarker(p, series, at, s);
            name = series.name;
        }
        p.setPen(kText);
        p.drawText(QPointF(lx + 20 * s, at.y() - legend.height() / 2 + legend.ascent()), name);
    }
    p.restore();
}

void paintChartMarkers(QPainter &p, const ChartLayout &l, const ChartSeries &s, qsizetype from) {
    p.save();
    // A point on the plot's edge shows whole; nothing spills onto the labels.
    const double r = s.size * l.scale;
    p.setClipRect(l.plot.adjusted(-r, -r, r, r), Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (!copiesMarkers(p)) {
        markerPen(p, s, l.scale);
        for (qsizetype i = std::max<qsizetype>(0, from); i < s.points.size(); ++i) {
            const QPointF at = l.map(s.points[i]);
            if (std::isfinite(at.x()) && std::isfinite(at.y()))
                paintMarker(p, s, at, l.scale);
        }
        p.restore();
        return;
    }
    thread_local MarkerSprites sprites; // pictures belong to their thread
    const double ratio = p.device()->devicePixelRatio();
    const QImage &sprite = sprites.of(s, l.scale, ratio);
    const QPointF shift(p.worldTransform().dx(), p.worldTransform().dy());
    const double half = sprite.width() / 2.0;
    for (qsizetype i = std::max<qsizetype>(0, from); i < s.points.size(); ++i) {
        const QPointF at = l.map(s.points[i]);
        if (!std::isfinite(at.x()) || !std::isfinite(at.y()))
            continue;
        // The centre to the nearest device pixel corner.
        const double x = std::round((at.x() + shift.x()) * ratio) - half;
        const double y = std::round((at.y() + shift.y()) * ratio) - half;
        p.drawImage(QPointF(x / ratio - shift.x(), y / ratio - shift.y()), sprite);
    }
    p.restore();
}

void paintChart(QPainter &p, const QRectF &whole, const ChartFigure &f, double scale) {
    const ChartLayout l = chartLayout(whole, f, scale);
    paintChartBackdrop(p, l, f);
    for (const ChartSeries &s : f.within)
        paintChartMarkers(p, l, s);
    for (const ChartSeries &s : f.beyond)
        paintChartMarkers(p, l, s);
}

} // namespace ortav::calib
