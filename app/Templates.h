#pragma once
// The main window's and the About box's templates, and the program's string table.

#include <QString>

#include "controls/DialogTemplate.h"

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_CHARGER_DIALOG = 102;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int IDM_ABOUTBOX = 16;
inline constexpr int IDR_MAINFRAME = 128;  // the program icon
// The sizes the desktop icon is drawn and installed in (res/desktop/icons).
inline constexpr int kDesktopIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
inline constexpr int IDB_LOGO = 199;

// Control ids of the main window.
inline constexpr int IDC_VOLTS = 1001;
inline constexpr int IDC_AMPS = 1004;
inline constexpr int IDC_SECONDS = 1005;
inline constexpr int IDC_MINUTES = 1006;
inline constexpr int IDC_HOURS = 1007;
inline constexpr int IDC_MAX_VOLTS = 1008;
inline constexpr int IDC_PROPERTIES = 1031;
inline constexpr int IDC_VALUE_CHARGE_TYPE = 1036;
inline constexpr int IDC_VALUE_BATTERY_TYPE = 1037;
inline constexpr int IDC_VALUE_THRESHOLD = 1038;
inline constexpr int IDC_VALUE_DELAY = 1039;
inline constexpr int IDC_VALUE_SENSITIVITY = 1040;
inline constexpr int IDC_LABEL_CHARGE_TYPE = 1041;
inline constexpr int IDC_LABEL_BATTERY_TYPE = 1042;
inline constexpr int IDC_LABEL_THRESHOLD = 1043;
inline constexpr int IDC_LABEL_DELAY = 1044;
inline constexpr int IDC_LABEL_SENSITIVITY = 1045;
inline constexpr int IDC_PACK_NAME = 1046;
inline constexpr int IDC_PICTURE = 1062;
inline constexpr int IDC_MAH = 1067;
inline constexpr int IDC_VALUE_CELLS = 1073;
inline constexpr int IDC_LABEL_CELLS = 1074;
inline constexpr int IDC_PACK_LIST = 1075;
inline constexpr int IDC_NEW_PACK = 1078;
inline constexpr int IDC_DELETE_PACK = 1080;
inline constexpr int IDC_SAVE_PACK = 1084;
inline constexpr int IDC_PACK_INFO = 1085;

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();

// The string table; an unknown id gives an empty string.
QString LoadResString(int id);
