#include "app/Templates.h"

const DialogTemplate& MainDialogTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        IDD_CHARGER_DIALOG,
        "Quillmark Charger",
        317,
        182,
        {
            {IDOK, C::Button, "Start", 260, 13, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {IDC_STATIC, C::Button, "Status", 7, 7, 104, 168, BS_GROUPBOX},
            {IDC_STATIC, C::Static, "Volts", 77, 22, 16, 8, SS_LEFT},
            {IDC_STATIC, C::Static, "Amps", 77, 54, 18, 8, SS_LEFT},
            {IDC_VOLTS, C::Static, "0.00", 13, 22, 55, 23, SS_RIGHT, "Voltage"},
            {IDC_AMPS, C::Static, "0.00", 12, 54, 56, 8, SS_RIGHT, "Current"},
            {IDC_SECONDS, C::Static, "00", 60, 86, 8, 8, SS_RIGHT, "Seconds"},
            {IDC_STATIC, C::Static, "Time", 77, 86, 25, 10, SS_LEFT},
            {IDC_MINUTES, C::Static, "00", 40, 86, 9, 8, SS_RIGHT, "Minutes"},
            {IDC_HOURS, C::Static, "00", 23, 86, 10, 8, SS_RIGHT, "Hours"},
            {IDC_STATIC, C::Static, ":", 51, 86, 8, 8, SS_CENTER},
            {IDC_STATIC, C::Static, ":", 34, 86, 8, 8, SS_CENTER},
            {IDC_STATIC, C::Static, "Maximum", 77, 111, 30, 9, SS_LEFT},
            {IDC_STATIC, C::Static, "Voltage", 78, 120, 26, 8, SS_LEFT},
            {IDC_MAX_VOLTS, C::Static, "0.00", 39, 114, 29, 9, SS_RIGHT, "Maximum voltage"},
            {IDC_PROPERTIES, C::Button, "Properties", 260, 31, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_STATIC, C::Button, "Charge Properties", 114, 7, 113, 168, BS_GROUPBOX},
            {IDC_LABEL_CHARGE_TYPE, C::Static, "Charge Type", 121, 44, 44, 17, SS_LEFT},
            {IDC_LABEL_BATTERY_TYPE, C::Static, "Battery Type", 121, 66, 44, 17, SS_LEFT},
            {IDC_LABEL_THRESHOLD, C::Static, "Threshold Voltage", 121, 110, 44, 17, SS_LEFT},
            {IDC_LABEL_DELAY, C::Static, "Delay", 121, 132, 44, 17, SS_LEFT},
            {IDC_LABEL_SENSITIVITY, C::Static, "Sensitivity", 121, 154, 44, 17, SS_LEFT},
            {IDC_VALUE_CHARGE_TYPE, C::Static, "A1", 173, 44, 49, 17, SS_RIGHT, "Charge type"},
            {IDC_VALUE_BATTERY_TYPE, C::Static, "A2", 173, 66, 49, 17, SS_RIGHT, "Battery type"},
            {IDC_VALUE_THRESHOLD, C::Static, "A3", 173, 110, 49, 17, SS_RIGHT, "Threshold voltage"},
            {IDC_VALUE_DELAY, C::Static, "A4", 173, 132, 49, 17, SS_RIGHT, "Delay"},
            {IDC_VALUE_SENSITIVITY, C::Static, "A5", 173, 154, 49, 17, SS_RIGHT, "Sensitivity"},
            {IDC_PICTURE, C::Picture, "Static", 279, 54, 25, 27, SS_NOTIFY | SS_RIGHT, "Status"},
            {IDC_STATIC, C::Static, "mAH", 77, 152, 27, 9, SS_LEFT},
            {IDC_MAH, C::Static, "0.0", 19, 152, 49, 9, SS_RIGHT, "Charge delivered in mAh"},
            {IDC_LABEL_CELLS, C::Static, "Number of Cells", 121, 88, 44, 17, SS_LEFT},
            {IDC_VALUE_CELLS, C::Static, "A6", 173, 88, 49, 17, SS_RIGHT, "Number of cells"},
            {IDC_PACK_LIST, C::ListBox, "", 230, 91, 80, 64,
             LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
             "Battery packs"},
            {IDC_NEW_PACK, C::Button, "", 229, 159, 18, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_DELETE_PACK, C::Button, "", 250, 159, 18, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_SAVE_PACK, C::Button, "", 271, 159, 18, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_PACK_INFO, C::Button, "", 292, 159, 18, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_STATIC, C::Static, "Battery Name", 121, 22, 44, 17, SS_LEFT},
            {IDC_PACK_NAME, C::Static, "A7", 173, 22, 49, 17, SS_RIGHT, "Battery name"},
        },
        true,
    };
    return tmpl;
}

const DialogTemplate& AboutDialogTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        IDD_ABOUTBOX,
        "About KVC410",
        208,
        86,
        {
            {IDC_STATIC, C::Static, "128", 7, 59, 21, 20, SS_ICON, "KVC410 icon"},
            {IDC_STATIC, C::Static, "KVC410 Version 1.0.0", 7, 7, 84, 8, SS_LEFT},
            {IDC_STATIC, C::Static, "199", 134, 41, 67, 38, SS_BITMAP, "Quillmark logo"},
            {IDOK, C::Button, "OK", 151, 7, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
        },
    };
    return tmpl;
}

QString LoadResString(int id) {
    switch (id) {
        case IDS_ABOUTBOX:
            return "&About KVC410...";
        case AFX_IDS_APP_TITLE:
            return "KVC410";
        default:
            return QString();
    }
}
