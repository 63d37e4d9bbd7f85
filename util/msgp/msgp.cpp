#include "msgp.h"

#include <string_view>

namespace {
int panel = 0;
int textBox = 0;
int progressText = 0, progressBar = 0, stopButton = 0;
bool progressShown = false, stopShown = false;
int progressMax = 0; // the bar's range as last set: setting it again redraws the bar

constexpr int kWidth = 400;
constexpr int kProgressHeight = 40; // the progress line and bar under the text

// The text box on top; the progress and the button, when shown, under it.
void layOut() {
    int height = 0;
    GetCtrlAttribute(panel, textBox, ATTR_HEIGHT, &height);
    const bool below = progressShown || stopShown;
    SetCtrlAttribute(panel, progressText, ATTR_VISIBLE, progressShown ? 1 : 0);
    SetCtrlAttribute(panel, progressBar, ATTR_VISIBLE, progressShown ? 1 : 0);
    SetCtrlAttribute(panel, stopButton, ATTR_VISIBLE, stopShown ? 1 : 0);
    SetCtrlAttribute(panel, progressText, ATTR_TOP, height + 2);
    SetCtrlAttribute(panel, progressBar, ATTR_TOP, height + 20);
    SetCtrlAttribute(panel, stopButton, ATTR_TOP, height + 7);
    SetPanelAttribute(panel, ATTR_HEIGHT, height + (below ? kProgressHeight : 0));
}
} // namespace

int msgpPanel() {
    return panel;
}
int msgpTextBox() {
    return textBox;
}
int msgpProgressText() {
    return progressText;
}
int msgpProgressBar() {
    return progressBar;
}
int msgpStopButton() {
    return stopButton;
}

void BuildMSGP() {
    if (panel > 0)
        return;
    int p = NewPanel(0, "", 21, 5, 125, kWidth);
    if (p < 0)
        return;
    SetPanelAttribute(p, ATTR_CONSTANT_NAME, "MSGP");
    int box = NewCtrl(p, CTRL_TEXT_BOX, "", 0, 0);
    SetCtrlAttribute(p, box, ATTR_HEIGHT, 125);
    SetCtrlAttribute(p, box, ATTR_WIDTH, kWidth);
    SetCtrlAttribute(p, box, ATTR_TEXT_BGCOLOR, 0xFFFFCC);
    progressText = NewCtrl(p, CTRL_TEXT_MSG, "", 127, 8);
    SetCtrlAttribute(p, progressText, ATTR_WIDTH, 290);
    SetCtrlAttribute(p, progressText, ATTR_HEIGHT, 16);
    progressBar = NewCtrl(p, CTRL_PROGRESS, "", 145, 8);
    SetCtrlAttribute(p, progressBar, ATTR_WIDTH, 290);
    SetCtrlAttribute(p, progressBar, ATTR_HEIGHT, 14);
    stopButton = NewCtrl(p, CTRL_COMMAND_BUTTON, "Стоп", 132, 306);
    SetCtrlAttribute(p, stopButton, ATTR_WIDTH, 86);
    SetCtrlAttribute(p, stopButton, ATTR_HEIGHT, 26);
    for (int c : {progressText, progressBar, stopButton})
        SetCtrlAttribute(p, c, ATTR_VISIBLE, 0);
    // Return and Escape stop a run as the button does.
    SetPanelAttribute(p, ATTR_DEFAULT_CTRL, stopButton);
    SetPanelAttribute(p, ATTR_TOP, VAL_AUTO_CENTER);
    SetPanelAttribute(p, ATTR_LEFT, VAL_AUTO_CENTER);
    panel = p;
    progressMax = 0;
    textBox = box;
}

void msgpDisplay(const char *text) {
    BuildMSGP();
    if (panel <= 0)
        return;
    std::string_view t = text != nullptr ? text : "";
    ResetTextBox(panel, textBox, text != nullptr ? text : "");
    // One visible line per line of the text, so nothing needs scrolling. A
    // trailing line break opens one more (empty) line, as the box shows it.
    int lines = 1;
    for (char c : t)
        if (c == '\n')
            ++lines;
    SetCtrlAttribute(panel, textBox, ATTR_VISIBLE_LINES, lines);
    ProcessSystemEvents();
    layOut();
    DisplayPanel(panel);
}

void msgpHide() {
    if (panel > 0)
        HidePanel(panel);
}

void msgpProgress(const char *text, int value, int max) {
    BuildMSGP();
    if (panel <= 0)
        return;
    const bool shown = text != nullptr;
    if (shown) {
        SetCtrlVal(panel, progressText, text);
        const int top = max > 0 ? max : 1;
        if (top != progressMax) {
            SetCtrlAttribute(panel, progressBar, ATTR_MAX_VALUE, top);
            progressMax = top;
        }
        SetCtrlVal(panel, progressBar, value);
    }
    if (shown != progressShown) {
        progressShown = shown;
        layOut();
    }
}

void msgpStop(CtrlCallbackPtr callback) {
    BuildMSGP();
    if (panel <= 0)
        return;
    InstallCtrlCallback(panel, stopButton, callback, nullptr);
    const bool shown = callback != nullptr;
    if (shown != stopShown) {
        stopShown = shown;
        SetPanelAttribute(panel, ATTR_CLOSE_CTRL, shown ? stopButton : 0);
        layOut();
    }
}
