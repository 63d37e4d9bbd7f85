// What the verification chart shows, worked out from the judged points alone:
// its series, the band of norms and the axes with their ticks. Drawing it is
// chart_painter's; the sheet's canvas and a saved PNG draw the same figure.
#pragma once

#include "judged_point.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

#include <vector>

namespace ortav::calib {

// A point a run is going to judge.
struct PlannedPoint {
    int mode = 1; // 1 resistance, 2 current
    double set = 0.0;
    double permitted = 0.0;
};

struct ChartAxis {
    bool logarithmic = false; // whole decades from min to max
    double min = 0.0, max = 1.0;
    double step = 1.0; // a linear axis's tick interval: 1, 2 or 5 x 10^k, from 0
    int decimals = 0;  // of a linear axis's labels
    QString title;

    // Where the axis is ticked and labelled, and its minor grid (a logarithmic
    // axis's 2..9 within each decade).
    std::vector<double> ticks() const;
    std::vector<double> minorTicks() const;
    QString label(double v) const;

    bool operator==(const ChartAxis &) const = default;
};

enum class MarkerShape { Circle, Square };

struct ChartSeries {
    QString name;
    QList<QPointF> points; // (set, deviation) in the table's order
    QColor fill, edge;
    MarkerShape shape = MarkerShape::Circle;
    double size = 7.0; // the marker's width at scale 1
};

struct ChartFigure {
    int mode = 1;  // 1 resistance, 2 current
    QString title; // lines apart by '\n'
    ChartAxis x, y;
    // "норма": the permitted deviation, + above and - below, through every
    // distinct set value in order.
    QString bandName = "норма";
    QList<QPointF> bandUpper, bandLower;
    QColor bandFill, bandEdge;
    // "канал 1", "канал 2" within the norm; "канал 1: не норма",
    // "канал 2: не норма" (red), drawn last so that nothing covers a failure.
    ChartSeries within[2], beyond[2];

    // Everything but the points: what the canvas draws once a run.
    bool sameBackdrop(const ChartFigure &o) const {
        return mode == o.mode && title == o.title && x == o.x && y == o.y &&
               bandUpper == o.bandUpper && bandLower == o.bandLower;
    }
};

// The figure of the mode's points (those of the other mode are left out) and
// of a run's planned ones: the axes and the band take in both, so that they
// stay put while the run's points come.
ChartFigure chartFigure(int mode, const std::vector<JudgedPoint> &points, const QString &title,
                        const std::vector<PlannedPoint> &planned = {});

} // namespace ortav::calib
