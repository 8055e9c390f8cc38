// Pop-up menus as real windows on the null backend: the picture of a
// cascade with grey and checked items, and choosing by keys and by pen, left
// to right and right to left (mirrored by TPM_LAYOUTRTL or by a mirrored
// owner, with Hebrew texts): the same choices, with the keys and the pen
// where the mirrored menu shows things.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/sys/device.h"
#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/theme.h"
#include "platform/win/window.h"
#include "win_golden.h"

namespace {

std::vector<UINT> g_inits;
std::vector<RECT> g_drawn;  // rcItem of each WM_DRAWITEM
std::function<void()> g_whileOpen;  // runs once the menu loop is idle

LRESULT OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_INITMENUPOPUP) g_inits.push_back(static_cast<UINT>(l));
    if (m == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
        mis->itemWidth = 60;
        mis->itemHeight = 20;
        return TRUE;
    }
    if (m == WM_DRAWITEM) {
        // A red bar at the item's start (its left in the item's coordinates).
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(l);
        g_drawn.push_back(dis->rcItem);
        RECT bar{dis->rcItem.left, dis->rcItem.top, dis->rcItem.left + 6, dis->rcItem.bottom};
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dis->hDC, &bar, red);
        DeleteObject(red);
        return TRUE;
    }
    if (m == WM_TIMER && w == 77) {
        KillTimer(h, 77);
        if (g_whileOpen) {
            auto f = std::move(g_whileOpen);
            g_whileOpen = nullptr;
            f();
        }
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

// The texts of the test menu in each direction: the same structure, with
// the mnemonics at the same items.
struct Texts {
    const char16_t *zoom, *pan, *gps, *orientation, *north, *track;
    char16_t panKey, orientationKey, gpsKey;
};
const Texts kEnglish{u"&Zoom in\tF5", u"&Pan",      u"&GPS", u"&Orientation",
                     u"&North up",    u"&Track up", u'p',    u'o',
                     u'g'};
const Texts kHebrew{u"&\u05D4\u05D2\u05D3\u05DC\u05D4\tF5",            // zoom in
                    u"&\u05D2\u05E8\u05D9\u05E8\u05D4",                // pan
                    u"&GPS",
                    u"&\u05DB\u05D9\u05D5\u05D5\u05DF",                // orientation
                    u"&\u05E6\u05E4\u05D5\u05DF \u05DC\u05DE\u05E2\u05DC\u05D4",  // north up
                    u"&\u05DE\u05E1\u05DC\u05D5\u05DC \u05DC\u05DE\u05E2\u05DC\u05D4",  // track up
                    u'\u05D2',
                    u'\u05DB',
                    u'g'};

// How a menu is shown: left to right, or mirrored by the flag or by its
// owner's layout.
struct Dir {
    const char* name;
    bool rtl;
    bool byOwner;  // a mirrored owner instead of TPM_LAYOUTRTL
};
const Dir kDirs[] = {{"ltr", false, false}, {"rtl_flag", true, false}, {"rtl_owner", true, true}};

void BuildMenu(HMENU menu, HMENU sub, const Texts& t) {
    AppendMenu(sub, MF_STRING, 21, t.north);
    AppendMenu(sub, MF_STRING | MF_CHECKED, 22, t.track);
    AppendMenu(menu, MF_STRING, 11, t.zoom);
    AppendMenu(menu, MF_STRING | MF_GRAYED, 12, t.pan);
    AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenu(menu, MF_STRING | MF_CHECKED, 13, t.gps);
    AppendMenu(menu, MF_POPUP, reinterpret_cast<uintptr_t>(sub), t.orientation);
}

class WinMenuWindowTest : public ::testing::TestWithParam<Dir> {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_inits.clear();
        g_drawn.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = u"MenuOwner";
        RegisterClass(wc);
        owner_ = CreateWindowEx(dir().byOwner ? WS_EX_LAYOUTRTL : 0, u"MenuOwner", u"",
                                WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                                nullptr);
        SetFocus(owner_);
        win::input::DrainQueue();
        win::UseRealWindows(true);
        menu_ = CreatePopupMenu();
        sub_ = CreatePopupMenu();
        BuildMenu(menu_, sub_, texts());
    }
    void TearDown() override {
        g_whileOpen = nullptr;
        win::ResetForTests();
    }
    const Dir& dir() const { return GetParam(); }
    const Texts& texts() const { return dir().rtl ? kHebrew : kEnglish; }
    // Left to right the menu opens with its left edge at x 20; mirrored, its
    // right edge is at the mirror image of that point on the 240-pixel screen.
    UINT TrackAt(HMENU menu, UINT flags = 0) {
        if (dir().rtl && !dir().byOwner) flags |= TPM_LAYOUTRTL;
        return static_cast<UINT>(TrackPopupMenu(menu, flags | TPM_RETURNCMD,
                                                dir().rtl ? 220 : 20, 30, 0, owner_, nullptr));
    }
    UINT Track() { return TrackAt(menu_); }
    // The keys that open and close a submenu.
    UINT Open() const { return dir().rtl ? VK_LEFT : VK_RIGHT; }
    UINT Close() const { return dir().rtl ? VK_RIGHT : VK_LEFT; }
    // The screen x dx pixels in from the edge a menu starts at (its left,
    // or its right when mirrored), and dx pixels beyond the edge it ends at.
    int In(const RECT& wr, int dx) const { return dir().rtl ? wr.right - 1 - dx : wr.left + dx; }
    int Beyond(const RECT& wr, int dx) const {
        return dir().rtl ? wr.left - 1 - dx : wr.right + dx;
    }
    // Queues what happens once the menu shows and is idle.
    void WhileOpen(std::function<void()> f) {
        g_whileOpen = std::move(f);
        SetTimer(owner_, 77, 0, nullptr);
    }
    HWND owner_ = nullptr;
    HMENU menu_ = nullptr, sub_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Directions, WinMenuWindowTest, ::testing::ValuesIn(kDirs),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<HWND> MenuWindows() {
    std::vector<HWND> out;
    for (HWND h : GetTopLevelWindows())
        if (GetClassNameText(h) == u"#32768") out.push_back(h);
    return out;
}

TEST_P(WinMenuWindowTest, CascadeByKeysPicturedThenChosen) {
    // Down to "Orientation" (the grey item can be passed over), Right (Left
    // when mirrored) opens it, then the picture, then Down and Enter choose
    // "Track up". Both mirrored routes give the same pictures.
    for (int i = 0; i < 4; ++i) win::input::Key(VK_DOWN);
    win::input::Key(Open());
    WhileOpen([this] {
        std::vector<HWND> menus = MenuWindows();
        ASSERT_EQ(menus.size(), 2u);
        std::string prefix = dir().rtl ? "rtl_" : "";
        golden::Expect(prefix + "menu_popup", menus[0]);
        golden::Expect(prefix + "menu_submenu", menus[1]);
        for (HWND m : menus)
            EXPECT_EQ((GetWindowLongPtr(m, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, dir().rtl);
        RECT root, sub;
        GetWindowRect(menus[0], &root);
        GetWindowRect(menus[1], &sub);
        // The cascade opens towards the side the menu ends at.
        if (dir().rtl)
            EXPECT_LT(sub.left, root.left);
        else
            EXPECT_GT(sub.right, root.right);
        EXPECT_EQ(dir().rtl ? root.right : root.left, dir().rtl ? 220 : 20);
        win::input::Key(VK_DOWN);
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(Track(), 22u);
    EXPECT_TRUE(MenuWindows().empty());
    EXPECT_EQ(GetCapture(), nullptr);
    // The owner heard of the top menu and of the cascade.
    EXPECT_EQ(g_inits.size(), 2u);
}

TEST_P(WinMenuWindowTest, GreyItemsCannotBeChosenAndEscapeCloses) {
    win::input::Key(VK_DOWN);
    win::input::Key(VK_DOWN);  // "Pan", grey
    win::input::Key(VK_RETURN);
    win::input::Char(texts().panKey);  // its mnemonic does nothing either
    win::input::Key(VK_ESCAPE);
    EXPECT_EQ(Track(), 0u);
    // Escape in a cascade closes one level; so does the closing arrow, while
    // the opening one does nothing more there.
    win::input::Char(texts().orientationKey);
    win::input::Key(VK_ESCAPE);
    win::input::Char(texts().gpsKey);
    EXPECT_EQ(Track(), 13u);
    win::input::Char(texts().orientationKey);
    win::input::Key(Open());
    win::input::Key(Close());
    win::input::Char(texts().gpsKey);
    EXPECT_EQ(Track(), 13u);
    // The opening arrow on a plain item, and the closing one at the top,
    // leave the menu open.
    win::input::Key(VK_DOWN);
    win::input::Key(Open());
    win::input::Key(Close());
    win::input::Key(VK_RETURN);
    EXPECT_EQ(Track(), 11u);
}

int RowHeight() {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    DeleteDC(dc);
    return tm.tmHeight + 4;
}

TEST_P(WinMenuWindowTest, PenDragIntoTheCascadeAndRelease) {
    WhileOpen([this] {
        std::vector<HWND> menus = MenuWindows();
        ASSERT_EQ(menus.size(), 1u);
        RECT wr;
        GetWindowRect(menus[0], &wr);
        int row = RowHeight();
        int orientationTop = 2 + 3 * row + 8;  // three rows and a separator
        // Down on the first item, dragged down to "Orientation", which opens
        // its cascade beside it, across into the cascade, released on
        // "North up".
        win::input::PenDown(POINT{In(wr, 30), wr.top + 2 + row / 2});
        win::input::PenMove(POINT{In(wr, 30), wr.top + orientationTop + row / 2});
        POINT north{Beyond(wr, 20), wr.top + orientationTop - 2 + 2 + row / 2};
        win::input::PenMove(north);
        win::input::PenUp(north);
    });
    EXPECT_EQ(Track(), 21u);
}

// On a screen with room on neither side, a cascade opens below its item
// (which stays in sight) and is chosen from there.
TEST_P(WinMenuWindowTest, ACascadeWithNoRoomBesideOpensBelowItsItem) {
    HMENU wide = CreatePopupMenu(), sub = CreatePopupMenu();
    AppendMenu(sub, MF_STRING, 41, u"The whole extent of every layer");
    AppendMenu(sub, MF_STRING, 42, u"The extent of the selected layer");
    AppendMenu(wide, MF_STRING, 40, u"Zoom to the layers of the map");
    AppendMenu(wide, MF_POPUP, reinterpret_cast<uintptr_t>(sub), u"Zoom to a layer of the map");
    win::input::Key(VK_DOWN);
    win::input::Key(VK_DOWN);
    win::input::Key(Open());
    WhileOpen([this] {
        std::vector<HWND> menus = MenuWindows();
        ASSERT_EQ(menus.size(), 2u);
        RECT root, cascade;
        GetWindowRect(menus[0], &root);
        GetWindowRect(menus[1], &cascade);
        const int itemBottom = root.top + 2 + 2 * RowHeight();
        EXPECT_GE(cascade.top, itemBottom);
        EXPECT_GE(cascade.left, 0);
        EXPECT_LE(cascade.right, 240);
        win::input::Key(VK_DOWN);
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(TrackAt(wide), 42u);
    DestroyMenu(wide);
}

TEST_P(WinMenuWindowTest, GreyItemTappedByPenIsNotChosen) {
    WhileOpen([this] {
        RECT wr;
        GetWindowRect(MenuWindows().at(0), &wr);
        int row = RowHeight();
        POINT pan{In(wr, 30), wr.top + 2 + row + row / 2};
        win::input::PenDown(pan);
        win::input::PenUp(pan);  // nothing: the menu stays open
        win::input::Key(VK_ESCAPE);
    });
    EXPECT_EQ(Track(), 0u);
    EXPECT_EQ(win::PopupMenuLog().back().chosen, 0u);
}

TEST_P(WinMenuWindowTest, ReleaseOutsideOrTapOutsideChoosesNothing) {
    WhileOpen([this] {
        RECT wr;
        GetWindowRect(MenuWindows().at(0), &wr);
        win::input::PenDown(POINT{In(wr, 30), wr.top + 8});
        win::input::PenUp(POINT{Beyond(wr, 50), wr.bottom + 50});
    });
    EXPECT_EQ(Track(), 0u);
    WhileOpen([] {
        win::input::PenDown(POINT{230, 310});
        win::input::PenUp(POINT{230, 310});
    });
    EXPECT_EQ(Track(), 0u);
    EXPECT_TRUE(MenuWindows().empty());
    // Without real windows and without a responder the menu is dismissed.
    win::UseRealWindows(false);
    EXPECT_EQ(Track(), 0u);
    EXPECT_TRUE(MenuWindows().empty());
}

// An owner-drawn item gets its rectangle in the menu window's own client
// coordinates, the same in both directions, and draws through the menu's
// DC: its start is at the menu's right when the menu is mirrored. A tap
// where the item shows chooses it.
TEST_P(WinMenuWindowTest, OwnerDrawnItemsDrawInTheMenusOwnCoordinates) {
    HMENU m = CreatePopupMenu();
    AppendMenu(m, MF_OWNERDRAW, 31, nullptr);
    WhileOpen([this] {
        HWND w = MenuWindows().at(0);
        golden::Picture p = golden::Capture(w);
        ASSERT_EQ(g_drawn.size(), 1u);
        EXPECT_EQ(g_drawn[0].left, 2);
        EXPECT_EQ(g_drawn[0].top, 2);
        EXPECT_EQ(g_drawn[0].bottom, 22);
        int y = 10;
        auto at = [&](int x) { return p.px[size_t(y) * p.w + x]; };
        int start = dir().rtl ? p.w - 1 - 2 : 2, far = dir().rtl ? 2 + 6 : p.w - 1 - 2 - 6;
        EXPECT_EQ(at(start), 0xFF0000u);
        EXPECT_EQ(at(dir().rtl ? start - 5 : start + 5), 0xFF0000u);
        EXPECT_NE(at(far), 0xFF0000u);
        RECT wr;
        GetWindowRect(w, &wr);
        POINT tap{In(wr, 4), wr.top + 10};
        win::input::PenDown(tap);
        win::input::PenUp(tap);
    });
    EXPECT_EQ(TrackAt(m), 31u);
}

// Where a menu opens: the alignment flags, kept on the screen, and the
// cascade beside it, overlapping it by 3 pixels, on the other side where the
// screen has no room. The cases are written left to right, on a screen 480
// pixels wide; a mirrored menu is their mirror image (TPM_LEFTALIGN puts x
// at its right edge), except that centring stays centring.
TEST_P(WinMenuWindowTest, AlignmentAndCascadesKeptOnTheScreen) {
    constexpr int kWidth = 480;
    sys::SetScreenSize(kWidth, 320);
    RECT root{}, sub{};
    auto show = [&](UINT flags, int x) {
        for (int i = 0; i < 4; ++i) win::input::Key(VK_DOWN);
        win::input::Key(Open());
        WhileOpen([&] {
            std::vector<HWND> menus = MenuWindows();
            ASSERT_EQ(menus.size(), 2u);
            GetWindowRect(menus[0], &root);
            GetWindowRect(menus[1], &sub);
            win::input::Key(VK_ESCAPE);
            win::input::Key(VK_ESCAPE);
        });
        if (dir().rtl && !dir().byOwner) flags |= TPM_LAYOUTRTL;
        TrackPopupMenu(menu_, flags, dir().rtl ? kWidth - x : x, 30, 0, owner_, nullptr);
    };
    show(0, 20);
    int w = root.right - root.left, sw = sub.right - sub.left;
    ASSERT_GT(w, 40);
    ASSERT_LT(w + sw, kWidth - 40);  // room for a cascade on one side of every case
    struct Case {
        UINT flags;
        int x;
        int left;           // the top menu's left edge, left to right
        bool cascadeRight;  // left to right
    };
    const Case cases[] = {
        {TPM_LEFTALIGN, 20, 20, true},
        {TPM_RIGHTALIGN, 460, 460 - w, false},    // no room right of it
        {TPM_LEFTALIGN, 475, kWidth - w, false},  // kept on the screen
        {TPM_RIGHTALIGN, 5, 0, true},             // kept on the screen
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " at " << c.x);
        show(c.flags, c.x);
        RECT want{c.left, 30, c.left + w, 0};
        RECT wantSub{c.cascadeRight ? want.right - 3 : want.left + 3 - sw, 0,
                     c.cascadeRight ? want.right - 3 + sw : want.left + 3, 0};
        if (dir().rtl) {
            want = RECT{kWidth - want.right, want.top, kWidth - want.left, 0};
            wantSub = RECT{kWidth - wantSub.right, 0, kWidth - wantSub.left, 0};
        }
        EXPECT_EQ(root.left, want.left);
        EXPECT_EQ(root.right, want.right);
        EXPECT_EQ(root.top, want.top);
        EXPECT_EQ(sub.left, wantSub.left);
        EXPECT_EQ(sub.right, wantSub.right);
    }
    // Centred, both ways.
    show(TPM_CENTERALIGN, kWidth / 2);
    EXPECT_EQ(root.left, kWidth / 2 - w / 2);
    sys::SetScreenSize(240, 320);
}

// The same Hebrew menu shown left to right and mirrored.
class WinMenuMirrorTest : public WinMenuWindowTest {
protected:
    struct Shown {
        RECT root{}, sub{};
        golden::Picture rootPicture, subPicture;
    };
    // Shown at "Orientation" with its cascade open.
    Shown ShowCascade(bool rtl) {
        Shown out;
        for (int i = 0; i < 4; ++i) win::input::Key(VK_DOWN);
        win::input::Key(rtl ? VK_LEFT : VK_RIGHT);
        WhileOpen([&] {
            std::vector<HWND> menus = MenuWindows();
            ASSERT_EQ(menus.size(), 2u);
            GetWindowRect(menus[0], &out.root);
            GetWindowRect(menus[1], &out.sub);
            out.rootPicture = golden::Capture(menus[0]);
            out.subPicture = golden::Capture(menus[1]);
            win::input::Key(VK_ESCAPE);
            win::input::Key(VK_ESCAPE);
        });
        TrackPopupMenu(menu_, rtl ? TPM_LAYOUTRTL : 0, rtl ? 220 : 20, 30, 0, owner_, nullptr);
        return out;
    }
    // The picture of a one-item menu.
    golden::Picture ShowOne(HMENU m, UINT flags) {
        golden::Picture out;
        WhileOpen([&] {
            out = golden::Capture(MenuWindows().at(0));
            win::input::Key(VK_ESCAPE);
        });
        TrackPopupMenu(m, flags, 20, 30, 0, owner_, nullptr);
        return out;
    }
};

INSTANTIATE_TEST_SUITE_P(Hebrew, WinMenuMirrorTest, ::testing::Values(kDirs[1]),
                         [](const auto& info) { return std::string(info.param.name); });

// The geometry of the mirrored menu is the mirror image of the left-to-right
// one: the windows on the screen, the frames, the highlighted rows and the
// submenu arrows, pixel for pixel. The check marks keep their orientation:
// the tick column is only moved across.
TEST_P(WinMenuMirrorTest, MirroredMenuIsTheMirrorImage) {
    Shown ltr = ShowCascade(false), rtl = ShowCascade(true);
    auto mirrored = [](RECT r) { return RECT{240 - r.right, r.top, 240 - r.left, r.bottom}; };
    EXPECT_TRUE(EqualRect(&rtl.root, &(const RECT&)mirrored(ltr.root)));
    RECT m = mirrored(ltr.sub);
    EXPECT_TRUE(EqualRect(&rtl.sub, &m));
    int column = 16, frame = 2;
    for (auto [a, b] : {std::pair{&ltr.rootPicture, &rtl.rootPicture},
                        std::pair{&ltr.subPicture, &rtl.subPicture}}) {
        ASSERT_EQ(a->w, b->w);
        ASSERT_EQ(a->h, b->h);
        int w = a->w, h = a->h;
        auto A = [&](int x, int y) { return a->px[size_t(y) * w + x]; };
        auto B = [&](int x, int y) { return b->px[size_t(y) * w + x]; };
        int differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool ring = x < frame || y < frame || x >= w - frame || y >= h - frame;
                bool arrowColumn = x >= w - frame - column;
                // (its edge pixels are the separator's ends, which mirror)
                bool tickColumn = x > frame && x < frame + column - 1 && !ring;
                if (ring || arrowColumn) differing += B(w - 1 - x, y) != A(x, y);
                if (tickColumn) differing += B(x + w - 2 * frame - column, y) != A(x, y);
            }
        EXPECT_EQ(differing, 0);
    }
}

// The box of a picture's pixels that differ from the menu's background,
// inside the frame, cut out.
golden::Picture Ink(const golden::Picture& p) {
    uint32_t back = GetSysColor(COLOR_MENU);
    back = ((back & 0xFF) << 16) | (back & 0xFF00) | ((back >> 16) & 0xFF);
    int x0 = p.w, y0 = p.h, x1 = -1, y1 = -1;
    for (int y = 2; y < p.h - 2; ++y)
        for (int x = 2; x < p.w - 2; ++x)
            if (p.px[size_t(y) * p.w + x] != back) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    golden::Picture out;
    if (x1 < 0) return out;
    out.w = x1 - x0 + 1;
    out.h = y1 - y0 + 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) out.px.push_back(p.px[size_t(y) * p.w + x]);
    return out;
}

// An item of type MFT_RIGHTORDER reads right to left in a left-to-right
// menu, as every item of a mirrored menu does: a Hebrew word then "GPS"
// shows "GPS" at its left.
TEST_P(WinMenuMirrorTest, RightOrderItemsReadRightToLeft) {
    HMENU m = CreatePopupMenu();
    AppendMenu(m, MF_STRING, 41, u"\u05E9\u05DB\u05D1\u05D5\u05EA GPS");
    golden::Picture plain = Ink(ShowOne(m, 0)), mirrored = Ink(ShowOne(m, TPM_LAYOUTRTL));
    MENUITEMINFO mi;
    mi.fMask = MIIM_FTYPE;
    mi.fType = MFT_STRING | MFT_RIGHTORDER;
    ASSERT_TRUE(SetMenuItemInfo(m, 0, true, &mi));
    mi.fType = 0;
    ASSERT_TRUE(GetMenuItemInfo(m, 0, true, &mi));
    EXPECT_EQ(mi.fType, MFT_RIGHTORDER);
    golden::Picture rightOrder = Ink(ShowOne(m, 0));
    ASSERT_GT(plain.w, 0);
    EXPECT_NE(plain.px, mirrored.px);
    EXPECT_EQ(rightOrder.w, mirrored.w);
    EXPECT_EQ(rightOrder.px, mirrored.px);
}

}  // namespace
