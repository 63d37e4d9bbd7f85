// Driving the user interface from a test: one responder answers every popup and
// every modal wait, and the operator's actions go through the real widgets so
// that the program's callbacks run exactly as they do for a person.
#pragma once

#include "userint.h"

#include <functional>
#include <string>
#include <vector>

namespace ui::test {

enum class RequestKind { Message, Confirm, FileSelect, Wait };

struct Request {
    RequestKind kind;
    std::string title; // popup title, or what a wait waits for
    std::string text;  // popup message
    int panel = 0;     // the panel a wait waits on
    int button = 0;    // FileSelect: the button label asked for (VAL_SAVE_BUTTON: a save dialogue)
};

struct Answer {
    bool answered = false;
    int value = 0;    // Confirm: 1 yes, 0 no; FileSelect: the popup's result
    std::string path; // FileSelect
    static Answer yes() { return {true, 1, {}}; }
    static Answer no() { return {true, 0, {}}; }
    static Answer ok() { return {true, 1, {}}; }
    static Answer file(std::string p) { return {true, VAL_EXISTING_FILE_SELECTED, std::move(p)}; }
    static Answer none() { return {}; }
};

using Responder = std::function<Answer(const Request &)>;

// Installs the responder (an empty one removes it). While one is installed, no
// popup is shown, no wait blocks, and every request is recorded.
void setResponder(Responder responder);
bool hasResponder();

// Every request seen since the last clear, and those nobody answered.
std::vector<Request> requests();
std::vector<std::string> unanswered();
void clearRecord();

// The operator's actions. Each acts through the widget as a person would and
// returns false (and records nothing) when the control is hidden, dimmed, of the
// wrong kind or missing: an operator cannot use such a control.
bool click(int panel, int control);                       // command button
bool enter(int panel, int control, double value);         // numeric: type and Enter
bool enterText(int panel, int control, const char *text); // string: type and Enter
bool choose(int panel, int control, int index);           // ring or list box, item index
bool activate(int panel, int control, int index);         // list box: double click on the item
bool toggle(int panel, int control);                      // on/off control
bool doubleClickCell(int panel, int control, int column, int row);
bool selectTab(int panel, int tabControl, int index);
bool closeWindow(int panel);                // the window's close box
bool chooseMenuItem(int menuBar, int item); // a menu command

// Whether the control can be seen (its panel shown and the control visible).
bool isShown(int panel, int control);
bool isPanelShown(int panel);
bool isPopup(int panel);
std::string popupStack(); // titles of the popups shown, bottom first, for messages

// The panel as it is drawn now, saved as PNG. Returns false on failure.
bool grabPanel(int panel, const char *pngPath);

} // namespace ui::test
