// The front panel's user-interface toolkit: a thin layer over Qt Widgets that
// gives the application panels by handle, controls by constant, values and
// attributes, callbacks with the instrument-panel signatures, popups and nested
// event processing. Everything runs on the one UI thread.
//
// Every popup and every modal wait goes through this layer, so a test can answer
// it through one responder hook (see uitest.h); nothing here blocks a test.
#pragma once

#include <cstddef>
#include <string>

// ---- callbacks ---------------------------------------------------------------

typedef int (*CtrlCallbackPtr)(int panel, int control, int event, void *callbackData,
                               int eventData1, int eventData2);
typedef int (*PanelCallbackPtr)(int panel, int event, void *callbackData, int eventData1,
                                int eventData2);
typedef int (*MenuCallbackPtr)(int menuBar, int menuItem, void *callbackData, int panel);

// Events delivered to callbacks.
enum {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,            // a completed operator action on the control
    EVENT_VAL_CHANGED = 2,       // the value changed (also sent before a commit)
    EVENT_LEFT_DOUBLE_CLICK = 3, // tables: eventData1 = row, eventData2 = column (from 1)
    EVENT_CLOSE = 4,             // panel: the window's close box
    EVENT_TAB_CHANGED = 5,       // tab control: eventData1 = new index, eventData2 = its sheet
    EVENT_DISCARD = 6,           // panel or control is being discarded
};

// ---- attributes --------------------------------------------------------------

enum {
    ATTR_VISIBLE = 1,
    ATTR_DIMMED,
    ATTR_TEXT_COLOR,
    ATTR_ON_COLOR,
    ATTR_OFF_COLOR,
    ATTR_LABEL_TEXT, // control label; with SetTableRowAttribute: the row's label
    ATTR_TITLE,      // panel title
    ATTR_TOP,
    ATTR_LEFT,
    ATTR_HEIGHT,
    ATTR_WIDTH,
    ATTR_BACKCOLOR,
    ATTR_TEXT_BGCOLOR,
    ATTR_FIRST_VISIBLE_ROW,  // tables (from 1)
    ATTR_FIRST_VISIBLE_LINE, // text boxes (from 0)
    ATTR_VISIBLE_LINES,      // text boxes: height in lines
    ATTR_CLOSE_CTRL,         // panel: control committed by the close box
    ATTR_CONSTANT_NAME,      // panel: its constant name (read only)
    ATTR_NUM_ROWS,           // tables (read only)
    ATTR_DEFAULT_CTRL,       // panel: button pressed by Return when no button has the focus
    ATTR_MAX_VALUE,          // progress bars: the value of a full bar
};

// Colours are 0xRRGGBB.
enum : int {
    VAL_RED = 0xFF0000,
    VAL_GREEN = 0x00FF00,
    VAL_YELLOW = 0xFFFF00,
    VAL_DK_YELLOW = 0x808000, // warnings on the status line
    VAL_BLACK = 0x000000,
    VAL_WHITE = 0xFFFFFF,
    VAL_GRAY = 0xA0A0A0,
    VAL_LT_GRAY = 0xC0C0C0,
    VAL_PANEL_GRAY = 0xD4D0C8,
};

// Where a panel is shown when it is positioned automatically.
enum { VAL_AUTO_CENTER = -1 };

// Results of FileSelectPopup.
enum { VAL_NO_FILE_SELECTED = 0, VAL_EXISTING_FILE_SELECTED = 1, VAL_NEW_FILE_SELECTED = 2 };

// Failure results (all negative).
enum {
    UIE_NOT_INITIALISED = -1,
    UIE_BAD_PANEL = -2,
    UIE_BAD_CONTROL = -3,
    UIE_BAD_RESOURCE = -4,
    UIE_BAD_ATTRIBUTE = -5,
    UIE_BAD_VALUE = -6,
    UIE_BAD_INDEX = -7,
    UIE_NOT_ANSWERED = -8,
};

// A table cell (column, row), both from 1.
struct Point {
    int x;
    int y;
};
inline Point MakePoint(int column, int row) {
    return Point{column, row};
}

// ---- run time ----------------------------------------------------------------

// Starts the run time (font, style, application object) with the program's
// arguments; returns 1 on success, 0 on failure. Calling it again does nothing.
int InitCVIRTE(int argc, char *argv[]);

// Runs every pending event and returns. Callbacks may run from inside it.
void ProcessSystemEvents();

// Waits until at least one event arrived, then runs the pending ones. In a test
// (responder installed) it never blocks.
void WaitForSystemEvents();
// Processes events as they come for `seconds`, asleep in between: a wait that
// keeps the windows drawn and answers input at once without polling.
void ProcessSystemEventsFor(double seconds);

// Processes events until done() holds: the nested wait of a modal dialogue.
// In a test the responder is asked once (kind Wait, with the given text and
// panel); if done() still does not hold afterwards, the wait is recorded as
// unanswered and returns 0. Returns 1 once done() holds.
template <class F> int WaitUntil(const char *what, int panel, F done);
int WaitUntilImpl(const char *what, int panel, bool (*done)(void *), void *ctx);
template <class F> int WaitUntil(const char *what, int panel, F done) {
    return WaitUntilImpl(
        what, panel, [](void *c) { return static_cast<bool>((*static_cast<F *>(c))()); }, &done);
}

// While a long operation runs: operator input (mouse, keys, wheel, shortcuts)
// reaches only this panel and the popups and dialogues shown over it; windows
// are still drawn and their close boxes still answered. 0: input everywhere.
void SetInputOnlyTo(int panel);
int GetInputOnlyTo();

// While a long operation runs: each window is repainted at most once every
// msec milliseconds; every change is still drawn, at most that much later.
// 0 (the default): repainted as soon as events are processed, and whatever
// was held back is drawn now.
void SetRedrawInterval(int msec);
int GetRedrawInterval();

void SetWaitCursor(int on);
int GetWaitCursor();

// ---- panels ------------------------------------------------------------------

// Loads panel `resource` of the built-in resource file `fileName` (see
// uiresource.h). parent 0: a top-level panel. Returns the panel handle (> 0) or
// a negative failure code.
int LoadPanel(int parent, const char *fileName, int resource);
// A new empty top-level panel, built in code.
int NewPanel(int parent, const char *title, int top, int left, int height, int width);
int DisplayPanel(int panel);
int HidePanel(int panel);
int DiscardPanel(int panel);
int InstallPopup(int panel); // shows the panel as a modal popup
int RemovePopup(int all);    // all != 0: every popup; 0: the topmost
int InstallPanelCallback(int panel, PanelCallbackPtr cb, void *callbackData);
int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const char *value);
int GetPanelAttribute(int panel, int attribute, int *value);
int GetPanelAttribute(int panel, int attribute, std::string &value);
// Restores every control of the panel to its default value.
int DefaultPanel(int panel);
int GetPanelMenuBar(int panel);
// Whether the handle names a live panel.
bool PanelExists(int panel);

// ---- tab control -------------------------------------------------------------

// Turns the canvas `control` of `panel` into a tab control at the same place
// and with the same constant and callback; returns the control (its handle).
int ConvertCanvasToTab(int panel, int control);
// Loads panel `resource` as a new sheet at the end of the tab control; returns
// the sheet's panel handle. The sheet's title is the tab's text.
int InsertPanelAsTabPage(int panel, int tabControl, const char *fileName, int resource);
int GetActiveTabPage(int panel, int tabControl, int *index);
int SetActiveTabPage(int panel, int tabControl, int index);

// ---- controls ----------------------------------------------------------------

enum CtrlKind {
    CTRL_COMMAND_BUTTON = 1,
    CTRL_NUMERIC,
    CTRL_NUMERIC_INDICATOR,
    CTRL_STRING,
    CTRL_STRING_INDICATOR,
    CTRL_TEXT_BOX,
    CTRL_TEXT_MSG,
    CTRL_RING,
    CTRL_LIST_BOX,
    CTRL_ON_OFF,
    CTRL_LED,
    CTRL_TABLE,
    CTRL_CANVAS,
    CTRL_TAB,
    CTRL_PICTURE,
    CTRL_DECORATION,
    CTRL_PROGRESS, // a progress bar: value 0..ATTR_MAX_VALUE
};

// A new control on a panel built in code; returns its id (> 0).
int NewCtrl(int panel, int kind, const char *label, int top, int left);
int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr cb, void *callbackData);

int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, short *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, std::string &value);
// Copies at most size - 1 bytes and ends the text with a zero.
int GetCtrlVal(int panel, int control, char *buffer, std::size_t size);
int DefaultCtrl(int panel, int control);

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int GetCtrlAttribute(int panel, int control, int attribute, std::string &value);
int SetActiveCtrl(int panel, int control);
int GetActiveCtrl(int panel);

// List boxes and rings: items with integer values.
int InsertListItem(int panel, int control, int index, const char *text, int value);
int ClearListCtrl(int panel, int control);
int GetNumListItems(int panel, int control, int *count);
int GetLabelFromIndex(int panel, int control, int index, std::string &text);

// Text boxes.
int InsertTextBoxLine(int panel, int control, int index, const char *text); // index -1: at the end
int GetNumTextBoxLines(int panel, int control, int *count);
int ResetTextBox(int panel, int control, const char *text);

// Tables. Cells hold numbers unless set to text.
int InsertTableRows(int panel, int control, int index, int count); // index -1: at the end
int GetNumTableRows(int panel, int control, int *count);
int SetTableCellVal(int panel, int control, Point cell, double value);
int SetTableCellVal(int panel, int control, Point cell, const char *value);
int GetTableCellVal(int panel, int control, Point cell, double *value);
int GetTableCellVal(int panel, int control, Point cell, std::string &value);
int SetTableCellAttribute(int panel, int control, Point cell, int attribute, int value);
int GetTableCellAttribute(int panel, int control, Point cell, int attribute, int *value);
int SetTableRowAttribute(int panel, int control, int row, int attribute, const char *value);
int GetTableRowAttribute(int panel, int control, int row, int attribute, std::string &value);
// The cell the keyboard works on.
int SetActiveTableCell(int panel, int control, Point cell);
int GetActiveTableCell(int panel, int control, Point *cell);
// Column `column`, rows first..first+count-1, from or into `values`.
int SetTableColumnVals(int panel, int control, int column, int firstRow, int count,
                       const double *values);
int GetTableColumnVals(int panel, int control, int column, int firstRow, int count, double *values);

// Menu bars.
int SetMenuBarAttribute(int menuBar, int item, int attribute, int value);
int GetMenuBarAttribute(int menuBar, int item, int attribute, int *value);

// ---- popups ------------------------------------------------------------------

int MessagePopup(const char *title, const char *message);
// 1 when the operator answers "Да", 0 for "Нет".
int ConfirmPopup(const char *title, const char *message);
// Returns VAL_NO_FILE_SELECTED, VAL_EXISTING_FILE_SELECTED or VAL_NEW_FILE_SELECTED
// and the chosen path (at most pathSize - 1 bytes).
// buttonLabel VAL_SAVE_BUTTON: a save dialogue ("Сохранить", asks before
// overwriting a file); any other: an open dialogue.
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char *path, std::size_t pathSize);
enum { VAL_OK_BUTTON = 1, VAL_SAVE_BUTTON = 2, VAL_SELECT_BUTTON = 3, VAL_LOAD_BUTTON = 4 };
