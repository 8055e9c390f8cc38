// Resource ids of the program: strings, dialogs, menus, bitmaps, icons. One
// header for the resource scripts and the code; no platform header needed.
#ifndef ZRES_H
#define ZRES_H

// ---- framework strings ----
#define IDS_APP_TITLE 0xE000
#define IDS_DOC_TEMPLATE 0xE001
// Data exchange prompts.
#define IDP_PARSE_INT 0xF110
#define IDP_PARSE_REAL 0xF111
#define IDP_PARSE_INT_RANGE 0xF112
#define IDP_PARSE_REAL_RANGE 0xF113
#define IDP_PARSE_STRING_SIZE 0xF114
#define IDP_PARSE_UINT 0xF115
#define IDP_PARSE_UINT_RANGE 0xF116
#define IDP_PARSE_DATETIME 0xF117

// ---- version ----
#define VERSIONINFO_ID 1

// ---- style bits for the resource scripts only (code uses platform/win) ----
#ifdef RC_INVOKED
#define IDOK 1
#define IDCANCEL 2
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_CAPTIONOKBTN 0x80000000L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L
#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_AUTOCHECKBOX 0x3L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_GROUPBOX 0x7L
#define BS_OWNERDRAW 0xBL
#define BS_NOTIFY 0x4000L
#define SS_LEFT 0x0L
#define SS_CENTER 0x1L
#define SS_RIGHT 0x2L
#define SS_ICON 0x3L
#define SS_BITMAP 0xEL
#define SS_NOTIFY 0x100L
#define ES_LEFT 0x0L
#define ES_MULTILINE 0x4L
#define ES_UPPERCASE 0x8L
#define ES_PASSWORD 0x20L
#define ES_AUTOVSCROLL 0x40L
#define ES_AUTOHSCROLL 0x80L
#define ES_READONLY 0x800L
#define ES_WANTRETURN 0x1000L
#define ES_NUMBER 0x2000L
#define LBS_NOTIFY 0x1L
#define LBS_SORT 0x2L
#define LBS_USETABSTOPS 0x80L
#define LBS_NOINTEGRALHEIGHT 0x100L
#define CBS_DROPDOWN 0x2L
#define CBS_DROPDOWNLIST 0x3L
#define CBS_SORT 0x100L
#define CBS_UPPERCASE 0x2000L
#endif

#endif
