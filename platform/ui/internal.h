// What the toolkit keeps for each panel and control. Private to platform/ui.
#pragma once

#include "uiresource.h"
#include "uitest.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QFileDialog;
class QLabel;
class QMenuBar;
class QAction;

class QProgressBar;

namespace ui::detail {

struct Control {
    int id = 0;
    int panel = 0;
    ControlSpec spec; // the control as loaded: its defaults
    QPointer<QWidget> widget;
    QPointer<QLabel> label;
    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    bool visible = true;
    bool dimmed = false;
    int textColor = VAL_BLACK;
    int onColor = VAL_GREEN;
    std::vector<int> itemValues; // rings and list boxes
    std::vector<int> sheets;     // tab control: sheet panels in tab order
    // While redraws are paced (deferred_display.cpp): a number, or lines
    // appended to a text box and where it or a table scrolls to, not yet put in the
    // widget. The toolkit's calls see them as if they were.
    std::optional<double> pendingNumber;
    QStringList pendingLines;
    std::optional<int> pendingFirstLine;
    std::optional<QString> pendingText; // a text message's
};

struct MenuBar {
    int handle = 0;
    int panel = 0;
    MenuCallbackPtr callback = nullptr;
    std::map<int, QPointer<QAction>> items;
};

struct Panel {
    int handle = 0;
    PanelSpec spec;
    QPointer<QWidget> window;  // top-level window, or the sheet's page
    QPointer<QWidget> content; // where the controls sit (below the menu bar)
    int menuBar = 0;
    std::map<int, std::unique_ptr<Control>> controls;
    PanelCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    int closeCtrl = 0;
    int defaultCtrl = 0;
    int sheetOf = 0; // panel holding the tab control, for a sheet
    int nextCtrlId = 2;
    int activeCtrl = 0;
    int tabControl = 0; // for a sheet: the tab control on sheetOf
};

Panel *panel(int handle);
Control *control(int panel, int id);
MenuBar *menuBar(int handle);

// Calls the control's callback (if any) and returns what it returned.
int fire(int panel, int control, int event, int data1 = 0, int data2 = 0);
int firePanel(int panel, int event);

// Builds the widget of a control inside its panel's content.
void buildControl(Panel &p, Control &c);
// Applies value defaults, colours, visibility after building or on restore.
void restoreDefault(Control &c);
void applyColours(Control &c);
void applyVisibility(Control &c);

// Records a request that nobody answered.
void recordUnanswered(const std::string &what);
// Asks the test responder; false when none is installed.
bool ask(const test::Request &r, test::Answer &a);

QColor colour(int rgb);
int rgbOf(const QColor &c);

// The label with its access key marked for Qt: '&' before the key's first
// occurrence (any case); a '&' of the text itself is doubled.
QString withAccessKey(const std::string &label, const std::string &key);

// The file dialogue FileSelectPopup shows: open, or save (buttonLabel
// VAL_SAVE_BUTTON) with the question before overwriting and the extension of
// the file spec added to a bare name.
void configureFileDialog(QFileDialog &dialog, const char *defaultFileSpec, const char *fileTypeList,
                         int buttonLabel);

// Fusion with the program's own touches (style.cpp).
void applyProgramStyle();

// Deletes every panel; run once as the application object is destroyed.
void discardAll();

// The popup stack, bottom first.
std::vector<int> &popups();

// ---- values shown at the next frame (deferred_display.cpp) -------------------
// While redraws are paced, the values a run sets at every point (numbers, lines
// appended to a text box) are put in their widgets once a frame: laying out
// their texts is most of the processor's work per point otherwise. Every other
// use of a control puts its own in first (control() does; DefaultPanel and a
// panel's picture all of them), so nothing reads or changes a widget behind
// them.
bool displayDeferred();
// For the calls that keep values pending (they read or add to them).
struct KeepPending {
    KeepPending();
    ~KeepPending();
    KeepPending(const KeepPending &) = delete;
    KeepPending &operator=(const KeepPending &) = delete;
};
bool keepingPending();
void deferNumber(Control &c, double value);
// A value as a progress bar holds it: bounded to its range, whole.
int progressValue(const QProgressBar &bar, double value);
void deferLine(Control &c, const QString &line);
// A text box's lines and scroll wait while paced, and while it is not shown:
// a hidden protocol view laid out again with every line it is given would
// cost more than the run writing them; shown, it takes them all at once.
bool waitsToShow(const Control &c);
void dropPendingLines(Control &c);
void deferText(Control &c, const QString &text);
void deferFirstLine(Control &c, int line);
// Puts every pending value in its widget; or those of one control.
void settlePending();
// For a frame: those of the widgets shown (a hidden one's wait until it shows).
void settleShown();
void settleControl(Control &c);
// The pacer's: a frame is due for pending values even if nothing else changed.
void framePendingValues();
class Table;
// A table whose rows changed is laid out at the next frame (before the values).
void layoutAtFrame(Table *t);

} // namespace ui::detail
