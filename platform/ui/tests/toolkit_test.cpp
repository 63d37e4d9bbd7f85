// The toolkit's own behaviour: what the program relies on from it.
#include "embed.h"
#include "internal.h"
#include "uiresource.h"
#include "uitest.h"
#include "userint.h"

#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <string>
#include <vector>

namespace {

enum { P_MAIN = 1, P_SHEET = 2 };
enum {
    M_BUTTON = 2,
    M_NUM,
    M_STR,
    M_LIST,
    M_RING,
    M_LED,
    M_TABLE,
    M_CANVAS,
    M_TEXT,
    M_CLOSE,
};
enum { S_NUM = 2 };

struct Event {
    int panel, control, event, d1, d2;
};
std::vector<Event> events;

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

int record(int panel, int control, int event, void *, int d1, int d2) {
    events.push_back({panel, control, event, d1, d2});
    return 0;
}
int panelEvents = 0;
int onPanel(int, int event, void *, int, int) {
    if (event == EVENT_CLOSE)
        ++panelEvents;
    return 0;
}

std::vector<ui::PanelSpec> resource() {
    using namespace ui;
    PanelSpec main{.resource = P_MAIN,
                   .constant = "MAIN",
                   .title = "Главная",
                   .width = 400,
                   .height = 380,
                   .callback = onPanel,
                   .closeCtrl = M_CLOSE};
    auto add = [&](ControlSpec c) { main.controls.push_back(std::move(c)); };
    add({.id = M_BUTTON,
         .constant = "BUTTON",
         .kind = CTRL_COMMAND_BUTTON,
         .label = "Пуск",
         .top = 10,
         .left = 10,
         .height = 24,
         .width = 80,
         .callback = record});
    add({.id = M_NUM,
         .constant = "NUM",
         .kind = CTRL_NUMERIC,
         .label = "число",
         .top = 60,
         .left = 10,
         .width = 80,
         .callback = record,
         .value = 2,
         .min = 0,
         .max = 10});
    add({.id = M_STR,
         .constant = "STR",
         .kind = CTRL_STRING_INDICATOR,
         .top = 100,
         .left = 10,
         .width = 200,
         .text = "исходный текст"});
    add({.id = M_LIST,
         .constant = "LIST",
         .kind = CTRL_LIST_BOX,
         .top = 130,
         .left = 10,
         .height = 60,
         .width = 80,
         .callback = record,
         .items = {{"один", 1}, {"три", 3}}});
    add({.id = M_RING,
         .constant = "RING",
         .kind = CTRL_RING,
         .top = 200,
         .left = 10,
         .width = 120,
         .callback = record,
         .value = 2,
         .items = {{"А", 1}, {"Б", 2}}});
    add({.id = M_LED,
         .constant = "LED",
         .kind = CTRL_LED,
         .label = "Связь",
         .top = 40,
         .left = 300,
         .height = 20,
         .width = 20});
    add({.id = M_TABLE,
         .constant = "TABLE",
         .kind = CTRL_TABLE,
         .top = 240,
         .left = 10,
         .height = 120,
         .width = 200,
         .callback = record,
         .precision = 3,
         .rows = 2,
         .columns = 2,
         .rowLabels = {"x", "y"},
         .corner = "Ом \\ канал"});
    add({.id = M_CANVAS,
         .constant = "CANVAS",
         .kind = CTRL_CANVAS,
         .top = 10,
         .left = 220,
         .height = 100,
         .width = 170,
         .callback = record});
    add({.id = M_TEXT,
         .constant = "TEXT",
         .kind = CTRL_TEXT_BOX,
         .top = 130,
         .left = 220,
         .height = 40,
         .width = 170});
    add({.id = M_CLOSE,
         .constant = "CLOSE",
         .kind = CTRL_COMMAND_BUTTON,
         .label = "Закрыть",
         .top = 10,
         .left = 100,
         .height = 24,
         .width = 80,
         .callback = record,
         .dimmed = true});
    PanelSpec sheet{
        .resource = P_SHEET, .constant = "SHEET", .title = "Лист", .width = 160, .height = 60};
    sheet.controls.push_back({.id = S_NUM,
                              .constant = "NUM",
                              .kind = CTRL_NUMERIC,
                              .top = 20,
                              .left = 10,
                              .width = 60,
                              .callback = record});
    return {main, sheet};
}

const std::vector<ui::PanelSpec> &file() {
    static const std::vector<ui::PanelSpec> f = resource();
    return f;
}

} // namespace

class ToolkitTest : public QObject {
    Q_OBJECT
    int p = 0;

private slots:
    void initTestCase() {
        QVERIFY(InitCVIRTE(0, nullptr) == 1);
        ui::RegisterResourceFile("t.uir", &file());
        QVERIFY(LoadPanel(0, "t.uir", 99) < 0);
        QVERIFY(LoadPanel(0, "none.uir", P_MAIN) < 0);
    }

    void init() {
        events.clear();
        panelEvents = 0;
        ui::test::clearRecord();
        ui::test::setResponder([](const ui::test::Request &) { return ui::test::Answer::none(); });
        p = LoadPanel(0, "t.uir", P_MAIN);
        QVERIFY(p > 0);
        DisplayPanel(p);
    }

    void cleanup() {
        RemovePopup(1);
        DiscardPanel(p);
        ProcessSystemEvents();
        ui::test::setResponder({});
    }

    void defaultsValuesAndRestore() {
        double v = 0;
        QCOMPARE(GetCtrlVal(p, M_NUM, &v), 0);
        QCOMPARE(v, 2.0);
        int ring = 0;
        QCOMPARE(GetCtrlVal(p, M_RING, &ring), 0);
        QCOMPARE(ring, 2);
        std::string s;
        QCOMPARE(GetCtrlVal(p, M_STR, s), 0);
        QCOMPARE(s, std::string("исходный текст"));
        char small[5];
        QCOMPARE(GetCtrlVal(p, M_STR, small, sizeof small), 0);
        QCOMPARE(std::string(small), std::string("исх").substr(0, 4));

        SetCtrlVal(p, M_STR, "другой");
        SetCtrlVal(p, M_NUM, 7.0);
        SetCtrlAttribute(p, M_STR, ATTR_TEXT_COLOR, VAL_RED);
        QVERIFY(events.empty()); // the program's own changes call no callback
        QCOMPARE(SetCtrlVal(p, M_RING, 5), static_cast<int>(UIE_BAD_VALUE));
        DefaultPanel(p);
        GetCtrlVal(p, M_STR, s);
        QCOMPARE(s, std::string("исходный текст"));
        GetCtrlVal(p, M_NUM, &v);
        QCOMPARE(v, 2.0);
        int colour = 0;
        GetCtrlAttribute(p, M_STR, ATTR_TEXT_COLOR, &colour);
        QCOMPARE(colour, static_cast<int>(VAL_BLACK));
    }

    void operatorActionsReachCallbacksWithTheirEvents() {
        QVERIFY(ui::test::click(p, M_BUTTON));
        QVERIFY(ui::test::enter(p, M_NUM, 5));
        QVERIFY(ui::test::choose(p, M_RING, 0));
        QVERIFY(ui::test::activate(p, M_LIST, 1));
        QVERIFY(ui::test::doubleClickCell(p, M_TABLE, 2, 1));
        std::vector<std::pair<int, int>> got;
        for (const Event &e : events)
            got.push_back({e.control, e.event});
        std::vector<std::pair<int, int>> want{{M_BUTTON, EVENT_COMMIT},
                                              {M_NUM, EVENT_VAL_CHANGED},
                                              {M_NUM, EVENT_COMMIT},
                                              {M_RING, EVENT_VAL_CHANGED},
                                              {M_RING, EVENT_COMMIT},
                                              {M_LIST, EVENT_VAL_CHANGED},
                                              {M_LIST, EVENT_COMMIT},
                                              {M_LIST, EVENT_LEFT_DOUBLE_CLICK},
                                              {M_TABLE, EVENT_LEFT_DOUBLE_CLICK}};
        QCOMPARE(got, want);
        QCOMPARE(events.back().d1, 1); // row
        QCOMPARE(events.back().d2, 2); // column
        int list = 0;
        GetCtrlVal(p, M_LIST, &list);
        QCOMPARE(list, 3);
    }

    void dimmedHiddenAndShadowedControlsCannotBeOperated() {
        QVERIFY(!ui::test::click(p, M_CLOSE)); // dimmed
        SetCtrlAttribute(p, M_BUTTON, ATTR_VISIBLE, 0);
        QVERIFY(!ui::test::click(p, M_BUTTON));
        SetCtrlAttribute(p, M_BUTTON, ATTR_VISIBLE, 1);
        int popup = LoadPanel(0, "t.uir", P_MAIN);
        InstallPopup(popup);
        QVERIFY(!ui::test::click(p, M_BUTTON)); // behind a modal popup
        QVERIFY(ui::test::click(popup, M_BUTTON));
        RemovePopup(0);
        QVERIFY(!ui::test::isPanelShown(popup));
        QVERIFY(ui::test::click(p, M_BUTTON));
        DiscardPanel(popup);
        QVERIFY(events.size() == 2 && events[0].panel == popup && events[1].panel == p);
    }

    void closeBoxCallsThePanelAndItsCloseControl() {
        QVERIFY(ui::test::closeWindow(p));
        QCOMPARE(panelEvents, 1);
        QCOMPARE(events.size(), std::size_t(1));
        QCOMPARE(events[0].control, static_cast<int>(M_CLOSE));
        QVERIFY(ui::test::isPanelShown(p)); // closing is the program's decision
    }

    void tabSheetsReportTheSheetShown() {
        int tab = ConvertCanvasToTab(p, M_CANVAS);
        QCOMPARE(tab, static_cast<int>(M_CANVAS));
        int s1 = InsertPanelAsTabPage(p, tab, "t.uir", P_SHEET);
        int s2 = InsertPanelAsTabPage(p, tab, "t.uir", P_SHEET);
        QVERIFY(s1 > 0 && s2 > 0 && s1 != s2);
        QVERIFY(events.empty());
        QVERIFY(!ui::test::enter(s2, S_NUM, 1)); // not the sheet shown
        QVERIFY(ui::test::selectTab(p, tab, 1));
        QCOMPARE(events.size(), std::size_t(1));
        QCOMPARE(events[0].event, static_cast<int>(EVENT_TAB_CHANGED));
        QCOMPARE(events[0].d2, s2);
        QVERIFY(ui::test::enter(s2, S_NUM, 1));
        QCOMPARE(events.back().panel, s2);
    }

    void tablesHoldNumbersLabelsAndColours() {
        QCOMPARE(SetTableCellVal(p, M_TABLE, MakePoint(1, 2), 12.3456), 0);
        QCOMPARE(SetTableCellVal(p, M_TABLE, MakePoint(3, 1), 1.0),
                 static_cast<int>(UIE_BAD_INDEX));
        double v = 0;
        GetTableCellVal(p, M_TABLE, MakePoint(1, 2), &v);
        QCOMPARE(v, 12.3456); // the value itself, not the 3 digits shown
        std::string text;
        GetTableCellVal(p, M_TABLE, MakePoint(1, 2), text);
        QCOMPARE(text, std::string("12.346"));
        InsertTableRows(p, M_TABLE, -1, 3);
        int rows = 0;
        GetNumTableRows(p, M_TABLE, &rows);
        QCOMPARE(rows, 5);
        SetTableCellAttribute(p, M_TABLE, MakePoint(2, 5), ATTR_TEXT_COLOR, VAL_RED);
        int colour = 0;
        GetTableCellAttribute(p, M_TABLE, MakePoint(2, 5), ATTR_TEXT_COLOR, &colour);
        QCOMPARE(colour, static_cast<int>(VAL_RED));
        QCOMPARE(SetActiveTableCell(p, M_TABLE, MakePoint(2, 4)), 0);
        QCOMPARE(SetActiveTableCell(p, M_TABLE, MakePoint(2, 6)), static_cast<int>(UIE_BAD_INDEX));
        Point active{};
        QCOMPARE(GetActiveTableCell(p, M_TABLE, &active), 0);
        QCOMPARE(active.x, 2);
        QCOMPARE(active.y, 4);
        SetTableRowAttribute(p, M_TABLE, 1, ATTR_LABEL_TEXT, "новая");
        GetTableRowAttribute(p, M_TABLE, 1, ATTR_LABEL_TEXT, text);
        QCOMPARE(text, std::string("новая"));
        std::string corner;
        GetCtrlAttribute(p, M_TABLE, ATTR_LABEL_TEXT, corner);
        QCOMPARE(corner, std::string("Ом \\ канал"));
        DefaultCtrl(p, M_TABLE);
        GetNumTableRows(p, M_TABLE, &rows);
        QCOMPARE(rows, 2);
        GetTableRowAttribute(p, M_TABLE, 1, ATTR_LABEL_TEXT, text);
        QCOMPARE(text, std::string("x"));
    }

    // Paced, a window is repainted at most once an interval; what was held
    // back is drawn when pacing ends, so no change goes undrawn.
    void pacedRedrawsHoldBackButLoseNothing() {
        auto *t = qobject_cast<QTableWidget *>(ui::detail::control(p, M_TABLE)->widget.data());
        QVERIFY(t != nullptr);
        PaintCounter counter;
        t->viewport()->installEventFilter(&counter);
        ProcessSystemEvents();
        SetRedrawInterval(60000); // far longer than the test takes
        QCOMPARE(GetRedrawInterval(), 60000);
        SetTableCellVal(p, M_TABLE, MakePoint(1, 1), 1.0);
        ProcessSystemEvents();
        const int first = counter.paints;
        QVERIFY(first > 0); // the first change of an interval at once
        SetTableCellVal(p, M_TABLE, MakePoint(1, 1), 2.0);
        ProcessSystemEvents();
        ProcessSystemEvents();
        QCOMPARE(counter.paints, first); // the next one waits
        SetRedrawInterval(0);
        QVERIFY(counter.paints > first); // and is drawn when pacing ends
        SetTableCellVal(p, M_TABLE, MakePoint(1, 1), 3.0);
        const int unpaced = counter.paints;
        ProcessSystemEvents();
        QVERIFY(counter.paints > unpaced);
    }

    // Paced, the operator's own press is drawn at once, not an interval later:
    // a button going down shows before anything it starts.
    void pacedRedrawsAnswerAPressAtOnce() {
        auto *b = qobject_cast<QPushButton *>(ui::detail::control(p, M_BUTTON)->widget.data());
        QVERIFY(b != nullptr);
        PaintCounter counter;
        b->installEventFilter(&counter);
        ProcessSystemEvents();
        SetRedrawInterval(60000);
        SetCtrlAttribute(p, M_BUTTON, ATTR_LABEL_TEXT, "раз");
        ProcessSystemEvents();
        SetCtrlAttribute(p, M_BUTTON, ATTR_LABEL_TEXT, "два");
        ProcessSystemEvents();
        const int held = counter.paints; // the second change waits for the interval
        QTest::mousePress(b, Qt::LeftButton);
        ProcessSystemEvents();
        QVERIFY(counter.paints > held);
        QVERIFY(b->isDown());
        QTest::mouseRelease(b, Qt::LeftButton);
        SetRedrawInterval(0);
    }

    // Paced, numbers and appended lines reach their widgets at the next
    // frame, reading back exactly as the widgets will hold them; any other use
    // of the control, and the end of pacing, puts them in first.
    void pacedValuesReadBackAsShownAndLandAtTheFrame() {
        auto *n = qobject_cast<QDoubleSpinBox *>(ui::detail::control(p, M_NUM)->widget.data());
        auto *box = qobject_cast<QPlainTextEdit *>(ui::detail::control(p, M_TEXT)->widget.data());
        QVERIFY(n != nullptr && box != nullptr);
        ResetTextBox(p, M_TEXT, "");
        struct Case {
            double set;
            double held; // what the widget itself keeps of it, unpaced
        };
        std::vector<Case> cases;
        // Halfway numbers a binary double holds exactly: Qt rounds them its own way.
        for (double v : {1.23456789, 99.0, -3.0, 7.5, 0.125, 0.0625, 0.03125, 2.5, -0.00001, 1e9}) {
            SetCtrlVal(p, M_NUM, v);
            double held = 0;
            GetCtrlVal(p, M_NUM, &held);
            cases.push_back({v, held});
        }
        SetCtrlVal(p, M_NUM, 5.0);
        SetRedrawInterval(60000);
        for (const Case &c : cases) {
            QCOMPARE(SetCtrlVal(p, M_NUM, c.set), 0);
            double v = 0;
            GetCtrlVal(p, M_NUM, &v);
            QCOMPARE(v, c.held); // rounded and bounded as the widget would
        }
        QCOMPARE(n->value(), 5.0); // not in the widget yet
        QCOMPARE(SetCtrlVal(p, M_NUM, std::nan("")), static_cast<int>(UIE_BAD_VALUE));
        for (const char *line : {"первая", "вторая", "третья"})
            QCOMPARE(InsertTextBoxLine(p, M_TEXT, -1, line), 0);
        int lines = 0;
        GetNumTextBoxLines(p, M_TEXT, &lines);
        QCOMPARE(lines, 3);
        QVERIFY(box->document()->isEmpty());
        // Another use of the number box settles it; the text box waits on.
        SetCtrlAttribute(p, M_NUM, ATTR_DIMMED, 0);
        QCOMPARE(n->value(), cases.back().held);
        QVERIFY(box->document()->isEmpty());
        SetRedrawInterval(0);
        QCOMPARE(box->toPlainText(), QString("первая\nвторая\nтретья"));
        // Unpaced, values go straight in.
        SetCtrlVal(p, M_NUM, 3.0);
        QCOMPARE(n->value(), 3.0);
    }

    // Paced, a run's progress (bar and line) and the scroll to a results
    // table's newest row wait for the frame too; filling the table's rows
    // keeps the scroll waiting, reading it puts it in first.
    void pacedProgressAndTableScrollLandAtTheFrame() {
        const int q = NewPanel(0, "Ход", 0, 0, 200, 300);
        const int bar = NewCtrl(q, CTRL_PROGRESS, "", 10, 10);
        const int line = NewCtrl(q, CTRL_TEXT_MSG, "", 40, 10);
        DisplayPanel(q);
        ProcessSystemEvents();
        auto *b = qobject_cast<QProgressBar *>(ui::detail::control(q, bar)->widget.data());
        auto *l = qobject_cast<QLabel *>(ui::detail::control(q, line)->widget.data());
        const int table = M_TABLE;
        auto *t = qobject_cast<QTableWidget *>(ui::detail::control(p, table)->widget.data());
        QVERIFY(b != nullptr && l != nullptr && t != nullptr);
        SetCtrlAttribute(q, bar, ATTR_MAX_VALUE, 10);
        SetCtrlVal(q, bar, 0.0);
        DefaultCtrl(p, table);
        int rows = 0;
        GetNumTableRows(p, table, &rows);
        InsertTableRows(p, table, -1, 40 - rows);
        SetRedrawInterval(60000);
        QCOMPARE(SetCtrlVal(q, bar, 1e300), 0); // bounded, like the bar itself
        QCOMPARE(SetCtrlVal(q, line, "точка 3 из 10"), 0);
        QCOMPARE(SetCtrlAttribute(p, table, ATTR_FIRST_VISIBLE_ROW, 41),
                 static_cast<int>(UIE_BAD_INDEX));
        QCOMPARE(SetCtrlAttribute(p, table, ATTR_FIRST_VISIBLE_ROW, 30), 0);
        InsertTableRows(p, table, -1, 1);
        SetTableCellVal(p, table, MakePoint(1, 41), 1.5);
        GetNumTableRows(p, table, &rows);
        QCOMPARE(rows, 41);
        QCOMPARE(b->value(), 0);
        QCOMPARE(l->text(), QString());
        QCOMPARE(t->rowAt(0), 0);
        int first = 0;
        GetCtrlAttribute(p, table, ATTR_FIRST_VISIBLE_ROW, &first);
        QCOMPARE(first, 30);
        double value = 0;
        GetCtrlVal(q, bar, &value);
        QCOMPARE(value, 10.0);
        std::string text;
        GetCtrlVal(q, line, text);
        QCOMPARE(text, std::string("точка 3 из 10"));
        SetCtrlVal(q, line, "точка 4 из 10");
        SetRedrawInterval(0);
        QCOMPARE(l->text(), QString("точка 4 из 10"));
        DiscardPanel(q);
        DefaultCtrl(p, table);
    }

    // Work for the screen given to AtNextFrame: paced, it waits for the frame
    // (turns of the event loop do not run it) and runs once, with the end of
    // pacing at the latest; unpaced, at the next turn; never for a context gone.
    void atNextFrameRunsOnceAFrameWhilePaced() {
        QObject context;
        int runs = 0;
        SetRedrawInterval(60000);
        SetCtrlAttribute(p, M_BUTTON, ATTR_LABEL_TEXT, "кадр");
        ProcessSystemEvents(); // a frame now: the next is an interval away
        AtNextFrame(&context, [&] { ++runs; });
        AtNextFrame(&context, [&] { ++runs; });
        ProcessSystemEvents();
        ProcessSystemEvents();
        QCOMPARE(runs, 0);
        auto *gone = new QObject;
        AtNextFrame(gone, [&] { runs += 100; });
        delete gone;
        SetRedrawInterval(0);
        QCOMPARE(runs, 2);
        ProcessSystemEvents();
        QCOMPARE(runs, 2);

        AtNextFrame(&context, [&] { ++runs; });
        QCOMPARE(runs, 2);
        ProcessSystemEvents();
        QCOMPARE(runs, 3);

        // A frame due runs it: the pacer asks for one even if nothing else changed.
        SetRedrawInterval(1);
        AtNextFrame(&context, [&] { ++runs; });
        QTRY_COMPARE(runs, 4);
        SetRedrawInterval(0);
    }

    // Paced, rows added one at a time with frames between are on the screen
    // exactly as the table draws itself afresh: only the new rows are drawn at
    // a frame, so a row left out would show here.
    void pacedTableRowsReachTheScreenAsDrawnAfresh() {
        const int table = M_TABLE;
        auto *t = qobject_cast<QTableWidget *>(ui::detail::control(p, table)->widget.data());
        QVERIFY(t != nullptr);
        DefaultCtrl(p, table);
        ProcessSystemEvents();
        SetRedrawInterval(1);
        int rows = 0;
        // Below the rows there first, while the table has room: no scroll bar
        // comes to have the whole of it drawn again.
        for (int point = 1; point <= 2; ++point) {
            GetNumTableRows(p, table, &rows);
            InsertTableRows(p, table, -1, 1);
            SetTableCellVal(p, table, MakePoint(1, rows + 1), 100.0 * point);
            QTest::qWait(3);
        }
        QTest::qWait(5);
        const QImage afresh = t->viewport()->grab().toImage();
        const QPoint at = t->viewport()->mapTo(t->window(), QPoint(0, 0));
        const QImage shown = QGuiApplication::primaryScreen()
                                 ->grabWindow(t->window()->winId(), at.x(), at.y(),
                                              t->viewport()->width(), t->viewport()->height())
                                 .toImage();
        SetRedrawInterval(0);
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 afresh.convertToFormat(QImage::Format_RGB32));
        DefaultCtrl(p, table);
    }

    // The cells draw the grid: each cell's right and bottom edge in the grid's
    // colour, its inside in the table's base colour.
    void tableCellsDrawTheGrid() {
        auto *t = qobject_cast<QTableWidget *>(ui::detail::control(p, M_TABLE)->widget.data());
        QVERIFY(t != nullptr);
        SetTableCellVal(p, M_TABLE, MakePoint(1, 1), 1.0);
        ProcessSystemEvents();
        const QImage image = t->viewport()->grab().toImage();
        const QRect cell = t->visualRect(t->model()->index(0, 0));
        QStyleOptionViewItem o;
        o.initFrom(t);
        const QColor grid =
            static_cast<QRgb>(t->style()->styleHint(QStyle::SH_Table_GridLineColor, &o, t));
        const qreal scale = image.devicePixelRatio();
        const auto at = [&](int x, int y) { return image.pixelColor(QPoint(x, y) * scale); };
        QCOMPARE(at(cell.right(), cell.center().y()), grid);
        QCOMPARE(at(cell.left() + 1, cell.bottom()), grid);
        QCOMPARE(at(cell.left() + 1, cell.top() + 1), t->palette().color(QPalette::Base));
    }

    // A text box not shown takes its lines as it shows, all at once, paced or
    // not; they count meanwhile as if they were in, and a reset drops them.
    void hiddenTextBoxTakesItsLinesAsItShows() {
        const int q = NewPanel(0, "Скрытая", 0, 0, 200, 300);
        const int box = NewCtrl(q, CTRL_TEXT_BOX, "", 10, 10);
        auto *t = qobject_cast<QPlainTextEdit *>(ui::detail::control(q, box)->widget.data());
        QVERIFY(t != nullptr);
        InsertTextBoxLine(q, box, -1, "раз");
        InsertTextBoxLine(q, box, -1, "два");
        QVERIFY(t->document()->isEmpty()); // not laid out while nobody sees it
        int lines = 0;
        GetNumTextBoxLines(q, box, &lines);
        QCOMPARE(lines, 2);
        ResetTextBox(q, box, "");
        GetNumTextBoxLines(q, box, &lines);
        QCOMPARE(lines, 0);
        for (int i = 1; i <= 30; ++i)
            InsertTextBoxLine(q, box, -1, std::to_string(i).c_str());
        int visible = 0;
        GetCtrlAttribute(q, box, ATTR_VISIBLE_LINES, &visible);
        QVERIFY(visible > 0 && visible < 30);
        SetCtrlAttribute(q, box, ATTR_FIRST_VISIBLE_LINE, 30 - visible); // at its end
        DisplayPanel(q);
        QCOMPARE(t->document()->blockCount(), 30);
        QCOMPARE(t->verticalScrollBar()->value(), 30 - visible);
        DiscardPanel(q);
    }

    // Paced, a hidden panel's values wait past the frames (nothing draws
    // them) and are in its widgets by the frame that shows it.
    void pacedValuesOfAHiddenPanelLandWhenItShows() {
        const int q = NewPanel(0, "Скрытая", 0, 0, 200, 300);
        const int line = NewCtrl(q, CTRL_TEXT_MSG, "", 10, 10);
        auto *l = qobject_cast<QLabel *>(ui::detail::control(q, line)->widget.data());
        QVERIFY(l != nullptr);
        SetRedrawInterval(1);
        SetCtrlVal(q, line, "точка 7 из 10");
        QTest::qWait(10);
        QCOMPARE(l->text(), QString());
        DisplayPanel(q);
        QTest::qWait(10);
        QCOMPARE(l->text(), QString("точка 7 из 10"));
        SetRedrawInterval(0);
        DiscardPanel(q);
    }

    void textBoxLinesAndHeight() {
        ResetTextBox(p, M_TEXT, "");
        InsertTextBoxLine(p, M_TEXT, -1, "первая");
        InsertTextBoxLine(p, M_TEXT, -1, "вторая");
        int n = 0;
        GetNumTextBoxLines(p, M_TEXT, &n);
        QCOMPARE(n, 2);
        // Before the first, between, past the end (appended); a text of two lines.
        InsertTextBoxLine(p, M_TEXT, 0, "нулевая");
        InsertTextBoxLine(p, M_TEXT, 2, "средняя");
        InsertTextBoxLine(p, M_TEXT, 99, "а\nб");
        std::string all;
        GetCtrlVal(p, M_TEXT, all);
        QCOMPARE(all, std::string("нулевая\nпервая\nсредняя\nвторая\nа\nб"));
        GetNumTextBoxLines(p, M_TEXT, &n);
        QCOMPARE(n, 6);
        ResetTextBox(p, M_TEXT, "");
        GetNumTextBoxLines(p, M_TEXT, &n);
        QCOMPARE(n, 0);
        InsertTextBoxLine(p, M_TEXT, 5, "одна");
        GetCtrlVal(p, M_TEXT, all);
        QCOMPARE(all, std::string("одна"));
        int h1 = 0, h5 = 0, lines = 0;
        SetCtrlAttribute(p, M_TEXT, ATTR_VISIBLE_LINES, 1);
        GetCtrlAttribute(p, M_TEXT, ATTR_HEIGHT, &h1);
        SetCtrlAttribute(p, M_TEXT, ATTR_VISIBLE_LINES, 5);
        GetCtrlAttribute(p, M_TEXT, ATTR_HEIGHT, &h5);
        GetCtrlAttribute(p, M_TEXT, ATTR_VISIBLE_LINES, &lines);
        QVERIFY(h5 > h1);
        QCOMPARE(lines, 5);
    }

    void popupsAskTheResponderAndNeverBlock() {
        std::vector<ui::test::Request> seen;
        ui::test::setResponder([&](const ui::test::Request &r) {
            seen.push_back(r);
            if (r.kind == ui::test::RequestKind::Confirm)
                return ui::test::Answer::yes();
            if (r.kind == ui::test::RequestKind::FileSelect)
                return ui::test::Answer::file("/tmp/a.log");
            return ui::test::Answer::ok();
        });
        QCOMPARE(MessagePopup("Заголовок", "Текст"), 0);
        QCOMPARE(ConfirmPopup("ORTAV", "Вопрос?"), 1);
        char path[8];
        QCOMPARE(FileSelectPopup("", "*.log", "*.log", "Файл", VAL_OK_BUTTON, 0, 0, 1, 1, path,
                                 sizeof path),
                 static_cast<int>(VAL_NO_FILE_SELECTED)); // does not fit
        char big[260];
        QCOMPARE(FileSelectPopup("", "*.log", "*.log", "Файл", VAL_OK_BUTTON, 0, 0, 1, 1, big,
                                 sizeof big),
                 static_cast<int>(VAL_EXISTING_FILE_SELECTED));
        QCOMPARE(std::string(big), std::string("/tmp/a.log"));
        QCOMPARE(seen.size(), std::size_t(4));
        QCOMPARE(seen[0].title, std::string("Заголовок"));
        QCOMPARE(seen[0].text, std::string("Текст"));
        QVERIFY(ui::test::unanswered().empty());
    }

    void unansweredRequestsAreRecordedNotHung() {
        // The fixture's responder answers nothing.
        QCOMPARE(ConfirmPopup("ORTAV", "Вопрос?"), 0);
        bool flag = false;
        QCOMPARE(WaitUntil("флаг", p, [&] { return flag; }), 0);
        QCOMPARE(ui::test::unanswered().size(), std::size_t(2));
        // A wait answered by an action that ends it.
        ui::test::clearRecord();
        ui::test::setResponder([&](const ui::test::Request &r) {
            if (r.kind != ui::test::RequestKind::Wait)
                return ui::test::Answer::none();
            flag = true;
            return ui::test::Answer::ok();
        });
        QCOMPARE(WaitUntil("флаг", p, [&] { return flag; }), 1);
        QVERIFY(ui::test::unanswered().empty());
    }

    void ledAndWaitCursor() {
        SetCtrlVal(p, M_LED, 1);
        SetCtrlAttribute(p, M_LED, ATTR_ON_COLOR, VAL_YELLOW);
        int on = 0, colour = 0;
        GetCtrlVal(p, M_LED, &on);
        GetCtrlAttribute(p, M_LED, ATTR_ON_COLOR, &colour);
        QCOMPARE(on, 1);
        QCOMPARE(colour, static_cast<int>(VAL_YELLOW));
        SetWaitCursor(1);
        SetWaitCursor(1);
        QCOMPARE(GetWaitCursor(), 1);
        SetWaitCursor(0);
        QCOMPARE(GetWaitCursor(), 0);
    }

    // Return presses the focused button, else the popup's default button;
    // Escape commits its cancel control, unless that is dimmed.
    void returnAndEscapeOnAPopup() {
        const int p = NewPanel(0, "Выбор", 0, 0, 120, 320);
        const int ok = NewCtrl(p, CTRL_COMMAND_BUTTON, "Выбрать", 10, 10);
        const int other = NewCtrl(p, CTRL_COMMAND_BUTTON, "Другое", 10, 110);
        const int cancel = NewCtrl(p, CTRL_COMMAND_BUTTON, "Отмена", 10, 210);
        const int num = NewCtrl(p, CTRL_NUMERIC, "", 60, 10);
        for (int c : {ok, other, cancel})
            InstallCtrlCallback(p, c, record, nullptr);
        SetPanelAttribute(p, ATTR_DEFAULT_CTRL, ok);
        SetPanelAttribute(p, ATTR_CLOSE_CTRL, cancel);
        InstallPopup(p);
        struct Case {
            int focus, key;
            bool cancelDimmed;
            int pressed; // 0: nothing
        };
        for (const Case k :
             {Case{other, Qt::Key_Return, false, other}, Case{other, Qt::Key_Enter, false, other},
              Case{num, Qt::Key_Return, false, ok}, Case{num, Qt::Key_Escape, false, cancel},
              Case{other, Qt::Key_Escape, true, 0}}) {
            SetCtrlAttribute(p, cancel, ATTR_DIMMED, k.cancelDimmed ? 1 : 0);
            QWidget *w = CtrlWidget(p, k.focus);
            w->setFocus();
            events.clear();
            QTest::keyClick(w, static_cast<Qt::Key>(k.key));
            const int commits =
                static_cast<int>(std::count_if(events.begin(), events.end(), [](const Event &e) {
                    return e.event == EVENT_COMMIT;
                }));
            QCOMPARE(commits, k.pressed != 0 ? 1 : 0);
            if (k.pressed != 0)
                QCOMPARE(events.back().control, k.pressed);
        }
        RemovePopup(1);
        DiscardPanel(p);
    }

    // Labels carry their access keys; a save dialogue says so, asks before
    // overwriting and gives a bare name its extension; Qt's texts are Russian.
    void accessKeysAndFileDialogues() {
        QCOMPARE(ui::detail::withAccessKey("Выход", "х"), QString("Вы&ход"));
        QCOMPARE(ui::detail::withAccessKey("О программе", "о"), QString("&О программе"));
        QCOMPARE(ui::detail::withAccessKey("A & B", ""), QString("A && B"));

        QFileDialog save;
        ui::detail::configureFileDialog(save, "*.png", "*.png", VAL_SAVE_BUTTON);
        QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(save.labelText(QFileDialog::Accept), QString("Сохранить"));
        QVERIFY(!save.testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(save.defaultSuffix(), QString("png"));
        QFileDialog open;
        ui::detail::configureFileDialog(open, "*.log", "*.log", VAL_OK_BUTTON);
        QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
    }

    void discardFromItsOwnCallbackIsSafe() {
        static int victim = 0;
        victim = LoadPanel(0, "t.uir", P_MAIN);
        DisplayPanel(victim);
        InstallCtrlCallback(
            victim, M_BUTTON,
            [](int panel, int, int event, void *, int, int) {
                if (event == EVENT_COMMIT)
                    DiscardPanel(panel);
                return 0;
            },
            nullptr);
        QVERIFY(ui::test::click(victim, M_BUTTON));
        QVERIFY(!PanelExists(victim));
        ProcessSystemEvents();
        QCOMPARE(SetCtrlVal(victim, M_NUM, 1), static_cast<int>(UIE_BAD_PANEL));
    }
};

QTEST_MAIN(ToolkitTest)
#include "toolkit_test.moc"
