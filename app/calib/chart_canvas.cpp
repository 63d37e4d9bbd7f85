#include "chart_canvas.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>

namespace ortav::calib {

namespace {

// Whether `longer` is `shorter` with points after it.
bool extends(const QList<QPointF> &longer, const QList<QPointF> &shorter) {
    return longer.size() >= shorter.size() &&
           std::equal(shorter.cbegin(), shorter.cend(), longer.cbegin());
}

} // namespace

ChartCanvas::ChartCanvas(QWidget *parent) : QWidget(parent) {
    // It paints every pixel it has: nothing behind it is drawn first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartCanvas::setFigure(ChartFigure f) {
    bool whole = !layerValid_ || !f.sameBackdrop(figure_);
    for (int c = 0; c < 2 && !whole; ++c)
        whole = !extends(f.within[c].points, figure_.within[c].points);
    if (whole) {
        layerValid_ = false;
        figure_ = std::move(f);
        update();
        return;
    }
    // One request for all the new points' places: each request costs the
    // window's bookkeeping more than adding a place to the region.
    QRegion changed;
    for (int c = 0; c < 2; ++c) {
        addMarkers(changed, f.within[c], figure_.within[c].points.size());
        if (extends(f.beyond[c].points, figure_.beyond[c].points)) {
            addMarkers(changed, f.beyond[c], figure_.beyond[c].points.size());
        } else {
            addMarkers(changed, figure_.beyond[c], 0); // where they were
            addMarkers(changed, f.beyond[c], 0);
        }
    }
    figure_ = std::move(f);
    if (!changed.isEmpty())
        update(changed);
}

void ChartCanvas::addMarkers(QRegion &where, const ChartSeries &s, qsizetype from) const {
    for (qsizetype i = from; i < s.points.size(); ++i)
        where += layout_.markerBounds(s, s.points[i]).toAlignedRect();
}

void ChartCanvas::resizeEvent(QResizeEvent *e) {
    layerValid_ = false;
    QWidget::resizeEvent(e);
}

void ChartCanvas::bringLayerUpToDate() {
    const qreal ratio = devicePixelRatioF();
    if (!layerValid_ || layer_.size() != size() * ratio) {
        Backdrop &kept = backdrops_[figure_.mode == 2 ? 1 : 0];
        if (kept.pixmap.size() == size() * ratio && kept.pixmap.devicePixelRatio() == ratio &&
            kept.figure.sameBackdrop(figure_)) {
            layout_ = kept.layout;
            layer_ = kept.pixmap; // shared until the points are drawn on it
        } else {
            layout_ = chartLayout(QRectF(rect()), figure_, 1.0);
            layer_ = QPixmap(size() * ratio);
            layer_.setDevicePixelRatio(ratio);
            QPainter p(&layer_);
            paintChartBackdrop(p, layout_, figure_);
            p.end();
            kept = {figure_, layout_, layer_};
        }
        layered_[0] = layered_[1] = 0;
        layerValid_ = true;
    }
    if (figure_.within[0].points.size() == layered_[0] &&
        figure_.within[1].points.size() == layered_[1])
        return;
    QPainter p(&layer_);
    for (int c = 0; c < 2; ++c) {
        paintChartMarkers(p, layout_, figure_.within[c], layered_[c]);
        layered_[c] = figure_.within[c].points.size();
    }
}

void ChartCanvas::paintEvent(QPaintEvent *e) {
    if (width() <= 0 || height() <= 0)
        return;
    bringLayerUpToDate();
    QPainter p(this);
    const qreal ratio = layer_.devicePixelRatio();
    for (const QRect &r : e->region())
        p.drawPixmap(QRectF(r), layer_,
                     QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
    // Failures over the picture, those in the repainted area only (a failing
    // module has many, and a frame repaints where a few points landed).
    for (const ChartSeries &s : figure_.beyond) {
        ChartSeries here = s;
        here.points.clear();
        for (const QPointF &v : s.points)
            if (e->region().intersects(layout_.markerBounds(s, v).toAlignedRect()))
                here.points.append(v);
        paintChartMarkers(p, layout_, here);
    }
}

} // namespace ortav::calib
