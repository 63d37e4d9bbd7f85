// Whether the verification chart draws a results table of the verification
// sheet point for point: each row in its channel's series, within the norm or
// not as the cell's colour says, in the table's order and nothing besides; the
// band through every row's permitted deviation; the set-value axis
// logarithmic on whole decades for resistances, the deviation axis on round
// ticks, and everything inside the axes.
#pragma once

#include "calib.h"
#include "front_panel.h"
#include "norm.h"
#include "p_ortav.h"
#include "userint.h"
#include "verification_chart.h"

#include <QList>
#include <QPointF>

#include <cmath>
#include <string>

namespace harness {

inline bool whole(double v) {
    return std::fabs(v - std::round(v)) < 1e-6;
}

// Empty when the chart draws the table; else what differs.
inline QString chartVersusTable(int table) {
    const int mode = table == PP_TABLE_R ? 1 : 2;
    const ortav::calib::ChartFigure *chart = ortav::calib::verificationChartFigure();
    if (chart == nullptr)
        return "no chart";
    if (ortav::calib::verificationChartMode() != mode || chart->mode != mode)
        return QString("the chart draws mode %1").arg(chart->mode);
    const QString caption = mode == 1 ? "Отклонение сопротивления, Ом" : "Отклонение тока, мА";
    if (!chart->title.startsWith(caption))
        return "title " + chart->title;
    for (int c = 0; c < 2; ++c)
        if (chart->within[c].name != QString("канал %1").arg(c + 1) ||
            chart->beyond[c].name != QString("канал %1: не норма").arg(c + 1))
            return "series names";
    int rows = 0;
    GetNumTableRows(ppPanel, table, &rows);
    QList<QPointF> want[2][2]; // [channel][failed]
    QList<QPointF> band;       // (set, permitted) of every row
    double xMin = 1e300, xMax = -1e300, yMax = 0.0;
    for (int row = 1; row <= rows; ++row) {
        std::string chan;
        double set = 0, diff = 0;
        int colour = 0;
        GetTableCellVal(ppPanel, table, MakePoint(1, row), chan);
        GetTableCellVal(ppPanel, table, MakePoint(2, row), &set);
        GetTableCellVal(ppPanel, table, MakePoint(4, row), &diff);
        GetTableCellAttribute(ppPanel, table, MakePoint(4, row), ATTR_TEXT_COLOR, &colour);
        want[chan == "2" ? 1 : 0][colour == VAL_RED ? 1 : 0].append(QPointF(set, diff));
        band.append(
            QPointF(set, mode == 1 ? defPermDev(set) : ortav::calib::kCurrentNormMilliamps));
        xMin = std::min(xMin, set);
        xMax = std::max(xMax, set);
        yMax = std::max(yMax, std::fabs(diff));
    }
    for (int c = 0; c < 2; ++c) {
        if (chart->within[c].points != want[c][0])
            return QString("channel %1 within the norm: %2 points drawn, %3 in the table")
                .arg(c + 1)
                .arg(chart->within[c].points.size())
                .arg(want[c][0].size());
        if (chart->beyond[c].points != want[c][1])
            return QString("channel %1 out of norm: %2 points drawn, %3 in the table")
                .arg(c + 1)
                .arg(chart->beyond[c].points.size())
                .arg(want[c][1].size());
        if (chart->beyond[c].fill != QColor(0xFF, 0, 0))
            return "failures are not red";
    }
    // The band: through every row's permitted deviation, in order of set
    // value, symmetric, and through nothing else.
    const QList<QPointF> &upper = chart->bandUpper, &lower = chart->bandLower;
    if (upper.size() != lower.size())
        return "the band's edges differ";
    for (qsizetype i = 0; i < upper.size(); ++i) {
        if (!(upper[i].y() > 0.0) || lower[i] != QPointF(upper[i].x(), -upper[i].y()))
            return "the band is not symmetric";
        if (i > 0 && upper[i].x() < upper[i - 1].x())
            return "the band goes back";
        if (!band.contains(upper[i]))
            return QString("the band passes %1 no row has").arg(upper[i].x());
        yMax = std::max(yMax, upper[i].y());
    }
    for (const QPointF &row : band)
        if (!upper.contains(row))
            return QString("the band misses the row at %1").arg(row.x());
    if (rows == 0)
        return {};

    const ortav::calib::ChartAxis &x = chart->x, &y = chart->y;
    if (mode == 1 && xMin > 0.0) {
        if (!x.logarithmic)
            return "the resistance axis is not logarithmic";
        if (!whole(std::log10(x.min)) || !whole(std::log10(x.max)))
            return QString("the resistance axis ends off a decade: %1..%2").arg(x.min).arg(x.max);
        if (x.min > xMin || x.max < xMax)
            return "a set value outside the resistance axis";
        if (x.ticks().size() != std::size_t(std::lround(std::log10(x.max / x.min))) + 1)
            return "the resistance axis is not ticked at every decade";
    } else if (x.logarithmic || x.min > xMin || x.max < xMax) {
        return "a set value outside the axis";
    }
    const double step = y.step;
    if (y.logarithmic || !(step > 0.0) || !whole(y.min / step) || !whole(y.max / step))
        return QString("deviation ticks are not round: %1..%2 by %3")
            .arg(y.min)
            .arg(y.max)
            .arg(step);
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    if (!(whole(mantissa) &&
          (std::lround(mantissa) == 1 || std::lround(mantissa) == 2 || std::lround(mantissa) == 5)))
        return QString("tick step %1").arg(step);
    if (y.min > -yMax || y.max < yMax)
        return "a deviation outside the axis";
    return {};
}

} // namespace harness
