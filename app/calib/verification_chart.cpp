#include "verification_chart.h"

#include "calib.h"
#include "chart_canvas.h"
#include "chart_painter.h"
#include "embed.h"
#include "front_panel.h"
#include "p_ortav.h"
#include "result_files.h"
#include "time_text.h"
#include "userint.h"
#include "verification_run.h"
#include "visa_library.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include <ctime>
#include <vector>

namespace ortav::calib {

namespace {

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
    QPointer<ChartCanvas> canvas;
    bool built = false;             // the canvas was made for this sheet
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
    // A handle can be given again to a new sheet; a canvas that went with its
    // control tells the old sheet is gone all the same.
    if (s.sheet != ppPanel || (s.built && !s.canvas)) {
        s.sheet = ppPanel;
        s.points.clear();
        s.plan.clear();
        s.mode = 1;
        s.built = false;
        s.stale = false;
        s.redrawPending = false; // a call for a canvas gone is not run
    }
}

ChartCanvas *canvas() {
    followSheet();
    State &s = state();
    if (s.canvas)
        return s.canvas;
    QWidget *control = CtrlWidget(ppPanel, PP_CHART);
    if (control == nullptr)
        return nullptr;
    auto *c = new ChartCanvas(control);
    auto *layout = new QVBoxLayout(control);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(c);
    s.canvas = c;
    s.built = true;
    return c;
}

void redraw() {
    ChartCanvas *c = canvas();
    if (c == nullptr)
        return;
    State &s = state();
    s.stale = false;
    c->setFigure(chartFigure(s.mode, s.points, onScreenTitle(s.mode), s.plan));
}

// A shown chart takes the points just before the next frame (during a run,
// once a frame, not at every turn of the event loop), all that came since the
// last one at once: the canvas draws only where they land.
void pointsChanged() {
    State &s = state();
    s.stale = true;
    if (s.redrawPending || !verificationChartShown() || !s.canvas)
        return;
    s.redrawPending = true;
    AtNextFrame(s.canvas.data(), [] {
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
    std::string t = caption(mode).toStdString() + "\n";
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
    if (s.canvas)
        redraw(); // the sheet shows the mode saved
    // A report's size, drawn apart from the sheet's small canvas.
    constexpr int kWidth = 1400, kHeight = 860;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    paintChart(
        p, QRectF(image.rect()),
        chartFigure(s.mode, s.points, QString::fromStdString(verificationChartTitle(s.mode))), 1.8);
    p.end();
    return image;
}

const ChartFigure *verificationChartFigure() {
    followSheet();
    if (state().stale || !state().canvas)
        redraw();
    ChartCanvas *c = canvas();
    return c != nullptr ? &c->figure() : nullptr;
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
