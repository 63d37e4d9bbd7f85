// The verification chart on the sheet: a widget that draws a chart figure and,
// as a run's points come, draws again only where they land. What stays put for
// a run (axes, grid, labels, band, legend) is drawn once into a picture kept
// with the points within the norm drawn so far; failures are drawn over it at
// every repaint, so that nothing covers one.
#pragma once

#include "chart_figure.h"
#include "chart_painter.h"

#include <QPixmap>
#include <QWidget>

namespace ortav::calib {

class ChartCanvas : public QWidget {
public:
    explicit ChartCanvas(QWidget *parent = nullptr);

    // Shows the figure; asks to repaint only what differs from the one shown.
    void setFigure(ChartFigure f);
    const ChartFigure &figure() const { return figure_; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void addMarkers(QRegion &where, const ChartSeries &s, qsizetype from) const;
    void bringLayerUpToDate();

    ChartFigure figure_;
    ChartLayout layout_;
    QPixmap layer_;
    // The last backdrop of each mode: a run draws resistances, then currents,
    // and the next run the same again.
    struct Backdrop {
        ChartFigure figure;
        ChartLayout layout;
        QPixmap pixmap;
    };
    Backdrop backdrops_[2];
    bool layerValid_ = false;
    qsizetype layered_[2] = {0, 0}; // points within the norm in layer_, per channel
};

} // namespace ortav::calib
