// The display on Qt's offscreen platform: what a window shows, and how the
// desktop's input reaches the model. Input goes through QtTest's window
// functions (or events sent to the window), never straight to the model.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "core/tap_and_hold.h"
#include "platform/gdi/gdi.h"
#include "platform/qt/display.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

znqt::Display* g_display = nullptr;

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "display_backend_test";
        static char* argv[] = {name, nullptr};
        // Qt's offscreen platform with a fixed screen, unless told otherwise.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::string error;
        display_ = znqt::Display::Start(argc, argv, &error);
        ASSERT_TRUE(display_) << error;
        g_display = display_.get();
    }
    void TearDown() override {
        win::ResetForTests();
        g_display = nullptr;
        display_.reset();
    }

private:
    std::unique_ptr<znqt::Display> display_;
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

struct Recorded {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Recorded> g_log;
COLORREF g_fill = RGB(255, 0, 0);
std::function<void(HWND, UINT, WPARAM, LPARAM)> g_onMessage;

bool Interesting(UINT m) {
    return (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST && m != WM_MOUSEWHEEL) || m == WM_KEYDOWN ||
           m == WM_KEYUP || m == WM_CHAR || m == WM_CLOSE || m == WM_SIZE;
}

LRESULT TestProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (Interesting(m)) g_log.push_back({m, w, l});
    if (g_onMessage) g_onMessage(h, m, w, l);
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        HBRUSH b = CreateSolidBrush(g_fill);
        FillRect(dc, &r, b);
        DeleteObject(b);
        // Something that is not flat: a blue block, a diagonal and text.
        RECT inner{r.right / 4, r.bottom / 4, r.right / 2, r.bottom / 2};
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &inner, blue);
        DeleteObject(blue);
        for (int i = 0; i < std::min(r.right, r.bottom); ++i) SetPixel(dc, i, i, RGB(i, 255 - i, 0));
        TextOut(dc, 4, 4, u"Zarnip", 6);
        EndPaint(h, &ps);
        return 0;
    }
    if (m == WM_CLOSE) return 0;  // stays open: the test looks at it
    return DefWindowProc(h, m, w, l);
}

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(g_display);
        win::ResetForTests();
        scale_ = g_display->Scale();
        win::SetScreenSize(240 * scale_, 320 * scale_);
        WNDCLASS wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = TestProc;
        wc.lpszClassName = u"DisplayTest";
        RegisterClass(wc);
        g_log.clear();
        g_fill = RGB(255, 0, 0);
        g_onMessage = nullptr;
        win::input::SetDoubleTapSettings({});
    }
    void TearDown() override {
        g_onMessage = nullptr;
        win::ResetForTests();
    }

    HWND Make(DWORD style, int w, int h, HWND owner = nullptr) {
        HWND hwnd = CreateWindowEx(0, u"DisplayTest", u"Display test", style, 0, 0, w * scale_,
                                   h * scale_, owner, nullptr, nullptr, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        SetActiveWindow(hwnd);
        SetFocus(hwnd);
        RunIdle();
        g_log.clear();
        return hwnd;
    }

    // Everything queued is handled and presented.
    static void RunIdle() {
        MSG m;
        for (int quiet = 0; quiet < 2; ++quiet) {
            while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
                quiet = 0;
                TranslateMessage(&m);
                DispatchMessage(&m);
            }
            g_display->PresentNow();
        }
    }
    // Runs a message loop for ms of real time (waiting on the display).
    static void RunFor(UINT ms) {
        uintptr_t t = SetTimer(nullptr, 0, ms, nullptr);
        MSG m;
        while (GetMessage(&m, nullptr, 0, 0)) {
            if (m.message == WM_TIMER && !m.hwnd && m.wParam == t) break;
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
        KillTimer(nullptr, t);
        RunIdle();
    }

    // The model point under a logical point of the window.
    POINT ModelAt(HWND h, QPoint logical) const {
        double r = g_display->WindowOf(h)->devicePixelRatio();
        return POINT{static_cast<LONG>(logical.x() * r), static_cast<LONG>(logical.y() * r)};
    }

    int scale_ = 1;
};

LPARAM At(POINT p) {
    return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

std::vector<Recorded> Only(std::initializer_list<UINT> messages) {
    std::vector<Recorded> out;
    for (const Recorded& r : g_log)
        if (std::find(messages.begin(), messages.end(), r.msg) != messages.end()) out.push_back(r);
    return out;
}

TEST_F(DisplayTest, ScreenshotEqualsTheSurface) {
    HWND h = Make(WS_POPUP, 100, 80);
    QWindow* qw = g_display->WindowOf(h);
    ASSERT_TRUE(qw);
    int w = 0, hh = 0, stride = 0;
    const uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(h), &w, &hh, &stride);
    ASSERT_TRUE(px);
    ASSERT_EQ(w, 100 * scale_);
    ASSERT_EQ(hh, 80 * scale_);
    QImage shot = qw->screen()->grabWindow(qw->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    // At ratio 2 the offscreen screen grabs only the top-left block of the
    // window's device pixels, logical size.
    double ratio = qw->devicePixelRatio();
    ASSERT_EQ(shot.width(), static_cast<int>(w / ratio));
    ASSERT_EQ(shot.height(), static_cast<int>(hh / ratio));
    int differ = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if ((shot.pixel(x, y) & 0xFFFFFF) != (px[y * (stride / 4) + x] & 0xFFFFFF)) ++differ;
    EXPECT_EQ(differ, 0);
    // What the window shows is the surface, in model pixels.
    QImage shown = g_display->Snapshot(h);
    ASSERT_EQ(shown.size(), QSize(w, hh));
    for (int y = 0; y < hh; ++y)
        for (int x = 0; x < w; ++x)
            differ += (shown.pixel(x, y) & 0xFFFFFF) != (px[y * (stride / 4) + x] & 0xFFFFFF);
    EXPECT_EQ(differ, 0);
    // COLORREF red is Qt's red.
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 2, 2)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(w * 3 / 8, hh * 3 / 8)), QColor(0, 0, 255));

    // Drawing through a window DC outside painting is shown at once.
    HDC dc = GetDC(h);
    RECT spot{2, 2, 6, 6};
    HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
    FillRect(dc, &spot, yellow);
    DeleteObject(yellow);
    ReleaseDC(h, dc);
    shot = qw->screen()->grabWindow(qw->winId()).toImage();
    EXPECT_EQ(QColor(shot.pixel(3, 3)), QColor(255, 255, 0));

    // Repainting in another colour is presented.
    g_fill = RGB(0, 128, 0);
    InvalidateRect(h, nullptr, true);
    RunIdle();
    shot = qw->screen()->grabWindow(qw->winId()).toImage();
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 2, 2)), QColor(0, 128, 0));
}

TEST_F(DisplayTest, MouseBecomesPenMessagesInOrder) {
    HWND h = Make(WS_POPUP, 200, 150);
    QWindow* qw = g_display->WindowOf(h);
    ASSERT_TRUE(qw);
    QPoint a(10, 20), b(30, 25), far(150, 120);

    QTest::mousePress(qw, Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseMove(qw, b);
    QTest::mouseRelease(qw, Qt::LeftButton, Qt::NoModifier, b);
    RunIdle();
    // A pen cannot hover: a move without a button is dropped.
    QTest::mouseMove(qw, far);
    RunIdle();
    ASSERT_EQ(g_log.size(), 3u);
    EXPECT_EQ(g_log[0].msg, WM_LBUTTONDOWN);
    EXPECT_EQ(g_log[0].lParam, At(ModelAt(h, a)));
    EXPECT_EQ(g_log[1].msg, WM_MOUSEMOVE);
    EXPECT_EQ(g_log[1].lParam, At(ModelAt(h, b)));
    EXPECT_EQ(g_log[1].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(g_log[2].msg, WM_LBUTTONUP);
    EXPECT_EQ(g_log[2].lParam, At(ModelAt(h, b)));

    // Qt's own double click is ignored; the model makes exactly one.
    g_log.clear();
    QTest::mouseDClick(qw, Qt::LeftButton, Qt::NoModifier, far);
    RunIdle();
    std::vector<UINT> seen;
    for (auto& r : g_log) seen.push_back(r.msg);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));

    // The right button gives its own messages.
    g_log.clear();
    QTest::qWait(0);
    QTest::mouseClick(qw, Qt::RightButton, Qt::NoModifier, a);
    RunIdle();
    seen.clear();
    for (auto& r : g_log) seen.push_back(r.msg);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
}

TEST_F(DisplayTest, FarPointsAreClampedNotWrapped) {
    HWND h = Make(WS_POPUP, 100, 100);
    QWindow* qw = g_display->WindowOf(h);
    g_onMessage = [](HWND w, UINT m, WPARAM, LPARAM) {
        if (m == WM_LBUTTONDOWN) SetCapture(w);
    };
    QTest::mousePress(qw, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    RunIdle();
    QTest::mouseMove(qw, QPoint(40000, -40000));
    RunIdle();
    auto moves = Only({WM_MOUSEMOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(static_cast<int16_t>(LOWORD(moves[0].lParam)), 32767);
    EXPECT_EQ(static_cast<int16_t>(HIWORD(moves[0].lParam)), -32768);
    QTest::mouseRelease(qw, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    RunIdle();
}

TEST_F(DisplayTest, KeysAndTextBecomeKeyAndCharacterMessages) {
    HWND h = Make(WS_POPUP, 100, 100);
    QWindow* qw = g_display->WindowOf(h);
    auto keyed = [&](auto act) {
        g_log.clear();
        act();
        RunIdle();
        return Only({WM_KEYDOWN, WM_KEYUP, WM_CHAR});
    };

    // A letter: the character comes right after the key-down, once.
    auto a = keyed([&] { QTest::keyClick(qw, Qt::Key_A); });
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].msg, WM_KEYDOWN);
    EXPECT_EQ(a[0].wParam, WPARAM('A'));
    EXPECT_EQ(a[0].lParam & 0xFFFF, 1);
    EXPECT_EQ(a[0].lParam & 0x40000000, 0);
    EXPECT_EQ(a[1].msg, WM_CHAR);
    EXPECT_EQ(a[1].wParam, WPARAM('a'));
    EXPECT_EQ(a[2].msg, WM_KEYUP);
    EXPECT_EQ(static_cast<uint32_t>(a[2].lParam), 0xC0000001u);

    // Text in any script, and a character outside the BMP as two units.
    struct Case {
        const char* text;
        std::vector<WPARAM> units;
    };
    for (const Case& c : {Case{"α", {0x03B1}}, Case{"ש", {0x05E9}}, Case{"é", {0x00E9}},
                          Case{"😀", {0xD83D, 0xDE00}}}) {
        auto got = keyed([&] {
            QTest::sendKeyEvent(QTest::Click, qw, Qt::Key_unknown, QString::fromUtf8(c.text),
                                Qt::NoModifier);
        });
        std::vector<WPARAM> chars;
        for (auto& r : got)
            if (r.msg == WM_CHAR) chars.push_back(r.wParam);
        EXPECT_EQ(chars, c.units) << c.text;
    }

    // An input method's commit.
    auto ime = keyed([&] {
        QInputMethodEvent e;
        e.setCommitString(QString::fromUtf8("漢字"));
        QGuiApplication::sendEvent(qw, &e);
    });
    ASSERT_EQ(ime.size(), 2u);
    EXPECT_EQ(ime[0].wParam, WPARAM(0x6F22));
    EXPECT_EQ(ime[1].wParam, WPARAM(0x5B57));

    // Keys the desktop keyboard lacks, and keys that type nothing.
    struct KeyCase {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        UINT vk;
    };
    for (const KeyCase& k :
         {KeyCase{Qt::Key_F1, Qt::ShiftModifier, 0x7C}, KeyCase{Qt::Key_F12, Qt::ShiftModifier, 0x87},
          KeyCase{Qt::Key_F2, Qt::NoModifier, 0x71}, KeyCase{Qt::Key_1, Qt::AltModifier, 0xC1},
          KeyCase{Qt::Key_0, Qt::AltModifier, 0xCA}, KeyCase{Qt::Key_Down, Qt::NoModifier, VK_DOWN},
          KeyCase{Qt::Key_PageUp, Qt::NoModifier, VK_PRIOR},
          KeyCase{Qt::Key_Delete, Qt::NoModifier, VK_DELETE}}) {
        auto got = keyed([&] { QTest::keyClick(qw, k.key, k.mods); });
        std::vector<Recorded> mine;
        for (auto& r : got)
            if (r.wParam == k.vk || r.msg == WM_CHAR) mine.push_back(r);
        ASSERT_EQ(mine.size(), 2u) << std::hex << k.vk;
        EXPECT_EQ(mine[0].msg, WM_KEYDOWN);
        EXPECT_EQ(mine[1].msg, WM_KEYUP);
    }

    // Enter types a carriage return, once.
    auto enter = keyed([&] { QTest::keyClick(qw, Qt::Key_Return); });
    auto chars = std::count_if(enter.begin(), enter.end(), [](auto& r) { return r.msg == WM_CHAR; });
    EXPECT_EQ(chars, 1);

    // Holding a key: more key-downs with the previous-state bit, no key-ups.
    auto held = keyed([&] {
        QKeyEvent first(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), false);
        QKeyEvent again(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QKeyEvent upAgain(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), false);
        QGuiApplication::sendEvent(qw, &first);
        QGuiApplication::sendEvent(qw, &upAgain);
        QGuiApplication::sendEvent(qw, &again);
        QGuiApplication::sendEvent(qw, &up);
    });
    ASSERT_EQ(held.size(), 3u);
    EXPECT_EQ(held[0].lParam & 0x40000000, 0);
    EXPECT_EQ(held[1].msg, WM_KEYDOWN);
    EXPECT_EQ(held[1].lParam & 0x40000000, 0x40000000);
    EXPECT_EQ(held[2].msg, WM_KEYUP);
}

// A dialog template in memory: a caption and an OK button.
std::vector<uint8_t> OkDialog() {
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION;
    t.cx = 100;
    t.cy = 60;
    t.title = u"Modal";
    DialogItemTemplate ok;
    ok.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    ok.x = 30;
    ok.y = 30;
    ok.cx = 40;
    ok.cy = 14;
    ok.id = IDOK;
    ok.className = u"BUTTON";
    ok.title = u"OK";
    t.items.push_back(ok);
    return SerializeDialogTemplate(t);
}

HWND g_dialog = nullptr;
HWND g_owner = nullptr;
int g_step = 0;
bool g_ownerShownGreen = false;

intptr_t ModalProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            g_dialog = dlg;
            SetTimer(dlg, 1, 20, nullptr);
            return TRUE;
        case WM_TIMER:
            // The owner, disabled behind the dialog, still repaints and is
            // shown; then the person clicks OK on the dialog.
            if (g_step == 0) {
                g_fill = RGB(0, 200, 0);
                InvalidateRect(g_owner, nullptr, true);
            } else if (g_step == 2) {
                QWindow* ow = g_display->WindowOf(g_owner);
                QImage shot = ow->screen()->grabWindow(ow->winId()).toImage();
                g_ownerShownGreen = QColor(shot.pixel(shot.width() - 2, 2)) == QColor(0, 200, 0);
                KillTimer(dlg, 1);
                HWND ok = GetDlgItem(dlg, IDOK);
                RECT r;
                GetWindowRect(ok, &r);
                double x = 0, y = 0;
                g_display->ToWindowPoint(dlg, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2},
                                         &x, &y);
                QWindow* dw = g_display->WindowOf(dlg);
                QTimer::singleShot(0, [dw, x, y] {
                    QTest::mouseClick(dw, Qt::LeftButton, Qt::NoModifier,
                                      QPoint(static_cast<int>(x), static_cast<int>(y)));
                });
            }
            ++g_step;
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) EndDialog(dlg, 1);
            return TRUE;
        case WM_APP:
            EndDialog(dlg, 7);
            return TRUE;
    }
    return FALSE;
}

TEST_F(DisplayTest, ModalLoopKeepsWindowsResponsive) {
    g_owner = Make(WS_POPUP, 200, 200);
    g_step = 0;
    g_ownerShownGreen = false;
    std::vector<uint8_t> t = OkDialog();
    intptr_t r = DialogBoxIndirectParam(nullptr, t.data(), t.size(), g_owner, ModalProc, 0);
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(g_ownerShownGreen);
    EXPECT_TRUE(IsWindowEnabled(g_owner));
}

TEST_F(DisplayTest, PostFromAnotherThreadWakesTheModalLoop) {
    g_owner = Make(WS_POPUP, 100, 100);
    std::atomic<bool> finished{false};
    // Without a wake the loop would wait for ever: end the process instead.
    std::thread watchdog([&] {
        for (int i = 0; i < 3000 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!finished) {
            std::fprintf(stderr, "the modal loop was not woken\n");
            std::_Exit(1);
        }
    });
    std::thread poster;
    g_onMessage = nullptr;
    std::vector<uint8_t> t = OkDialog();
    DialogTemplate parsed = *ParseDialogTemplate(t.data(), t.size());
    auto proc = [](HWND dlg, UINT msg, WPARAM, LPARAM) -> intptr_t {
        if (msg == WM_INITDIALOG) {
            g_dialog = dlg;
            return TRUE;
        }
        if (msg == WM_APP) {
            EndDialog(dlg, 7);
            return TRUE;
        }
        return FALSE;
    };
    // The dialog waits with no timer; another thread posts to it.
    win::PushModalHook([&](HWND dlg) {
        poster = std::thread([dlg] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            PostMessage(dlg, WM_APP, 0, 0);
        });
    });
    intptr_t r = DialogBoxFromTemplate(nullptr, parsed, g_owner, proc, 0);
    finished = true;
    poster.join();
    watchdog.join();
    EXPECT_EQ(r, 7);
}

TEST_F(DisplayTest, CloseAndResizeReachTheModel) {
    HWND h = Make(WS_CAPTION | WS_SYSMENU, 120, 100);
    QWindow* qw = g_display->WindowOf(h);
    ASSERT_TRUE(qw);
    // The desktop decorates a window without an owner.
    EXPECT_FALSE(qw->flags() & Qt::FramelessWindowHint);
    qw->close();
    RunIdle();
    EXPECT_EQ(Only({WM_CLOSE}).size(), 1u);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_TRUE(qw->isVisible());

    g_log.clear();
    double ratio = qw->devicePixelRatio();
    // The main window's size is the virtual screen's.
    win::SetMainWindow(h);
    qw->resize(QSize(90, 70));
    RunFor(30);
    RECT wr;
    GetWindowRect(h, &wr);
    EXPECT_EQ(wr.right - wr.left, static_cast<LONG>(90 * ratio));
    EXPECT_EQ(wr.bottom - wr.top, static_cast<LONG>(70 * ratio));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), wr.right - wr.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), wr.bottom - wr.top);
    auto sizes = Only({WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    RECT cr;
    GetClientRect(h, &cr);
    EXPECT_EQ(sizes.back().lParam, MAKELPARAM(cr.right, cr.bottom));
    int sw = 0, sh = 0, stride = 0;
    gdi::SurfacePixels(win::GetWindowSurface(h), &sw, &sh, &stride);
    EXPECT_TRUE((sw == cr.right && sh == cr.bottom) ||
                (sw == wr.right - wr.left && sh == wr.bottom - wr.top));
}

TEST_F(DisplayTest, OwnedWindowsAreFramelessAndFollowTheirOwner) {
    HWND main = Make(WS_CAPTION | WS_SYSMENU, 200, 200);
    win::SetMainWindow(main);
    HWND owned = CreateWindowEx(0, u"DisplayTest", u"Owned", WS_POPUP, 20 * scale_, 30 * scale_,
                                50 * scale_, 40 * scale_, main, nullptr, nullptr, nullptr);
    ShowWindow(owned, SW_SHOW);
    RunIdle();
    QWindow* qm = g_display->WindowOf(main);
    QWindow* qo = g_display->WindowOf(owned);
    ASSERT_TRUE(qm && qo);
    EXPECT_TRUE(qo->flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(qo->transientParent(), qm);
    double r = qm->devicePixelRatio();
    EXPECT_EQ(qo->position() - qm->position(),
              QPoint(static_cast<int>(20 * scale_ / r), static_cast<int>(30 * scale_ / r)));
    qm->setPosition(qm->position() + QPoint(7, 9));
    RunIdle();
    EXPECT_EQ(qo->position() - qm->position(),
              QPoint(static_cast<int>(20 * scale_ / r), static_cast<int>(30 * scale_ / r)));
    ShowWindow(owned, SW_HIDE);
    RunIdle();
    EXPECT_FALSE(qo->isVisible());

    // A pop-up stays on top and does not take the keyboard.
    HWND popup = CreateWindowEx(WS_EX_TOPMOST, u"DisplayTest", u"", WS_POPUP, 0, 0, 20, 20, main,
                                nullptr, nullptr, nullptr);
    ShowWindow(popup, SW_SHOW);
    RunIdle();
    QWindow* qp = g_display->WindowOf(popup);
    ASSERT_TRUE(qp);
    EXPECT_TRUE(qp->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(qp->flags() & Qt::WindowDoesNotAcceptFocus);
}

TEST_F(DisplayTest, ClipboardTravelsBothWays) {
    Make(WS_POPUP, 50, 50);
    QGuiApplication::clipboard()->setText(QString::fromUtf8("from the desktop ü"));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(win::ClipboardText(), u"from the desktop ü");
    ASSERT_TRUE(win::PutClipboardText(u"from the model 😀"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("from the model 😀"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    CloseClipboard();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST_F(DisplayTest, CaretRectangleGoesToTheInputMethod) {
    HWND h = Make(WS_POPUP, 200, 100);
    QWindow* qw = g_display->WindowOf(h);
    HWND edit = CreateWindowEx(0, u"EDIT", u"text", WS_CHILD | WS_VISIBLE | WS_BORDER, 10 * scale_,
                               20 * scale_, 150 * scale_, 20 * scale_, h,
                               reinterpret_cast<HMENU>(5), nullptr, nullptr);
    ASSERT_TRUE(edit);
    SetFocus(edit);
    RunIdle();
    POINT caret;
    ASSERT_TRUE(GetCaretPos(&caret));
    ClientToScreen(edit, &caret);
    RECT wr;
    GetWindowRect(h, &wr);
    QInputMethodQueryEvent q(Qt::ImEnabled | Qt::ImCursorRectangle);
    QGuiApplication::sendEvent(qw, &q);
    EXPECT_TRUE(q.value(Qt::ImEnabled).toBool());
    QRectF r = q.value(Qt::ImCursorRectangle).toRectF();
    double ratio = qw->devicePixelRatio();
    EXPECT_FALSE(r.isEmpty());
    EXPECT_DOUBLE_EQ(r.left(), (caret.x - wr.left) / ratio);
    EXPECT_DOUBLE_EQ(r.top(), (caret.y - wr.top) / ratio);
    DestroyWindow(edit);
    QInputMethodQueryEvent after(Qt::ImCursorRectangle);
    QGuiApplication::sendEvent(qw, &after);
    EXPECT_TRUE(after.value(Qt::ImCursorRectangle).toRectF().isEmpty());
}

TEST_F(DisplayTest, WaitCursorIsTheBusyCursor) {
    HWND h = Make(WS_POPUP, 50, 50);
    QWindow* qw = g_display->WindowOf(h);
    win::BeginWaitCursor();
    EXPECT_EQ(qw->cursor().shape(), Qt::BusyCursor);
    win::EndWaitCursor();
    EXPECT_EQ(qw->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DisplayTest, TapAndHoldRunsInRealTime) {
    HWND h = Make(WS_POPUP, 100, 100);
    QWindow* qw = g_display->WindowOf(h);
    struct Case {
        int holdMs;
        bool recognised;
    };
    for (Case c : {Case{600, true}, Case{150, false}}) {
        int result = -1;
        g_onMessage = [&](HWND w, UINT m, WPARAM, LPARAM l) {
            if (m == WM_LBUTTONDOWN)
                result = RecognizeTapAndHold(
                    w, POINT{static_cast<int16_t>(LOWORD(l)), static_cast<int16_t>(HIWORD(l))},
                    false);
        };
        QPoint p(40, 40);
        QImage before = qw->screen()->grabWindow(qw->winId()).toImage();
        // While the pen is held the dots show in the window.
        bool dotsShown = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            QImage now = qw->screen()->grabWindow(qw->winId()).toImage();
            if (!now.isNull() && now != before) dotsShown = true;
        });
        watch.start(40);
        QTimer::singleShot(c.holdMs, [qw, p] { QTest::mouseRelease(qw, Qt::LeftButton, Qt::NoModifier, p); });
        QTest::mousePress(qw, Qt::LeftButton, Qt::NoModifier, p);
        RunIdle();
        RunFor(static_cast<UINT>(c.holdMs) + 100);
        EXPECT_EQ(result, c.recognised ? 1 : 0) << c.holdMs;
        watch.stop();
        if (c.recognised) {
            EXPECT_TRUE(dotsShown);
            // Inverted twice: exactly as before.
            EXPECT_EQ(qw->screen()->grabWindow(qw->winId()).toImage(), before);
        }
        g_onMessage = nullptr;
        QTest::qWait(0);
        // Far from the last tap, so that no double tap is made.
        win::input::SetDoubleTapSettings({0, 0});
    }
}

TEST(ScreenSettings, FromTheEnvironment) {
    // The display in this process was started from the defaults.
    ASSERT_TRUE(g_display);
    EXPECT_EQ(gdi::GetScreenMetrics().logPixelsY, 96 * g_display->Scale());
    EXPECT_EQ(gdi::GetScreenMetrics().logPixelsX, 96 * g_display->Scale());

    struct Case {
        const char* scale;
        const char* screen;
        int wantScale, wantW, wantH;
        bool error;
    };
    for (const Case& c : {Case{"", "", 0, 240, 320, false}, Case{"3", "480x640", 3, 480, 640, false},
                          Case{"1", "320X240", 1, 320, 240, false}, Case{"5", "", 0, 240, 320, true},
                          Case{"2x", "", 0, 240, 320, true}, Case{"", "240", 0, 240, 320, true},
                          Case{"", "0x100", 0, 240, 320, true},
                          Case{"", "99999999999x2", 0, 240, 320, true}}) {
        setenv("ZARNIP_SCALE", c.scale, 1);
        setenv("ZARNIP_SCREEN", c.screen, 1);
        std::string error;
        znqt::ScreenSettings s = znqt::SettingsFromEnvironment(&error);
        EXPECT_EQ(s.scale, c.wantScale) << c.scale << " " << c.screen;
        EXPECT_EQ(s.width, c.wantW) << c.screen;
        EXPECT_EQ(s.height, c.wantH) << c.screen;
        EXPECT_EQ(!error.empty(), c.error) << c.scale << " " << c.screen;
    }
    unsetenv("ZARNIP_SCALE");
    unsetenv("ZARNIP_SCREEN");
    // A screen of ratio 1 works at scale 2; a high-DPI screen at its ratio.
    EXPECT_EQ(znqt::ScaleFor({}, 1.0), 2);
    EXPECT_EQ(znqt::ScaleFor({}, 1.25), 2);
    EXPECT_EQ(znqt::ScaleFor({}, 2.0), 2);
    EXPECT_EQ(znqt::ScaleFor({}, 3.0), 3);
    EXPECT_EQ(znqt::ScaleFor({1, 240, 320}, 2.0), 1);
}

TEST(Viewer, PlaysAScriptAndSavesThePicture) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString script = dir.filePath("input.txt");
    {
        std::ofstream out(script.toStdString());
        out << "# check the box, type, move through the dialog\n"
               "tap #1014\n"
               "tap #1005\n"
               "type héllo\n"
               "key Tab\n"
               "wait 20\n";
    }
    QString png = dir.filePath("shot.png");
    QProcess viewer;
    viewer.start(ZN_VIEWER, {"--res", ZN_DISPLAY_TEST_RES, "--sample", "--input", script,
                             "--screenshot", png, "100"});
    ASSERT_TRUE(viewer.waitForFinished(60000));
    QString out = QString::fromUtf8(viewer.readAllStandardOutput());
    EXPECT_EQ(viewer.exitCode(), 0) << viewer.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("command 1014 0")) << out.toStdString();
    QImage shot(png);
    ASSERT_FALSE(shot.isNull());
    EXPECT_GE(shot.width(), 160 * g_display->Scale());

    // No display to be had: a clear error, not an abort.
    QProcess noDisplay;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_SCALE_FACTOR");
    env.insert("DISPLAY", ":65000");
    noDisplay.setProcessEnvironment(env);
    noDisplay.start(ZN_VIEWER, {"--res", ZN_DISPLAY_TEST_RES, "100"});
    ASSERT_TRUE(noDisplay.waitForFinished(60000));
    EXPECT_EQ(noDisplay.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(noDisplay.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(noDisplay.readAllStandardError()).contains(":65000"));

    // A bad script is refused with its line.
    {
        std::ofstream out(script.toStdString());
        out << "tap 1\n";
    }
    viewer.start(ZN_VIEWER, {"--res", ZN_DISPLAY_TEST_RES, "--input", script, "100"});
    ASSERT_TRUE(viewer.waitForFinished(60000));
    EXPECT_EQ(viewer.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(viewer.readAllStandardError()).contains("line 1"));
}

}  // namespace
