#pragma once
// Dialog templates: ids, kinds, captions, styles and rectangles in dialog units, as the
// program's dialogs were first laid out. CDialog builds its widgets from them.

#include <cstdint>
#include <vector>

// Window and control styles the templates use, with the customary bit values, so that code that
// decides by style (the skinned button's kind rule) reads them unchanged.
inline constexpr uint32_t WS_GROUP = 0x00020000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t WS_VSCROLL = 0x00200000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr uint32_t BS_AUTOCHECKBOX = 0x3;
inline constexpr uint32_t BS_GROUPBOX = 0x7;
inline constexpr uint32_t BS_AUTORADIOBUTTON = 0x9;
inline constexpr uint32_t BS_LEFTTEXT = 0x20;
inline constexpr uint32_t BS_TOP = 0x400;
inline constexpr uint32_t SS_LEFT = 0x0;
inline constexpr uint32_t SS_CENTER = 0x1;
inline constexpr uint32_t SS_RIGHT = 0x2;
inline constexpr uint32_t SS_ICON = 0x3;
inline constexpr uint32_t SS_BITMAP = 0xE;
inline constexpr uint32_t SS_NOTIFY = 0x100;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x80;
inline constexpr uint32_t LBS_NOTIFY = 0x1;
inline constexpr uint32_t LBS_SORT = 0x2;
inline constexpr uint32_t LBS_NOINTEGRALHEIGHT = 0x100;
inline constexpr uint32_t TBS_NOTICKS = 0x10;
inline constexpr uint32_t UDS_SETBUDDYINT = 0x2;
inline constexpr uint32_t UDS_ALIGNRIGHT = 0x4;
inline constexpr uint32_t UDS_AUTOBUDDY = 0x10;
inline constexpr uint32_t UDS_ARROWKEYS = 0x20;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

enum class ControlClass { Button, Static, Edit, ListBox, TrackBar, UpDown, Picture };

struct ControlTemplate {
    int id;
    ControlClass cls;
    const char* caption;
    int x, y, cx, cy;  // dialog units
    uint32_t style = 0;
    // What a screen reader says for a control whose caption does not name it (a value display,
    // an edit, a picture). Empty: the caption.
    const char* accessibleName = "";
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // dialog units
    std::vector<ControlTemplate> controls;
    bool minimizeBox = false;
};
