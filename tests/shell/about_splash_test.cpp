// The splash window and the About box on the null backend.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "core/language_module.h"
#include "platform/gdi/gdi.h"
#include "platform/res/resource.h"
#include "platform/sys/device.h"
#include "platform/sys/registry.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "shell/app/about_dlg.h"
#include "shell/app/splash.h"
#include "tests/shell/shell_doubles.h"

namespace {

// A window's surface, 0x00RRGGBB, rows top first.
std::vector<uint32_t> SurfaceOf(HWND hwnd, int width, int height) {
    int w = 0, h = 0, stride = 0;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(hwnd), &w, &h, &stride);
    std::vector<uint32_t> out;
    for (int y = 0; px && y < height && y < h; ++y)
        for (int x = 0; x < width && x < w; ++x) out.push_back(px[y * (stride / 4) + x] & 0xFFFFFF);
    return out;
}

// A bitmap's pixels in the same form, read back through a memory DC.
std::vector<uint32_t> PixelsOf(HBITMAP bitmap, int width, int height) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(dc, bitmap);
    std::vector<uint32_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            out.push_back(static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c));
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    return out;
}

void Pump() {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
}

class SplashAndAbout : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ResetLanguageModuleForTests();
        SetSplashEnabled(true);
        CAboutDlg::ResetLedCountersForTests();
        owner_ = CreateWindowEx(0, u"STATIC", u"main", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                                nullptr, nullptr);
        win::SetMainWindow(owner_);
    }
    void TearDown() override {
        sys::test::ResetDevice();
        SetSplashEnabled(true);
        ShellTest::TearDown();
    }
    HWND owner_ = nullptr;
};

TEST_F(SplashAndAbout, TheSplashShowsItsPictureOnceAndGoesAfterItsTimer) {
    SetSplashEnabled(false);
    const size_t windows = win::WindowCount();
    ShowSplashWindow(owner_);
    EXPECT_EQ(GetSplashWindow(), nullptr);
    EXPECT_EQ(win::WindowCount(), windows);

    SetSplashEnabled(true);
    ShowSplashWindow(owner_);
    HWND splash = GetSplashWindow();
    ASSERT_TRUE(splash);
    ShowSplashWindow(owner_);
    EXPECT_EQ(GetSplashWindow(), splash);
    EXPECT_EQ(win::WindowCount(), windows + 1);
    EXPECT_EQ(GetOwner(splash), owner_);
    EXPECT_EQ(GetWindowLong(splash, GWL_STYLE) & (WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CAPTION),
              static_cast<LONG>(WS_POPUP | WS_VISIBLE));

    // Unscaled at the top left, the window exactly the picture, centred.
    HBITMAP picture = LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(IDB_SPLASH));
    ASSERT_TRUE(picture);
    BITMAP info{};
    GetObject(picture, sizeof info, &info);
    RECT r;
    GetWindowRect(splash, &r);
    EXPECT_EQ(r.right - r.left, info.bmWidth);
    EXPECT_EQ(r.bottom - r.top, info.bmHeight);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - info.bmWidth) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - info.bmHeight) / 2);
    std::vector<uint32_t> shown = SurfaceOf(splash, info.bmWidth, info.bmHeight);
    ASSERT_EQ(shown.size(), static_cast<size_t>(info.bmWidth * info.bmHeight));
    EXPECT_TRUE(shown == PixelsOf(picture, info.bmWidth, info.bmHeight)) << "the picture, pixel for pixel";
    DeleteObject(picture);

    SendMessage(splash, WM_TIMER, 1, 0);
    EXPECT_FALSE(IsWindow(splash));
    EXPECT_EQ(GetSplashWindow(), nullptr);
    ShowSplashWindow(owner_);
    EXPECT_NE(GetSplashWindow(), nullptr) << "a new one once the first is gone";
}

// The LED settings the About box sends.
std::vector<sys::LedSettingsInfo> g_leds;
int RecordLed(int id, void* input) {
    if (id == sys::kLedSettingsInfoId) g_leds.push_back(*static_cast<sys::LedSettingsInfo*>(input));
    return 1;
}

TEST_F(SplashAndAbout, TheAboutBoxShowsVersionOwnerAndCreditsAndTestsTheLeds) {
    // The owner record: the name at its start, the organisation at byte 66.
    std::vector<uint8_t> record(556, 0);
    auto put = [&](size_t at, const char16_t* text) {
        for (size_t i = 0; text[i]; ++i) std::memcpy(&record[at + 2 * i], &text[i], 2);
    };
    put(0, u"Ada Surveyor");
    put(66, u"Field Crew 7");
    ASSERT_TRUE(sys::RegSetBinary(sys::Hive::CurrentUser, u"ControlPanel\\Owner", u"Owner", record.data(),
                                  record.size()));
    g_leds.clear();
    sys::test::SetOptionalFunction("coredll.dll", "NLedSetDevice", reinterpret_cast<void*>(&RecordLed));

    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    HWND box = about.GetSafeHwnd();
    ShowWindow(box, SW_SHOW);
    auto text = [&](int id) { return Narrow(GetWindowTextString(GetDlgItem(box, id))); };
    EXPECT_EQ(Narrow(GetWindowTextString(box)), "About Zarnip");
    EXPECT_EQ(text(IDC_ABOUT_VERSION), "7.1.2.3");
    EXPECT_EQ(text(IDC_ABOUT_OWNER), "Ada Surveyor");
    EXPECT_EQ(text(IDC_ABOUT_ORGANIZATION), "Field Crew 7");
    std::string credits;
    for (UINT id : {7000u, 7004u, 7002u, 7003u, 7001u})
        credits += Narrow(res::LoadStringText(res::GetProgramModule(), id));
    EXPECT_EQ(text(IDC_ABOUT_CREDITS), credits);
    size_t at = 0;
    for (const char* notice : {"Copyright", "Qt 6", "Duktape", "FreeType", "libcurl", "VBScript", "libjpeg-turbo",
                               "Independent JPEG Group"}) {
        size_t found = credits.find(notice, at);
        EXPECT_NE(found, std::string::npos) << notice;
        at = found == std::string::npos ? at : found;
    }
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(box, IDC_ABOUT_SYSTEM_INFO)));
    for (int id : {IDC_ABOUT_ICON, IDC_ABOUT_LED0})
        EXPECT_TRUE(SendMessage(GetDlgItem(box, id), STM_GETICON, 0, 0)) << id;
    EXPECT_TRUE(SendMessage(GetDlgItem(box, IDC_ABOUT_LED1), STM_GETIMAGE, IMAGE_BITMAP, 0));

    // Six clicks on LED 0, three on LED 1.
    const size_t beeps = win::BeepLog().size();
    auto click = [&](int id) {
        SendMessage(box, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    };
    for (int i = 0; i < 6; ++i) click(IDC_ABOUT_LED0);
    for (int i = 0; i < 3; ++i) click(IDC_ABOUT_LED1);
    ASSERT_EQ(g_leds.size(), 9u);
    const int states[9] = {0, 1, 2, 3, 4, 0, 0, 1, 0};
    for (size_t i = 0; i < 9; ++i) {
        const bool led0 = i < 6;
        EXPECT_EQ(g_leds[i].ledNum, led0 ? 0u : 1u) << i;
        EXPECT_EQ(g_leds[i].offOnBlink, states[i]) << i;
        EXPECT_EQ(g_leds[i].totalCycleTime, led0 ? 500 : 0) << i;
        EXPECT_EQ(g_leds[i].onTime, led0 ? 100 : 0) << i;
        EXPECT_EQ(g_leds[i].offTime, led0 ? 400 : 0) << i;
    }
    EXPECT_EQ(win::BeepLog().size() - beeps, 6u) << "a beep for each click on LED 0, none for LED 1";
    EXPECT_EQ(CAboutDlg::GetLedCounter(0), 1);

    // A tap on the program icon shows the splash, unless splashes are off.
    SetSplashEnabled(false);
    win::input::TapAt(GetDlgItem(box, IDC_ABOUT_ICON), {2, 2});
    Pump();
    EXPECT_EQ(GetSplashWindow(), nullptr);
    SetSplashEnabled(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // not a double tap
    win::input::TapAt(GetDlgItem(box, IDC_ABOUT_ICON), {2, 2});
    Pump();
    EXPECT_NE(GetSplashWindow(), nullptr);
    DestroyWindow(GetSplashWindow());
    about.DestroyWindow();
}

}  // namespace
