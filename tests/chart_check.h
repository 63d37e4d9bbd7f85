// Whether the verification chart draws a results table of the verification
// sheet point for point: each row in its channel's series, within the norm or
// not as the cell's colour says, in the table's order and nothing besides; the
// band through every row's permitted deviation; the set-value axis
// logarithmic on whole decades for resistances, the deviation axis on round
// ticks, and everything inside the axes.
#pragma once

#include "front_panel.h"
#include "p_ortav.h"
#include "userint.h"
#include "verification_chart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>
#include <string>

namespace harness {

inline bool whole(double v) {
    return std::fabs(v - std::round(v)) < 1e-6;
}

// Empty when the chart draws the table; else what differs.
inline QString chartVersusTable(int table) {
    const int mode = table == PP_TABLE_R ? 1 : 2;
    QChart *chart = ortav::calib::verificationChart();
    if (chart == nullptr)
        return "no chart";
    if (ortav::calib::verificationChartMode() != mode)
        return QString("the chart draws mode %1").arg(ortav::calib::verificationChartMode());
    const QString caption = mode == 1 ? "Отклонение сопротивления, Ом" : "Отклонение тока, мА";
    if (!chart->title().startsWith(caption))
        return "title " + chart->title();
    QScatterSeries *within[2] = {}, *beyond[2] = {};
    QAreaSeries *band = nullptr;
    for (QAbstractSeries *s : chart->series()) {
        for (int c = 0; c < 2; ++c) {
            if (s->name() == QString("канал %1").arg(c + 1))
                within[c] = qobject_cast<QScatterSeries *>(s);
            if (s->name() == QString("канал %1: не норма").arg(c + 1))
                beyond[c] = qobject_cast<QScatterSeries *>(s);
        }
        if (s->name() == "норма")
            band = qobject_cast<QAreaSeries *>(s);
    }
    if (!within[0] || !within[1] || !beyond[0] || !beyond[1] || !band)
        return "a series is missing";
    int rows = 0;
    GetNumTableRows(ppPanel, table, &rows);
    QList<QPointF> want[2][2]; // [channel][failed]
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
        xMin = std::min(xMin, set);
        xMax = std::max(xMax, set);
        yMax = std::max(yMax, std::fabs(diff));
    }
    for (int c = 0; c < 2; ++c) {
        if (within[c]->points() != want[c][0])
            return QString("channel %1 within the norm: %2 points drawn, %3 in the table")
                .arg(c + 1)
                .arg(within[c]->count())
                .arg(want[c][0].size());
        if (beyond[c]->points() != want[c][1])
            return QString("channel %1 out of norm: %2 points drawn, %3 in the table")
                .arg(c + 1)
                .arg(beyond[c]->count())
                .arg(want[c][1].size());
        if (beyond[c]->color() != QColor(0xFF, 0, 0))
            return "failures are not red";
    }
    const QLineSeries *upper = band->upperSeries(), *lower = band->lowerSeries();
    if (upper->count() != rows || lower->count() != rows)
        return "the band does not pass every point";
    for (int i = 0; i < rows; ++i) {
        if (!(upper->at(i).y() > 0.0) || lower->at(i).y() != -upper->at(i).y())
            return "the band is not symmetric";
        yMax = std::max(yMax, upper->at(i).y());
    }
    if (rows == 0)
        return {};

    QAbstractAxis *x = nullptr;
    QValueAxis *y = nullptr;
    for (QAbstractAxis *a : within[0]->attachedAxes()) {
        if (a->orientation() == Qt::Horizontal)
            x = a;
        else
            y = qobject_cast<QValueAxis *>(a);
    }
    if (x == nullptr || y == nullptr || !x->isVisible())
        return "axes";
    if (mode == 1 && xMin > 0.0) {
        auto *log = qobject_cast<QLogValueAxis *>(x);
        if (log == nullptr)
            return "the resistance axis is not logarithmic";
        if (!whole(std::log10(log->min())) || !whole(std::log10(log->max())))
            return QString("the resistance axis ends off a decade: %1..%2")
                .arg(log->min())
                .arg(log->max());
        if (log->min() > xMin || log->max() < xMax)
            return "a set value outside the resistance axis";
    } else {
        auto *lin = qobject_cast<QValueAxis *>(x);
        if (lin == nullptr || lin->min() > xMin || lin->max() < xMax)
            return "a set value outside the axis";
    }
    const double step = y->tickInterval();
    if (y->tickType() != QValueAxis::TicksDynamic || !(step > 0.0) || y->tickAnchor() != 0.0 ||
        !whole(y->min() / step) || !whole(y->max() / step))
        return QString("deviation ticks are not round: %1..%2 by %3")
            .arg(y->min())
            .arg(y->max())
            .arg(step);
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    if (!(whole(mantissa) &&
          (std::lround(mantissa) == 1 || std::lround(mantissa) == 2 || std::lround(mantissa) == 5)))
        return QString("tick step %1").arg(step);
    if (y->min() > -yMax || y->max() < yMax)
        return "a deviation outside the axis";
    return {};
}

} // namespace harness
