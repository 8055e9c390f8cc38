// Property sheets: a dialog holding a tab control and one page per tab,
// pages made from dialog templates (resources, or bytes built in memory),
// modal or modeless. The pages hear the sheet's notifications in the
// platform's order: PSN_SETACTIVE when shown, PSN_KILLACTIVE before leaving
// (a non-zero DWLP_MSGRESULT keeps the page), PSN_APPLY on every created page
// for OK and Apply (PSNRET_INVALID keeps the sheet open on that page), and
// PSN_QUERYCANCEL then PSN_RESET on every created page for Cancel.
#pragma once

#include "platform/win/dialog.h"
#include "platform/win/window.h"

struct PROPSHEETPAGE;
struct PropSheetPageHandle;
using HPROPSHEETPAGE = PropSheetPageHandle*;
using LPFNPSPCALLBACK = UINT (*)(HWND, UINT, PROPSHEETPAGE*);
using PFNPROPSHEETCALLBACK = int (*)(HWND, UINT, LPARAM);

constexpr DWORD PSP_DEFAULT = 0x0000;
constexpr DWORD PSP_DLGINDIRECT = 0x0001;
constexpr DWORD PSP_USETITLE = 0x0008;
constexpr DWORD PSP_RTLREADING = 0x0010;
constexpr DWORD PSP_HASHELP = 0x0020;
constexpr DWORD PSP_USECALLBACK = 0x0080;
constexpr DWORD PSP_PREMATURE = 0x0400;  // created together with the sheet
constexpr UINT PSPCB_RELEASE = 1;
constexpr UINT PSPCB_CREATE = 2;

struct PROPSHEETPAGE {
    DWORD dwSize = sizeof(PROPSHEETPAGE);
    DWORD dwFlags = 0;
    HINSTANCE hInstance = nullptr;
    const WChar* pszTemplate = nullptr;  // MAKEINTRESOURCE(id) or a name
    // PSP_DLGINDIRECT: template bytes and their count (copied when the page
    // is created, so they may be freed afterwards).
    const void* pResource = nullptr;
    size_t cbResource = 0;
    const WChar* pszTitle = nullptr;  // PSP_USETITLE: text or MAKEINTRESOURCE
    DLGPROC pfnDlgProc = nullptr;
    LPARAM lParam = 0;
    LPFNPSPCALLBACK pfnCallback = nullptr;
};

constexpr DWORD PSH_DEFAULT = 0x0000;
constexpr DWORD PSH_PROPTITLE = 0x0001;
constexpr DWORD PSH_PROPSHEETPAGE = 0x0008;
constexpr DWORD PSH_NOAPPLYNOW = 0x0080;
constexpr DWORD PSH_USECALLBACK = 0x0100;
constexpr DWORD PSH_HASHELP = 0x0200;
constexpr DWORD PSH_MODELESS = 0x0400;
constexpr DWORD PSH_RTLREADING = 0x0800;
constexpr UINT PSCB_INITIALIZED = 1;
constexpr UINT PSCB_PRECREATE = 2;  // lParam: the sheet's DialogTemplate*, may be changed

struct PROPSHEETHEADER {
    DWORD dwSize = sizeof(PROPSHEETHEADER);
    DWORD dwFlags = 0;
    HWND hwndParent = nullptr;
    HINSTANCE hInstance = nullptr;
    const WChar* pszCaption = nullptr;  // text or MAKEINTRESOURCE
    UINT nPages = 0;
    UINT nStartPage = 0;
    const PROPSHEETPAGE* ppsp = nullptr;  // PSH_PROPSHEETPAGE
    HPROPSHEETPAGE* phpage = nullptr;     // otherwise; the sheet takes them over
    PFNPROPSHEETCALLBACK pfnCallback = nullptr;
};

struct PSHNOTIFY {
    NMHDR hdr;
    LPARAM lParam = 0;  // PSN_APPLY: TRUE for OK; PSN_RESET: TRUE for the close button
};

constexpr UINT PSN_FIRST = static_cast<UINT>(-200);
constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
constexpr UINT PSN_APPLY = PSN_FIRST - 2;
constexpr UINT PSN_RESET = PSN_FIRST - 3;
constexpr UINT PSN_HELP = PSN_FIRST - 5;
constexpr UINT PSN_QUERYCANCEL = PSN_FIRST - 9;
constexpr LRESULT PSNRET_NOERROR = 0;
constexpr LRESULT PSNRET_INVALID = 1;
constexpr LRESULT PSNRET_INVALID_NOCHANGEPAGE = 2;

constexpr UINT PSM_SETCURSEL = WM_USER + 101;
constexpr UINT PSM_REMOVEPAGE = WM_USER + 102;
constexpr UINT PSM_ADDPAGE = WM_USER + 103;
constexpr UINT PSM_CHANGED = WM_USER + 104;
constexpr UINT PSM_CANCELTOCLOSE = WM_USER + 107;
constexpr UINT PSM_QUERYSIBLINGS = WM_USER + 108;
constexpr UINT PSM_UNCHANGED = WM_USER + 109;
constexpr UINT PSM_APPLY = WM_USER + 110;
constexpr UINT PSM_PRESSBUTTON = WM_USER + 113;
constexpr UINT PSM_GETTABCONTROL = WM_USER + 116;
constexpr UINT PSM_ISDIALOGMESSAGE = WM_USER + 117;
constexpr UINT PSM_GETCURRENTPAGEHWND = WM_USER + 118;
constexpr UINT PSM_SETTITLE = WM_USER + 120;
constexpr UINT PSM_HWNDTOINDEX = WM_USER + 129;
constexpr UINT PSM_INDEXTOHWND = WM_USER + 130;
constexpr UINT PSM_GETRESULT = WM_USER + 135;
constexpr WPARAM PSBTN_OK = 3;
constexpr WPARAM PSBTN_APPLYNOW = 4;
constexpr WPARAM PSBTN_CANCEL = 5;
constexpr WPARAM PSBTN_HELP = 6;
constexpr int ID_APPLY_NOW = 0x3021;
constexpr int IDC_SHEET_TAB = 0x3020;
constexpr int IDHELP = 9;

HPROPSHEETPAGE CreatePropertySheetPage(const PROPSHEETPAGE* page);
bool DestroyPropertySheetPage(HPROPSHEETPAGE page);
// Modal: 1 when closed with OK, 0 with Cancel, -1 when the sheet could not be
// made. Modeless (PSH_MODELESS): the sheet's window; after OK or Cancel its
// PSM_GETCURRENTPAGEHWND answers nullptr and the owner destroys it.
intptr_t PropertySheet(const PROPSHEETHEADER* header);

namespace win {
// The page windows of a sheet in tab order (nullptr for pages not created).
std::vector<HWND> PropertySheetPages(HWND sheet);
}  // namespace win
