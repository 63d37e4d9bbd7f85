// The status line and the connection LED of the main panel.
#include "front_panel.h"

#include "linked_parts.h"
#include "ortav.h"
#include "p_ortav.h"
#include "text_limits.h"
#include "userint.h"

#include <string>

void error(const char *callText, ViStatus status) {
    if (status == 0) {
        SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_GRAY);
        return;
    }
    char text[ORTAV_MESSAGE_SIZE] = "";
    ortav_error_message(0, status, text);
    text[sizeof text - 1] = '\0';
    std::string line = std::string(text) + " " + (callText != nullptr ? callText : "");
    char shown[256];
    copyText(shown, sizeof shown, line);
    SetCtrlVal(mp, MP_MSG, shown);
    SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_RED);
}

void setLed() {
    SetCtrlAttribute(mp, MP_LED, ATTR_ON_COLOR,
                     mvi != 0 && hasMultimeter() ? VAL_YELLOW : VAL_GREEN);
    SetCtrlVal(mp, MP_LED, mvi != 0 ? 1 : 0);
}

int messageCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        DefaultCtrl(mp, MP_MSG);
    return 0;
}
