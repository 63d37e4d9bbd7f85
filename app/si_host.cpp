// What the reference multimeters need of the front panel: its status line, its
// LED and a message box. Built when si/ is in the build.
#include "front_panel.h"

#include "p_ortav.h"
#include "si_host.h"
#include "userint.h"

#include <string>

namespace {
unsigned g_lines = 0;
std::string g_last;
} // namespace

void siHostStatusLine(const char *text) {
    ++g_lines;
    g_last = text != nullptr ? text : "";
    SetCtrlVal(mp, MP_MSG, g_last.c_str());
}

unsigned multimeterStatusLines() {
    return g_lines;
}

std::string multimeterStatusText() {
    return g_last;
}

void siHostLedColor(int color) {
    SetCtrlAttribute(mp, MP_LED, ATTR_ON_COLOR, color);
}

void siHostMessage(const char *title, const char *text) {
    MessagePopup(title, text);
}
