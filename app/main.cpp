// The program: a plain host frame with a command bar (View menu), the map
// view and a status bar of four panes (text, coordinates, scale, mode), on
// the Qt display. Opens the map document named on the command line, else the
// bundled sample map.
//
//   zarnip [--screenshot PNG] [MAP.znm]
//
// --screenshot saves the frame as shown once the map is drawn (the format
// by the file's extension), prints where the view lies in it, then exits.
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "map/layers/bookmarks.h"
#include "map/layers/map_doc.h"
#include "map/layers/internet_layer.h"
#include "map/layers/raster_layer.h"
#include "map/layers/shape_layer.h"
#include "map/services/main_window.h"
#include "map/view/map_view.h"
#include "platform/fs/fs.h"
#include "platform/qt/display.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/menu.h"
#include "platform/win/window.h"

namespace {

constexpr WORD kFrameMenu = 27000;
constexpr int kStatusId = 0xE801;
constexpr int kViewId = 0xE900;

class Frame : public IMainWindow {
public:
    HWND hwnd = nullptr;
    HWND bar = nullptr;
    HWND status = nullptr;
    CMapView* view = nullptr;
    CBookmarkList bookmarks;

    void SetPane(int pane, const WString& text) {
        if (status) SendMessage(status, SB_SETTEXT, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text.c_str()));
    }
    void SetStatusText(const WChar* text) override {
        WString t = text ? WString(text) : WString();
        if (t.size() > kStatusTextMax) t.resize(kStatusTextMax);
        SetPane(0, t);
    }
    void SetModeIndicator(int index) override {
        static const WChar* letters[] = {u"Z", u"V", u"H"};
        if (index >= 0 && index < 3) SetPane(3, letters[index]);
    }
    void SetScaleText(unsigned scale) override { SetPane(2, scale ? text::Format(u"1:%u", scale) : WString()); }
    void ShowStatusBar(bool show) override { ShowWindow(status, show ? SW_SHOW : SW_HIDE); }
    bool IsStatusBarShown() override { return IsWindowVisible(status); }
    void RefreshView() override {
        if (view) InvalidateRect(view->GetSafeHwnd(), nullptr, false);
    }
    void SetToolButtonImage(UINT) override {}
    void RefreshEditToolbar() override {}
    void FireCommandEvent(UINT, int) override {}
    int RunBoundKeyCommand(int, int) override { return 0; }
    HWND GetMainStatusBar() override { return status; }
    CBookmarkList& GetBookmarks() override { return bookmarks; }
    bool GetViewExtent(CDoubleRect& extent) override {
        if (!view) return false;
        extent = view->GetExtent();
        return true;
    }
    LRESULT OnGpsPosition(GpsPosition*) override { return 0; }

    void Layout() {
        RECT r;
        GetClientRect(hwnd, &r);
        int top = bar ? CommandBar_Height(bar) : 0;
        RECT sr{};
        if (status) {
            SendMessage(status, WM_SIZE, 0, 0);
            GetWindowRect(status, &sr);
        }
        int bottom = r.bottom - (sr.bottom - sr.top);
        if (view)
            SetWindowPos(view->GetSafeHwnd(), nullptr, 0, top, r.right, bottom - top, SWP_NOZORDER);
    }
};

Frame g_frame;

LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SIZE:
            g_frame.Layout();
            return 0;
        case WM_INITMENUPOPUP: {
            HMENU menu = reinterpret_cast<HMENU>(wParam);
            if (!g_frame.view) break;
            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                UINT id = GetMenuItemID(menu, i);
                if (id == static_cast<UINT>(-1) || id == 0) continue;
                bool on = g_frame.view->QueryCommand(id).m_bEnabled;
                EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
            }
            return 0;
        }
        case WM_COMMAND:
            if (g_frame.view && g_frame.view->OnCmdMsg(LOWORD(wParam), HIWORD(wParam), nullptr))
                return 0;
            break;
        case WM_SETFOCUS:
            if (g_frame.view) SetFocus(g_frame.view->GetSafeHwnd());
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

std::string SampleMap(const char* argv0) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string(argv0);
    dir = dir.substr(0, dir.rfind('/'));
    for (const char* up : {"/../../data/Samples/Sample.znm", "/../data/Samples/Sample.znm",
                           "/data/Samples/Sample.znm"}) {
        std::string p = dir + up;
        if (access(p.c_str(), R_OK) == 0) return p;
    }
    return {};
}

void RunUntilIdle(znqt::Display& display) {
    MSG m;
    for (int rounds = 0; rounds < 3; ++rounds) {
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            rounds = 0;
            if (m.message == WM_QUIT) return;
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
        display.PresentNow();
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string screenshot, mapPath;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) screenshot = argv[++i];
        else mapPath = argv[i];
    }
    std::string error;
    std::unique_ptr<znqt::Display> display = znqt::Display::Start(argc, argv, &error);
    if (!display) {
        std::fprintf(stderr, "zarnip: %s\n", error.c_str());
        return 1;
    }
    if (mapPath.empty()) mapPath = SampleMap(argv[0]);
    SetMainWindowServices(&g_frame);
    RegisterShapeLayerClass();
    RegisterRasterLayerClasses();
    RegisterInternetLayerClass();

    WNDCLASS wc;
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = u"ZarnipFrame";
    RegisterClass(wc);
    // The frame fills the handheld's screen, in the model's pixels (twice the
    // logical size at scale 2).
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    g_frame.hwnd = CreateWindowEx(0, u"ZarnipFrame", u"Zarnip", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                  screenWidth, screenHeight, nullptr, nullptr, nullptr, nullptr);
    g_frame.bar = CommandBar_Create(res::GetProgramModule(), g_frame.hwnd, 1);
    CommandBar_InsertMenubar(g_frame.bar, res::GetProgramModule(), kFrameMenu, 0);
    g_frame.status = CreateWindowEx(0, STATUSCLASSNAME, u"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                    g_frame.hwnd, reinterpret_cast<HMENU>(static_cast<uintptr_t>(kStatusId)),
                                    nullptr, nullptr);
    int parts[4] = {70 * screenWidth / 240, 150 * screenWidth / 240, 215 * screenWidth / 240, -1};
    SendMessage(g_frame.status, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));

    CMapDoc doc;
    bool opened = !mapPath.empty() && doc.OnOpenDocument(fs::DevicePathFromHost(mapPath));
    if (!opened) doc.OnNewDocument();
    if (opened) {
        std::string name = mapPath.substr(mapPath.rfind('/') + 1);
        SetWindowText(g_frame.hwnd, (u"Zarnip - " + text::FromUtf8(name)).c_str());
    }

    auto view = std::make_unique<CMapView>();
    g_frame.view = view.get();
    view->SetDocument(&doc);
    doc.AddView(view.get());
    RECT client;
    GetClientRect(g_frame.hwnd, &client);
    view->Create(g_frame.hwnd, client, kViewId);
    g_frame.Layout();
    view->OnInitialUpdate();
    ShowWindow(g_frame.hwnd, SW_SHOW);
    SetFocus(view->GetSafeHwnd());

    int code = 0;
    if (!screenshot.empty()) {
        RunUntilIdle(*display);
        QImage shot = display->Snapshot(g_frame.hwnd);
        if (shot.isNull() || !shot.save(QString::fromStdString(screenshot))) code = 1;
        // Where the map view lies in the picture.
        POINT offset{};
        win::GetWindowSurface(view->GetSafeHwnd(), &offset);
        std::printf("view %ld %ld %d %d\n", static_cast<long>(offset.x), static_cast<long>(offset.y),
                    view->GetClientWidth(), view->GetClientHeight());
    } else {
        MSG m;
        while (GetMessage(&m, nullptr, 0, 0) > 0) {
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
    }
    SetMainWindowServices(nullptr);
    g_frame.view = nullptr;
    doc.RemoveView(view.get());
    view.reset();
    if (IsWindow(g_frame.hwnd)) DestroyWindow(g_frame.hwnd);
    return code;
}
