// The panel resource "p_ortav.uir", built into the program: the seven panels,
// every control with its label, default, range and callback, and the menu bar.
// This is the one place that describes what the operator sees.
#include "panels.h"

#include "front_panel.h"
#include "linked_parts.h"
#include "p_ortav.h"
#include "uiresource.h"

using ui::ControlSpec;
using ui::PanelSpec;

namespace {

constexpr int kGreyPanel = 0xC0C0C0;
constexpr int kSheetGrey = 0xD4D0C8;
constexpr int kStatusBlue = 0x1F3A60;

// Nominal resistances of rows 1..18 of TABLE on CP, and the series resistance.
const std::vector<std::string> kCpTableRows{
    "18.75",     "37.5",      "75.0",      "150",       "300",      "600",      "1.20 E+3",
    "2.40 E+3",  "4.80 E+3",  "9.60 E+3",  "19.2 E+3",  "38.4 E+3", "76.8 E+3", "153.6 E+3",
    "307.2 E+3", "614.4 E+3", "1.229 E+6", "2.458 E+6", "R0"};

ui::MenuBarSpec menuBar() {
    return {
        .id = MENU,
        .constant = "MENU",
        .menus = {{.id = MENU_INSTR,
                   .constant = "INSTR",
                   .label = "Инструмент",
                   .items = {{MENU_INSTR_SELECT, "SELECT", "Выбор инструмента...", "В"},
                             {MENU_INSTR_SELECT_HP, "SELECT_HP", "Выбор инструмента контроля", "к"},
                             {MENU_INSTR_OSNOWN, "OSNOWN", "Основная панель...", "О"},
                             {0, "", ""},
                             {MENU_INSTR_EXIT, "EXIT", "Выход", "х"}},
                   .accessKey = "И"},
                  {.id = MENU_EXE,
                   .constant = "EXE",
                   .label = "Выполнить...",
                   .items = {{MENU_EXE_CALIBR, "CALIBR", "Калибровку автоматически", "К"},
                             {MENU_EXE_RESET, "RESET", "Сброс", "б"},
                             {MENU_EXE_SELFTEST, "SELFTEST", "Самоконтроль", "С"}},
                   .accessKey = "В"},
                  {.id = MENU_HELP,
                   .constant = "HELP",
                   .label = "Справка",
                   .items = {{MENU_HELP_ABOUT, "ABOUT", "О программе", "О"},
                              {MENU_HELP_HISTORY, "HISTORY", "История", "И"}},
                   .accessKey = "С"}},
        .callback = MenuCallback};
}

PanelSpec about() {
    PanelSpec p{.resource = ABOUT,
                .constant = "ABOUT",
                .title = "О программе...",
                .width = 364,
                .height = 265,
                .backColor = 0xD4D0C8,
                .closeCtrl = ABOUT_COMMANDBUTTON,
                .defaultCtrl = ABOUT_COMMANDBUTTON};
    auto &c = p.controls;
    c.push_back({.id = ABOUT_DECORATION,
                 .constant = "DECORATION",
                 .kind = CTRL_DECORATION,
                 .top = 4,
                 .left = 4,
                 .height = 82,
                 .width = 356});
    c.push_back({.id = ABOUT_VXI_LOGO,
                 .constant = "VXI_LOGO",
                 .kind = CTRL_PICTURE,
                 .top = 12,
                 .left = 12,
                 .height = 64,
                 .width = 70,
                 .value = 1});
    c.push_back({.id = ABOUT_PICTURE_2,
                 .constant = "PICTURE_2",
                 .kind = CTRL_PICTURE,
                 .top = 12,
                 .left = 282,
                 .height = 64,
                 .width = 70,
                 .value = 0});
    c.push_back({.id = ABOUT_TEXTMSG_2,
                 .constant = "TEXTMSG_2",
                 .kind = CTRL_TEXT_MSG,
                 .label = "Мезонин ORTAV\nпрограммируемые\n сопротивления",
                 .top = 8,
                 .left = 88,
                 .height = 56,
                 .width = 188,
                 .textColor = kStatusBlue,
                 .fontSize = 13,
                 .bold = true,
                 .centred = true});
    c.push_back({.id = ABOUT_TEXTMSG,
                 .constant = "TEXTMSG",
                 .kind = CTRL_TEXT_MSG,
                 .label = "управления модулем",
                 .top = 64,
                 .left = 88,
                 .height = 18,
                 .width = 188,
                 .centred = true});
    c.push_back({.id = ABOUT_DECORATION_2,
                 .constant = "DECORATION_2",
                 .kind = CTRL_DECORATION,
                 .top = 90,
                 .left = 4,
                 .height = 130,
                 .width = 356});
    c.push_back({.id = ABOUT_DRVR_VERSION,
                 .constant = "DRVR_VERSION",
                 .kind = CTRL_STRING_INDICATOR,
                 .label = "Версия  драйвера",
                 .top = 114,
                 .left = 12,
                 .height = 22,
                 .width = 340});
    c.push_back({.id = ABOUT_SOFT_VERSION,
                 .constant = "SOFT_VERSION",
                 .kind = CTRL_STRING_INDICATOR,
                 .label = "Версия  программы",
                 .top = 154,
                 .left = 12,
                 .height = 22,
                 .width = 340});
    c.push_back({.id = ABOUT_CERT_MSG,
                 .constant = "CERT_MSG",
                 .kind = CTRL_STRING_INDICATOR,
                 .label = "Метрологически значимая часть",
                 .top = 194,
                 .left = 12,
                 .height = 22,
                 .width = 340,
                 .fontSize = 10});
    c.push_back({.id = ABOUT_COMMANDBUTTON,
                 .constant = "COMMANDBUTTON",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Закрыть",
                 .top = 230,
                 .left = 132,
                 .height = 26,
                 .width = 100,
                 .callback = ClosePanelCB});
    return p;
}

PanelSpec chlp() {
    PanelSpec p{.resource = CHLP,
                .constant = "CHLP",
                .title = "Поверка",
                .width = 640,
                .height = 469,
                .backColor = kGreyPanel,
                .closeCtrl = CHLP_COMMANDBUTTON_2,
                .defaultCtrl = CHLP_COMMANDBUTTON_2};
    p.controls.push_back({.id = CHLP_LOG,
                          .constant = "LOG",
                          .kind = CTRL_TEXT_BOX,
                          .label = "Протокол поверки",
                          .top = 24,
                          .left = 8,
                          .height = 398,
                          .width = 624,
                          .textBgColor = 0xFFFFFF,
                          .monospace = true});
    p.controls.push_back({.id = CHLP_COMMANDBUTTON_2,
                          .constant = "COMMANDBUTTON_2",
                          .kind = CTRL_COMMAND_BUTTON,
                          .label = "Закрыть",
                          .top = 432,
                          .left = 270,
                          .height = 28,
                          .width = 100,
                          .callback = cancelP});
    return p;
}

PanelSpec cp() {
    PanelSpec p{.resource = CP,
                .constant = "CP",
                .title = "Калибровка",
                .width = 555,
                .height = 292,
                .backColor = kSheetGrey};
    auto &c = p.controls;
    c.push_back({.id = CP_TABLE,
                 .constant = "TABLE",
                 .kind = CTRL_TABLE,
                 .top = 6,
                 .left = 6,
                 .height = 280,
                 .width = 316,
                 .callback = selectR,
                 .precision = 4,
                 .rows = 19,
                 .columns = 2,
                 .rowLabels = kCpTableRows,
                 .columnLabels = {"канал 1", "канал 2"},
                 .corner = "Ом \\ канал",
                 .rowLabelWidth = 84,
                 .cellsEditable = true});
    c.push_back({.id = CP_TABLE_I,
                 .constant = "TABLE_I",
                 .kind = CTRL_TABLE,
                 .top = 6,
                 .left = 328,
                 .height = 61,
                 .width = 222,
                 .callback = selectN,
                 .precision = 7,
                 .fontSize = 11,
                 .rows = 2,
                 .columns = 2,
                 .rowLabels = {"2.9", "0.2"},
                 .columnLabels = {"канал 1", "канал 2"},
                 .corner = "мА \\ канал",
                 .rowLabelWidth = 66,
                 .cellsEditable = true});
    c.push_back({.id = CP_DECORATION,
                 .constant = "DECORATION",
                 .kind = CTRL_DECORATION,
                 .top = 146,
                 .left = 328,
                 .height = 140,
                 .width = 222});
    c.push_back({.id = CP_READ,
                 .constant = "READ",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Прочитать flash",
                 .top = 160,
                 .left = 358,
                 .height = 28,
                 .width = 162,
                 .callback = readFlash});
    c.push_back({.id = CP_WRITE,
                 .constant = "WRITE",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Записать flash",
                 .top = 202,
                 .left = 358,
                 .height = 28,
                 .width = 162,
                 .callback = writeFlash});
    c.push_back({.id = CP_DEFAULT,
                 .constant = "DEFAULT",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Сбросить коэфф.",
                 .top = 244,
                 .left = 358,
                 .height = 28,
                 .width = 162,
                 .callback = defaultFlash});
    return p;
}

PanelSpec dp() {
    PanelSpec p{.resource = DP,
                .constant = "DP",
                .title = "Измерьте точное значение",
                .width = 282,
                .height = 145,
                .backColor = kGreyPanel,
                .closeCtrl = DP_COMMANDBUTTON_2,
                .defaultCtrl = DP_OK};
    auto &c = p.controls;
    c.push_back({.id = DP_CHAN,
                 .constant = "CHAN",
                 .kind = CTRL_NUMERIC_INDICATOR,
                 .label = "канал",
                 .top = 30,
                 .left = 12,
                 .height = 22,
                 .width = 50,
                 .value = 1});
    c.push_back({.id = DP_MEAS_R,
                 .constant = "MEAS_R",
                 .kind = CTRL_NUMERIC,
                 .label = "сопротивление, Ом",
                 .top = 30,
                 .left = 84,
                 .height = 22,
                 .width = 186,
                 .min = 0.0,
                 .max = 1e7,
                 .increment = 0.1,
                 .precision = 4});
    c.push_back({.id = DP_MEAS_U,
                 .constant = "MEAS_U",
                 .kind = CTRL_NUMERIC,
                 .label = "напряжение, В",
                 .top = 30,
                 .left = 84,
                 .height = 22,
                 .width = 186,
                 .min = -100.0,
                 .max = 100.0,
                 .increment = 0.001,
                 .precision = 6,
                 .visible = false});
    c.push_back({.id = DP_OK,
                 .constant = "OK",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Ввести",
                 .top = 100,
                 .left = 30,
                 .height = 28,
                 .width = 100,
                 .callback = inputVal});
    c.push_back({.id = DP_COMMANDBUTTON_2,
                 .constant = "COMMANDBUTTON_2",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Отмена",
                 .top = 100,
                 .left = 152,
                 .height = 28,
                 .width = 100,
                 .callback = closePopup});
    return p;
}

PanelSpec mainPanel() {
    static const ui::MenuBarSpec bar = menuBar();
    PanelSpec p{.resource = MP,
                .constant = "MP",
                .title = "ORTAV",
                .width = 674,
                .height = 518,
                .backColor = 0xD4D0C8,
                .callback = CloseCB,
                .menuBar = &bar};
    auto &c = p.controls;
    // Header: emblem, name, the three operations.
    c.push_back({.id = MP_DECORATION,
                 .constant = "DECORATION",
                 .kind = CTRL_DECORATION,
                 .top = 4,
                 .left = 4,
                 .height = 68,
                 .width = 666});
    c.push_back({.id = MP_PICTURE,
                 .constant = "PICTURE",
                 .kind = CTRL_PICTURE,
                 .top = 10,
                 .left = 10,
                 .height = 56,
                 .width = 72,
                 .value = 0});
    c.push_back({.id = MP_TEXTMSG_3,
                 .constant = "TEXTMSG_3",
                 .kind = CTRL_TEXT_MSG,
                 .label = "Мезонин ORTAV\nпрограммируемые сопротивления",
                 .top = 10,
                 .left = 92,
                 .height = 38,
                 .width = 340,
                 .textColor = kStatusBlue,
                 .fontSize = 14,
                 .bold = true});
    c.push_back({.id = MP_TEXTMSG_2,
                 .constant = "TEXTMSG_2",
                 .kind = CTRL_TEXT_MSG,
                 .label = "Панель калибровки",
                 .top = 48,
                 .left = 92,
                 .height = 18,
                 .width = 200,
                 .textColor = 0x404040});
    c.push_back({.id = MP_SELFTEST,
                 .constant = "SELFTEST",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Самоконтроль",
                 .top = 10,
                 .left = 438,
                 .height = 26,
                 .width = 112,
                 .callback = SelftestCB});
    c.push_back({.id = MP_RESET,
                 .constant = "RESET",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Сброс",
                 .top = 40,
                 .left = 438,
                 .height = 26,
                 .width = 112,
                 .callback = ResetCB});
    c.push_back({.id = MP_PICTURE_2,
                 .constant = "PICTURE_2",
                 .kind = CTRL_PICTURE,
                 .top = 10,
                 .left = 560,
                 .height = 26,
                 .width = 104,
                 .value = 1});
    c.push_back({.id = MP_EXIT,
                 .constant = "EXIT",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Выход",
                 .top = 40,
                 .left = 560,
                 .height = 26,
                 .width = 104,
                 .callback = exitCB});
    // Status line.
    c.push_back({.id = MP_DECORATION_3,
                 .constant = "DECORATION_3",
                 .kind = CTRL_DECORATION,
                 .top = 76,
                 .left = 4,
                 .height = 32,
                 .width = 666});
    c.push_back({.id = MP_MSG,
                 .constant = "MSG",
                 .kind = CTRL_STRING_INDICATOR,
                 .top = 80,
                 .left = 8,
                 .height = 24,
                 .width = 604,
                 .textColor = VAL_BLACK,
                 .textBgColor = 0xFFFFF4,
                 .fontSize = 12,
                 .bold = true});
    c.push_back({.id = MP_MSG_OK,
                 .constant = "MSG_OK",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "OK",
                 .top = 80,
                 .left = 618,
                 .height = 24,
                 .width = 48,
                 .callback = messageCB});
    // The two sheets.
    c.push_back({.id = MP_CANVAS,
                 .constant = "CANVAS",
                 .kind = CTRL_CANVAS,
                 .top = 112,
                 .left = 4,
                 .height = 402,
                 .width = 560,
                 .callback = tabCB});
    // Carrier and module.
    c.push_back({.id = MP_DECORATION_2,
                 .constant = "DECORATION_2",
                 .kind = CTRL_DECORATION,
                 .top = 112,
                 .left = 568,
                 .height = 402,
                 .width = 102});
    c.push_back({.id = MP_LED,
                 .constant = "LED",
                 .kind = CTRL_LED,
                 .label = "Связь",
                 .top = 122,
                 .left = 578,
                 .height = 22,
                 .width = 22,
                 .labelPlacement = 2});
    c.push_back({.id = MP_MEZ_NUM,
                 .constant = "MEZ_NUM",
                 .kind = CTRL_LIST_BOX,
                 .top = 154,
                 .left = 576,
                 .height = 80,
                 .width = 88,
                 .callback = selMezonin,
                 .items = {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}}});
    c.push_back({.id = MP_MEZ_NUMold,
                 .constant = "MEZ_NUMold",
                 .kind = CTRL_NUMERIC_INDICATOR,
                 .label = "мезонин",
                 .top = 256,
                 .left = 576,
                 .height = 22,
                 .width = 88});
    c.push_back({.id = MP_CARRIER_LA,
                 .constant = "CARRIER_LA",
                 .kind = CTRL_NUMERIC_INDICATOR,
                 .label = "Крейт",
                 .top = 300,
                 .left = 576,
                 .height = 22,
                 .width = 88});
    c.push_back({.id = MP_CARRIER_SLOT,
                 .constant = "CARRIER_SLOT",
                 .kind = CTRL_NUMERIC_INDICATOR,
                 .label = "Слот",
                 .top = 344,
                 .left = 576,
                 .height = 22,
                 .width = 88});
    // The hardware version selects a norm and a point list; only 0, 1 and 2 have one.
    c.push_back({.id = MP_VER,
                 .constant = "VER",
                 .kind = CTRL_NUMERIC,
                 .label = "версия\nисполнения",
                 .top = 404,
                 .left = 576,
                 .height = 22,
                 .width = 88,
                 .callback = verCB,
                 .value = 2,
                 .min = 0,
                 .max = 2});
    c.push_back({.id = MP_AUTO_POV,
                 .constant = "AUTO_POV",
                 .kind = CTRL_ON_OFF,
                 .label = "Автоматические\nизмерения",
                 .top = 446,
                 .left = 572,
                 .height = 40,
                 .width = 98,
                 .callback = auto_measureCB,
                 .visible = false,
                 .fontSize = 9});
    return p;
}

PanelSpec pp() {
    PanelSpec p{.resource = PP,
                .constant = "PP",
                .title = "Поверка",
                .width = 555,
                .height = 369,
                .backColor = kGreyPanel};
    auto &c = p.controls;
    c.push_back({.id = PP_DECORATION,
                 .constant = "DECORATION",
                 .kind = CTRL_DECORATION,
                 .top = 4,
                 .left = 4,
                 .height = 138,
                 .width = 547});
    c.push_back({.id = PP_MODE,
                 .constant = "MODE",
                 .kind = CTRL_RING,
                 .top = 26,
                 .left = 12,
                 .height = 24,
                 .width = 134,
                 .callback = setModeCB,
                 .value = 1,
                 .items = {{"Сопротивление", 1}, {"Ток", 2}}});
    c.push_back({.id = PP_CHAN,
                 .constant = "CHAN",
                 .kind = CTRL_NUMERIC,
                 .label = "канал",
                 .top = 26,
                 .left = 156,
                 .height = 24,
                 .width = 56,
                 .callback = setChan,
                 .value = 1,
                 .min = 1,
                 .max = 2});
    c.push_back({.id = PP_R_Z,
                 .constant = "R_Z",
                 .kind = CTRL_NUMERIC,
                 .label = "заданное",
                 .top = 26,
                 .left = 222,
                 .height = 24,
                 .width = 116,
                 .callback = vavChgU_Z,
                 .value = 100.0,
                 .min = 0.0,
                 .max = 1e7,
                 .increment = 1.0,
                 .precision = 4});
    c.push_back({.id = PP_ED_IZM,
                 .constant = "ED_IZM",
                 .kind = CTRL_TEXT_MSG,
                 .label = "Ом",
                 .top = 26,
                 .left = 342,
                 .height = 24,
                 .width = 30,
                 .bold = true});
    c.push_back({.id = PP_SET,
                 .constant = "SET",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Установить",
                 .top = 25,
                 .left = 380,
                 .height = 26,
                 .width = 164,
                 .callback = setP});
    c.push_back({.id = PP_AUTO_POV,
                 .constant = "AUTO_POV",
                 .kind = CTRL_ON_OFF,
                 .label = "Автоповерка",
                 .top = 72,
                 .left = 96,
                 .height = 24,
                 .width = 112,
                 .callback = auto_pov,
                 .dimmed = true,
                 .fontSize = 10});
    c.push_back({.id = PP_TEMPERATURE,
                 .constant = "TEMPERATURE",
                 .kind = CTRL_NUMERIC,
                 .label = "град С",
                 .top = 72,
                 .left = 12,
                 .height = 24,
                 .width = 70,
                 .callback = temparatureCB,
                 .value = 20.0,
                 .min = -40.0,
                 .max = 80.0,
                 .increment = 0.5,
                 .precision = 1});
    c.push_back({.id = PP_R_I,
                 .constant = "R_I",
                 .kind = CTRL_NUMERIC,
                 .label = "измеренное",
                 .top = 72,
                 .left = 222,
                 .height = 24,
                 .width = 116,
                 .callback = vavChgU_I,
                 .min = -1e7,
                 .max = 1e7,
                 .increment = 0.001,
                 .precision = 4});
    c.push_back({.id = PP_ED_IZM_2,
                 .constant = "ED_IZM_2",
                 .kind = CTRL_TEXT_MSG,
                 .label = "Ом",
                 .top = 72,
                 .left = 342,
                 .height = 24,
                 .width = 30,
                 .bold = true});
    c.push_back({.id = PP_INPUT,
                 .constant = "INPUT",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Ввести",
                 .top = 71,
                 .left = 380,
                 .height = 26,
                 .width = 164,
                 .callback = inputP});
    c.push_back({.id = PP_FILE_NAME,
                 .constant = "FILE_NAME",
                 .kind = CTRL_STRING,
                 .top = 108,
                 .left = 12,
                 .height = 24,
                 .width = 300,
                 .text = "ortav.log"});
    c.push_back({.id = PP_FILE_NAME_S,
                 .constant = "FILE_NAME_S",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "файл протокола",
                 .top = 107,
                 .left = 318,
                 .height = 26,
                 .width = 124,
                 .callback = selFName});
    c.push_back({.id = PP_WRITE_LOG,
                 .constant = "WRITE_LOG",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Протокол",
                 .top = 107,
                 .left = 448,
                 .height = 26,
                 .width = 96,
                 .callback = writeLogCB});
    const std::vector<std::string> rCols{"канал", "R заданное", "R измеренное",
                                         "А(R)x погрешность"};
    const std::vector<std::string> iCols{"канал", "I заданное", "I измеренное",
                                         "А(I)x погрешность"};
    c.push_back({.id = PP_TABLE_R,
                 .constant = "TABLE_R",
                 .kind = CTRL_TABLE,
                 .label = "Сопротивление, Ом",
                 .top = 164,
                 .left = 6,
                 .height = 199,
                 .width = 543,
                 .precision = 4,
                 .columns = 4,
                 .columnLabels = rCols,
                 .rowLabelWidth = 36,
                 .columnWidths = {60}});
    c.push_back({.id = PP_TABLE_I,
                 .constant = "TABLE_I",
                 .kind = CTRL_TABLE,
                 .label = "Ток, мА",
                 .top = 164,
                 .left = 6,
                 .height = 199,
                 .width = 543,
                 .precision = 4,
                 .visible = false,
                 .columns = 4,
                 .columnLabels = iCols,
                 .rowLabelWidth = 36,
                 .columnWidths = {60}});
    // The verification chart: drawn over the tables' place when asked for.
    c.push_back({.id = PP_CHART_SHOW,
                 .constant = "CHART_SHOW",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "График",
                 .top = 143,
                 .left = 318,
                 .height = 20,
                 .width = 124,
                 .callback = chartCB,
                 .fontSize = 9});
    c.push_back({.id = PP_CHART_SAVE,
                 .constant = "CHART_SAVE",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "График в PNG",
                 .top = 143,
                 .left = 448,
                 .height = 20,
                 .width = 96,
                 .callback = saveChartCB,
                 .fontSize = 9});
    c.push_back({.id = PP_CHART,
                 .constant = "CHART",
                 .kind = CTRL_CANVAS,
                 .top = 164,
                 .left = 6,
                 .height = 199,
                 .width = 543,
                 .visible = false});
    return p;
}

PanelSpec st() {
    PanelSpec p{.resource = ST,
                .constant = "ST",
                .title = "Самоконтроль",
                .width = 654,
                .height = 167,
                .backColor = 0xF0F0F0};
    auto &c = p.controls;
    c.push_back({.id = ST_MSG,
                 .constant = "MSG",
                 .kind = CTRL_TEXT_BOX,
                 .top = 10,
                 .left = 10,
                 .height = 106,
                 .width = 486,
                 .text = "Идёт самоконтроль. \nЖдите ...",
                 .textBgColor = 0xFFFFFF,
                 .fontSize = 13});
    c.push_back({.id = ST_RESULT,
                 .constant = "RESULT",
                 .kind = CTRL_NUMERIC_INDICATOR,
                 .label = "Результат:",
                 .top = 24,
                 .left = 580,
                 .height = 24,
                 .width = 64,
                 .fontSize = 13,
                 .bold = true,
                 .labelPlacement = 1});
    c.push_back({.id = ST_STOP,
                 .constant = "STOP",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Остановить",
                 .top = 128,
                 .left = 10,
                 .height = 28,
                 .width = 120,
                 .callback = stopSelftest,
                 .visible = false});
    c.push_back({.id = ST_CANCEL,
                 .constant = "CANCEL",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Продолжить",
                 .top = 128,
                 .left = 140,
                 .height = 28,
                 .width = 120,
                 .callback = continueSelftest,
                 .visible = false});
    c.push_back({.id = ST_CLOSE,
                 .constant = "CLOSE",
                 .kind = CTRL_COMMAND_BUTTON,
                 .label = "Закрыть",
                 .top = 128,
                 .left = 534,
                 .height = 28,
                 .width = 110,
                 .callback = ClosePopupCB,
                 .accessKey = "З"});
    return p;
}

} // namespace

const std::vector<ui::PanelSpec> &panelResource() {
    static const std::vector<ui::PanelSpec> panels{about(),     chlp(), cp(), dp(),
                                                   mainPanel(), pp(),   st()};
    return panels;
}

void registerPanelResource() {
    ui::RegisterResourceFile(UIR_FILE, &panelResource());
}

const ui::ControlSpec *catalogueControl(int resource, int control) {
    for (const PanelSpec &p : panelResource())
        if (p.resource == resource)
            for (const ControlSpec &c : p.controls)
                if (c.id == control)
                    return &c;
    return nullptr;
}
