// Draws a chart figure: the title, the axes with their grid and labels, the
// band of norms, the points and the legend. The sheet's canvas draws it in
// layers (what stays put for a run once, the points as they come); a saved
// PNG all at once at a larger scale.
#pragma once

#include "chart_figure.h"

#include <QRectF>

class QPainter;

namespace ortav::calib {

// Where a figure's plot area lies in a rectangle, and how values map into it.
struct ChartLayout {
    QRectF whole, plot;
    double scale = 1.0; // 1 on the sheet's canvas, larger for a report
    ChartAxis x, y;

    QPointF map(QPointF value) const;
    // The pixels a series' marker at the value covers (antialiasing included).
    QRectF markerBounds(const ChartSeries &s, QPointF value) const;
};

ChartLayout chartLayout(const QRectF &whole, const ChartFigure &f, double scale);

// Everything but the points.
void paintChartBackdrop(QPainter &p, const ChartLayout &l, const ChartFigure &f);
// The series' points from index `from` on.
void paintChartMarkers(QPainter &p, const ChartLayout &l, const ChartSeries &s, qsizetype from = 0);
// The whole figure: the backdrop, the points within the norm, the failures.
void paintChart(QPainter &p, const QRectF &whole, const ChartFigure &f, double scale);

} // namespace ortav::calib
