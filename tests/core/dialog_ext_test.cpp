#include "core/dialog_ext.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/win/commctrl.h"
#include "platform/win/extra_controls.h"
#include "tests/core/ui_test_util.h"

namespace {

class DialogExtTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        module_ = res::RegisterModule(res::ResourceModule::FromFile(ZN_UI_TEST_RES));
        ASSERT_NE(module_, nullptr);
        win::RegisterExtraControls();
        WNDCLASS wc;
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = u"ZnCustom";
        RegisterClass(wc);
    }
    void TearDown() override {
        SetProgramFont(nullptr);
        if (programFont_) DeleteObject(programFont_);
        CDialogExt::s_swapRtlAnchorModes = false;
        UiTest::TearDown();
    }
    void UseProgramFont() {
        programFont_ = CreateFontFromSpec(100, u"Tahoma", 0, kFontBold);
        SetProgramFont(programFont_);
    }
    HINSTANCE module_ = nullptr;
    HFONT programFont_ = nullptr;
};

RECT RectIn(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(nullptr, parent, p, 2);
    return RECT{p[0].x, p[0].y, p[1].x, p[1].y};
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void Resize(HWND dlg, int dw, int dh) {
    RECT w{};
    GetWindowRect(dlg, &w);
    SetWindowPos(dlg, nullptr, 0, 0, w.right - w.left + dw, w.bottom - w.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TEST_F(DialogExtTest, LocalizesOnlyTheClassesItKnows) {
    LoadHebrew();
    UseProgramFont();
    CDialogExt dlg(4100, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    HWND h = dlg.GetSafeHwnd();
    EXPECT_EQ(GetWindowTextString(h), u"בדיקה");
    EXPECT_EQ(DWORD(GetWindowLong(h, GWL_EXSTYLE)) & kRtlExStyles, kRtlExStyles);
    struct Case {
        int id;
        WString text;
        bool rtl;
    };
    const Case cases[] = {
        {4101, u"החל", true},
        {4102, u"תווית", true},
        {4103, u"", true},        // EDIT: style only
        {4104, u"", true},        // LISTBOX: style only
        {4105, u"~~עצה", true},   // tooltip text
        {4106, u"Custom", false},  // another class: untouched
        {4107, WString(254, u'ט'), true},  // too long for a tooltip mark
        {4108, u"~~" + WString(253, u'ט'), true},
    };
    for (const Case& c : cases) {
        HWND ctl = dlg.GetDlgItem(c.id);
        ASSERT_NE(ctl, nullptr) << c.id;
        if (c.text.rfind(u"~~", 0) == 0) {
            // "caption~~tooltip": the translated text is the tooltip.
            EXPECT_EQ(win::GetToolTipText(ctl), c.text.substr(2)) << c.id;
            EXPECT_EQ(GetWindowTextString(ctl), u"") << c.id;
        } else if (c.id != 4103 && c.id != 4104) {
            EXPECT_EQ(GetWindowTextString(ctl), c.text) << c.id;
        }
        EXPECT_EQ((DWORD(GetWindowLong(ctl, GWL_EXSTYLE)) & kRtlExStyles) == kRtlExStyles, c.rtl)
            << c.id;
        // Every child gets the dialog font, the custom one too.
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessage(ctl, WM_GETFONT, 0, 0)), dlg.GetDialogFont());
    }
    // The library lacks "Fixed"'s id anyway; -1 is never looked up.
    for (HWND child : GetChildren(h)) {
        if (GetDlgCtrlID(child) == 0xFFFF || GetDlgCtrlID(child) == -1) {
            EXPECT_EQ(GetWindowTextString(child), u"Fixed");
        }
    }
    // The dialog font: the program font's face and weight at the dialog's height.
    LOGFONT lf{}, prog{};
    ASSERT_TRUE(dlg.GetDialogFont());
    GetObject(dlg.GetDialogFont(), sizeof lf, &lf);
    GetObject(programFont_, sizeof prog, &prog);
    EXPECT_EQ(WString(lf.lfFaceName), u"Tahoma");
    EXPECT_EQ(lf.lfWeight, 700);
    LOGFONT sys{};
    GetObject(GetStockObject(SYSTEM_FONT), sizeof sys, &sys);
    EXPECT_EQ(lf.lfHeight, sys.lfHeight);
    const int live = gdi::LiveObjectCount();
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.GetDialogFont(), nullptr);
    EXPECT_EQ(gdi::LiveObjectCount(), live - 1);
}

TEST_F(DialogExtTest, LeftToRightLibraryOrNoneKeepsTheTemplate) {
    CDialogExt dlg(4100, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(GetWindowTextString(dlg.GetSafeHwnd()), u"Test");
    EXPECT_EQ(GetWindowTextString(dlg.GetDlgItem(4105)), u"Tip");
    EXPECT_EQ(GetWindowLong(dlg.GetSafeHwnd(), GWL_EXSTYLE) & kRtlExStyles, 0);
    EXPECT_EQ(dlg.GetDialogFont(), nullptr);  // no program font
}

// Creation sends the first size message before the test can add anchors;
// the probe forgets it, so the test's own first message is the first.
class AnchorProbe : public CDialogExt {
public:
    using CDialogExt::CDialogExt;
    void ForgetSize() { m_prevWidth = m_prevHeight = 0; }
};

TEST_F(DialogExtTest, AnchorsMoveAndStretchAfterTheFirstSize) {
    AnchorProbe dlg(4200, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    HWND h = dlg.GetSafeHwnd();
    dlg.AddAnchor(4201, 1, 0);
    dlg.AddAnchor(4202, 2, 0);
    dlg.AddAnchor(4206, 0, 0);  // not stored
    dlg.AddAnchor(4205, 2, 1);
    ASSERT_EQ(dlg.GetAnchors().size(), 3u);
    EXPECT_EQ(dlg.GetAnchors()[0], 0x00011000u | 4201u);
    EXPECT_EQ(dlg.GetAnchors()[2], 0x01020000u | 4205u);

    RECT before[3];
    const int ids[3] = {4201, 4202, 4205};
    for (int i = 0; i < 3; ++i) before[i] = RectIn(h, dlg.GetDlgItem(ids[i]));
    // The first size message only records the size, whatever it is.
    dlg.ForgetSize();
    SendMessage(h, WM_SIZE, 0, MAKELPARAM(50, 50));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(SameRect(before[i], RectIn(h, dlg.GetDlgItem(ids[i]))));
    SendMessage(h, WM_SIZE, 0, MAKELPARAM(70, 60));
    RECT r = RectIn(h, dlg.GetDlgItem(4201));
    EXPECT_EQ(r.left, before[0].left + 20);
    EXPECT_EQ(r.right, before[0].right + 20);
    EXPECT_EQ(r.top, before[0].top);
    r = RectIn(h, dlg.GetDlgItem(4202));
    EXPECT_EQ(r.left, before[1].left);
    EXPECT_EQ(r.right, before[1].right + 20);
    r = RectIn(h, dlg.GetDlgItem(4205));
    EXPECT_EQ(r.right, before[2].right + 20);
    EXPECT_EQ(r.top, before[2].top + 10);
    EXPECT_EQ(r.bottom, before[2].bottom + 10);
    // Minimising moves nothing and keeps the recorded size.
    SendMessage(h, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_TRUE(SameRect(r, RectIn(h, dlg.GetDlgItem(4205))));
    // A destroyed window forgets its anchors, so the object can make it again.
    dlg.DestroyWindow();
    EXPECT_TRUE(dlg.GetAnchors().empty());
}

// What the user sees of a control: a mirrored dialog's client x runs from
// its right edge, so its stored rectangles are seen flipped.
RECT Seen(HWND dlg, HWND ctl) {
    RECT r = RectIn(dlg, ctl);
    if (!(DWORD(GetWindowLong(dlg, GWL_EXSTYLE)) & WS_EX_LAYOUTRTL)) return r;
    RECT c{};
    GetClientRect(dlg, &c);
    if (r.left > r.right) std::swap(r.left, r.right);
    return RECT{c.right - r.right, r.top, c.right - r.left, r.bottom};
}

struct AnchorRun {
    RECT client;
    std::vector<RECT> seen;
};

const int kAnchorIds[] = {4201, 4202, 4203, 4204, 4205, 4206, 4207};

AnchorRun RunAnchorDialog(HINSTANCE module) {
    CDialogExt dlg(4200, nullptr, module);
    EXPECT_TRUE(dlg.Create());
    HWND h = dlg.GetSafeHwnd();
    dlg.AddAnchor(4201, 1, 0);
    dlg.AddAnchor(4202, 2, 0);
    dlg.AddAnchor(4203, 0, 1);
    dlg.AddAnchor(4204, 0, 2);
    dlg.AddAnchor(4205, 2, 2);
    dlg.AddAnchor(4207, 1, 1);
    RECT c{};
    GetClientRect(h, &c);
    SendMessage(h, WM_SIZE, 0, MAKELPARAM(WORD(c.right), WORD(c.bottom)));
    Resize(h, 40, 16);
    AnchorRun run;
    GetClientRect(h, &run.client);
    for (int id : kAnchorIds) run.seen.push_back(Seen(h, dlg.GetDlgItem(id)));
    return run;
}

bool IsMirrorImage(const AnchorRun& ltr, const AnchorRun& rtl) {
    if (!SameRect(ltr.client, rtl.client)) return false;
    const int w = ltr.client.right;
    for (size_t i = 0; i < ltr.seen.size(); ++i) {
        const RECT& a = ltr.seen[i];
        const RECT& b = rtl.seen[i];
        if (b.left != w - a.right || b.right != w - a.left || b.top != a.top ||
            b.bottom != a.bottom)
            return false;
    }
    return true;
}

TEST_F(DialogExtTest, RightToLeftResizeIsTheMirrorImage) {
    const AnchorRun ltr = RunAnchorDialog(module_);
    LoadHebrew();
    const AnchorRun rtl = RunAnchorDialog(module_);
    EXPECT_TRUE(IsMirrorImage(ltr, rtl));
    // With none and move exchanged for right-to-left languages the controls
    // drift away from the edge they sit at.
    CDialogExt::s_swapRtlAnchorModes = true;
    const AnchorRun swapped = RunAnchorDialog(module_);
    EXPECT_FALSE(IsMirrorImage(ltr, swapped));
}

TEST_F(DialogExtTest, CaptionButtonsReplaceOkAndCancel) {
    CDialogExt dlg(4100, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    HWND h = dlg.GetSafeHwnd();
    const RECT ok = RectIn(h, dlg.GetDlgItem(IDOK));
    RECT wBefore{}, cBefore{};
    GetWindowRect(h, &wBefore);
    GetClientRect(h, &cBefore);
    dlg.UseCaptionButtons(false, true);
    EXPECT_NE(dlg.GetDlgItem(IDOK), nullptr);
    dlg.UseCaptionButtons(true, true);
    EXPECT_EQ(dlg.GetDlgItem(IDOK), nullptr);
    EXPECT_NE(DWORD(GetWindowLong(h, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN, 0u);
    RECT wAfter{}, cAfter{};
    GetWindowRect(h, &wAfter);
    GetClientRect(h, &cAfter);
    EXPECT_EQ(cAfter.bottom, ok.top);
    EXPECT_EQ(wAfter.right - wAfter.left, wBefore.right - wBefore.left);
    EXPECT_EQ(wAfter.top, wBefore.top);
    EXPECT_EQ(wAfter.left, wBefore.left);
    // Without an OK button, EnableOk works on the caption button.
    dlg.EnableOk(false);
    EXPECT_EQ(DWORD(GetWindowLong(h, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN, 0u);
    dlg.EnableOk(true);
    EXPECT_NE(DWORD(GetWindowLong(h, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN, 0u);
}

TEST_F(DialogExtTest, EnableOkOnTheButtonWhenThereIsOne) {
    CDialogExt dlg(4100, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    dlg.EnableOk(false);
    EXPECT_FALSE(IsWindowEnabled(dlg.GetDlgItem(IDOK)));
    EXPECT_EQ(DWORD(GetWindowLong(dlg.GetSafeHwnd(), GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN, 0u);
    dlg.EnableOk(true);
    EXPECT_TRUE(IsWindowEnabled(dlg.GetDlgItem(IDOK)));
}

TEST_F(DialogExtTest, DialogUnitConversion) {
    // Without a window: the system's base units.
    const LONG base = GetDialogBaseUnits();
    RECT r{4, 8, 40, 16};
    DialogUnitsToPixels(nullptr, r);
    EXPECT_EQ(r.left, LOWORD(base));
    EXPECT_EQ(r.top, HIWORD(base));
    EXPECT_EQ(r.right, 10 * LOWORD(base));
    PixelsToDialogUnits(nullptr, r);
    EXPECT_EQ(r.right, 40);
    EXPECT_EQ(r.bottom, 16);
    // With one: its own mapping, as MapDialogRect gives it.
    CDialogExt dlg(4100, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    RECT a{0, 0, 160, 120}, b = a;
    DialogUnitsToPixels(dlg.GetSafeHwnd(), a);
    MapDialogRect(dlg.GetSafeHwnd(), &b);
    EXPECT_TRUE(SameRect(a, b));
    // Huge values stay within the model's bounds.
    RECT huge{0, 0, 32767, 32767};
    DialogUnitsToPixels(dlg.GetSafeHwnd(), huge);
    EXPECT_GT(huge.right, 0);
}

TEST_F(DialogExtTest, DataExchangeBothWays) {
    CDialogExt dlg(4300, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    HWND h = dlg.GetSafeHwnd();
    auto text = [&](int id) { return GetWindowTextString(dlg.GetDlgItem(id)); };
    auto set = [&](int id, const WChar* t) { SetWindowText(dlg.GetDlgItem(id), t); };

    // Loading.
    struct Load {
        int i;
        double d;
        double nodata;
        WString s;
        bool caseSensitive;
        WString ti, td, tn, ts;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Load loads[] = {
        {7, 2.5, 1.25, u"NONE", false, u"", u"", u"1.25", u""},
        {8, 3.0, nan, u"none", false, u"8", u"3", u"", u""},
        {7, 2.5, -1e39, u"none", true, u"", u"", u"", u"none"},
        {0, 0.0, -DBL_MAX, u"None", true, u"0", u"0", u"", u""},
        {7, 2.5, -1e38, u"x", true, u"", u"", u"-1e+38", u"x"},
    };
    for (const Load& l : loads) {
        int i = l.i;
        double d = l.d, n = l.nodata;
        WString s = l.s;
        ASSERT_TRUE(UpdateDialogData(h, false, [&](CDataExchange* dx) {
            DDX_IntDefault(dx, 4301, i, 7);
            DDX_DoubleDefault(dx, 4302, d, 2.5);
            DDX_DoubleNoData(dx, 4303, n);
            DDX_TextDefault(dx, 4304, s, u"None", l.caseSensitive);
        }));
        EXPECT_EQ(text(4301), l.ti) << l.i;
        EXPECT_EQ(text(4302), l.td) << l.d;
        EXPECT_EQ(text(4303), l.tn) << l.nodata;
        EXPECT_EQ(text(4304), l.ts) << text::ToUtf8(l.s);
    }

    // Saving.
    struct Save {
        const WChar *ti, *td, *tn, *ts;
        int i;
        double d, n;
        WString s;
    };
    const Save saves[] = {
        {u"", u"", u"", u"", 7, 2.5, -DBL_MAX, u"None"},
        {u"  ", u" ", u"   ", u"  ", 7, 2.5, -DBL_MAX, u"None"},
        {u"12", u"0.5", u"-3", u"abc ", 12, 0.5, -3.0, u"abc "},
    };
    for (const Save& v : saves) {
        set(4301, v.ti);
        set(4302, v.td);
        set(4303, v.tn);
        set(4304, v.ts);
        int i = 0;
        double d = 0, n = 0;
        WString s;
        ASSERT_TRUE(UpdateDialogData(h, true, [&](CDataExchange* dx) {
            DDX_IntDefault(dx, 4301, i, 7);
            DDX_DoubleDefault(dx, 4302, d, 2.5);
            DDX_DoubleNoData(dx, 4303, n);
            DDX_TextDefault(dx, 4304, s, u"None", false);
        }));
        EXPECT_EQ(i, v.i);
        EXPECT_EQ(d, v.d);
        EXPECT_EQ(n, v.n);
        EXPECT_EQ(s, v.s);
    }
    // A text that is not a number is refused with the framework's prompt.
    set(4301, u"x");
    win::ClearMessageBoxLog();
    int i = 5;
    EXPECT_FALSE(UpdateDialogData(h, true, [&](CDataExchange* dx) { DDX_IntDefault(dx, 4301, i, 7); }));
    EXPECT_EQ(i, 5);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
}

TEST_F(DialogExtTest, DateTimeKeepsARefusedStoredDate) {
    CDialogExt dlg(4300, nullptr, module_);
    ASSERT_TRUE(dlg.Create());
    HWND h = dlg.GetSafeHwnd();
    HWND withNone = dlg.GetDlgItem(4305), plain = dlg.GetDlgItem(4306);
    const SYSTEMTIME refused{1999, 2, 0, 30, 10, 0, 0, 0};  // 30 February
    const SYSTEMTIME valid{2021, 6, 0, 15, 8, 30, 0, 0};
    auto exchange = [&](bool save, SYSTEMTIME& a, SYSTEMTIME& b) {
        return UpdateDialogData(h, save, [&](CDataExchange* dx) {
            DDX_DateTime(dx, 4305, a);
            DDX_DateTime(dx, 4306, b);
        });
    };
    SYSTEMTIME a = refused, b = refused;
    ASSERT_TRUE(exchange(false, a, b));
    SYSTEMTIME shown{};
    EXPECT_EQ(SendMessage(withNone, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)), LRESULT(GDT_NONE));
    EXPECT_EQ(SendMessage(plain, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)), LRESULT(GDT_VALID));
    // OK without touching the pickers: both records keep their date.
    ASSERT_TRUE(exchange(true, a, b));
    EXPECT_EQ(a.wDay, 30);
    EXPECT_EQ(b.wDay, 30);
    EXPECT_EQ(b.wMonth, 2);
    // The user picks a date: that is saved.
    ASSERT_TRUE(exchange(false, a, b));
    SYSTEMTIME picked = valid;
    SendMessage(withNone, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&picked));
    picked.wDay = 16;
    SendMessage(plain, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&picked));
    ASSERT_TRUE(exchange(true, a, b));
    EXPECT_EQ(a.wYear, 2021);
    EXPECT_EQ(a.wDay, 15);
    EXPECT_EQ(b.wDay, 16);
    // A date the picker shows goes back and forth unchanged; no date stays none.
    SYSTEMTIME none{};
    a = valid;
    ASSERT_TRUE(exchange(false, a, none));
    ASSERT_TRUE(exchange(true, a, none));
    EXPECT_EQ(a.wDay, 15);
    EXPECT_EQ(a.wHour, 8);
    EXPECT_EQ(none.wYear, 0);
}

// The sheet tests record what the tab control is told.
WNDPROC g_tabProc = nullptr;
std::vector<UINT> g_tabMasks;
LRESULT RecordingTabProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == TCM_SETITEM) g_tabMasks.push_back(reinterpret_cast<TCITEM*>(l)->mask);
    return CallWindowProc(g_tabProc, h, m, w, l);
}

class RecordingSheet : public CPropertySheetExt {
public:
    RecordingSheet() : CPropertySheetExt(WString(u"Sheet"), nullptr) {}
    bool OnInitDialog() override {
        HWND tab = GetTabControl();
        g_tabProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtr(tab, GWLP_WNDPROC, reinterpret_cast<intptr_t>(&RecordingTabProc)));
        return CPropertySheetExt::OnInitDialog();
    }
};

WString TabText(HWND tab, int i) {
    WChar buffer[300] = {};
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 300;
    SendMessage(tab, TCM_GETITEM, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    return item.pszText ? WString(item.pszText) : WString();
}

TEST_F(DialogExtTest, SheetTabsFromThePageTemplateIds) {
    for (bool rtl : {false, true}) {
        if (rtl) {
            LoadHebrew();
        } else {
            // The same texts under a left-to-right locale.
            InstallLibrary(ZN_LANG_HEB_RES, "ENU.res");
            ASSERT_TRUE(GetLanguageModule()->LoadForLocale(0x0409));
        }
        UseProgramFont();
        g_tabMasks.clear();
        CPropertyPageExt general(4000, 0, module_), advanced(4001, 0, module_);
        RecordingSheet sheet;
        sheet.AddPage(&general);
        sheet.AddPage(&advanced);
        ASSERT_TRUE(sheet.Create());
        HWND tab = sheet.GetTabControl();
        EXPECT_EQ(TabText(tab, 0), u"כללי");
        EXPECT_EQ(TabText(tab, 1), u"מתקדם");
        ASSERT_EQ(g_tabMasks.size(), 2u);
        EXPECT_EQ(g_tabMasks[0], rtl ? 5u : 1u);
        EXPECT_EQ((DWORD(GetWindowLong(sheet.GetSafeHwnd(), GWL_EXSTYLE)) & kRtlExStyles) != 0, rtl);
        // The tab font on the tab control and the sheet.
        ASSERT_NE(sheet.GetTabFont(), nullptr);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessage(tab, WM_GETFONT, 0, 0)), sheet.GetTabFont());
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessage(sheet.GetSafeHwnd(), WM_GETFONT, 0, 0)),
                  sheet.GetTabFont());
        // The page's own texts.
        EXPECT_EQ(GetWindowTextString(GetDlgItem(general.GetSafeHwnd(), 4010)), u"שם");
        // Images and titles.
        sheet.SetPageImage(&advanced, 3);
        sheet.SetPageImage(nullptr, 4);
        TCITEM item;
        item.mask = TCIF_IMAGE;
        SendMessage(tab, TCM_GETITEM, 1, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(item.iImage, 3);
        const WString longTitle(300, u'T');
        sheet.SetPageTitle(&general, longTitle.c_str());
        WString title;
        ASSERT_TRUE(sheet.GetPageTitle(&general, title));
        EXPECT_EQ(title.size(), 256u);
        sheet.DestroyWindow();
        EXPECT_EQ(sheet.GetTabFont(), nullptr);
        SetProgramFont(nullptr);
        DeleteObject(programFont_);
        programFont_ = nullptr;
    }
}

TEST_F(DialogExtTest, FileDialogDisablesItsOwnerAndGivesTheFocusBack) {
    HWND owner = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
    HWND edit = CreateWindowEx(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 12, owner,
                               reinterpret_cast<HMENU>(5), nullptr, nullptr);
    SetFocus(edit);
    bool ownerEnabledDuring = true;
    int calls = 0;
    win::CommonDialogResponder responder;
    responder.file = [&](OPENFILENAME& ofn, bool save) {
        ++calls;
        ownerEnabledDuring = IsWindowEnabled(ofn.hwndOwner);
        SetFocus(nullptr);
        ofn.file = save ? u"\\\\Storage\\x.txt" : u"\\\\Storage\\y.txt";
        return true;
    };
    win::SetCommonDialogResponder(responder);
    CFileDialogEx save(false, u"txt", u"a.txt", 0, u"Text (*.txt)|*.txt||", owner);
    EXPECT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), u"\\Storage\\x.txt");
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetFocus(), edit);
    // An open dialog keeps the path as given.
    CFileDialogEx open(true, nullptr, nullptr, OFN_ENABLEHOOK, nullptr, owner);
    EXPECT_EQ(open.DoModal(), IDOK);
    EXPECT_EQ(open.GetPathName(), u"\\\\Storage\\y.txt");
    EXPECT_EQ(open.m_ofn.flags & OFN_ENABLEHOOK, 0u);
    // Cancel; an owner that was disabled already stays disabled.
    responder.file = [&](OPENFILENAME&, bool) { return false; };
    win::SetCommonDialogResponder(responder);
    EnableWindow(owner, false);
    CFileDialogEx cancelled(false, nullptr, u"b.txt", 0, nullptr, owner);
    EXPECT_EQ(cancelled.DoModal(true), IDCANCEL);
    EXPECT_FALSE(IsWindowEnabled(owner));
    EXPECT_EQ(cancelled.GetPathName(), u"");
    EXPECT_EQ(calls, 2);
    DestroyWindow(owner);
}

}  // namespace
