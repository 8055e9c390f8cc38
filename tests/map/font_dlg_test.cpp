// The Font dialog driven as a user drives it: what it shows for a record,
// the record it gives back, and what it refuses.
#include "map/dialogs/font_dlg.h"

#include <cstring>

#include "map/symbology/font_attributes.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/list_actions.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/win_golden.h"

namespace {

LOGFONT Font(const WChar* face, LONG height, LONG weight = 400, BYTE charset = 0) {
    LOGFONT f{};
    std::u16string_view name(face);
    std::copy(name.begin(), name.end(), f.lfFaceName);
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfCharSet = charset;
    return f;
}

WString ListText(HWND list) {
    LRESULT at = SendMessage(list, LB_GETCURSEL, 0, 0);
    if (at == LB_ERR) return u"<none>";
    WChar buf[256] = {};
    SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(buf));
    return buf;
}

WString ComboText(HWND combo) {
    LRESULT at = SendMessage(combo, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR) return u"<none>";
    WChar buf[256] = {};
    SendMessage(combo, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(buf));
    return buf;
}

int FindCombo(HWND combo, const WChar* text) {
    return static_cast<int>(
        SendMessage(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
}

int FindList(HWND list, const WChar* text) {
    return static_cast<int>(
        SendMessage(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
}

class FontDialog : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        ResetFontMetricsForTests();
    }
    void TearDown() override {
        win::ClearModalHooks();
        MapTest::TearDown();
    }
};

TEST_F(FontDialog, ShowsTheRecordFacesCaseFreeAndKeepsSubstitutedFaces) {
    struct Case {
        LOGFONT font;
        WString face, charset, size;
        bool bold;
    };
    const Case cases[] = {
        // The face without regard to case; +10 is taken as points.
        {Font(u"dejavu sans", 10, 700, 161), u"DejaVu Sans", u"Greek", u"10", true},
        // -13 at 96 dpi: 9 points (9.75 truncated); weight 400 is not bold.
        {Font(u"Tahoma", -13, 400, 186), u"Tahoma", u"Baltic", u"9", false},
        // A face and a set the dialog does not know: the first of each.
        {Font(u"No Such Face", -16, 401, 3), u"", u"ANSI", u"12", true},
    };
    for (const Case& c : cases) {
        LOGFONT font = c.font;
        win::PushModalHook([&](HWND dlg) {
            HWND faces = GetDlgItem(dlg, IDC_FONT_FACES);
            WChar first[256] = {};
            SendMessage(faces, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
            EXPECT_EQ(ListText(faces), c.face.empty() ? WString(first) : c.face) << text::ToUtf8(c.face);
            EXPECT_EQ(ComboText(GetDlgItem(dlg, IDC_FONT_CHARSET)), c.charset);
            EXPECT_EQ(GetDlgItemTextString(dlg, IDC_FONT_SIZE), c.size);
            EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_FONT_BOLD) != 0, c.bold);
            win::PressCaptionOk(dlg);
        });
        ASSERT_TRUE(ChooseFontDlg(nullptr, font));
    }

    // A label font named "Tahoma" keeps its face when only the size changes.
    LOGFONT tahoma = Font(u"Tahoma", -13);
    win::PushModalHook([](HWND dlg) {
        win::UpDownUserStep(GetDlgItem(dlg, IDC_FONT_SIZE_SPIN), 3);
        win::PressCaptionOk(dlg);
    });
    ASSERT_TRUE(ChooseFontDlg(nullptr, tahoma));
    EXPECT_EQ(WString(tahoma.lfFaceName), u"Tahoma");
    EXPECT_EQ(tahoma.lfHeight, FontPointsToHeight(12));
}

TEST_F(FontDialog, OkRebuildsTheRecordFromTheControls) {
    struct Case {
        const char* what;
        std::function<void(HWND)> act;
        LOGFONT expected;
    };
    LOGFONT base = Font(u"DejaVu Sans", -16, 400, 0);
    base.lfWidth = 7;
    base.lfQuality = 3;
    base.lfEscapement = 900;
    auto with = [](LOGFONT f, std::function<void(LOGFONT&)> change) {
        change(f);
        return f;
    };
    // The record is made anew: width, quality and escapement are not kept.
    LOGFONT plain = Font(u"DejaVu Sans", FontPointsToHeight(12), 400, 0);
    const Case cases[] = {
        {"untouched", [](HWND) {}, plain},
        {"face", [](HWND d) { win::ListBoxUserSelect(GetDlgItem(d, IDC_FONT_FACES),
                                                     FindList(GetDlgItem(d, IDC_FONT_FACES), u"DejaVu Serif")); },
         with(plain, [](LOGFONT& f) { std::memcpy(f.lfFaceName, u"DejaVu Serif", 26); })},
        {"typed size",
         [](HWND d) {
             SetDlgItemText(d, IDC_FONT_SIZE, u"");
             SetFocus(GetDlgItem(d, IDC_FONT_SIZE));
             win::input::Type(u"20");
         },
         with(plain, [](LOGFONT& f) { f.lfHeight = FontPointsToHeight(20); })},
        {"styles",
         [](HWND d) {
             for (int id : {IDC_FONT_BOLD, IDC_FONT_ITALIC, IDC_FONT_UNDERLINE, IDC_FONT_STRIKEOUT})
                 SendMessage(GetDlgItem(d, id), BM_CLICK, 0, 0);
         },
         with(plain, [](LOGFONT& f) { f.lfWeight = 700; f.lfItalic = f.lfUnderline = f.lfStrikeOut = 1; })},
        {"character set",
         [](HWND d) { win::ComboUserSelect(GetDlgItem(d, IDC_FONT_CHARSET),
                                           FindCombo(GetDlgItem(d, IDC_FONT_CHARSET), u"Russian")); },
         with(plain, [](LOGFONT& f) { f.lfCharSet = 204; })},
        // No set selected gives Default (1).
        {"no character set",
         [](HWND d) { SendMessage(GetDlgItem(d, IDC_FONT_CHARSET), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
                      SendMessage(GetDlgItem(d, IDC_FONT_BOLD), BM_CLICK, 0, 0); },
         with(plain, [](LOGFONT& f) { f.lfCharSet = 1; f.lfWeight = 700; })},
    };
    for (const Case& c : cases) {
        LOGFONT font = base;
        win::PushModalHook([&](HWND dlg) {
            c.act(dlg);
            win::input::DrainQueue();
            win::PressCaptionOk(dlg);
        });
        ASSERT_TRUE(ChooseFontDlg(nullptr, font)) << c.what;
        EXPECT_EQ(WString(font.lfFaceName), WString(c.expected.lfFaceName)) << c.what;
        EXPECT_EQ(font.lfHeight, c.expected.lfHeight) << c.what;
        EXPECT_EQ(font.lfCharSet, c.expected.lfCharSet) << c.what;
        EXPECT_EQ(font.lfWeight, c.expected.lfWeight) << c.what;
        EXPECT_EQ(font.lfItalic, c.expected.lfItalic) << c.what;
        EXPECT_EQ(font.lfUnderline, c.expected.lfUnderline) << c.what;
        EXPECT_EQ(font.lfStrikeOut, c.expected.lfStrikeOut) << c.what;
        EXPECT_EQ(font.lfWidth, 0) << c.what;
        EXPECT_EQ(font.lfQuality, 0) << c.what;
        EXPECT_EQ(font.lfEscapement, 0) << c.what;
    }
}

TEST_F(FontDialog, CancelKeepsTheRecordAndAnOutOfRangeSizeKeepsTheDialogOpen) {
    LOGFONT font = Font(u"DejaVu Sans", -16, 400, 0);
    const LOGFONT before = font;
    win::PushModalHook([](HWND dlg) {
        SendMessage(GetDlgItem(dlg, IDC_FONT_ITALIC), BM_CLICK, 0, 0);
        SetDlgItemText(dlg, IDC_FONT_SIZE, u"30");
        win::PressCaptionClose(dlg);
    });
    EXPECT_FALSE(ChooseFontDlg(nullptr, font));
    EXPECT_EQ(std::memcmp(&font, &before, sizeof font), 0);

    win::PushModalHook([](HWND dlg) {
        SetDlgItemText(dlg, IDC_FONT_SIZE, u"100");
        win::PressCaptionOk(dlg);
        win::input::DrainQueue();
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        EXPECT_EQ(GetDlgItemTextString(dlg, IDC_FONT_SIZE), u"100");
        auto log = win::MessageBoxLog();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].text, u"Please enter an integer between 4 and 72.");
        SetDlgItemText(dlg, IDC_FONT_SIZE, u"72");
        win::PressCaptionOk(dlg);
    });
    ASSERT_TRUE(ChooseFontDlg(nullptr, font));
    EXPECT_EQ(font.lfHeight, FontPointsToHeight(72));
}

TEST_F(FontDialog, TheSampleShowsTheChoice) {
    LOGFONT font = Font(u"DejaVu Sans", -16, 700, 0);
    win::PushModalHook([](HWND dlg) {
        HWND sample = GetDlgItem(dlg, IDC_FONT_SAMPLE);
        EXPECT_EQ(GetWindowTextString(sample), u"Sample");
        SendMessage(GetDlgItem(dlg, IDC_FONT_ITALIC), BM_CLICK, 0, 0);
        win::input::DrainQueue();
        UpdateWindow(dlg);
        for (HWND child : GetChildren(dlg)) UpdateWindow(child);
        golden::Expect("font_dialog", dlg);
        win::PressCaptionOk(dlg);
    });
    ASSERT_TRUE(ChooseFontDlg(nullptr, font));
}

TEST(LineStyleCombo, TheIndexIsThePenStyle) {
    win::ResetForTests();
    HWND combo = CreateWindowEx(0, u"COMBOBOX", u"", CBS_DROPDOWNLIST | WS_CHILD, 0, 0, 80, 80,
                                CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 0, 0, 100, 100, nullptr,
                                               nullptr, nullptr, nullptr),
                                reinterpret_cast<HMENU>(1010), nullptr, nullptr);
    FillLineStyleCombo(GetParent(combo), 1010);
    ASSERT_EQ(SendMessage(combo, CB_GETCOUNT, 0, 0), 2);
    WChar buf[32] = {};
    SendMessage(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(WString(buf), u"Solid");
    SendMessage(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(WString(buf), u"Dash");
}

}  // namespace
