#include "core/small_dialogs.h"

#include "core/color_picker.h"
#include "platform/win/commctrl.h"
#include "platform/win/list_actions.h"
#include "resources/zres.h"
#include "tests/core/ui_test_util.h"

namespace {

class SmallDialogsTest : public uitest::UiTest {};

TEST(Palette, LevelsByIdWithTheMarker) {
    struct Case {
        int id;
        COLORREF colour;
    };
    const Case cases[] = {{1000, RGB(0, 0, 0)},       {1004, RGB(0, 0, 255)},
                          {1100, RGB(255, 0, 0)},     {1124, RGB(255, 255, 255)},
                          {1020, RGB(0, 255, 0)},     {1031, RGB(95, 95, 95)},
                          {1001, RGB(0, 0, 95)},      {1062, RGB(127, 127, 127)}};
    for (const Case& c : cases) EXPECT_EQ(PaletteColor(c.id), c.colour | 0x02000000u) << c.id;
    EXPECT_EQ(PaletteColor(999), 0u);
    EXPECT_EQ(PaletteColor(1125), 0u);
}

// The colour of a control's middle pixel as drawn on its window's surface.
COLORREF MiddlePixel(HWND dialog, HWND control) {
    RECT d{}, c{};
    GetWindowRect(dialog, &d);
    GetWindowRect(control, &c);
    int w = 0, h = 0, stride = 0;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(dialog), &w, &h, &stride);
    if (!px) return CLR_NONE;
    const int x = (c.left + c.right) / 2 - d.left, y = (c.top + c.bottom) / 2 - d.top;
    if (x < 0 || y < 0 || x >= w || y >= h) return CLR_NONE;
    const uint32_t p = px[y * (stride / 4) + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void Click(HWND dialog, int id) {
    SendMessage(dialog, WM_COMMAND, MAKEWPARAM(WORD(id), BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

WString Text(HWND dialog, int id) {
    return GetWindowTextString(GetDlgItem(dialog, id));
}

TEST_F(SmallDialogsTest, ChooserCancelOkAndNew) {
    const COLORREF initial = 0x02345678;  // a marked colour
    // Cancel after moving everything: the initial colour exactly.
    win::PushModalHook([](HWND dlg) {
        EXPECT_EQ(GetWindowTextString(dlg), u"Color Designer");
        EXPECT_EQ(Text(dlg, IDC_COLOR_RED_VALUE), u"120");  // 0x78
        EXPECT_EQ(Text(dlg, IDC_COLOR_GREEN_VALUE), u"86");
        EXPECT_EQ(Text(dlg, IDC_COLOR_BLUE_VALUE), u"52");
        win::ScrollBarUserAction(GetDlgItem(dlg, IDC_COLOR_RED), SB_LEFT);
        SendMessage(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(ShowColorPicker(nullptr, initial), initial);
    COLORREF record = initial;
    win::PushModalHook([](HWND dlg) { SendMessage(dlg, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(ShowColorPicker(nullptr, &record), IDCANCEL);
    EXPECT_EQ(record, initial);

    // OK: the bars' colour with the marker. Page right at 250 stops at 255.
    win::PushModalHook([](HWND dlg) {
        HWND red = GetDlgItem(dlg, IDC_COLOR_RED);
        win::ScrollBarUserAction(red, SB_THUMBPOSITION, 250);
        win::ScrollBarUserAction(red, SB_PAGERIGHT);
        EXPECT_EQ(Text(dlg, IDC_COLOR_RED_VALUE), u"255");
        HWND blue = GetDlgItem(dlg, IDC_COLOR_BLUE);
        win::ScrollBarUserAction(blue, SB_PAGELEFT);
        win::ScrollBarUserAction(blue, SB_LINERIGHT);
        win::ScrollBarUserAction(blue, SB_LINERIGHT);
        win::ScrollBarUserAction(GetDlgItem(dlg, IDC_COLOR_GREEN), SB_RIGHT);
        SendMessage(dlg, WM_COMMAND, IDOK, 0);
    });
    record = RGB(10, 20, 30);
    EXPECT_EQ(ShowColorPicker(nullptr, &record), IDOK);
    EXPECT_EQ(record, RGB(255, 255, 22) | 0x02000000u);

    // A tap on the new swatch ends the dialog like OK.
    win::PushModalHook([](HWND dlg) { Click(dlg, IDC_COLOR_NEW); });
    EXPECT_EQ(ShowColorPicker(nullptr, RGB(1, 2, 3)), RGB(1, 2, 3) | 0x02000000u);
}

TEST_F(SmallDialogsTest, ChooserTrackingAndSwatches) {
    win::PushModalHook([](HWND dlg) {
        HWND green = GetDlgItem(dlg, IDC_COLOR_GREEN);
        HWND swatch = GetDlgItem(dlg, IDC_COLOR_NEW);
        // Dragging the thumb: the value and the new swatch follow at once.
        win::ScrollBarUserAction(green, SB_THUMBTRACK, 77);
        EXPECT_EQ(Text(dlg, IDC_COLOR_GREEN_VALUE), u"77");
        EXPECT_EQ(MiddlePixel(dlg, swatch), RGB(10, 77, 30));
        win::ScrollBarUserAction(green, SB_THUMBTRACK, 78);
        EXPECT_EQ(MiddlePixel(dlg, swatch), RGB(10, 78, 30));
        // A palette swatch and the old one load their colours.
        Click(dlg, 1004);
        EXPECT_EQ(Text(dlg, IDC_COLOR_RED_VALUE), u"0");
        EXPECT_EQ(Text(dlg, IDC_COLOR_BLUE_VALUE), u"255");
        EXPECT_EQ(MiddlePixel(dlg, swatch), RGB(0, 0, 255));
        // The others paint when the dialog is shown.
        UpdateWindow(GetDlgItem(dlg, 1124));
        UpdateWindow(GetDlgItem(dlg, IDC_COLOR_OLD));
        EXPECT_EQ(MiddlePixel(dlg, GetDlgItem(dlg, 1124)), RGB(255, 255, 255));
        EXPECT_EQ(MiddlePixel(dlg, GetDlgItem(dlg, IDC_COLOR_OLD)), RGB(10, 20, 30));
        Click(dlg, IDC_COLOR_OLD);
        EXPECT_EQ(Text(dlg, IDC_COLOR_GREEN_VALUE), u"20");
        // The dialog places 41 palette swatches.
        int swatches = 0;
        for (int id = 1000; id <= 1124; ++id) swatches += GetDlgItem(dlg, id) != nullptr;
        EXPECT_EQ(swatches, 41);
        SendMessage(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(ShowColorPicker(nullptr, RGB(10, 20, 30)), RGB(10, 20, 30) | 0x02000000u);
}

// The colour button's face, pixel by pixel: F face, K black, W white, G gray,
// C the colour.
std::vector<std::string> DrawButton(UINT state) {
    const int w = 14, h = 12;
    HBITMAP surface = gdi::CreateSurface(w, h);
    HDC dc = gdi::CreateSurfaceDC(surface);
    HBRUSH face = CreateSolidBrush(RGB(192, 192, 192));
    HPEN gray = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    CColorButton::Draw(dc, RECT{0, 0, w, h}, state, RGB(200, 0, 0) | 0x02000000, face, gray);
    int pw, ph, stride;
    uint32_t* px = gdi::SurfacePixels(surface, &pw, &ph, &stride);
    std::vector<std::string> rows;
    for (int y = 0; y < h; ++y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            switch (px[y * (stride / 4) + x] & 0xFFFFFF) {
                case 0xC0C0C0: row += 'F'; break;
                case 0x000000: row += 'K'; break;
                case 0xFFFFFF: row += 'W'; break;
                case 0x808080: row += 'G'; break;
                case 0xC80000: row += 'C'; break;
                default: row += '?';
            }
        }
        rows.push_back(row);
    }
    DeleteDC(dc);
    DeleteObject(surface);
    DeleteObject(face);
    DeleteObject(gray);
    return rows;
}

TEST(ColorButton, ReleasedPressedDisabledAndFocused) {
    const std::vector<std::string> released = {
        "FFFFFFFFFFFFFK",
        "FWWWWWWWWWWWGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFWWWWFFFGK",
        "FWFFFWCCWFFFGK",
        "FWFFFWCCWFFFGK",
        "FWFFFWWWWFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FGGGGGGGGGGGGK",
        "KKKKKKKKKKKKKK",
    };
    EXPECT_EQ(DrawButton(0), released);
    const std::vector<std::string> pressed = {
        "GGGGGGGGGGGGGW",
        "GKKKKKKKKKKKKW",
        "GKFFFFFFFFFFFW",
        "GKFFFFFFFFFFFW",
        "GKFFFFFFFFFFFW",
        "GKFFFFKKKKFFFW",
        "GKFFFFKCCKFFFW",
        "GKFFFFKCCKFFFW",
        "GKFFFFKKKKFFFW",
        "GKFFFFFFFFFFFW",
        "GKFFFFFFFFFFFW",
        "WWWWWWWWWWWWWW",
    };
    EXPECT_EQ(DrawButton(ODS_SELECTED), pressed);
    const std::vector<std::string> disabled = {
        "FFFFFFFFFFFFFK",
        "FWWWWWWWWWWWGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FGGGGGGGGGGGGK",
        "KKKKKKKKKKKKKK",
    };
    EXPECT_EQ(DrawButton(ODS_DISABLED), disabled);
    // Focus dots from (3, 3) to (9, 7), every second pixel.
    const std::vector<std::string> focused = {
        "FFFFFFFFFFFFFK",
        "FWWWWWWWWWWWGK",
        "FWFFFFFFFFFFGK",
        "FWFKFKFKFKFFGK",
        "FWFFFWWWWFFFGK",
        "FWFKFWCCWKFFGK",
        "FWFFFWCCWFFFGK",
        "FWFKFKWKWKFFGK",
        "FWFFFFFFFFFFGK",
        "FWFFFFFFFFFFGK",
        "FGGGGGGGGGGGGK",
        "KKKKKKKKKKKKKK",
    };
    EXPECT_EQ(DrawButton(ODS_FOCUS), focused);
}

TEST_F(SmallDialogsTest, ColorButtonOpensTheChooser) {
    HWND parent = CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND b = CreateWindowEx(0, u"BUTTON", u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 30, 20,
                            parent, reinterpret_cast<HMENU>(50), nullptr, nullptr);
    CColorButton button;
    ASSERT_TRUE(button.SubclassDlgItem(50, parent));
    button.SetColor(RGB(1, 2, 3));
    win::PushModalHook([](HWND dlg) {
        win::ScrollBarUserAction(GetDlgItem(dlg, IDC_COLOR_RED), SB_LINERIGHT);
        SendMessage(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_FALSE(button.OnParentCommand(MAKEWPARAM(51, BN_CLICKED), 0));
    EXPECT_TRUE(button.OnParentCommand(MAKEWPARAM(50, BN_CLICKED), reinterpret_cast<LPARAM>(b)));
    EXPECT_EQ(button.GetColor(), RGB(2, 2, 3) | 0x02000000u);
    DestroyWindow(parent);
}

TEST_F(SmallDialogsTest, MessageAndPromptBoxes) {
    win::PushModalHook([](HWND dlg) {
        EXPECT_EQ(GetWindowTextString(dlg), u"Zarnip");
        EXPECT_EQ(Text(dlg, IDC_MESSAGE_TEXT), u"Line one\r\nLine two");
        EXPECT_NE(DWORD(GetWindowLong(dlg, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN, 0u);
        // The text stretches with the dialog.
        RECT before{}, after{}, w{};
        GetWindowRect(GetDlgItem(dlg, IDC_MESSAGE_TEXT), &before);
        GetWindowRect(dlg, &w);
        SetWindowPos(dlg, nullptr, 0, 0, w.right - w.left + 30, w.bottom - w.top + 12,
                     SWP_NOMOVE | SWP_NOZORDER);
        GetWindowRect(GetDlgItem(dlg, IDC_MESSAGE_TEXT), &after);
        EXPECT_EQ(after.right - after.left, before.right - before.left + 30);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 12);
        win::PressCaptionOk(dlg);
    });
    ShowMessage(nullptr, WString(u"Line one\r\nLine two"));

    win::PushModalHook([](HWND dlg) {
        EXPECT_EQ(Text(dlg, IDC_MESSAGE_TEXT), u"Packing shapefile");
        win::PressCaptionOk(dlg);
    });
    ShowMessage(nullptr, IDS_PACKING_SHAPEFILE);

    win::PushModalHook([](HWND dlg) {
        HWND edit = GetDlgItem(dlg, IDC_PROMPT_TEXT);
        EXPECT_EQ(GetWindowTextString(edit), u"Delete the feature?");
        LOGFONT big{}, own{};
        GetObject(reinterpret_cast<HFONT>(SendMessage(edit, WM_GETFONT, 0, 0)), sizeof big, &big);
        HFONT dialogFont = reinterpret_cast<HFONT>(SendMessage(dlg, WM_GETFONT, 0, 0));
        if (!dialogFont) dialogFont = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
        GetObject(dialogFont, sizeof own, &own);
        EXPECT_EQ(big.lfWeight, 900);
        EXPECT_EQ(big.lfHeight, static_cast<LONG>(own.lfHeight * 1.2));
        SendMessage(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(ShowPrompt(nullptr, u"Delete the feature?"), IDOK);
    const int live = gdi::LiveObjectCount();
    win::PushModalHook([](HWND dlg) { SendMessage(dlg, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(ShowPrompt(nullptr, u"Again?"), IDCANCEL);
    // The prompt's font went with its window.
    EXPECT_EQ(gdi::LiveObjectCount(), live);
}

}  // namespace
