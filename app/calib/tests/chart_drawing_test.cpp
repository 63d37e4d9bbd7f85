// The verification chart's figure (series, band and axes from the judged
// points) and its drawing: failures red where they are and over everything,
// and the sheet's canvas, which draws again only where points land, showing
// what drawing the whole figure afresh shows.
#include "chart_canvas.h"
#include "chart_figure.h"
#include "chart_painter.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QScreen>
#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

using namespace ortav::calib;

namespace {

JudgedPoint point(int chan, int mode, double set, double deviation, double permitted, bool failed) {
    JudgedPoint p;
    p.chan = chan;
    p.mode = mode;
    p.set = set;
    p.measured = set + deviation;
    p.deviation = deviation;
    p.permitted = permitted;
    p.failed = failed;
    return p;
}

// What the window shows, as the screen has it (not drawn again for the asking).
QImage onScreen(QWidget &w) {
    QCoreApplication::processEvents();
    return w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// At the screen's pixel ratio when given one, as the canvas draws on it.
QImage drawnWhole(const ChartFigure &f, QSize size, qreal ratio = 1.0) {
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter p(&image);
    paintChart(p, QRectF(QPointF(0, 0), QSizeF(size)), f, 1.0);
    p.end();
    return image;
}

// Pixels that differ beyond rounding: a failure antialiased over the screen's
// format and over an image's may differ by one in a channel.
int differing(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 ||
                         std::abs(qBlue(p) - qBlue(q)) > 2
                     ? 1
                     : 0;
        }
    return n;
}

} // namespace

class ChartDrawingTest : public QObject {
    Q_OBJECT

private slots:
    // Resistances from ohms to megohms: whole decades, each ticked, 2..9
    // between; a table's points in their channels' series by verdict, the
    // other mode's left out; the band once through each set value.
    void resistanceFigure() {
        const std::vector<JudgedPoint> points = {
            point(1, 1, 10.0, 0.01, 0.02, false), point(2, 1, 10.0, 0.03, 0.02, true),
            point(1, 2, 1.0, 0.001, 0.01, false), point(1, 1, 2.4e6, 90.0, 500.0, false),
            point(2, 1, 2.4e6, -600.0, 500.0, true)};
        const ChartFigure f = chartFigure(1, points, "заголовок");
        QVERIFY(f.x.logarithmic);
        QCOMPARE(f.x.min, 10.0);
        QCOMPARE(f.x.max, 1e7);
        QCOMPARE(int(f.x.ticks().size()), 7);
        QCOMPARE(int(f.x.minorTicks().size()), 6 * 8);
        QCOMPARE(f.x.label(1e3), QString("1000"));
        QCOMPARE(f.within[0].points, (QList<QPointF>{{10.0, 0.01}, {2.4e6, 90.0}}));
        QCOMPARE(f.within[1].points, QList<QPointF>{});
        QCOMPARE(f.beyond[1].points, (QList<QPointF>{{10.0, 0.03}, {2.4e6, -600.0}}));
        QCOMPARE(f.bandUpper, (QList<QPointF>{{10.0, 0.02}, {2.4e6, 500.0}}));
        QCOMPARE(f.bandLower, (QList<QPointF>{{10.0, -0.02}, {2.4e6, -500.0}}));
        // 600 with a tenth's room: 500 a tick, from -1000 to 1000.
        QCOMPARE(f.y.step, 500.0);
        QCOMPARE(f.y.min, -1000.0);
        QCOMPARE(f.y.max, 1000.0);
        QCOMPARE(f.beyond[0].name, QString("канал 1: не норма"));
        QCOMPARE(f.beyond[0].fill, QColor(0xFF, 0, 0));
    }

    // Linear axes on round ticks: currents, a resistance set to 0 by hand
    // (no place for it on a logarithmic axis), and an empty sheet.
    void linearAndEmptyFigures_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("set");
        QTest::addColumn<double>("deviation");
        QTest::addColumn<bool>("logarithmic");
        QTest::addColumn<double>("xMax");
        QTest::addColumn<double>("yStep");
        QTest::addColumn<QString>("yLabelAtZero");
        QTest::newRow("current") << 2 << 3.0 << 0.004 << false << 3.0 << 0.005 << "0.000";
        QTest::newRow("resistance of 0") << 1 << 0.0 << 0.5 << false << 1.0 << 0.2 << "0.0";
        QTest::newRow("empty") << 1 << -1.0 << 0.0 << true << 1e4 << 0.5 << "0.0";
    }
    void linearAndEmptyFigures() {
        QFETCH(int, mode);
        QFETCH(double, set);
        QFETCH(double, deviation);
        std::vector<JudgedPoint> points;
        if (set >= 0.0)
            points.push_back(point(1, mode, set, deviation, mode == 2 ? 0.01 : 0.2, false));
        const ChartFigure f = chartFigure(mode, points, {});
        QTEST(f.x.logarithmic, "logarithmic");
        QTEST(f.x.max, "xMax");
        QTEST(f.y.step, "yStep");
        QVERIFY(f.y.min < 0.0 && f.y.max > 0.0);
        QTEST(f.y.label(-1e-12), "yLabelAtZero"); // never "-0.0"
    }

    // Values typed by hand can be anything a double holds: the figure and its
    // drawing neither hang nor fail on them, and keep the points that can be
    // placed.
    void extremeValuesAreDrawnWhereTheyCanBe() {
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // Resistances all above 0 go on decades, from the least double on.
        const std::vector<JudgedPoint> decades = {
            point(1, 1, 1e308, 1.0, 0.1, false), point(2, 1, 5e-324, inf, 0.1, true),
            point(1, 1, 100.0, nan, nan, true), point(1, 1, 1000.0, 0.05, 0.1, false)};
        std::vector<JudgedPoint> negative = decades;
        negative.push_back(point(2, 1, -1e308, -1e308, 0.1, true));
        for (const auto &[mode, points] :
             {std::pair{1, decades}, std::pair{1, negative}, std::pair{2, negative}}) {
            const ChartFigure f = chartFigure(mode, points, "t");
            QVERIFY(f.x.minorTicks().size() <= 3200);
            for (const ChartAxis *a : {&f.x, &f.y}) {
                const std::vector<double> ticks = a->ticks();
                QVERIFY(ticks.size() <= 400);
                for (std::size_t i = 0; i < ticks.size(); ++i)
                    QVERIFY(std::isfinite(ticks[i]) && (i == 0 || ticks[i] > ticks[i - 1]));
            }
            QCOMPARE(f.within[0].points.size(), mode == 1 ? 2 : 0);
            // Drawn under the sanitizers: no coordinate overflows its cast.
            drawnWhole(f, QSize(400, 300));
        }
    }

    // A run's planned points widen the axes and the band from the start; the
    // judged ones, the same set values, leave them as they are.
    void plannedPointsFixTheBackdrop() {
        const std::vector<PlannedPoint> plan = {{1, 100.0, 0.1}, {1, 1e5, 20.0}, {2, 1.0, 0.01}};
        const ChartFigure before = chartFigure(1, {}, "t", plan);
        const ChartFigure after = chartFigure(1, {point(1, 1, 100.0, 0.05, 0.1, false)}, "t", plan);
        QVERIFY(after.sameBackdrop(before));
        QCOMPARE(before.x.max, 1e5);
        QCOMPARE(before.bandUpper.size(), 2);
    }

    // A failed point is red where its values put it and is not covered by a
    // point within the norm drawn later at the same place.
    void failuresAreRedWhereTheyAre() {
        const std::vector<JudgedPoint> points = {point(1, 1, 1000.0, 0.5, 0.3, true),
                                                 point(1, 1, 1000.0, 0.5, 0.3, false),
                                                 point(2, 1, 100.0, -0.1, 0.3, false)};
        const ChartFigure f = chartFigure(1, points, "Отклонение сопротивления, Ом");
        const QSize size(700, 400);
        const QImage image = drawnWhole(f, size);
        const ChartLayout l = chartLayout(QRectF(QPoint(), size), f, 1.0);
        QCOMPARE(image.pixelColor(l.map({1000.0, 0.5}).toPoint()), QColor(0xFF, 0, 0));
        QCOMPARE(image.pixelColor(l.map({100.0, -0.1}).toPoint()), f.within[1].fill);
        // Inside the band, away from the points: its fill over white.
        const QColor band = image.pixelColor(l.map({250.0, 0.1}).toPoint());
        QVERIFY2(band.green() > band.red() && band.green() > band.blue() && band != Qt::white,
                 qPrintable(band.name()));
        QCOMPARE(image.pixelColor(l.map({250.0, 0.5}).toPoint()), QColor(Qt::white));
    }

    // On a picture drawn without scaling a marker is copied, not drawn: each
    // lands where the shape itself would (within half a device pixel), as
    // large, in its own series' colours, at one and two device pixels a point.
    void copiedMarkersLandWhereTheShapesWould() {
        const ChartFigure f = chartFigure(
            1, {point(1, 1, 1000.0, 0.5, 0.3, true), point(2, 1, 100.0, -0.1, 0.3, false)}, "");
        const QSize size(300, 200);
        const ChartLayout l = chartLayout(QRectF(QPoint(), size), f, 1.0);
        struct Ink {
            double x = 0, y = 0;
            int n = 0;
            QColor centre;
        };
        // The marker's pixels (all not white), their centre, and the colour there.
        const auto ink = [](const QImage &im) {
            Ink k;
            for (int y = 0; y < im.height(); ++y)
                for (int x = 0; x < im.width(); ++x)
                    if (im.pixelColor(x, y) != QColor(Qt::white)) {
                        k.x += x + 0.5;
                        k.y += y + 0.5;
                        ++k.n;
                    }
            if (k.n > 0) {
                k.x /= k.n;
                k.y /= k.n;
                k.centre = im.pixelColor(static_cast<int>(k.x), static_cast<int>(k.y));
            }
            return k;
        };
        for (const double ratio : {1.0, 2.0})
            for (const ChartSeries *s : {&f.beyond[0], &f.within[1]})
                for (const double nudge : {0.0, 0.25, 0.5, 0.75}) {
                    ChartSeries one = *s;
                    one.points = {one.points[0]};
                    ChartLayout moved = l;
                    moved.plot.translate(nudge, nudge / 2);
                    QImage copied(size * ratio, QImage::Format_RGB32), shaped = copied;
                    copied.setDevicePixelRatio(ratio);
                    shaped.setDevicePixelRatio(ratio);
                    copied.fill(Qt::white);
                    shaped.fill(Qt::white);
                    QPainter c(&copied);
                    paintChartMarkers(c, moved, one);
                    c.end();
                    // A recorded picture is drawn as shapes, and played back here.
                    QPicture recorded;
                    QPainter r(&recorded);
                    paintChartMarkers(r, moved, one);
                    r.end();
                    QPainter sh(&shaped);
                    sh.drawPicture(0, 0, recorded);
                    sh.end();
                    const Ink a = ink(copied), b = ink(shaped);
                    const QString what =
                        QString("%1 at ratio %2, nudged %3").arg(one.name).arg(ratio).arg(nudge);
                    QVERIFY2(b.n > 0, qPrintable(what));
                    QVERIFY2(std::abs(a.x - b.x) <= 0.6 && std::abs(a.y - b.y) <= 0.6,
                             qPrintable(what));
                    QVERIFY2(std::abs(a.n - b.n) <= b.n / 5, qPrintable(what));
                    QCOMPARE(a.centre, one.fill);
                    QCOMPARE(b.centre, one.fill);
                }
    }

    // The canvas, shown and given a run's points a few at a time, failures
    // among them, then another mode and an emptied sheet, shows on the screen
    // exactly what drawing each figure whole shows.
    void canvasShowsWhatAWholeDrawingShows() {
        ChartCanvas canvas;
        canvas.resize(640, 360);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        std::vector<PlannedPoint> plan;
        std::vector<JudgedPoint> points;
        for (int i = 0; i < 12; ++i)
            plan.push_back({1, 10.0 * std::pow(3.0, i), 0.01 * std::pow(3.0, i)});
        // The screen as the window has it (its grab is in device pixels only at
        // a ratio of 1), and the canvas drawn anew from its picture.
        const auto shows = [&](const char *when) {
            const qreal ratio = canvas.devicePixelRatioF();
            const QImage whole = drawnWhole(canvas.figure(), canvas.size(), ratio);
            const QImage screen = onScreen(canvas);
            const int n = ratio == 1.0 ? differing(screen, whole) : 0;
            QVERIFY2(n == 0, qPrintable(QString("%1: %2 pixels differ").arg(when).arg(n)));
            const int drawn =
                differing(canvas.grab().toImage().convertToFormat(QImage::Format_RGB32), whole);
            QVERIFY2(drawn == 0,
                     qPrintable(QString("%1, drawn again: %2 pixels differ").arg(when).arg(drawn)));
        };
        canvas.setFigure(chartFigure(1, points, "t", plan));
        shows("the plan alone");
        for (int i = 0; i < 12; ++i) {
            const double set = plan[i].set, norm = plan[i].permitted;
            points.push_back(point(1, 1, set, norm * (i % 5 == 3 ? 1.5 : 0.4), norm, i % 5 == 3));
            points.push_back(point(2, 1, set, -norm * (i % 4 == 1 ? 2.0 : 0.6), norm, i % 4 == 1));
            canvas.setFigure(chartFigure(1, points, "t", plan));
            if (i % 3 == 2)
                shows("during the run");
        }
        // A point within the norm typed over a failure.
        points.push_back(
            point(1, 1, plan[3].set, plan[3].permitted * 1.5, plan[3].permitted, false));
        canvas.setFigure(chartFigure(1, points, "t"));
        shows("the run ended");
        canvas.setFigure(chartFigure(2, points, "current"));
        shows("the other mode");
        // Back: the backdrop kept from before is the one to show, but not at
        // another size.
        canvas.setFigure(chartFigure(1, points, "t"));
        shows("back to the first mode");
        canvas.resize(520, 300);
        shows("resized");
        canvas.setFigure(chartFigure(1, {}, "t"));
        shows("emptied");
    }
};

QTEST_MAIN(ChartDrawingTest)
#include "chart_drawing_test.moc"
