// Property sheets on the null backend: pages from in-memory templates (as
// the forms engine builds them) and from resources, modal and modeless, the
// page lifecycle in order (set active, kill active that can refuse, apply on
// every created page for OK, reset for Cancel), page changes and posted
// messages to pages.
#include <gtest/gtest.h>

#include "platform/win/dialog.h"
#include "win_ctl_harness.h"

namespace {

using ctltest::CtlTest;
using Lines = std::vector<std::string>;

// A page as the forms engine builds it: an edit and a check box.
std::vector<uint8_t> PageTemplate(const std::u16string& title, int16_t cx, int16_t cy) {
    return ctltest::FormTemplate(
        title, cx, cy,
        {{WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0x81, u""},
         {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0x80, u"Done"}});
}

// What the pages heard: "init 0", "setactive 1", "apply 0 ok", ...
Lines g_events;
int g_refuseKill = -1;    // page whose kill-active refuses
int g_invalidApply = -1;  // page whose apply answers PSNRET_INVALID
bool g_refuseCancel = false;

intptr_t PageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    int index = static_cast<int>(GetWindowLongPtr(page, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG: {
            auto* psp = reinterpret_cast<PROPSHEETPAGE*>(lp);
            index = static_cast<int>(psp->lParam);
            SetWindowLongPtr(page, DWLP_USER, index);
            g_events.push_back("init " + std::to_string(index));
            return TRUE;
        }
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lp);
            LRESULT r = 0;
            std::string e;
            switch (nm->code) {
                case PSN_SETACTIVE:
                    e = "setactive";
                    break;
                case PSN_KILLACTIVE:
                    e = "killactive";
                    r = index == g_refuseKill;
                    break;
                case PSN_APPLY:
                    e = reinterpret_cast<PSHNOTIFY*>(lp)->lParam ? "apply-ok" : "apply";
                    r = index == g_invalidApply ? PSNRET_INVALID : PSNRET_NOERROR;
                    break;
                case PSN_RESET:
                    e = "reset";
                    break;
                case PSN_QUERYCANCEL:
                    e = "querycancel";
                    r = g_refuseCancel;
                    break;
                default:
                    return FALSE;
            }
            g_events.push_back(e + " " + std::to_string(index));
            SetWindowLongPtr(page, DWLP_MSGRESULT, r);
            return TRUE;
        }
        case WM_APP + 10:  // a private message posted to the page
            g_events.push_back("exchange " + std::to_string(index) + " " + std::to_string(wp));
            return TRUE;
        default:
            return FALSE;
    }
}

class PropSheetTest : public CtlTest {
protected:
    void SetUp() override {
        CtlTest::SetUp();
        g_events.clear();
        g_refuseKill = g_invalidApply = -1;
        g_refuseCancel = false;
        bytes_[0] = PageTemplate(u"Attributes", 120, 90);
        bytes_[1] = PageTemplate(u"Notes", 150, 80);
        bytes_[2] = PageTemplate(u"Photo", 100, 60);
        for (int i = 0; i < 3; ++i) {
            pages_[i].dwFlags = PSP_DLGINDIRECT;
            pages_[i].pResource = bytes_[i].data();
            pages_[i].cbResource = bytes_[i].size();
            pages_[i].pfnDlgProc = PageProc;
            pages_[i].lParam = i;
        }
        header_.dwFlags = PSH_PROPSHEETPAGE;
        header_.hwndParent = host_;
        header_.pszCaption = u"Feature";
        header_.nPages = 3;
        header_.ppsp = pages_;
    }
    static HWND Tab(HWND sheet) {
        SendMessage(sheet, PSM_GETTABCONTROL, 0, 0);
        return reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
    }
    static HWND Current(HWND sheet) {
        SendMessage(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
        return reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
    }
    std::vector<uint8_t> bytes_[3];
    PROPSHEETPAGE pages_[3];
    PROPSHEETHEADER header_;
};

TEST_F(PropSheetTest, ModalSheetRunsTheLifecycleInOrder) {
    HWND seen = nullptr;
    win::PushModalHook([&](HWND sheet) {
        seen = sheet;
        EXPECT_FALSE(IsWindowEnabled(host_));
        HWND tab = Tab(sheet);
        EXPECT_EQ(SendMessage(tab, TCM_GETITEMCOUNT, 0, 0), 3);
        EXPECT_EQ(GetWindowTextString(sheet), u"Feature");
        // The user changes to the second tab: the first page is left first.
        win::TabUserSelect(tab, 1);
        EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), 1);
        HWND page1 = Current(sheet);
        EXPECT_TRUE(IsWindowVisible(page1));
        EXPECT_EQ(GetClassNameText(GetDlgItem(page1, 4000)), u"EDIT");
        // A page that refuses to be left keeps the tab.
        g_refuseKill = 1;
        win::TabUserSelect(tab, 0);
        EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(Current(sheet), page1);
        g_refuseKill = -1;
        win::PressCaptionOk(sheet);
    });
    EXPECT_EQ(PropertySheet(&header_), 1);
    EXPECT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_TRUE(IsWindowEnabled(host_));
    // Page 2 was never shown, so it is never created nor applied.
    EXPECT_EQ(g_events, Lines({"init 0", "setactive 0", "killactive 0", "init 1", "setactive 1",
                               "killactive 1", "killactive 1", "apply-ok 0", "apply-ok 1"}));
}

TEST_F(PropSheetTest, CancelResetsCreatedPagesAndCanBeRefused) {
    for (auto& p : pages_) p.dwFlags |= PSP_PREMATURE;  // every page made with the sheet
    win::PushModalHook([&](HWND sheet) {
        g_refuseCancel = true;
        SendMessage(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        EXPECT_TRUE(win::IsDialogRunning(sheet));
        g_refuseCancel = false;
        win::PressCaptionClose(sheet);
    });
    EXPECT_EQ(PropertySheet(&header_), 0);
    EXPECT_EQ(g_events, Lines({"init 0", "init 1", "init 2", "setactive 0", "querycancel 0",
                               "querycancel 0", "reset 0", "reset 1", "reset 2"}));
}

TEST_F(PropSheetTest, AnInvalidApplyShowsThatPageAndKeepsTheSheet) {
    header_.nStartPage = 1;
    header_.dwFlags |= PSH_NOAPPLYNOW;
    pages_[0].dwFlags |= PSP_PREMATURE;
    win::PushModalHook([&](HWND sheet) {
        EXPECT_EQ(GetDlgItem(sheet, ID_APPLY_NOW), nullptr);
        EXPECT_EQ(SendMessage(Tab(sheet), TCM_GETCURSEL, 0, 0), 1);
        g_invalidApply = 0;
        SendMessage(sheet, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(win::IsDialogRunning(sheet));
        EXPECT_EQ(SendMessage(Tab(sheet), TCM_GETCURSEL, 0, 0), 0);
        g_invalidApply = -1;
        // Another page is chosen by the program: leave, then show.
        SendMessage(sheet, PSM_SETCURSEL, 2, 0);
        EXPECT_EQ(SendMessage(Tab(sheet), TCM_GETCURSEL, 0, 0), 2);
        SendMessage(sheet, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(PropertySheet(&header_), 1);
    EXPECT_EQ(g_events, Lines({"init 0", "init 1", "setactive 1", "killactive 1", "apply-ok 0",
                               "setactive 0", "killactive 0", "init 2", "setactive 2",
                               "killactive 2", "apply-ok 0", "apply-ok 1", "apply-ok 2"}));
}

TEST_F(PropSheetTest, ModelessSheetTakesPostedMessagesAndApply) {
    header_.dwFlags |= PSH_MODELESS | PSH_RTLREADING;
    auto sheet = reinterpret_cast<HWND>(PropertySheet(&header_));
    ASSERT_TRUE(IsWindow(sheet));
    EXPECT_TRUE(IsWindowEnabled(host_));  // modeless: the owner stays usable
    EXPECT_TRUE(IsWindowVisible(sheet));
    TCITEM ti;
    ti.mask = TCIF_RTLREADING;
    SendMessage(Tab(sheet), TCM_GETITEM, 2, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(ti.mask, TCIF_RTLREADING);

    SendMessage(sheet, PSM_SETCURSEL, 1, 0);
    std::vector<HWND> pages = win::PropertySheetPages(sheet);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2], nullptr);
    for (HWND p : pages)
        if (p) PostMessage(p, WM_APP + 10, 1, 0);
    win::input::DrainQueue();

    // Apply: enabled by a change, applies without closing.
    HWND apply = GetDlgItem(sheet, ID_APPLY_NOW);
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(IsWindowEnabled(apply));
    SendMessage(sheet, PSM_CHANGED, reinterpret_cast<WPARAM>(pages[1]), 0);
    EXPECT_TRUE(IsWindowEnabled(apply));
    SendMessage(apply, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(apply));
    EXPECT_EQ(Current(sheet), pages[1]);

    win::PressCaptionOk(sheet);
    win::input::DrainQueue();
    EXPECT_EQ(Current(sheet), nullptr);  // ended: the owner destroys it
    EXPECT_TRUE(DestroyWindow(sheet));
    EXPECT_EQ(g_events, Lines({"init 0", "setactive 0", "killactive 0", "init 1", "setactive 1",
                               "exchange 0 1", "exchange 1 1", "killactive 1", "apply 0", "apply 1",
                               "killactive 1", "apply-ok 0", "apply-ok 1"}));
}

TEST_F(PropSheetTest, PagesFromResourcesAndPageHandles) {
    PROPSHEETPAGE a;
    a.pszTemplate = MAKEINTRESOURCE(200);
    a.pfnDlgProc = PageProc;
    a.lParam = 0;
    PROPSHEETPAGE b = a;
    b.pszTemplate = MAKEINTRESOURCE(201);
    b.lParam = 1;
    b.dwFlags = PSP_USETITLE;
    b.pszTitle = u"More";
    HPROPSHEETPAGE handles[2] = {CreatePropertySheetPage(&a), CreatePropertySheetPage(&b)};
    PROPSHEETHEADER h;
    h.dwFlags = PSH_MODELESS;
    h.hwndParent = host_;
    h.nPages = 2;
    h.phpage = handles;  // the sheet takes them over
    auto sheet = reinterpret_cast<HWND>(PropertySheet(&h));
    ASSERT_TRUE(IsWindow(sheet));
    WChar buf[32] = {};
    TCITEM ti;
    ti.mask = TCIF_TEXT;
    ti.pszText = buf;
    ti.cchTextMax = 32;
    SendMessage(Tab(sheet), TCM_GETITEM, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(std::u16string(buf), u"General");
    SendMessage(Tab(sheet), TCM_GETITEM, 1, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(std::u16string(buf), u"More");
    HWND page = Current(sheet);
    EXPECT_NE(GetDlgItem(page, 1001), nullptr);
    // The page lies inside the tab's display area.
    RECT pr, tr;
    GetWindowRect(page, &pr);
    GetWindowRect(Tab(sheet), &tr);
    EXPECT_GT(pr.top, tr.top);
    EXPECT_LE(pr.bottom, tr.bottom);
    EXPECT_TRUE(DestroyWindow(sheet));

    // Bad input: a missing template, an in-memory page without bytes.
    PROPSHEETPAGE missing;
    missing.pszTemplate = MAKEINTRESOURCE(999);
    missing.pfnDlgProc = PageProc;
    PROPSHEETHEADER bad;
    bad.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS;
    bad.nPages = 1;
    bad.ppsp = &missing;
    EXPECT_EQ(PropertySheet(&bad), -1);
    PROPSHEETPAGE empty;
    empty.dwFlags = PSP_DLGINDIRECT;
    EXPECT_EQ(CreatePropertySheetPage(&empty), nullptr);
}

TEST_F(PropSheetTest, HugePageTemplateGivesASheetOfAPositiveSize) {
    // The largest point size and dialog units a page template can hold.
    bytes_[0] = wintest::DialogTemplate(u"Big", 32767, 32767, {}, 65535);
    pages_[0].pResource = bytes_[0].data();
    pages_[0].cbResource = bytes_[0].size();
    header_.dwFlags |= PSH_MODELESS;
    auto sheet = reinterpret_cast<HWND>(PropertySheet(&header_));
    ASSERT_TRUE(IsWindow(sheet));
    RECT r;
    GetWindowRect(sheet, &r);
    EXPECT_GT(r.right - r.left, 0);
    EXPECT_GT(r.bottom - r.top, 0);
    EXPECT_TRUE(DestroyWindow(sheet));
}

}  // namespace
