// What the reference multimeters need of the front panel: its status line, its
// LED and a message box. Built when si/ is in the build.
#include "front_panel.h"

#include "p_ortav.h"
#include "si_host.h"
#include "userint.h"

void siHostStatusLine(const char *text) {
    SetCtrlVal(mp, MP_MSG, text != nullptr ? text : "");
}

void siHostLedColor(int color) {
    SetCtrlAttribute(mp, MP_LED, ATTR_ON_COLOR, color);
}

void siHostMessage(const char *title, const char *text) {
    MessagePopup(title, text);
}
