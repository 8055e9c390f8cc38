// Image menus on the pop-up's own surface: each owner-drawn item compared
// pixel for pixel with the same item put together from the bitmap file and
// plain text output: an item without an image, a checked one, a disabled one
// and a text from the language library.
#include <filesystem>
#include <fstream>
#include <map>

#include "bars_fixture.h"
#include "core/language_module.h"
#include "platform/gdi/gdi.h"
#include "platform/win/theme.h"
#include "tests/platform/win_golden.h"

namespace {

struct Picture {
    int w = 0, h = 0;
    std::vector<uint32_t> px;  // 0x00RRGGBB
    uint32_t At(int x, int y) const { return px[static_cast<size_t>(y * w + x)]; }
};

// A 24-bit bottom-up bitmap file, read without our loaders.
Picture ReadBmp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u32 = [&](size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24; };
    Picture p;
    p.w = static_cast<int>(u32(18));
    p.h = static_cast<int>(u32(22));
    size_t row = (static_cast<size_t>(p.w) * 3 + 3) & ~size_t(3), bits = u32(10);
    p.px.resize(static_cast<size_t>(p.w * p.h));
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const uint8_t* q = &b[bits + static_cast<size_t>(p.h - 1 - y) * row + static_cast<size_t>(x) * 3];
            p.px[static_cast<size_t>(y * p.w + x)] = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
        }
    return p;
}

uint32_t Rgb(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

// Remembers where each item was drawn.
class CRecordingImageMenu : public CImageMenu {
public:
    std::map<UINT, RECT> drawn;
    void DrawItem(const DRAWITEMSTRUCT* item) override {
        drawn[item->itemID] = item->rcItem;
        CImageMenu::DrawItem(item);
    }
};

class ImageMenuTest : public BarsTest {
protected:
    void SetUp() override {
        BarsTest::SetUp();
        win::UseRealWindows(true);
    }
    // Tracks the menu; the picture of its window once it shows, compared
    // with a golden picture when named.
    Picture TrackAndCapture(CImageMenu& menu, const char* goldenName = nullptr) {
        Picture shot;
        g_whileMenuOpen = [&] {
            HWND popup = nullptr;
            for (HWND h : GetTopLevelWindows())
                if (GetClassNameText(h) == u"#32768") popup = h;
            ASSERT_NE(popup, nullptr);
            UpdateWindow(popup);
            if (goldenName) golden::Expect(goldenName, popup);
            POINT client;
            int sw = 0, sh = 0, stride = 0;
            uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(popup, &client), &sw, &sh, &stride);
            RECT wr;
            GetWindowRect(popup, &wr);
            POINT origin{0, 0};
            ClientToScreen(popup, &origin);
            int x0 = client.x - (origin.x - wr.left), y0 = client.y - (origin.y - wr.top);
            shot.w = wr.right - wr.left;
            shot.h = wr.bottom - wr.top;
            for (int y = 0; y < shot.h; ++y)
                for (int x = 0; x < shot.w; ++x)
                    shot.px.push_back(px[static_cast<size_t>(y0 + y) * static_cast<size_t>(stride / 4) +
                                         static_cast<size_t>(x0 + x)] & 0xFFFFFF);
            win::input::Key(VK_ESCAPE);
        };
        SetTimer(host_.frame, kWhileMenuOpenTimer, 0, nullptr);
        EXPECT_EQ(menu.Track(host_.frame, 10, 10), 0u);
        return shot;
    }

    // The item as it should look: the background, the image from the
    // bitmap file (light grey shows the background), a red frame when
    // checked, and the text 4 pixels right of the image column.
    Picture Expected(int w, int h, int image, bool checked, const WString& label, COLORREF ink) {
        HBITMAP surface = gdi::CreateSurface(w, h);
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP old = SelectObject(dc, surface);
        RECT all{0, 0, w, h};
        FillRect(dc, &all, GetSysColorBrush(COLOR_MENU));
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        SetTextColor(dc, ink);
        SetBkMode(dc, TRANSPARENT);
        RECT text{20, 0, w, h};
        DrawText(dc, label.c_str(), static_cast<int>(label.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_EXPANDTABS);
        SelectObject(dc, old);
        DeleteDC(dc);
        int sw = 0, sh = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(surface, &sw, &sh, &stride);
        Picture p;
        p.w = w;
        p.h = h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) p.px.push_back(px[static_cast<size_t>(y * (stride / 4) + x)] & 0xFFFFFF);
        DeleteObject(surface);
        int top = (h - 16) / 2;
        if (image >= 0) {
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) {
                    uint32_t c = strip_.At(image * 16 + x, y);
                    if (c != 0xC0C0C0) p.px[static_cast<size_t>((top + y) * w + x)] = c;
                }
            if (checked)
                for (int y = 0; y < 16; ++y)
                    for (int x = 0; x < 16; ++x)
                        if (x < 2 || y < 2 || x >= 14 || y >= 14) p.px[static_cast<size_t>((top + y) * w + x)] = 0xFF0000;
        }
        return p;
    }

    // The item's part of the pop-up's picture.
    Picture Cut(const Picture& shot, const RECT& r) {
        Picture p;
        p.w = r.right - r.left;
        p.h = r.bottom - r.top;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) p.px.push_back(shot.At(x, y));
        return p;
    }

    Picture strip_ = ReadBmp(ZN_BARS_BITMAP);
};

TEST_F(ImageMenuTest, ItemsArePaintedWithTheirImagesStatesAndTexts) {
    // The Tools menu: Options (image 0) has a text in the library, Script
    // Editor (1) is disabled, Panning Frame (4) is checked, Status Bar has
    // no image in toolbar 282.
    std::filesystem::create_directories(Host("Program/Locales"));
    std::filesystem::copy_file(ZN_BARS_LANG_RES, Host("Program/Locales/DEU.res"));
    ASSERT_TRUE(GetLanguageModule()->LoadForLocale(0x0407));
    CRecordingImageMenu menu;
    ASSERT_TRUE(menu.LoadMenu(282, 0));
    EXPECT_EQ(menu.ImageOf(1038), -1);
    EXPECT_EQ(menu.ImageOf(1074), 4);
    // Status Bar is a plain item, the others owner-drawn.
    MENUITEMINFO mi;
    mi.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfo(menu.GetHandle(), 1038, false, &mi));
    EXPECT_EQ(mi.fType & MFT_OWNERDRAW, 0u);
    ASSERT_TRUE(GetMenuItemInfo(menu.GetHandle(), 1027, false, &mi));
    EXPECT_NE(mi.fType & MFT_OWNERDRAW, 0u);
    CheckMenuItem(menu.GetHandle(), 1074, MF_CHECKED);
    EnableMenuItem(menu.GetHandle(), 1037, MF_GRAYED);
    Picture shot = TrackAndCapture(menu);
    ASSERT_GT(shot.w, 0);
    if (const char* dump = getenv("ZN_DUMP_MENU")) {
        std::ofstream out(dump, std::ios::binary);
        out << "P6\n" << shot.w << " " << shot.h << "\n255\n";
        for (uint32_t c : shot.px) out << char(c >> 16) << char(c >> 8) << char(c);
    }
    ASSERT_EQ(menu.drawn.size(), 5u);
    COLORREF text = GetSysColor(COLOR_MENUTEXT);
    struct Case {
        UINT id;
        int image;
        bool checked;
        const char16_t* label;
    } cases[] = {{1027, 0, false, u"Einstellungen..."}, {1074, 4, true, u"Panning Frame"},
                 {1033, 2, false, u"Add Internet Server..."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const RECT& r = menu.drawn[c.id];
        EXPECT_EQ(r.bottom - r.top, std::max(GetSystemMetrics(SM_CYMENU), 16));
        Picture want = Expected(r.right - r.left, r.bottom - r.top, c.image, c.checked, c.label, text);
        Picture got = Cut(shot, r);
        int differ = 0, ink = 0;
        for (size_t i = 0; i < want.px.size(); ++i) {
            differ += want.px[i] != got.px[i];
            ink += static_cast<int>(i % static_cast<size_t>(got.w)) >= 20 && got.px[i] != Rgb(GetSysColor(COLOR_MENU));
        }
        EXPECT_EQ(differ, 0);
        EXPECT_GT(ink, 20);  // the text is there
    }
    // Disabled: the text grey 0x808080 exactly as plain output draws it; the
    // image dimmed (not the plain image, still not background).
    const RECT& r = menu.drawn[1037];
    Picture want = Expected(r.right - r.left, r.bottom - r.top, -1, false, u"Script Editor...", 0x808080);
    Picture plain = Expected(r.right - r.left, r.bottom - r.top, 1, false, u"", text);
    Picture got = Cut(shot, r);
    int textDiffer = 0, imageSame = 0, imageBlank = 0;
    int top = (got.h - 16) / 2;
    for (int y = 0; y < got.h; ++y)
        for (int x = 0; x < got.w; ++x) {
            size_t i = static_cast<size_t>(y * got.w + x);
            if (x >= 16) textDiffer += want.px[i] != got.px[i];
            else if (y >= top && y < top + 16 && plain.px[i] != Rgb(GetSysColor(COLOR_MENU))) {
                imageSame += plain.px[i] == got.px[i];
                imageBlank += got.px[i] == Rgb(GetSysColor(COLOR_MENU));
            }
        }
    EXPECT_EQ(textDiffer, 0);
    EXPECT_EQ(imageSame, 0);
    EXPECT_EQ(imageBlank, 0);
}

class ImageMenuPictureTest : public ImageMenuTest {
protected:
    void TearDown() override {
        ImageMenuTest::TearDown();
        gdi::ResetForTests();  // the screen's dots per inch back to 96
    }
};

// The Tools menu pinned at 96 and at 192 dots per inch. At 192 the images
// are the bitmap's with every pixel doubled, as on the toolbars, and the
// rows, the checked image's frame and the gap before the text grow with
// them.
TEST_F(ImageMenuPictureTest, PicturesAt96And192DotsPerInch) {
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        gdi::ScreenMetrics m;
        m.logPixelsX = m.logPixelsY = dpi;
        gdi::SetScreenMetrics(m);
        const int u = dpi / 96;
        // The handheld's screen at that density.
        win::SetScreenSize(240 * u, 320 * u);
        CRecordingImageMenu menu;
        ASSERT_TRUE(menu.LoadMenu(282, 0));
        EXPECT_EQ(menu.GetImageWidth(), 16 * u);
        EXPECT_EQ(menu.GetImageHeight(), 16 * u);
        CheckMenuItem(menu.GetHandle(), 1074, MF_CHECKED);
        EnableMenuItem(menu.GetHandle(), 1037, MF_GRAYED);
        Picture shot = TrackAndCapture(menu, dpi == 96 ? "image_menu" : "dpi192_image_menu");
        ASSERT_GT(shot.w, 0);
        // Options (image 0): each pixel of the image a u by u block.
        const RECT& r = menu.drawn[1027];
        EXPECT_EQ(r.bottom - r.top, std::max(GetSystemMetrics(SM_CYMENU), 16 * u));
        int top = r.top + (r.bottom - r.top - 16 * u) / 2, shown = 0;
        for (int y = 0; y < 16 * u; ++y)
            for (int x = 0; x < 16 * u; ++x) {
                uint32_t c = strip_.At(x / u, y / u);
                if (c == 0xC0C0C0) continue;
                ASSERT_EQ(shot.At(r.left + x, top + y), c) << x << "," << y;
                ++shown;
            }
        EXPECT_GT(shown, 20 * u * u);
        // Panning Frame is checked: a red frame two units thick.
        const RECT& c = menu.drawn[1074];
        int ctop = c.top + (c.bottom - c.top - 16 * u) / 2;
        EXPECT_EQ(shot.At(c.left + 2 * u - 1, ctop + 8 * u), 0xFF0000u);
    }
    win::SetScreenSize(240, 320);
}

TEST_F(ImageMenuTest, ACommandMissingFromTheToolbarLeavesTheImageColumnEmpty) {
    CRecordingImageMenu menu;
    ASSERT_TRUE(menu.LoadImages(282));
    // Inserted owner-drawn: the text goes to the source menu.
    menu.InsertItem(MF_OWNERDRAW, 1038, u"Status Bar\tF9");
    menu.InsertItem(MF_OWNERDRAW, 1027, u"Options...");
    menu.InsertItemAt(0, MF_OWNERDRAW, 1032, u"Mapvault");
    EXPECT_EQ(menu.GetItemIndex(1032), 0);
    EXPECT_EQ(menu.GetItemIndex(1038), 1);
    EXPECT_EQ(menu.GetItemIndex(4711), -1);
    EXPECT_TRUE(menu.SetItemData(1027, 0x30201, false));
    EXPECT_EQ(menu.GetItemData(2, true), 0x30201u);
    Picture shot = TrackAndCapture(menu);
    ASSERT_EQ(menu.drawn.size(), 3u);
    const RECT& r = menu.drawn[1038];
    Picture want = Expected(r.right - r.left, r.bottom - r.top, -1, false, u"Status Bar\tF9", GetSysColor(COLOR_MENUTEXT));
    Picture got = Cut(shot, r);
    int blank = 0, differ = 0;
    for (int y = 0; y < got.h; ++y)
        for (int x = 0; x < got.w; ++x) {
            differ += got.At(x, y) != want.At(x, y);
            if (x < 20) blank += got.At(x, y) == Rgb(GetSysColor(COLOR_MENU));
        }
    EXPECT_EQ(differ, 0);  // tabs expanded as plain output expands them
    EXPECT_EQ(blank, 20 * got.h);  // the image column and the gap stay empty
    // The item is as wide as its text, widened by a quarter, plus the
    // image and 6 pixels.
    MEASUREITEMSTRUCT mis;
    mis.CtlType = ODT_MENU;
    mis.itemID = 1027;
    ASSERT_TRUE(CImageMenu::HandleOwnerMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)));
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SIZE size{};
    GetTextExtentPoint32(dc, u"Options...", 10, &size);
    DeleteDC(dc);
    EXPECT_EQ(mis.itemWidth, static_cast<UINT>(size.cx * 125 / 100 + 16 + 6));
}

TEST_F(ImageMenuTest, UseItemDataFindsImageAndTextByTheData) {
    CImageMenu menu;
    ASSERT_TRUE(menu.LoadImages(282));
    menu.SetUseItemData(true);
    menu.InsertItem(MF_OWNERDRAW, 1074, u"Panning Frame");
    menu.InsertItem(MF_OWNERDRAW, 0, nullptr);
    menu.SetItemData(1, 1074, true);
    MEASUREITEMSTRUCT a, b;
    a.CtlType = b.CtlType = ODT_MENU;
    a.itemID = 1074;
    b.itemID = 0;
    b.itemData = 1074;
    menu.MeasureItem(&a);
    menu.MeasureItem(&b);
    EXPECT_EQ(a.itemWidth, b.itemWidth);
    EXPECT_FALSE(menu.LoadMenu(9999, 0));
    EXPECT_FALSE(menu.LoadImages(9999));
}

}  // namespace

namespace {

TEST_F(ImageMenuTest, AHandedOutMenuDrawsItsImagesUntilItsHandleIsDestroyed) {
    HMENU menu = LoadDetachedImageMenu(347);  // "Vertex Edit"
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    MENUITEMINFO mi;
    mi.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfo(menu, 1042, false, &mi));
    EXPECT_NE(mi.fType & MFT_OWNERDRAW, 0u);
    MEASUREITEMSTRUCT mis;
    mis.CtlType = ODT_MENU;
    mis.itemID = 1042;
    EXPECT_TRUE(CImageMenu::HandleOwnerMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)));
    EXPECT_GT(mis.itemWidth, 16u + 6u);
    DestroyMenu(menu);
    // The next one frees the image menu of the destroyed handle.
    HMENU next = LoadDetachedImageMenu(378);
    mis.itemWidth = 0;
    EXPECT_FALSE(CImageMenu::HandleOwnerMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)));
    EXPECT_EQ(LoadDetachedImageMenu(4242), nullptr);
    DestroyMenu(next);
    FreeDetachedImageMenus();
}

}  // namespace
