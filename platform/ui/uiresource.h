// The form of a panel resource file built into the program: panels by resource
// number, their controls with kind, place, label, default, range and callback,
// and the menu bars. The application describes its panels as data of this form
// and registers them under the file name it loads them by.
#pragma once

#include "userint.h"

#include <string>
#include <vector>

namespace ui {

struct ItemSpec {
    std::string text{};
    int value = 0;
};

struct ControlSpec {
    int id = 0;
    std::string constant{}; // the constant's name without the panel prefix
    int kind = CTRL_DECORATION;
    std::string label{};
    int top = 0, left = 0, height = 0, width = 0;
    CtrlCallbackPtr callback = nullptr;

    // Defaults: numbers for numerics, on/off, LEDs, rings and list boxes; text
    // for strings, text boxes and text messages.
    double value = 0.0;
    std::string text{};
    double min = -1e300, max = 1e300, increment = 1.0;
    int precision = 0; // digits after the point for numerics
    bool visible = true;
    bool dimmed = false;
    int textColor = VAL_BLACK;
    int textBgColor = -1;    // -1: the kind's usual
    int onColor = VAL_GREEN; // LEDs and on/off controls
    int offColor = 0x404040;
    int fontSize = 0; // pixels; 0: the panel's
    bool bold = false;
    bool monospace = false;  // columns of figures line up
    bool centred = false;    // text messages
    int labelPlacement = 0;  // 0 above, 1 left, 2 right of the control
    std::string accessKey{}; // a letter (UTF-8) shown underlined in a button's label

    std::vector<ItemSpec> items{}; // rings and list boxes

    // Tables.
    int rows = 0, columns = 0;
    std::vector<std::string> rowLabels{}, columnLabels{};
    std::string corner{};
    int rowLabelWidth = 70;
    bool cellsEditable = false;
    int visibleRows = 0; // rows shown without scrolling (their height follows); 0: the usual rows
    std::vector<int> columnWidths{}; // pixels; the rest share what is left
};

struct MenuItemSpec {
    int id = 0; // 0 for a separator
    std::string constant{};
    std::string label{};
    std::string accessKey{}; // a letter of the label (UTF-8), underlined: the mnemonic
};

struct MenuSpec {
    int id = 0;
    std::string constant{};
    std::string label{};
    std::vector<MenuItemSpec> items{};
    std::string accessKey{}; // the menu's mnemonic in the menu bar
};

struct MenuBarSpec {
    int id = 0;
    std::string constant{};
    std::vector<MenuSpec> menus{};
    MenuCallbackPtr callback = nullptr; // for every item
};

struct PanelSpec {
    int resource = 0;
    std::string constant{};
    std::string title{};
    int width = 0, height = 0;
    int backColor = VAL_PANEL_GRAY;
    PanelCallbackPtr callback = nullptr;
    int closeCtrl = 0;   // control committed by the window's close box and by Escape; 0: none
    int defaultCtrl = 0; // button pressed by Return when no button has the focus; 0: none
    const MenuBarSpec *menuBar = nullptr;
    std::vector<ControlSpec> controls{};
};

// Makes the panels available to LoadPanel under fileName. The specs must stay
// alive for the life of the program.
void RegisterResourceFile(const char *fileName, const std::vector<PanelSpec> *panels);

} // namespace ui
