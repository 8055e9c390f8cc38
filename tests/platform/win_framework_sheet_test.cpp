// The framework's property pages and sheets: pages built from in-memory
// templates as the custom forms engine builds them, the lifecycle reaching
// the page objects in the framework's order, data exchange that keeps a page
// when its value is wrong, modal and modeless sheets.
#include <gtest/gtest.h>

#include "platform/win/ddx.h"
#include "platform/win/dialog.h"
#include "platform/win/framework_sheet.h"
#include "platform/win/msgbox.h"
#include "win_ctl_harness.h"

namespace {

using ctltest::CtlTest;
using Lines = std::vector<std::string>;

std::vector<uint8_t> FormPage(const std::u16string& title) {
    return ctltest::FormTemplate(
        title, 140, 100, {{WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0x81, u""}});
}

Lines g_heard;

// A form page: one integer field between 0 and 100.
class FormPageObject : public win::PropertyPage {
public:
    FormPageObject(int index, const std::u16string& title)
        : win::PropertyPage(FormPage(title)), index_(index) {
        m_psp.dwFlags |= PSP_PREMATURE;  // every page exists from the start
    }
    int value = 0;

    bool OnInitDialog() override {
        Say("OnInitDialog");
        return PropertyPage::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, 4000, value);
        DDV_MinMaxInt(dx, value, 0, 100);
    }
    bool OnSetActive() override {
        Say("OnSetActive");
        return PropertyPage::OnSetActive();
    }
    bool OnKillActive() override {
        bool ok = PropertyPage::OnKillActive();
        Say(ok ? "OnKillActive" : "OnKillActive refused");
        return ok;
    }
    bool OnApply() override {
        Say("OnApply");
        return PropertyPage::OnApply();
    }
    void OnOK() override { Say("OnOK"); }
    void OnCancel() override { Say("OnCancel"); }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP + 10) {  // exchange data, posted by the form
            Say("exchange " + std::to_string(wp));
            UpdateData(wp != 0);
            return 0;
        }
        return PropertyPage::WindowProc(msg, wp, lp);
    }

private:
    void Say(const std::string& what) { g_heard.push_back(std::to_string(index_) + " " + what); }
    int index_;
};

class FormSheet : public win::PropertySheet {
public:
    using win::PropertySheet::PropertySheet;
    bool OnInitDialog() override {
        g_heard.push_back("sheet OnInitDialog");
        // The form's sheet hides its tabs when told to.
        ShowWindow(GetTabControl(), SW_HIDE);
        return true;
    }
};

class FrameworkSheetTest : public CtlTest {
protected:
    void SetUp() override {
        CtlTest::SetUp();
        g_heard.clear();
        win::QueueMessageBoxAnswers({});
    }
};

TEST_F(FrameworkSheetTest, ModalFormSheetAppliesEveryPageInOrder) {
    FormPageObject a(0, u"Site"), b(1, u"Notes");
    a.value = 7;
    b.value = 9;
    FormSheet sheet(u"Untitled Form", host_);
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    win::PushModalHook([&](HWND hwnd) {
        EXPECT_EQ(sheet.GetSafeHwnd(), hwnd);
        EXPECT_FALSE(IsWindowVisible(sheet.GetTabControl()));
        EXPECT_EQ(GetDlgItemTextString(a.GetSafeHwnd(), 4000), u"7");
        EXPECT_EQ(GetDlgItemTextString(b.GetSafeHwnd(), 4000), u"9");
        EXPECT_EQ(sheet.GetActivePage(), &a);
        EXPECT_TRUE(sheet.SetActivePage(1));
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        // A wrong value keeps the page: the framework's prompt, focus on it.
        SetDlgItemText(b.GetSafeHwnd(), 4000, u"250");
        EXPECT_FALSE(sheet.SetActivePage(&a));
        EXPECT_EQ(sheet.GetActivePage(), &b);
        EXPECT_EQ(GetFocus(), GetDlgItem(b.GetSafeHwnd(), 4000));
        SetDlgItemText(b.GetSafeHwnd(), 4000, u"42");
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(b.value, 42);
    EXPECT_EQ(sheet.GetSafeHwnd(), nullptr);
    EXPECT_EQ(a.GetSafeHwnd(), nullptr);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, u"Please enter an integer between 0 and 100.");
    EXPECT_EQ(g_heard,
              Lines({"0 OnInitDialog", "1 OnInitDialog", "0 OnSetActive", "sheet OnInitDialog",
                     "0 OnKillActive", "1 OnSetActive", "1 OnKillActive refused", "1 OnKillActive",
                     "0 OnApply", "0 OnOK", "1 OnApply", "1 OnOK"}));
}

TEST_F(FrameworkSheetTest, CancelResetsAndAModelessSheetTakesPostedMessages) {
    FormPageObject a(0, u"Site"), b(1, u"Notes");
    win::PushModalHook([](HWND hwnd) { win::PressCaptionClose(hwnd); });
    FormSheet modal(u"Form", host_);
    modal.AddPage(&a);
    modal.AddPage(&b);
    EXPECT_EQ(modal.DoModal(), IDCANCEL);
    EXPECT_EQ(Lines(g_heard.end() - 2, g_heard.end()), Lines({"0 OnCancel", "1 OnCancel"}));
    g_heard.clear();

    FormSheet sheet(u"Form", host_, 1);
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    ASSERT_TRUE(sheet.Create());
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    PostMessage(a.GetSafeHwnd(), WM_APP + 10, 0, 0);
    PostMessage(b.GetSafeHwnd(), WM_APP + 10, 1, 0);
    win::input::DrainQueue();
    EXPECT_EQ(Lines(g_heard.end() - 2, g_heard.end()), Lines({"0 exchange 0", "1 exchange 1"}));
    // Apply through a change mark, without closing.
    b.SetModified();
    HWND apply = GetDlgItem(sheet.GetSafeHwnd(), ID_APPLY_NOW);
    EXPECT_TRUE(IsWindowEnabled(apply));
    sheet.PressButton(PSBTN_APPLYNOW);
    EXPECT_FALSE(IsWindowEnabled(apply));
    EXPECT_TRUE(IsWindow(sheet.GetSafeHwnd()));
    // A page added later joins the tabs.
    FormPageObject c(2, u"Photo");
    sheet.AddPage(&c);
    EXPECT_EQ(SendMessage(sheet.GetTabControl(), TCM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_TRUE(sheet.SetActivePage(&c));
    EXPECT_NE(c.GetSafeHwnd(), nullptr);
    sheet.RemovePage(&a);
    EXPECT_EQ(sheet.GetPageCount(), 2);
    EXPECT_EQ(a.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(sheet.DestroyWindow());
    EXPECT_EQ(b.GetSafeHwnd(), nullptr);
}

}  // namespace
