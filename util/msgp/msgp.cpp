#include "msgp.h"

#include "userint.h"

#include <string_view>

namespace {
int panel = 0;
int textBox = 0;
} // namespace

int msgpPanel() {
    return panel;
}
int msgpTextBox() {
    return textBox;
}

void BuildMSGP() {
    if (panel > 0)
        return;
    int p = NewPanel(0, "", 21, 5, 125, 400);
    if (p < 0)
        return;
    SetPanelAttribute(p, ATTR_CONSTANT_NAME, "MSGP");
    int box = NewCtrl(p, CTRL_TEXT_BOX, "", 0, 0);
    SetCtrlAttribute(p, box, ATTR_HEIGHT, 125);
    SetCtrlAttribute(p, box, ATTR_WIDTH, 400);
    SetCtrlAttribute(p, box, ATTR_TEXT_BGCOLOR, 0xFFFFCC);
    SetPanelAttribute(p, ATTR_TOP, VAL_AUTO_CENTER);
    SetPanelAttribute(p, ATTR_LEFT, VAL_AUTO_CENTER);
    panel = p;
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
    int height = 0;
    GetCtrlAttribute(panel, textBox, ATTR_HEIGHT, &height);
    SetPanelAttribute(panel, ATTR_HEIGHT, height);
    DisplayPanel(panel);
}

void msgpHide() {
    if (panel > 0)
        HidePanel(panel);
}
