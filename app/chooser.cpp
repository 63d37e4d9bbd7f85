// The instrument chooser SI: built in code on first use, then hidden and shown
// again for every choice.
#include "instruments.h"

#include "userint.h"

#include <string>

int siPanel = 0;

namespace {

InstrumentEntry *curInstr = nullptr;

int siOkCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT && SetCurInstr() == 0)
        HidePanel(siPanel);
    return 0;
}

int siListCB(int, int, int event, void *, int, int) {
    if ((event == EVENT_COMMIT || event == EVENT_LEFT_DOUBLE_CLICK) && SetCurInstr() == 0)
        HidePanel(siPanel);
    return 0;
}

int siCancelCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT || event == EVENT_DISCARD) {
        HidePanel(siPanel);
        curInstr = nullptr;
    }
    return 0;
}

// The list text: the description on one line.
std::string oneLine(const char *descr) {
    std::string s;
    for (const char *p = descr; *p != '\0'; ++p) {
        if (*p == '\n')
            s += "  ";
        else
            s += *p;
    }
    return s;
}

InstrumentEntry *choose(const char *title, bool carriers, uint16_t model) {
    if (siPanel <= 0)
        siPanel = BuildSI(title);
    if (siPanel <= 0)
        return nullptr;
    SetPanelAttribute(siPanel, ATTR_TITLE, title);
    int items = carriers ? SetListInstrsNM() : SetListInstrs(model);
    if (items == 0)
        return nullptr;
    curInstr = nullptr;
    DisplayPanel(siPanel);
    int shown = 1;
    if (WaitUntil(title, siPanel, [&] {
            GetPanelAttribute(siPanel, ATTR_VISIBLE, &shown);
            return shown == 0;
        }) == 0) {
        // Nobody answered: as if cancelled.
        HidePanel(siPanel);
        curInstr = nullptr;
    }
    return curInstr;
}

} // namespace

int BuildSI(const char *title) {
    int p = NewPanel(0, title, 0, 0, 335, 517);
    if (p < 0)
        return p;
    SetPanelAttribute(p, ATTR_CONSTANT_NAME, "SI");
    SetPanelAttribute(p, ATTR_BACKCOLOR, 0xC0C0C0);
    SetPanelAttribute(p, ATTR_TOP, VAL_AUTO_CENTER);
    int ok = NewCtrl(p, CTRL_COMMAND_BUTTON, "Выбрать", 41, 408);
    int cancel = NewCtrl(p, CTRL_COMMAND_BUTTON, "Отмена", 84, 408);
    int list = NewCtrl(p, CTRL_LIST_BOX, "", 3, 14);
    for (int c : {ok, cancel}) {
        SetCtrlAttribute(p, c, ATTR_HEIGHT, 25);
        SetCtrlAttribute(p, c, ATTR_WIDTH, 103);
    }
    SetCtrlAttribute(p, list, ATTR_HEIGHT, 323);
    SetCtrlAttribute(p, list, ATTR_WIDTH, 385);
    SetCtrlAttribute(p, list, ATTR_TEXT_BGCOLOR, VAL_WHITE);
    InstallCtrlCallback(p, ok, siOkCB, nullptr);
    InstallCtrlCallback(p, cancel, siCancelCB, nullptr);
    InstallCtrlCallback(p, list, siListCB, nullptr);
    SetPanelAttribute(p, ATTR_CLOSE_CTRL, cancel);
    SetPanelAttribute(p, ATTR_DEFAULT_CTRL, ok);
    return p;
}

int SetListInstrsNM() {
    ClearListCtrl(siPanel, SI_LIST);
    int n = 0;
    for (int i = 0; i < MAX_INSTRUMENTS; ++i) {
        const InstrumentEntry &e = Instruments[i];
        if (e.model != 0 && e.kind == KIND_CARRIER) {
            InsertListItem(siPanel, SI_LIST, -1, oneLine(e.descr).c_str(), i);
            ++n;
        }
    }
    return n;
}

int SetListInstrs(uint16_t model) {
    ClearListCtrl(siPanel, SI_LIST);
    int n = 0;
    for (int i = 0; i < MAX_INSTRUMENTS; ++i) {
        const InstrumentEntry &e = Instruments[i];
        if (e.model == model) {
            InsertListItem(siPanel, SI_LIST, -1, oneLine(e.descr).c_str(), i);
            ++n;
        }
    }
    return n;
}

int SetCurInstr() {
    int items = 0, index = -1;
    if (GetNumListItems(siPanel, SI_LIST, &items) != 0 || items == 0)
        return -1;
    if (GetCtrlVal(siPanel, SI_LIST, &index) != 0 || index < 0 || index >= MAX_INSTRUMENTS)
        return -1;
    curInstr = &Instruments[index];
    return 0;
}

InstrumentEntry *SelectInstrumentNM(const char *title) {
    return choose(title, true, 0);
}

InstrumentEntry *SelectInstrument(const char *title, uint16_t model) {
    int cursor = GetWaitCursor();
    SetWaitCursor(0);
    InstrumentEntry *e = choose(title, false, model);
    SetWaitCursor(cursor);
    return e;
}
