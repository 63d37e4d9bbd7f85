// Constants of the panel resource "p_ortav.uir": panels by resource number (in
// the alphabetical order of their names), controls named with their panel, the
// menu bar and its items. The resource itself is in panels.cpp.
#pragma once

// Panels.
#define ABOUT 1
#define CHLP 2
#define CP 3
#define DP 4
#define MP 5
#define PP 6
#define ST 7

// About panel.
#define ABOUT_DRVR_VERSION 2
#define ABOUT_SOFT_VERSION 3
#define ABOUT_CERT_MSG 4
#define ABOUT_COMMANDBUTTON 5
#define ABOUT_TEXTMSG 6
#define ABOUT_TEXTMSG_2 7
#define ABOUT_VXI_LOGO 8
#define ABOUT_PICTURE_2 9
#define ABOUT_DECORATION 10
#define ABOUT_DECORATION_2 11

// Verification protocol view.
#define CHLP_LOG 2
#define CHLP_COMMANDBUTTON_2 3

// Calibration sheet.
#define CP_TABLE 2
#define CP_TABLE_I 3
#define CP_READ 4
#define CP_WRITE 5
#define CP_DEFAULT 6
#define CP_DECORATION 7

// Measured-value popup.
#define DP_CHAN 2
#define DP_MEAS_R 3 // no constant in the original resource; named here for the code
#define DP_MEAS_U 4 // likewise
#define DP_OK 5
#define DP_COMMANDBUTTON_2 6

// Main panel.
#define MP_CANVAS 2
#define MP_MEZ_NUM 3
#define MP_MEZ_NUMold 4
#define MP_CARRIER_SLOT 5
#define MP_CARRIER_LA 6
#define MP_VER 7
#define MP_MSG 8
#define MP_MSG_OK 9
#define MP_SELFTEST 10
#define MP_RESET 11
#define MP_EXIT 12
#define MP_AUTO_POV 13
#define MP_LED 14
#define MP_TEXTMSG_2 15
#define MP_TEXTMSG_3 16
#define MP_PICTURE 17
#define MP_PICTURE_2 18
#define MP_DECORATION 19
#define MP_DECORATION_2 20
#define MP_DECORATION_3 21
#define MP_ASSET 22
#define MP_SIM_BAND 23 // "ИМИТАЦИЯ: стенд ..." on a simulated bench (not in the original resource)

// Verification sheet.
#define PP_MODE 2
#define PP_CHAN 3
#define PP_R_Z 4
#define PP_SET 5
#define PP_R_I 6
#define PP_INPUT 7
#define PP_ED_IZM 8
#define PP_ED_IZM_2 9
#define PP_TABLE_R 10
#define PP_TABLE_I 11
#define PP_AUTO_POV 12
#define PP_TEMPERATURE 13 // no constant in the original resource; named here for the code
#define PP_FILE_NAME 14
#define PP_FILE_NAME_S 15
#define PP_WRITE_LOG 16
#define PP_DECORATION 17
#define PP_CHART 18       // the verification chart's canvas (no constant in the original resource)
#define PP_CHART_SHOW 19  // chart or table
#define PP_CHART_SAVE 20  // the chart as PNG
#define PP_CERTIFICATE 21 // the last automatic run's certificate as PDF
#define PP_DECISION_RULE 22 // simple or guarded, for the runs to come
#define PP_METER_PERIOD 23  // the multimeter's accuracy period, for the runs to come

// Self-test popup.
#define ST_MSG 2
#define ST_RESULT 3
#define ST_CLOSE 4
#define ST_STOP 5
#define ST_CANCEL 6

// Menu bar of the main panel.
#define MENU 1
#define MENU_INSTR 2
#define MENU_INSTR_SELECT 3
#define MENU_INSTR_SELECT_HP 4
#define MENU_INSTR_OSNOWN 5
#define MENU_INSTR_EXIT 6
#define MENU_EXE 7
#define MENU_EXE_CALIBR 8
#define MENU_EXE_RESET 9
#define MENU_EXE_SELFTEST 10
#define MENU_HELP 11
#define MENU_HELP_ABOUT 12
#define MENU_HELP_HISTORY 13

// The resource file's name, as the program loads it.
#define UIR_FILE "p_ortav.uir"
