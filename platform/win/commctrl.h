// The common controls: list view, header, tree view, tab control, image
// lists, date-time picker, track bar, up-down, progress bar, tooltips, status
// bar, toolbar (command bar) and rebar (command bands), with their styles,
// messages, records and notification codes. Each keeps its state in the
// model and tells its parent what a user's action did, as WM_NOTIFY (or
// WM_COMMAND, WM_HSCROLL, WM_VSCROLL where the platform does so). The win::
// functions at the end act as the user where no single message does.
#pragma once

#include <functional>
#include <vector>

#include "platform/com/variant.h"  // SYSTEMTIME
#include "platform/win/window.h"

inline constexpr const WChar* WC_LISTVIEW = u"SysListView32";
inline constexpr const WChar* WC_HEADER = u"SysHeader32";
inline constexpr const WChar* WC_TREEVIEW = u"SysTreeView32";
inline constexpr const WChar* WC_TABCONTROL = u"SysTabControl32";
inline constexpr const WChar* PROGRESS_CLASS = u"msctls_progress32";
inline constexpr const WChar* TRACKBAR_CLASS = u"msctls_trackbar32";
inline constexpr const WChar* UPDOWN_CLASS = u"msctls_updown32";
inline constexpr const WChar* DATETIMEPICK_CLASS = u"SysDateTimePick32";
inline constexpr const WChar* MONTHCAL_CLASS = u"SysMonthCal32";
inline constexpr const WChar* TOOLTIPS_CLASS = u"tooltips_class32";
inline constexpr const WChar* STATUSCLASSNAME = u"msctls_statusbar32";
inline constexpr const WChar* TOOLBARCLASSNAME = u"ToolbarWindow32";
inline constexpr const WChar* REBARCLASSNAME = u"ReBarWindow32";

// Registers the common control classes (once; they stay registered).
void InitCommonControls();

// Record sizes are not checked: every record here is the platform's own.
constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT TV_FIRST = 0x1100;
constexpr UINT HDM_FIRST = 0x1200;
constexpr UINT TCM_FIRST = 0x1300;
constexpr UINT DTM_FIRST = 0x1000;
constexpr UINT CCM_FIRST = 0x2000;
constexpr UINT CCM_SETUNICODEFORMAT = CCM_FIRST + 5;

constexpr UINT NM_RETURN = static_cast<UINT>(-4);
constexpr UINT NM_RCLICK = static_cast<UINT>(-5);
constexpr UINT NM_RDBLCLK = static_cast<UINT>(-6);
constexpr UINT NM_CUSTOMDRAW = static_cast<UINT>(-12);
constexpr int I_IMAGECALLBACK = -1;
constexpr int I_IMAGENONE = -2;
inline WChar* const LPSTR_TEXTCALLBACK = reinterpret_cast<WChar*>(static_cast<intptr_t>(-1));

// ---- image lists ----
constexpr UINT ILC_MASK = 0x0001;
constexpr UINT ILC_COLOR = 0x0000;
constexpr UINT ILC_COLOR16 = 0x0010;
constexpr UINT ILC_COLOR24 = 0x0018;
constexpr UINT ILC_COLOR32 = 0x0020;
constexpr UINT ILD_NORMAL = 0x0000;
constexpr UINT ILD_TRANSPARENT = 0x0001;
constexpr UINT ILD_BLEND25 = 0x0002;
constexpr UINT ILD_BLEND50 = 0x0004;
constexpr UINT ILD_SELECTED = ILD_BLEND50;
constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
constexpr COLORREF CLR_DEFAULT = 0xFF000000;
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
bool ImageList_Destroy(HIMAGELIST list);
int ImageList_GetImageCount(HIMAGELIST list);
bool ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
// Adds as many images as the bitmap is wide; the mask (when given) marks
// transparent pixels with 1. Returns the index of the first, -1 on failure.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// Pixels of the mask colour become transparent.
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask);
int ImageList_AddIcon(HIMAGELIST list, HICON icon);
bool ImageList_Remove(HIMAGELIST list, int index);  // -1: all
// From a bitmap resource: images cx pixels wide; the mask colour (CLR_NONE
// for none, CLR_DEFAULT for the top-left pixel) is transparent.
HIMAGELIST ImageList_LoadBitmap(HINSTANCE instance, const WChar* name, int cx, int grow,
                                COLORREF mask);
// Draws one image; ILD_BLEND25/50 dims it with the highlight colour.
bool ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF colour);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
namespace win {
// The colour of a pixel of an image (CLR_NONE where transparent); for tests
// and backends.
COLORREF ImageListPixel(HIMAGELIST list, int index, int x, int y);
// Destroys every image list (part of ResetForTests).
void ResetImageLists();
// Images drawn at 96 dots per inch, shown at the screen's: a bitmap cut into
// images of cx by cy pixels (sizes at 96 dots per inch), each resized to the
// list's image size (every pixel doubled from 96 to 192 dots per inch) and
// appended; the mask colour is transparent (CLR_NONE for none). The index
// of the first image added, -1 on failure.
int AddScaledImages(HIMAGELIST list, HBITMAP bitmap, int cx, int cy, COLORREF mask);
// A bitmap resource cut into images cx pixels wide, as ImageList_LoadBitmap
// does, with images of the size they have on the screen: cx and the
// bitmap's height scaled from 96 dots per inch to the screen's LOGPIXELSY.
HIMAGELIST LoadScaledImageList(HINSTANCE instance, const WChar* name, int cx, int grow,
                               COLORREF mask);
}  // namespace win

// ---- header ----
constexpr DWORD HDS_HORZ = 0x0000;
constexpr DWORD HDS_BUTTONS = 0x0002;
constexpr DWORD HDS_HIDDEN = 0x0008;
constexpr DWORD HDS_DRAGDROP = 0x0040;
constexpr DWORD HDS_FULLDRAG = 0x0080;
constexpr UINT HDI_WIDTH = 0x0001;
constexpr UINT HDI_HEIGHT = HDI_WIDTH;
constexpr UINT HDI_TEXT = 0x0002;
constexpr UINT HDI_FORMAT = 0x0004;
constexpr UINT HDI_LPARAM = 0x0008;
constexpr UINT HDI_BITMAP = 0x0010;
constexpr UINT HDI_IMAGE = 0x0020;
constexpr UINT HDI_ORDER = 0x0080;
constexpr int HDF_LEFT = 0x0000;
constexpr int HDF_RIGHT = 0x0001;
constexpr int HDF_CENTER = 0x0002;
constexpr int HDF_JUSTIFYMASK = 0x0003;
constexpr int HDF_RTLREADING = 0x0004;
constexpr int HDF_IMAGE = 0x0800;
constexpr int HDF_OWNERDRAW = 0x8000;
constexpr int HDF_STRING = 0x4000;
constexpr int HDF_BITMAP = 0x2000;
constexpr int HDF_BITMAP_ON_RIGHT = 0x1000;
struct HDITEM {
    UINT mask = 0;
    int cxy = 0;
    WChar* pszText = nullptr;
    HBITMAP hbm = nullptr;
    int cchTextMax = 0;
    int fmt = 0;
    LPARAM lParam = 0;
    int iImage = 0;
    int iOrder = 0;
};
struct HDLAYOUT {
    RECT* prc = nullptr;
    WINDOWPOS* pwpos = nullptr;
};
struct HDHITTESTINFO {
    POINT pt;
    UINT flags = 0;
    int iItem = -1;
};
constexpr UINT HHT_NOWHERE = 0x0001;
constexpr UINT HHT_ONHEADER = 0x0002;
constexpr UINT HHT_ONDIVIDER = 0x0004;
constexpr UINT HDM_GETITEMCOUNT = HDM_FIRST + 0;
constexpr UINT HDM_DELETEITEM = HDM_FIRST + 2;
constexpr UINT HDM_LAYOUT = HDM_FIRST + 5;
constexpr UINT HDM_HITTEST = HDM_FIRST + 6;
constexpr UINT HDM_GETITEMRECT = HDM_FIRST + 7;
constexpr UINT HDM_SETIMAGELIST = HDM_FIRST + 8;
constexpr UINT HDM_GETIMAGELIST = HDM_FIRST + 9;
constexpr UINT HDM_INSERTITEM = HDM_FIRST + 10;
constexpr UINT HDM_GETITEM = HDM_FIRST + 11;
constexpr UINT HDM_SETITEM = HDM_FIRST + 12;
constexpr UINT HDM_ORDERTOINDEX = HDM_FIRST + 15;
constexpr UINT HDM_GETORDERARRAY = HDM_FIRST + 17;
constexpr UINT HDM_SETORDERARRAY = HDM_FIRST + 18;
constexpr UINT HDN_FIRST = static_cast<UINT>(-300);
constexpr UINT HDN_ITEMCHANGING = HDN_FIRST - 20;
constexpr UINT HDN_ITEMCHANGED = HDN_FIRST - 21;
constexpr UINT HDN_ITEMCLICK = HDN_FIRST - 22;
constexpr UINT HDN_ENDTRACK = HDN_FIRST - 27;
struct NMHEADER {
    NMHDR hdr;
    int iItem = -1;
    int iButton = 0;
    HDITEM* pitem = nullptr;
};

// ---- list view ----
constexpr DWORD LVS_ICON = 0x0000;
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SMALLICON = 0x0002;
constexpr DWORD LVS_LIST = 0x0003;
constexpr DWORD LVS_TYPEMASK = 0x0003;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_SORTASCENDING = 0x0010;
constexpr DWORD LVS_SORTDESCENDING = 0x0020;
constexpr DWORD LVS_SHAREIMAGELISTS = 0x0040;
constexpr DWORD LVS_NOLABELWRAP = 0x0080;
constexpr DWORD LVS_AUTOARRANGE = 0x0100;
constexpr DWORD LVS_EDITLABELS = 0x0200;
constexpr DWORD LVS_OWNERDRAWFIXED = 0x0400;  // report rows drawn by the owner (WM_DRAWITEM)
constexpr DWORD LVS_OWNERDATA = 0x1000;
constexpr DWORD LVS_NOSCROLL = 0x2000;
constexpr DWORD LVS_NOCOLUMNHEADER = 0x4000;
constexpr DWORD LVS_NOSORTHEADER = 0x8000;
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_SUBITEMIMAGES = 0x0002;
constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
constexpr DWORD LVS_EX_HEADERDRAGDROP = 0x0010;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
constexpr DWORD LVS_EX_ONECLICKACTIVATE = 0x0040;
constexpr UINT ODT_LISTVIEW = 102;
constexpr int LVSIL_NORMAL = 0;
constexpr int LVSIL_SMALL = 1;
constexpr int LVSIL_STATE = 2;
constexpr UINT LVIF_TEXT = 0x0001;
constexpr UINT LVIF_IMAGE = 0x0002;
constexpr UINT LVIF_PARAM = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;
constexpr UINT LVIF_INDENT = 0x0010;
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVIS_CUT = 0x0004;
constexpr UINT LVIS_DROPHILITED = 0x0008;
constexpr UINT LVIS_OVERLAYMASK = 0x0F00;
constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;
inline UINT INDEXTOSTATEIMAGEMASK(UINT i) {
    return i << 12;
}
struct LVITEM {
    UINT mask = 0;
    int iItem = 0;
    int iSubItem = 0;
    UINT state = 0;
    UINT stateMask = 0;
    WChar* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    LPARAM lParam = 0;
    int iIndent = 0;
};
constexpr UINT LVCF_FMT = 0x0001;
constexpr UINT LVCF_WIDTH = 0x0002;
constexpr UINT LVCF_TEXT = 0x0004;
constexpr UINT LVCF_SUBITEM = 0x0008;
constexpr UINT LVCF_IMAGE = 0x0010;
constexpr UINT LVCF_ORDER = 0x0020;
constexpr int LVCFMT_LEFT = 0x0000;
constexpr int LVCFMT_RIGHT = 0x0001;
constexpr int LVCFMT_CENTER = 0x0002;
constexpr int LVCFMT_JUSTIFYMASK = 0x0003;
constexpr int LVCFMT_IMAGE = 0x0800;
constexpr int LVCFMT_BITMAP_ON_RIGHT = 0x1000;
constexpr int LVCFMT_COL_HAS_IMAGES = 0x8000;
struct LVCOLUMN {
    UINT mask = 0;
    int fmt = 0;
    int cx = 0;
    WChar* pszText = nullptr;
    int cchTextMax = 0;
    int iSubItem = 0;
    int iImage = 0;
    int iOrder = 0;
};
constexpr UINT LVNI_ALL = 0x0000;
constexpr UINT LVNI_FOCUSED = 0x0001;
constexpr UINT LVNI_SELECTED = 0x0002;
constexpr UINT LVNI_ABOVE = 0x0100;
constexpr UINT LVNI_BELOW = 0x0200;
constexpr int LVIR_BOUNDS = 0;
constexpr int LVIR_ICON = 1;
constexpr int LVIR_LABEL = 2;
constexpr int LVIR_SELECTBOUNDS = 3;
constexpr UINT LVHT_NOWHERE = 0x0001;
constexpr UINT LVHT_ONITEMICON = 0x0002;
constexpr UINT LVHT_ONITEMLABEL = 0x0004;
constexpr UINT LVHT_ONITEMSTATEICON = 0x0008;
constexpr UINT LVHT_ONITEM = 0x000E;
constexpr UINT LVHT_ABOVE = 0x0008 << 1;
constexpr UINT LVHT_BELOW = 0x0010 << 1;
struct LVHITTESTINFO {
    POINT pt;
    UINT flags = 0;
    int iItem = -1;
    int iSubItem = 0;
};
constexpr UINT LVFI_PARAM = 0x0001;
constexpr UINT LVFI_STRING = 0x0002;
constexpr UINT LVFI_PARTIAL = 0x0008;
struct LVFINDINFO {
    UINT flags = 0;
    const WChar* psz = nullptr;
    LPARAM lParam = 0;
};
using PFNLVCOMPARE = int (*)(LPARAM, LPARAM, LPARAM);

constexpr UINT LVM_GETBKCOLOR = LVM_FIRST + 0;
constexpr UINT LVM_SETBKCOLOR = LVM_FIRST + 1;
constexpr UINT LVM_GETIMAGELIST = LVM_FIRST + 2;
constexpr UINT LVM_SETIMAGELIST = LVM_FIRST + 3;
constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
constexpr UINT LVM_GETCALLBACKMASK = LVM_FIRST + 10;
constexpr UINT LVM_SETCALLBACKMASK = LVM_FIRST + 11;
constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
constexpr UINT LVM_GETITEMRECT = LVM_FIRST + 14;
constexpr UINT LVM_HITTEST = LVM_FIRST + 18;
constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 19;
constexpr UINT LVM_REDRAWITEMS = LVM_FIRST + 21;
constexpr UINT LVM_GETEDITCONTROL = LVM_FIRST + 24;
constexpr UINT LVM_DELETECOLUMN = LVM_FIRST + 28;
constexpr UINT LVM_GETCOLUMNWIDTH = LVM_FIRST + 29;
constexpr UINT LVM_SETCOLUMNWIDTH = LVM_FIRST + 30;
constexpr UINT LVM_GETHEADER = LVM_FIRST + 31;
constexpr UINT LVM_GETTOPINDEX = LVM_FIRST + 39;
constexpr UINT LVM_GETCOUNTPERPAGE = LVM_FIRST + 40;
constexpr UINT LVM_UPDATE = LVM_FIRST + 42;
constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;
constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;
constexpr UINT LVM_SETITEMCOUNT = LVM_FIRST + 47;
constexpr UINT LVM_SORTITEMS = LVM_FIRST + 48;
constexpr UINT LVM_GETSELECTEDCOUNT = LVM_FIRST + 50;
constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55;
constexpr UINT LVM_GETSUBITEMRECT = LVM_FIRST + 56;
constexpr UINT LVM_SUBITEMHITTEST = LVM_FIRST + 57;
constexpr UINT LVM_SETCOLUMNORDERARRAY = LVM_FIRST + 58;
constexpr UINT LVM_GETCOLUMNORDERARRAY = LVM_FIRST + 59;
constexpr UINT LVM_GETSELECTIONMARK = LVM_FIRST + 66;
constexpr UINT LVM_SETSELECTIONMARK = LVM_FIRST + 67;
constexpr UINT LVM_GETITEM = LVM_FIRST + 75;
constexpr UINT LVM_SETITEM = LVM_FIRST + 76;
constexpr UINT LVM_INSERTITEM = LVM_FIRST + 77;
constexpr UINT LVM_FINDITEM = LVM_FIRST + 83;
constexpr UINT LVM_GETCOLUMN = LVM_FIRST + 95;
constexpr UINT LVM_SETCOLUMN = LVM_FIRST + 96;
constexpr UINT LVM_INSERTCOLUMN = LVM_FIRST + 97;
constexpr UINT LVM_GETITEMTEXT = LVM_FIRST + 115;
constexpr UINT LVM_SETITEMTEXT = LVM_FIRST + 116;
constexpr UINT LVM_EDITLABEL = LVM_FIRST + 118;
constexpr UINT LVM_SORTITEMSEX = LVM_FIRST + 81;

constexpr UINT LVN_FIRST = static_cast<UINT>(-100);
constexpr UINT LVN_ITEMCHANGING = LVN_FIRST - 0;
constexpr UINT LVN_ITEMCHANGED = LVN_FIRST - 1;
constexpr UINT LVN_INSERTITEM = LVN_FIRST - 2;
constexpr UINT LVN_DELETEITEM = LVN_FIRST - 3;
constexpr UINT LVN_DELETEALLITEMS = LVN_FIRST - 4;
constexpr UINT LVN_COLUMNCLICK = LVN_FIRST - 8;
constexpr UINT LVN_ITEMACTIVATE = LVN_FIRST - 14;
constexpr UINT LVN_BEGINLABELEDIT = LVN_FIRST - 75;
constexpr UINT LVN_ENDLABELEDIT = LVN_FIRST - 76;
constexpr UINT LVN_GETDISPINFO = LVN_FIRST - 77;
constexpr UINT LVN_KEYDOWN = LVN_FIRST - 55;
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction;
    LPARAM lParam = 0;
};
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction;
    LPARAM lParam = 0;
    UINT uKeyFlags = 0;
};
struct NMLVDISPINFO {
    NMHDR hdr;
    LVITEM item;
};
struct NMLVKEYDOWN {
    NMHDR hdr;
    WORD wVKey = 0;
    UINT flags = 0;
};

// ---- custom draw ----
constexpr DWORD CDDS_PREPAINT = 0x00000001;
constexpr DWORD CDDS_POSTPAINT = 0x00000002;
constexpr DWORD CDDS_ITEM = 0x00010000;
constexpr DWORD CDDS_SUBITEM = 0x00020000;
constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
constexpr DWORD CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT;
constexpr LRESULT CDRF_DODEFAULT = 0x00;
constexpr LRESULT CDRF_NEWFONT = 0x02;
constexpr LRESULT CDRF_SKIPDEFAULT = 0x04;
constexpr LRESULT CDRF_NOTIFYPOSTPAINT = 0x10;
constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x20;
constexpr LRESULT CDRF_NOTIFYSUBITEMDRAW = 0x20;
constexpr UINT CDIS_SELECTED = 0x0001;
constexpr UINT CDIS_FOCUS = 0x0010;
struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage = 0;
    HDC hdc = nullptr;
    RECT rc;
    uintptr_t dwItemSpec = 0;
    UINT uItemState = 0;
    LPARAM lItemlParam = 0;
};
struct NMLVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText = 0;
    COLORREF clrTextBk = 0;
    int iSubItem = 0;
};

// ---- tree view ----
constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;
constexpr DWORD TVS_EDITLABELS = 0x0008;
constexpr DWORD TVS_DISABLEDRAGDROP = 0x0010;
constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;
constexpr DWORD TVS_CHECKBOXES = 0x0100;
constexpr DWORD TVS_SINGLEEXPAND = 0x0400;
struct HTREEITEM__;
using HTREEITEM = HTREEITEM__*;
inline const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x10000));
inline const HTREEITEM TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFF));
inline const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFE));
inline const HTREEITEM TVI_SORT = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFD));
constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_IMAGE = 0x0002;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;
constexpr UINT TVIF_HANDLE = 0x0010;
constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
constexpr UINT TVIF_CHILDREN = 0x0040;
constexpr UINT TVIS_SELECTED = 0x0002;
constexpr UINT TVIS_CUT = 0x0004;
constexpr UINT TVIS_DROPHILITED = 0x0008;
constexpr UINT TVIS_BOLD = 0x0010;
constexpr UINT TVIS_EXPANDED = 0x0020;
constexpr UINT TVIS_EXPANDEDONCE = 0x0040;
constexpr UINT TVIS_STATEIMAGEMASK = 0xF000;
struct TVITEM {
    UINT mask = 0;
    HTREEITEM hItem = nullptr;
    UINT state = 0;
    UINT stateMask = 0;
    WChar* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    int iSelectedImage = 0;
    int cChildren = 0;
    LPARAM lParam = 0;
};
struct TVINSERTSTRUCT {
    HTREEITEM hParent = nullptr;
    HTREEITEM hInsertAfter = nullptr;
    TVITEM item;
};
constexpr UINT TVE_COLLAPSE = 0x0001;
constexpr UINT TVE_EXPAND = 0x0002;
constexpr UINT TVE_TOGGLE = 0x0003;
constexpr UINT TVE_COLLAPSERESET = 0x8000;
constexpr UINT TVGN_ROOT = 0x0000;
constexpr UINT TVGN_NEXT = 0x0001;
constexpr UINT TVGN_PREVIOUS = 0x0002;
constexpr UINT TVGN_PARENT = 0x0003;
constexpr UINT TVGN_CHILD = 0x0004;
constexpr UINT TVGN_FIRSTVISIBLE = 0x0005;
constexpr UINT TVGN_NEXTVISIBLE = 0x0006;
constexpr UINT TVGN_PREVIOUSVISIBLE = 0x0007;
constexpr UINT TVGN_DROPHILITE = 0x0008;
constexpr UINT TVGN_CARET = 0x0009;
constexpr int TVSIL_NORMAL = 0;
constexpr int TVSIL_STATE = 2;
constexpr UINT TVC_UNKNOWN = 0x0000;
constexpr UINT TVC_BYMOUSE = 0x0001;
constexpr UINT TVC_BYKEYBOARD = 0x0002;
constexpr UINT TVHT_NOWHERE = 0x0001;
constexpr UINT TVHT_ONITEMICON = 0x0002;
constexpr UINT TVHT_ONITEMLABEL = 0x0004;
constexpr UINT TVHT_ONITEM = 0x0046;
constexpr UINT TVHT_ONITEMINDENT = 0x0008;
constexpr UINT TVHT_ONITEMBUTTON = 0x0010;
constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
struct TVHITTESTINFO {
    POINT pt;
    UINT flags = 0;
    HTREEITEM hItem = nullptr;
};
struct TVSORTCB {
    HTREEITEM hParent = nullptr;
    int (*lpfnCompare)(LPARAM, LPARAM, LPARAM) = nullptr;
    LPARAM lParam = 0;
};
constexpr UINT TVM_INSERTITEM = TV_FIRST + 50;
constexpr UINT TVM_DELETEITEM = TV_FIRST + 1;
constexpr UINT TVM_EXPAND = TV_FIRST + 2;
constexpr UINT TVM_GETITEMRECT = TV_FIRST + 4;
constexpr UINT TVM_GETCOUNT = TV_FIRST + 5;
constexpr UINT TVM_GETINDENT = TV_FIRST + 6;
constexpr UINT TVM_SETINDENT = TV_FIRST + 7;
constexpr UINT TVM_GETIMAGELIST = TV_FIRST + 8;
constexpr UINT TVM_SETIMAGELIST = TV_FIRST + 9;
constexpr UINT TVM_GETNEXTITEM = TV_FIRST + 10;
constexpr UINT TVM_SELECTITEM = TV_FIRST + 11;
constexpr UINT TVM_GETITEM = TV_FIRST + 62;
constexpr UINT TVM_SETITEM = TV_FIRST + 63;
constexpr UINT TVM_EDITLABEL = TV_FIRST + 65;
constexpr UINT TVM_GETEDITCONTROL = TV_FIRST + 15;
constexpr UINT TVM_HITTEST = TV_FIRST + 17;
constexpr UINT TVM_SORTCHILDREN = TV_FIRST + 19;
constexpr UINT TVM_ENSUREVISIBLE = TV_FIRST + 20;
constexpr UINT TVM_SORTCHILDRENCB = TV_FIRST + 21;
constexpr UINT TVM_ENDEDITLABELNOW = TV_FIRST + 22;
constexpr UINT TVM_GETITEMSTATE = TV_FIRST + 39;
constexpr UINT TVN_FIRST = static_cast<UINT>(-400);
constexpr UINT TVN_SELCHANGING = TVN_FIRST - 50;
constexpr UINT TVN_SELCHANGED = TVN_FIRST - 51;
constexpr UINT TVN_GETDISPINFO = TVN_FIRST - 52;
constexpr UINT TVN_ITEMEXPANDING = TVN_FIRST - 54;
constexpr UINT TVN_ITEMEXPANDED = TVN_FIRST - 55;
constexpr UINT TVN_DELETEITEM = TVN_FIRST - 58;
constexpr UINT TVN_BEGINLABELEDIT = TVN_FIRST - 59;
constexpr UINT TVN_ENDLABELEDIT = TVN_FIRST - 60;
constexpr UINT TVN_KEYDOWN = TVN_FIRST - 12;
struct NMTREEVIEW {
    NMHDR hdr;
    UINT action = 0;
    TVITEM itemOld;
    TVITEM itemNew;
    POINT ptDrag;
};
struct NMTVDISPINFO {
    NMHDR hdr;
    TVITEM item;
};

// ---- tab control ----
constexpr DWORD TCS_BOTTOM = 0x0002;
constexpr DWORD TCS_MULTILINE = 0x0200;
constexpr DWORD TCS_FIXEDWIDTH = 0x0400;
constexpr DWORD TCS_FOCUSNEVER = 0x8000;
constexpr UINT TCIF_TEXT = 0x0001;
constexpr UINT TCIF_IMAGE = 0x0002;
constexpr UINT TCIF_RTLREADING = 0x0004;
constexpr UINT TCIF_PARAM = 0x0008;
constexpr UINT TCIF_STATE = 0x0010;
constexpr UINT TCIS_BUTTONPRESSED = 0x0001;
constexpr UINT TCIS_HIGHLIGHTED = 0x0002;
struct TCITEM {
    UINT mask = 0;
    DWORD dwState = 0;
    DWORD dwStateMask = 0;
    WChar* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = -1;
    LPARAM lParam = 0;
};
struct TCHITTESTINFO {
    POINT pt;
    UINT flags = 0;
};
constexpr UINT TCM_GETIMAGELIST = TCM_FIRST + 2;
constexpr UINT TCM_SETIMAGELIST = TCM_FIRST + 3;
constexpr UINT TCM_GETITEMCOUNT = TCM_FIRST + 4;
constexpr UINT TCM_GETITEM = TCM_FIRST + 60;
constexpr UINT TCM_SETITEM = TCM_FIRST + 61;
constexpr UINT TCM_INSERTITEM = TCM_FIRST + 62;
constexpr UINT TCM_DELETEITEM = TCM_FIRST + 8;
constexpr UINT TCM_DELETEALLITEMS = TCM_FIRST + 9;
constexpr UINT TCM_GETITEMRECT = TCM_FIRST + 10;
constexpr UINT TCM_GETCURSEL = TCM_FIRST + 11;
constexpr UINT TCM_SETCURSEL = TCM_FIRST + 12;
constexpr UINT TCM_HITTEST = TCM_FIRST + 13;
constexpr UINT TCM_ADJUSTRECT = TCM_FIRST + 40;
constexpr UINT TCM_GETROWCOUNT = TCM_FIRST + 44;
constexpr UINT TCM_GETCURFOCUS = TCM_FIRST + 47;
constexpr UINT TCM_SETCURFOCUS = TCM_FIRST + 48;
constexpr UINT TCN_FIRST = static_cast<UINT>(-550);
constexpr UINT TCN_KEYDOWN = TCN_FIRST - 0;
constexpr UINT TCN_SELCHANGE = TCN_FIRST - 1;
constexpr UINT TCN_SELCHANGING = TCN_FIRST - 2;

// ---- progress bar ----
constexpr DWORD PBS_SMOOTH = 0x01;
constexpr DWORD PBS_VERTICAL = 0x04;
constexpr UINT PBM_SETRANGE = WM_USER + 1;
constexpr UINT PBM_SETPOS = WM_USER + 2;
constexpr UINT PBM_DELTAPOS = WM_USER + 3;
constexpr UINT PBM_SETSTEP = WM_USER + 4;
constexpr UINT PBM_STEPIT = WM_USER + 5;
constexpr UINT PBM_SETRANGE32 = WM_USER + 6;
constexpr UINT PBM_GETRANGE = WM_USER + 7;
constexpr UINT PBM_GETPOS = WM_USER + 8;
struct PBRANGE {
    int iLow = 0;
    int iHigh = 0;
};

// ---- track bar ----
constexpr DWORD TBS_AUTOTICKS = 0x0001;
constexpr DWORD TBS_VERT = 0x0002;
constexpr DWORD TBS_HORZ = 0x0000;
constexpr DWORD TBS_TOP = 0x0004;
constexpr DWORD TBS_BOTH = 0x0008;
constexpr DWORD TBS_NOTICKS = 0x0010;
constexpr DWORD TBS_ENABLESELRANGE = 0x0020;
constexpr DWORD TBS_FIXEDLENGTH = 0x0040;
constexpr DWORD TBS_NOTHUMB = 0x0080;
constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_GETTIC = WM_USER + 3;
constexpr UINT TBM_SETTIC = WM_USER + 4;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
constexpr UINT TBM_CLEARTICS = WM_USER + 9;
constexpr UINT TBM_GETNUMTICS = WM_USER + 16;
constexpr UINT TBM_SETTICFREQ = WM_USER + 20;
constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;
constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
constexpr UINT TBM_GETLINESIZE = WM_USER + 24;
constexpr UINT TBM_SETBUDDY = WM_USER + 32;
constexpr UINT TBM_GETBUDDY = WM_USER + 33;
constexpr WPARAM TBTS_TOP = 0;
constexpr WORD TB_LINEUP = 0;
constexpr WORD TB_LINEDOWN = 1;
constexpr WORD TB_PAGEUP = 2;
constexpr WORD TB_PAGEDOWN = 3;
constexpr WORD TB_THUMBPOSITION = 4;
constexpr WORD TB_THUMBTRACK = 5;
constexpr WORD TB_TOP = 6;
constexpr WORD TB_BOTTOM = 7;
constexpr WORD TB_ENDTRACK = 8;

// ---- up-down ----
constexpr DWORD UDS_WRAP = 0x0001;
constexpr DWORD UDS_SETBUDDYINT = 0x0002;
constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
constexpr DWORD UDS_ALIGNLEFT = 0x0008;
constexpr DWORD UDS_AUTOBUDDY = 0x0010;
constexpr DWORD UDS_ARROWKEYS = 0x0020;
constexpr DWORD UDS_HORZ = 0x0040;
constexpr DWORD UDS_NOTHOUSANDS = 0x0080;
constexpr UINT UDM_SETRANGE = WM_USER + 101;
constexpr UINT UDM_GETRANGE = WM_USER + 102;
constexpr UINT UDM_SETPOS = WM_USER + 103;
constexpr UINT UDM_GETPOS = WM_USER + 104;
constexpr UINT UDM_SETBUDDY = WM_USER + 105;
constexpr UINT UDM_GETBUDDY = WM_USER + 106;
constexpr UINT UDM_SETACCEL = WM_USER + 107;
constexpr UINT UDM_GETACCEL = WM_USER + 108;
constexpr UINT UDM_SETBASE = WM_USER + 109;
constexpr UINT UDM_GETBASE = WM_USER + 110;
constexpr UINT UDM_SETRANGE32 = WM_USER + 111;
constexpr UINT UDM_GETRANGE32 = WM_USER + 112;
constexpr UINT UDM_SETPOS32 = WM_USER + 113;
constexpr UINT UDM_GETPOS32 = WM_USER + 114;
constexpr UINT UDN_FIRST = static_cast<UINT>(-721);
constexpr UINT UDN_DELTAPOS = UDN_FIRST - 1;
struct NMUPDOWN {
    NMHDR hdr;
    int iPos = 0;
    int iDelta = 0;
};

// ---- date-time picker ----
constexpr DWORD DTS_UPDOWN = 0x0001;
constexpr DWORD DTS_SHOWNONE = 0x0002;
constexpr DWORD DTS_SHORTDATEFORMAT = 0x0000;
constexpr DWORD DTS_LONGDATEFORMAT = 0x0004;
constexpr DWORD DTS_TIMEFORMAT = 0x0009;
constexpr DWORD DTS_APPCANPARSE = 0x0010;
constexpr DWORD DTS_RIGHTALIGN = 0x0020;
constexpr UINT DTM_GETSYSTEMTIME = DTM_FIRST + 1;
constexpr UINT DTM_SETSYSTEMTIME = DTM_FIRST + 2;
constexpr UINT DTM_GETRANGE = DTM_FIRST + 3;
constexpr UINT DTM_SETRANGE = DTM_FIRST + 4;
constexpr UINT DTM_SETFORMAT = DTM_FIRST + 50;
constexpr UINT DTM_GETMONTHCAL = DTM_FIRST + 8;
constexpr WPARAM GDT_ERROR = static_cast<WPARAM>(-1);
constexpr WPARAM GDT_VALID = 0;
constexpr WPARAM GDT_NONE = 1;
constexpr WPARAM GDTR_MIN = 0x0001;
constexpr WPARAM GDTR_MAX = 0x0002;
constexpr UINT DTN_FIRST = static_cast<UINT>(-760);
constexpr UINT DTN_DATETIMECHANGE = DTN_FIRST + 1;
constexpr UINT DTN_DROPDOWN = DTN_FIRST + 6;
constexpr UINT DTN_CLOSEUP = DTN_FIRST + 7;
struct NMDATETIMECHANGE {
    NMHDR nmhdr;
    DWORD dwFlags = 0;  // GDT_VALID or GDT_NONE
    SYSTEMTIME st{};
};
// The local time of the system clock.
void GetLocalTime(SYSTEMTIME* out);
namespace win {
// Formats a time in the picker's picture syntax: d dd ddd dddd, M MM MMM
// MMMM, y yy yyyy, h hh H HH, m mm, s ss, t tt, text in single quotes ('' a
// quote), other characters as they stand. English names.
WString FormatPickerTime(WStringView picture, const SYSTEMTIME& st);
// The text a picker shows (empty in its no-date state).
WString DateTimePickerText(HWND picker);
// Whether the no-date check box is ticked (DTS_SHOWNONE pickers).
}  // namespace win

// ---- tooltips ----
constexpr DWORD TTS_ALWAYSTIP = 0x01;
constexpr DWORD TTS_NOPREFIX = 0x02;
constexpr UINT TTF_IDISHWND = 0x0001;
constexpr UINT TTF_CENTERTIP = 0x0002;
constexpr UINT TTF_RTLREADING = 0x0004;
constexpr UINT TTF_SUBCLASS = 0x0010;
struct TOOLINFO {
    UINT cbSize = sizeof(TOOLINFO);
    UINT uFlags = 0;
    HWND hwnd = nullptr;
    uintptr_t uId = 0;
    RECT rect;
    HINSTANCE hinst = nullptr;
    WChar* lpszText = nullptr;  // LPSTR_TEXTCALLBACK: asked with TTN_GETDISPINFO
    LPARAM lParam = 0;
};
constexpr UINT TTM_ACTIVATE = WM_USER + 1;
constexpr UINT TTM_SETDELAYTIME = WM_USER + 3;
constexpr UINT TTM_RELAYEVENT = WM_USER + 7;  // lParam: the MSG a tool received
constexpr WPARAM TTDT_AUTOMATIC = 0;
constexpr WPARAM TTDT_INITIAL = 3;
constexpr UINT TTM_ADDTOOL = WM_USER + 50;
constexpr UINT TTM_DELTOOL = WM_USER + 51;
constexpr UINT TTM_NEWTOOLRECT = WM_USER + 52;
constexpr UINT TTM_GETTOOLINFO = WM_USER + 53;
constexpr UINT TTM_SETTOOLINFO = WM_USER + 54;
constexpr UINT TTM_GETTEXT = WM_USER + 56;
constexpr UINT TTM_UPDATETIPTEXT = WM_USER + 57;
constexpr UINT TTM_GETTOOLCOUNT = WM_USER + 13;
constexpr UINT TTM_POP = WM_USER + 28;
constexpr UINT TTN_FIRST = static_cast<UINT>(-520);
constexpr UINT TTN_GETDISPINFO = TTN_FIRST - 10;
constexpr UINT TTN_NEEDTEXT = TTN_GETDISPINFO;
constexpr UINT TTN_SHOW = TTN_FIRST - 1;
constexpr UINT TTN_POP = TTN_FIRST - 2;
struct NMTTDISPINFO {
    NMHDR hdr;
    WChar* lpszText = nullptr;
    WChar szText[80] = {};
    HINSTANCE hinst = nullptr;
    UINT uFlags = 0;
    LPARAM lParam = 0;
};
namespace win {
// The pointer rests on a tool: the tooltip finds the tool under the point of
// `owner`'s client area, gets its text (asking the owner for callbacks with
// TTN_GETDISPINFO), shows it and sends TTN_SHOW. The shown text, empty when
// no tool is there.
WString ToolTipHover(HWND tooltip, HWND owner, POINT client);
// The text the tooltip shows now (empty when hidden).
WString ToolTipShownText(HWND tooltip);
}  // namespace win

// ---- status bar ----
constexpr DWORD SBARS_SIZEGRIP = 0x0100;
constexpr DWORD CCS_TOP = 0x0001;
constexpr DWORD CCS_NOMOVEY = 0x0002;
constexpr DWORD CCS_BOTTOM = 0x0003;
constexpr DWORD CCS_NORESIZE = 0x0004;
constexpr DWORD CCS_NOPARENTALIGN = 0x0008;
constexpr DWORD CCS_NODIVIDER = 0x0040;
constexpr DWORD CCS_VERT = 0x0080;
constexpr UINT SB_SETTEXT = WM_USER + 11;
constexpr UINT SB_GETTEXT = WM_USER + 13;
constexpr UINT SB_GETTEXTLENGTH = WM_USER + 12;
constexpr UINT SB_SETPARTS = WM_USER + 4;
constexpr UINT SB_GETPARTS = WM_USER + 6;
constexpr UINT SB_GETBORDERS = WM_USER + 7;
constexpr UINT SB_SETMINHEIGHT = WM_USER + 8;
constexpr UINT SB_SIMPLE = WM_USER + 9;
constexpr UINT SB_GETRECT = WM_USER + 10;
constexpr UINT SB_ISSIMPLE = WM_USER + 14;
constexpr UINT SB_SETICON = WM_USER + 15;
constexpr UINT SB_SETTIPTEXT = WM_USER + 17;
constexpr UINT SB_GETTIPTEXT = WM_USER + 19;
constexpr UINT SB_GETICON = WM_USER + 20;
constexpr WPARAM SBT_NOBORDERS = 0x0100;
constexpr WPARAM SBT_POPOUT = 0x0200;
constexpr WPARAM SBT_RTLREADING = 0x0400;
constexpr WPARAM SBT_OWNERDRAW = 0x1000;
constexpr WPARAM SB_SIMPLEID = 0x00FF;
HWND CreateStatusWindow(LONG style, const WChar* text, HWND parent, UINT id);

// ---- toolbar (command bar) ----
constexpr DWORD TBSTYLE_BUTTON = 0x0000;
constexpr DWORD TBSTYLE_SEP = 0x0001;
constexpr DWORD TBSTYLE_CHECK = 0x0002;
constexpr DWORD TBSTYLE_GROUP = 0x0004;
constexpr DWORD TBSTYLE_CHECKGROUP = TBSTYLE_GROUP | TBSTYLE_CHECK;
constexpr DWORD TBSTYLE_DROPDOWN = 0x0008;
constexpr DWORD TBSTYLE_AUTOSIZE = 0x0010;
constexpr DWORD TBSTYLE_TOOLTIPS = 0x0100;
constexpr DWORD TBSTYLE_WRAPABLE = 0x0200;
constexpr DWORD TBSTYLE_FLAT = 0x0800;
constexpr DWORD TBSTYLE_LIST = 0x1000;
constexpr DWORD TBSTYLE_EX_DRAWDDARROWS = 0x0001;
constexpr BYTE TBSTATE_CHECKED = 0x01;
constexpr BYTE TBSTATE_PRESSED = 0x02;
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTATE_HIDDEN = 0x08;
constexpr BYTE TBSTATE_INDETERMINATE = 0x10;
constexpr BYTE TBSTATE_WRAP = 0x20;
struct TBBUTTON {
    int iBitmap = 0;
    int idCommand = 0;
    BYTE fsState = 0;
    BYTE fsStyle = 0;
    uintptr_t dwData = 0;
    intptr_t iString = 0;  // a string pointer, an index of TB_ADDSTRING, or -1
};
constexpr UINT TBIF_IMAGE = 0x0001;
constexpr UINT TBIF_TEXT = 0x0002;
constexpr UINT TBIF_STATE = 0x0004;
constexpr UINT TBIF_STYLE = 0x0008;
constexpr UINT TBIF_LPARAM = 0x0010;
constexpr UINT TBIF_COMMAND = 0x0020;
constexpr UINT TBIF_SIZE = 0x0040;
struct TBBUTTONINFO {
    UINT cbSize = sizeof(TBBUTTONINFO);
    UINT dwMask = 0;
    int idCommand = 0;
    int iImage = 0;
    BYTE fsState = 0;
    BYTE fsStyle = 0;
    WORD cx = 0;
    uintptr_t lParam = 0;
    WChar* pszText = nullptr;
    int cchText = 0;
};
struct TBADDBITMAP {
    HINSTANCE hInst = nullptr;
    uintptr_t nID = 0;  // resource id, or an HBITMAP when hInst is nullptr
};
constexpr UINT TB_ENABLEBUTTON = WM_USER + 1;
constexpr UINT TB_CHECKBUTTON = WM_USER + 2;
constexpr UINT TB_PRESSBUTTON = WM_USER + 3;
constexpr UINT TB_HIDEBUTTON = WM_USER + 4;
constexpr UINT TB_ISBUTTONENABLED = WM_USER + 9;
constexpr UINT TB_ISBUTTONCHECKED = WM_USER + 10;
constexpr UINT TB_ISBUTTONPRESSED = WM_USER + 11;
constexpr UINT TB_ISBUTTONHIDDEN = WM_USER + 12;
constexpr UINT TB_SETSTATE = WM_USER + 17;
constexpr UINT TB_GETSTATE = WM_USER + 18;
constexpr UINT TB_ADDBITMAP = WM_USER + 19;
constexpr UINT TB_ADDBUTTONS = WM_USER + 20;
constexpr UINT TB_INSERTBUTTON = WM_USER + 21;
constexpr UINT TB_DELETEBUTTON = WM_USER + 22;
constexpr UINT TB_GETBUTTON = WM_USER + 23;
constexpr UINT TB_BUTTONCOUNT = WM_USER + 24;
constexpr UINT TB_COMMANDTOINDEX = WM_USER + 25;
constexpr UINT TB_ADDSTRING = WM_USER + 28;
constexpr UINT TB_GETITEMRECT = WM_USER + 29;
constexpr UINT TB_BUTTONSTRUCTSIZE = WM_USER + 30;
constexpr UINT TB_SETBUTTONSIZE = WM_USER + 31;
constexpr UINT TB_SETBITMAPSIZE = WM_USER + 32;
constexpr UINT TB_AUTOSIZE = WM_USER + 33;
constexpr UINT TB_GETTOOLTIPS = WM_USER + 35;
constexpr UINT TB_SETTOOLTIPS = WM_USER + 36;
constexpr UINT TB_SETCMDID = WM_USER + 42;
constexpr UINT TB_GETBITMAP = WM_USER + 44;
constexpr UINT TB_SETIMAGELIST = WM_USER + 48;
constexpr UINT TB_GETIMAGELIST = WM_USER + 49;
constexpr UINT TB_GETRECT = WM_USER + 51;
constexpr UINT TB_SETSTYLE = WM_USER + 56;
constexpr UINT TB_GETSTYLE = WM_USER + 57;
constexpr UINT TB_GETBUTTONSIZE = WM_USER + 58;
constexpr UINT TB_GETBUTTONINFO = WM_USER + 63;
constexpr UINT TB_SETBUTTONINFO = WM_USER + 64;
constexpr UINT TB_SETEXTENDEDSTYLE = WM_USER + 84;
constexpr UINT TB_GETEXTENDEDSTYLE = WM_USER + 85;
constexpr UINT TBN_FIRST = static_cast<UINT>(-700);
constexpr UINT TBN_DROPDOWN = TBN_FIRST - 10;
constexpr LRESULT TBDDRET_DEFAULT = 0;
struct NMTOOLBAR {
    NMHDR hdr;
    int iItem = 0;
    TBBUTTON tbButton;
    int cchText = 0;
    WChar* pszText = nullptr;
    RECT rcButton;
};
// The handheld's command bar: a toolbar at the top of a window.
HWND CommandBar_Create(HINSTANCE instance, HWND parent, int id);
bool CommandBar_AddBitmap(HWND bar, HINSTANCE instance, int bitmapId, int count, int cx, int cy);
bool CommandBar_AddButtons(HWND bar, UINT count, const TBBUTTON* buttons);
// Inserts a menu bar button from a menu resource; the menu is kept by the bar.
bool CommandBar_InsertMenubar(HWND bar, HINSTANCE instance, WORD menuId, int button);
HMENU CommandBar_GetMenu(HWND bar, int button);
int CommandBar_Height(HWND bar);
bool CommandBar_Show(HWND bar, bool show);
namespace win {
// Fills a toolbar from a toolbar resource and the bitmap of the same id:
// one button per command id (0 a separator), images in order, the bitmap's
// light grey 0xC0C0C0 transparent. False when the resource is missing.
bool LoadToolbarResource(HWND toolbar, HINSTANCE instance, WORD id);
// The user taps a button: a drop-down part sends TBN_DROPDOWN; a plain part
// toggles check buttons and sends WM_COMMAND (id, BN_CLICKED, toolbar).
// Disabled and hidden buttons do nothing.
void ToolbarUserTap(HWND toolbar, int index, bool onArrow = false);
// A horizontal bar narrower than its buttons shows a chevron at its end in
// place of the buttons from this index on (-1: all fit); a tap on it opens a
// menu of those buttons, and choosing one taps it (a drop-down's arrow).
int ToolbarFirstOverflowed(HWND toolbar);
void ToolbarChevronTap(HWND toolbar);
}  // namespace win

// ---- rebar (command bands) ----
constexpr DWORD RBS_TOOLTIPS = 0x0100;
constexpr DWORD RBS_VARHEIGHT = 0x0200;
constexpr DWORD RBS_BANDBORDERS = 0x0400;
constexpr DWORD RBS_FIXEDORDER = 0x0800;
constexpr DWORD RBS_SMARTLABELS = 0x0001;
constexpr DWORD RBS_AUTOSIZE = 0x2000;
constexpr DWORD RBS_VERTICALGRIPPER = 0x4000;
constexpr UINT RBBS_BREAK = 0x0001;
constexpr UINT RBBS_FIXEDSIZE = 0x0002;
constexpr UINT RBBS_CHILDEDGE = 0x0004;
constexpr UINT RBBS_HIDDEN = 0x0008;
constexpr UINT RBBS_NOVERT = 0x0010;
constexpr UINT RBBS_FIXEDBMP = 0x0020;
constexpr UINT RBBS_GRIPPERALWAYS = 0x0080;
constexpr UINT RBBS_NOGRIPPER = 0x0100;
constexpr UINT RBBIM_STYLE = 0x0001;
constexpr UINT RBBIM_COLORS = 0x0002;
constexpr UINT RBBIM_TEXT = 0x0004;
constexpr UINT RBBIM_IMAGE = 0x0008;
constexpr UINT RBBIM_CHILD = 0x0010;
constexpr UINT RBBIM_CHILDSIZE = 0x0020;
constexpr UINT RBBIM_SIZE = 0x0040;
constexpr UINT RBBIM_BACKGROUND = 0x0080;
constexpr UINT RBBIM_ID = 0x0100;
constexpr UINT RBBIM_IDEALSIZE = 0x0200;
constexpr UINT RBBIM_LPARAM = 0x0400;
struct REBARBANDINFO {
    UINT cbSize = sizeof(REBARBANDINFO);
    UINT fMask = 0;
    UINT fStyle = 0;
    COLORREF clrFore = 0;
    COLORREF clrBack = 0;
    WChar* lpText = nullptr;
    UINT cch = 0;
    int iImage = -1;
    HWND hwndChild = nullptr;
    UINT cxMinChild = 0;
    UINT cyMinChild = 0;
    UINT cx = 0;
    HBITMAP hbmBack = nullptr;
    UINT wID = 0;
    UINT cyChild = 0;
    UINT cyMaxChild = 0;
    UINT cyIntegral = 0;
    UINT cxIdeal = 0;
    LPARAM lParam = 0;
    UINT cxHeader = 0;
};
struct REBARINFO {
    UINT cbSize = sizeof(REBARINFO);
    UINT fMask = 0;
    HIMAGELIST himl = nullptr;
};
constexpr UINT RBIM_IMAGELIST = 0x0001;
constexpr UINT RB_DELETEBAND = WM_USER + 2;
constexpr UINT RB_GETBARINFO = WM_USER + 3;
constexpr UINT RB_SETBARINFO = WM_USER + 4;
constexpr UINT RB_INSERTBAND = WM_USER + 10;
constexpr UINT RB_SETBANDINFO = WM_USER + 11;
constexpr UINT RB_GETBANDCOUNT = WM_USER + 12;
constexpr UINT RB_GETROWCOUNT = WM_USER + 13;
constexpr UINT RB_GETROWHEIGHT = WM_USER + 14;
constexpr UINT RB_IDTOINDEX = WM_USER + 16;
constexpr UINT RB_SHOWBAND = WM_USER + 35;
constexpr UINT RB_GETBANDINFO = WM_USER + 28;
constexpr UINT RB_GETBARHEIGHT = WM_USER + 27;
constexpr UINT RB_MINIMIZEBAND = WM_USER + 30;
constexpr UINT RB_MAXIMIZEBAND = WM_USER + 31;
constexpr UINT RBN_FIRST = static_cast<UINT>(-831);
constexpr UINT RBN_HEIGHTCHANGE = RBN_FIRST - 0;
// The handheld's command bands: a rebar whose bands hold command bars.
HWND CommandBands_Create(HINSTANCE instance, HWND parent, UINT id, DWORD style, HIMAGELIST images);
bool CommandBands_AddBands(HWND bands, HINSTANCE instance, UINT count,
                           const REBARBANDINFO* bandInfo);
HWND CommandBands_GetCommandBar(HWND bands, UINT index);
bool CommandBands_Show(HWND bands, bool show);

// ---- list view, header, tree, tab, track bar and up-down user actions ----
namespace win {
// A tap on a list view row (and cell): focus, selection (LVN_ITEMCHANGING /
// LVN_ITEMCHANGED for each row that changes), NM_CLICK with the cell. A tap
// on the state image of a check box list toggles the check. -1 taps empty
// space (clears the selection).
void ListViewUserTap(HWND list, int item, int subItem = 0, bool onStateIcon = false);
// A second tap of a double tap: NM_DBLCLK and LVN_ITEMACTIVATE.
void ListViewUserDoubleTap(HWND list, int item, int subItem = 0);
// A tap on a column header: HDN_ITEMCLICK from the header, then
// LVN_COLUMNCLICK from the list (unless LVS_NOSORTHEADER).
void ListViewUserColumnClick(HWND list, int column);
// The user finishes typing in the label edit (Enter, or Escape to cancel).
void ListViewUserEndEdit(HWND list, bool cancel);
// The tree: a tap on an item (selection change notifications), a tap on its
// button (expand or collapse toggles, with TVN_ITEMEXPANDING/EXPANDED).
void TreeViewUserSelect(HWND tree, HTREEITEM item);
void TreeViewUserToggle(HWND tree, HTREEITEM item);
// A tap on a tab: TCN_SELCHANGING (non-zero refuses), selection, TCN_SELCHANGE.
void TabUserSelect(HWND tab, int index);
// The user drags a track bar's thumb to a position (TB_THUMBTRACK for each
// step given, then TB_THUMBPOSITION and TB_ENDTRACK), or taps its line and
// page keys (the code's move, then TB_ENDTRACK).
void TrackBarUserDrag(HWND trackbar, const std::vector<int>& positions);
void TrackBarUserAction(HWND trackbar, WORD code);
// A tap on the up (delta +1) or down (delta -1) arrow: UDN_DELTAPOS (non-zero
// refuses), the new position, the buddy's text, then WM_VSCROLL/WM_HSCROLL
// with SB_THUMBPOSITION and SB_ENDSCROLL.
void UpDownUserStep(HWND updown, int delta);
// The user picks a date in the drop-down (DTN_DROPDOWN, DTN_DATETIMECHANGE,
// DTN_CLOSEUP), or ticks the no-date check box (DTN_DATETIMECHANGE).
void DateTimeUserPick(HWND picker, const SYSTEMTIME& st);
void DateTimeUserCheck(HWND picker, bool checked);
}  // namespace win
