// The file, colour and font dialogs as real windows on the null backend:
// their pictures, and what pen and keys choose in them.
#include <gtest/gtest.h>

#include <functional>

#include "fs_test_root.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/theme.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "win_golden.h"

namespace {

std::function<void()> g_whileOpen;

LRESULT OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER && w == 79) {
        KillTimer(h, 79);
        if (auto f = std::move(g_whileOpen)) {
            g_whileOpen = nullptr;
            f();
        }
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

class WinCommonDialogWindowTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        win::ResetForTests();
        WNDCLASS wc;
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = u"DialogOwner";
        RegisterClass(wc);
        owner_ = CreateWindowEx(0, u"DialogOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
        SetFocus(owner_);
        win::input::DrainQueue();
        win::UseRealWindows(true);
        Put("Maps/roads.shp", "x");
        Put("Maps/roads.dbf", "x");
        Put("Maps/Notes.txt", "x");
        Put("Maps/Old/lakes.shp", "x");
    }
    void TearDown() override {
        g_whileOpen = nullptr;
        win::ResetForTests();
        DeviceRootTest::TearDown();
    }
    // Runs f once the dialog's loop is running.
    void WhileOpen(std::function<void()> f) {
        g_whileOpen = std::move(f);
        SetTimer(owner_, 79, 0, nullptr);
    }
    static HWND Dialog() { return GetActiveWindow(); }
    // Dispatches the queued input as the dialog's loop would, so that a step
    // can look at its outcome.
    static void Pump() {
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessage(Dialog(), &m)) {
                TranslateMessage(&m);
                DispatchMessage(&m);
            }
        }
    }
    static HWND Item(int id) { return GetDlgItem(Dialog(), id); }
    static std::vector<WString> Listed() {
        std::vector<WString> out;
        HWND list = Item(IDC_ZN_FILES);
        LRESULT n = SendMessage(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            WChar buf[260] = {};
            SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
            out.push_back(buf);
        }
        return out;
    }
    static void TapItem(HWND list, int index) {
        int row = win::theme::Scale(13);  // the list's row height
        win::input::TapAt(list, POINT{4, index * row + row / 2});
    }
    OPENFILENAME Ofn() {
        OPENFILENAME ofn;
        ofn.hwndOwner = owner_;
        ofn.filter = WString(u"Shapefiles (*.shp)\0*.shp\0All files (*.*)\0*.*\0\0", 47);
        ofn.initialDir = u"\\Maps";
        return ofn;
    }
    HWND owner_ = nullptr;
};

TEST_F(WinCommonDialogWindowTest, OpenListsTheFolderAndTheFilterAndTakesATappedFile) {
    OPENFILENAME ofn = Ofn();
    ofn.flags = OFN_FILEMUSTEXIST;
    WhileOpen([this] {
        ASSERT_NE(Dialog(), owner_);
        EXPECT_FALSE(IsWindowEnabled(owner_));
        EXPECT_EQ(GetWindowTextString(Dialog()), u"Open");
        EXPECT_EQ(Listed(), (std::vector<WString>{u"[..]", u"[Old]", u"roads.shp"}));
        golden::Expect("commdlg_open", Dialog());
        // The other type shows every file.
        HWND type = Item(IDC_ZN_TYPE);
        SendMessage(type, CB_SETCURSEL, 1, 0);
        SendMessage(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_ZN_TYPE, CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(type));
        EXPECT_EQ(Listed(), (std::vector<WString>{u"[..]", u"[Old]", u"Notes.txt", u"roads.dbf",
                                                  u"roads.shp"}));
        // A tap fills the name, OK takes it.
        TapItem(Item(IDC_ZN_FILES), 3);
        win::input::TapAt(Item(IDOK), POINT{5, 5});
    });
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.file, u"\\Maps\\roads.dbf");
    EXPECT_EQ(ofn.nFilterIndex, 2u);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_TRUE(win::CommonDialogLog().back().accepted);
}

TEST_F(WinCommonDialogWindowTest, FoldersAreEnteredByDoubleTapAndByName) {
    OPENFILENAME ofn = Ofn();
    WhileOpen([] {
        HWND list = Item(IDC_ZN_FILES);
        TapItem(list, 1);
        TapItem(list, 1);  // [Old]
        Pump();
        EXPECT_EQ(GetDlgItemTextString(Dialog(), IDC_ZN_FOLDER), u"\\Maps\\Old");
        EXPECT_EQ(Listed(), (std::vector<WString>{u"[..]", u"lakes.shp"}));
        // ".." by name goes up; a folder's name enters it; Enter takes a file.
        SetFocus(Item(IDC_ZN_NAME));
        win::input::Type(u"..");
        win::input::Key(VK_RETURN);
        Pump();
        EXPECT_EQ(GetDlgItemTextString(Dialog(), IDC_ZN_FOLDER), u"\\Maps");
        win::input::Type(u"\\Maps\\Old\\lakes.shp");
        win::input::Key(VK_RETURN);
    });
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.file, u"\\Maps\\Old\\lakes.shp");
}

TEST_F(WinCommonDialogWindowTest, MustExistAndOverwriteKeepTheDialogOpen) {
    OPENFILENAME ofn = Ofn();
    ofn.flags = OFN_FILEMUSTEXIST;
    ofn.file = u"before.shp";
    win::SetMessageBoxResponder([](const win::MessageBoxRecord&) { return IDOK; });
    WhileOpen([] {
        SetDlgItemText(Dialog(), IDC_ZN_NAME, u"missing.shp");
        win::input::Key(VK_RETURN);
        Pump();
        EXPECT_NE(FindWindow(kDialogClass, u"Open"), nullptr);  // still open
        win::input::Key(VK_ESCAPE);
    });
    EXPECT_FALSE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.file, u"before.shp");
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text,
              u"\\Maps\\missing.shp\nThis file cannot be found. Check the name and try again.");

    // Saving over a file asks; No keeps the dialog, Yes takes it. A name
    // without an extension gets the default one.
    win::ClearMessageBoxLog();
    OPENFILENAME save = Ofn();
    save.flags = OFN_OVERWRITEPROMPT;
    save.defExt = u"shp";
    win::SetMessageBoxResponder(nullptr);
    win::QueueMessageBoxAnswers({IDNO, IDYES});
    WhileOpen([] {
        EXPECT_EQ(GetWindowTextString(Dialog()), u"Save As");
        SetDlgItemText(Dialog(), IDC_ZN_NAME, u"roads");
        win::input::Key(VK_RETURN);
        win::input::Key(VK_RETURN);
    });
    ASSERT_TRUE(GetSaveFileName(&save));
    EXPECT_EQ(save.file, u"\\Maps\\roads.shp");
    ASSERT_EQ(win::MessageBoxLog().size(), 2u);
    EXPECT_EQ(win::MessageBoxLog()[0].text,
              u"\\Maps\\roads.shp already exists.\nDo you want to replace it?");
    // A missing folder is refused when saving.
    win::ClearMessageBoxLog();
    win::QueueMessageBoxAnswers({IDOK});
    OPENFILENAME lost = Ofn();
    WhileOpen([] {
        SetDlgItemText(Dialog(), IDC_ZN_NAME, u"\\Nowhere\\x.shp");
        win::input::Key(VK_RETURN);
        win::input::Key(VK_ESCAPE);
    });
    EXPECT_FALSE(GetSaveFileName(&lost));
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text,
              u"\\Nowhere\nThis folder cannot be found. Check the name and try again.");
}

TEST_F(WinCommonDialogWindowTest, ColourFromTheGridTheFieldsAndCustomSlots) {
    CHOOSECOLOR cc;
    cc.hwndOwner = owner_;
    cc.flags = CC_FULLOPEN | CC_RGBINIT;
    cc.rgbResult = RGB(255, 0, 0);
    cc.custColors[1] = RGB(1, 2, 3);
    WhileOpen([] {
        golden::Expect("commdlg_color", Dialog());
        EXPECT_EQ(GetDlgItemTextString(Dialog(), IDC_ZN_RED), u"255");
        // A tap on the last basic cell (white), then one step left by key.
        HWND basic = Item(IDC_ZN_BASIC);
        RECT r;
        GetClientRect(basic, &r);
        win::input::TapAt(basic, POINT{r.right - 3, r.bottom - 3});
        Pump();
        EXPECT_EQ(GetDlgItemTextString(Dialog(), IDC_ZN_GREEN), u"255");
        win::input::Key(VK_LEFT);
        Pump();
        EXPECT_EQ(GetDlgItemTextString(Dialog(), IDC_ZN_BLUE), u"224");
        // Fields typed in, then added to the first custom slot.
        SetFocus(Item(IDC_ZN_BLUE));
        SendMessage(Item(IDC_ZN_BLUE), EM_SETSEL, 0, -1);
        win::input::Type(u"17");
        Pump();
        win::input::TapAt(Item(IDC_ZN_ADD_CUSTOM), POINT{5, 5});
        Pump();
        win::input::TapAt(Item(IDOK), POINT{5, 5});
    });
    ASSERT_TRUE(ChooseColor(&cc));
    EXPECT_EQ(cc.rgbResult, RGB(224, 224, 17));
    EXPECT_EQ(cc.custColors[0], RGB(224, 224, 17));
    EXPECT_EQ(cc.custColors[1], RGB(1, 2, 3));

    // Without CC_FULLOPEN there are no fields; Escape leaves all as it was.
    CHOOSECOLOR plain;
    plain.hwndOwner = owner_;
    plain.rgbResult = RGB(9, 9, 9);
    WhileOpen([] {
        EXPECT_FALSE(IsWindowVisible(Item(IDC_ZN_RED)));
        win::input::Key(VK_RIGHT);
        win::input::Key(VK_ESCAPE);
    });
    EXPECT_FALSE(ChooseColor(&plain));
    EXPECT_EQ(plain.rgbResult, RGB(9, 9, 9));
}

TEST_F(WinCommonDialogWindowTest, FontFaceStyleSizeAndEffects) {
    LOGFONT lf{};
    std::u16string face = u"DejaVu Sans";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    lf.lfHeight = -13;
    CHOOSEFONT cf;
    cf.hwndOwner = owner_;
    cf.lpLogFont = &lf;
    cf.flags = CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    cf.iPointSize = 100;
    cf.rgbColors = RGB(0, 0, 128);
    WhileOpen([] {
        EXPECT_EQ(GetDlgItemTextString(Dialog(), IDC_ZN_FACE), u"DejaVu Sans");
        EXPECT_EQ(GetDlgItemTextString(Dialog(), IDC_ZN_TEXT_COLOR), u"Navy");
        golden::Expect("commdlg_font", Dialog());
        // A size that is no number keeps the dialog open.
        SetDlgItemText(Dialog(), IDC_ZN_SIZE, u"big");
        win::input::Key(VK_RETURN);
        Pump();
        EXPECT_EQ(GetFocus(), GetDlgItem(Dialog(), IDC_ZN_SIZE));
        SetDlgItemText(Dialog(), IDC_ZN_SIZE, u"12");
        SendDlgItemMessage(Dialog(), IDC_ZN_STYLE, CB_SETCURSEL, 3, 0);
        win::input::TapAt(Item(IDC_ZN_UNDERLINE), POINT{3, 3});
        win::input::Key(VK_RETURN);
    });
    ASSERT_TRUE(ChooseFont(&cf));
    EXPECT_EQ(WString(lf.lfFaceName), u"DejaVu Sans");
    EXPECT_EQ(cf.iPointSize, 120);
    EXPECT_EQ(lf.lfHeight, -16);  // 12 points at 96 dpi
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfStrikeOut, 0);
    EXPECT_EQ(cf.rgbColors, RGB(0, 0, 128));
}

}  // namespace
