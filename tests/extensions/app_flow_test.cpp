// The program's flow with the real extension list: loaded at the frame's
// creation, behind the command bars, in the message loop, and at shutdown
// after the map document's layers are closed.
#include <gtest/gtest.h>

#include <cstring>

#include "map/layers/layer_list.h"
#include "map/layers/map_doc.h"
#include "map/view/map_view.h"
#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "shell/app/map_app.h"
#include "shell/frame/command_bars.h"
#include "shell/frame/main_frame.h"
#include "tests/extensions/ext_fixture.h"

namespace {

std::vector<UINT> g_delivered;
LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= 0x8700 && msg < 0x8800) g_delivered.push_back(msg);
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST_F(ExtensionTest, TheProgramLoadsUsesAndTerminatesItsModules) {
    Install({"testlayer", "testgps"});
    Put("Docs/roads.tlyr", "dataset");
    SetShellServices(nullptr);  // the application installs its own
    CExtensions list;
    {
        CMapApp app;
        app.m_extensions = &list;
        list.SetLayerListSource([&app]() -> CLayerList* {
            CMapDoc* doc = app.GetMapDocument();
            return doc ? &doc->GetLayers() : nullptr;
        });
        app.UseProgramDocTemplate();
        const char* words[] = {"zarnip", "--no-splash"};
        app.SetCommandLine(2, words);
        ASSERT_TRUE(app.InitInstance());
        // Loaded while the frame was made, in name order.
        ASSERT_EQ(list.GetCount(), 2);
        EXPECT_EQ(list.GetAt(1)->GetName(), u"Test Layer");
        EXPECT_TRUE(app.GetOptions()->m_extensionsLoaded());

        // A dataset of the module opens as an extension layer of the map.
        CMapDoc* doc = app.GetMapDocument();
        ASSERT_NE(doc, nullptr);
        CLayer* layer = nullptr;
        ASSERT_TRUE(doc->AddLayerFromPath(u"\\Docs\\roads.tlyr", &layer));
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->GetKind(), LayerKind::Extension);
        const uint32_t handle = layer->GetExtensionHandle();
        const int layerIndex = doc->GetLayers().FindByHandle(handle) ? 0 : -1;
        ASSERT_EQ(doc->GetLayers().GetAt(layerIndex), layer);

        // Drawn by the program's map view (a dynamic layer, painted on the
        // window each time): the window equals the same window without the
        // layer plus the module's rectangles drawn directly with the
        // platform at the layer's transform.
        CMapView* view = CurrentMapView;
        ASSERT_NE(view, nullptr);
        view->ZoomToExtent(CDoubleRect(9.5, 49.5, 13.5, 53.5), false, 1.0);
        auto drawWindow = [&](bool shown) {
            layer->SetVisible(shown);
            view->OnRefresh();
            win::input::DrainQueue();
            int w = 0, h = 0, stride = 0;
            POINT offset{};
            const uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(view->GetSafeHwnd(), &offset), &w, &h, &stride);
            RECT client{};
            GetClientRect(view->GetSafeHwnd(), &client);
            std::vector<uint32_t> out;
            for (int y = 0; px && y < client.bottom; ++y) {
                const uint32_t* row = px + (y + offset.y) * (stride / 4) + offset.x;
                out.insert(out.end(), row, row + client.right);
            }
            return std::make_pair(out, static_cast<int>(client.right));
        };
        auto [without, width] = drawWindow(false);
        auto [with, sameWidth] = drawWindow(true);
        ASSERT_EQ(sameWidth, width);
        ASSERT_GT(width, 0);
        ASSERT_EQ(with.size(), without.size());
        const int height = static_cast<int>(with.size()) / width;
        HDC dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP direct = CreateDIBSection(nullptr, &info, 0, &bits, nullptr, 0);
        ASSERT_NE(bits, nullptr);
        HGDIOBJ oldBitmap = SelectObject(dc, reinterpret_cast<HGDIOBJ>(direct));
        std::memcpy(bits, without.data(), without.size() * 4);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HGDIOBJ oldPen = SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen));
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        const double records[3][4] = {{10, 50, 11, 51}, {12, 52, 13, 53}, {10.5, 50.5, 12.5, 52.5}};
        for (const auto& r : records) {
            const POINT topLeft = layer->MapToDevice(r[0], r[3]);
            const POINT bottomRight = layer->MapToDevice(r[2], r[1]);
            Rectangle(dc, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBitmap);
        DeleteObject(pen);
        DeleteDC(dc);
        int differing = 0, changed = 0;
        const uint32_t* directPx = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < with.size(); ++i) {
            differing += (with[i] & 0xFFFFFF) != (directPx[i] & 0xFFFFFF);
            changed += (with[i] & 0xFFFFFF) != (without[i] & 0xFFFFFF);
        }
        DeleteObject(direct);
        EXPECT_EQ(differing, 0);
        EXPECT_GT(changed, 300);

        // The bars over the real list: the Find button's arrow, the names of
        // the About entries, the layer tool with its index, a copy of the
        // extent and the layer's handle, and the About box.
        auto* frame = dynamic_cast<CMainFrame*>(app.GetMainFrame());
        ASSERT_NE(frame, nullptr);
        CCommandBars* bars = frame->GetCommandBars();
        ASSERT_NE(bars, nullptr);
        CToolBarExt* browse = bars->FindCommandBarById(kBrowseBarId)->m_bar;
        EXPECT_NE(browse->GetButtonStyle(browse->CommandToIndex(1028)) & TBSTYLE_DROPDOWN, 0u);
        IBarExtensions* barExtensions = app.GetBarExtensions();
        ASSERT_NE(barExtensions, nullptr);
        EXPECT_EQ(barExtensions->GetName(0), u"testgps.so");
        EXPECT_EQ(barExtensions->GetName(1), u"Test Layer");
        const auto layers = barExtensions->GetLayers(1);
        ASSERT_EQ(layers.size(), 1u);
        EXPECT_EQ(layers[0].name, u"Test Records");
        EXPECT_TRUE(barExtensions->GetLayers(0).empty());
        CExtension* module = list.GetAt(1);
        ClearModuleLog(module);
        EXPECT_EQ(bars->RunExtensionTool(1 | (1 << 8) | (static_cast<uintptr_t>(layers[0].index) << 16)), 42);
        const std::vector<std::string> tools = LinesStartingWith(ModuleLog(module), "testlayer Tool");
        ASSERT_EQ(tools.size(), 1u);
        const std::string expected = "testlayer Tool 1 " + text::ToUtf8(text::Format(u"%08X", handle)) + " 0 ";
        EXPECT_EQ(tools[0].substr(0, expected.size()), expected);
        // The Help menu as it opens from its button: the modules' names from
        // 2400, in load order; choosing one shows that module's About box.
        std::vector<std::pair<UINT, WString>> help;
        win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND) {
            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                HMENU sub = GetSubMenu(menu, i);
                for (int j = 0; sub && j < GetMenuItemCount(sub); ++j) {
                    UINT id = GetMenuItemID(sub, j);
                    if (id < kFirstExtensionAbout || id > kLastExtensionAbout) continue;
                    WChar name[128] = {};
                    GetMenuString(sub, id, name, 128, MF_BYCOMMAND);
                    help.emplace_back(id, name);
                }
            }
            return static_cast<UINT>(kFirstExtensionAbout);
        });
        CToolBarExt* main = bars->FindCommandBarById(kMainBarId)->m_bar;
        const int helpButton = main->CommandToIndex(57670);
        ASSERT_GE(helpButton, 0);
        EXPECT_EQ(bars->ShowButtonMenu(57670, helpButton, main->GetItemRect(helpButton), main),
                  static_cast<UINT>(kFirstExtensionAbout));
        win::SetPopupMenuResponder(nullptr);
        EXPECT_EQ(help, (std::vector<std::pair<UINT, WString>>{{kFirstExtensionAbout, u"testgps.so"},
                                                                {kFirstExtensionAbout + 1, u"Test Layer"}}));
        EXPECT_TRUE(bars->OnCmdMsg(kFirstExtensionAbout + 1, 0, nullptr));
        EXPECT_NE(ModuleLog(module).find("About 1"), std::string::npos);

        // The loop: the module's hook takes its message; the program never
        // sees it.
        WNDCLASS wc;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = u"ExtLoopTarget";
        RegisterClass(wc);
        HWND target = CreateWindowEx(0, u"ExtLoopTarget", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                     nullptr);
        g_delivered.clear();
        PostMessage(target, 0x8765, 0, 0);
        PostMessage(target, 0x8766, 0, 0);
        DestroyWindow(app.GetMainWindow());
        PostQuitMessage(0);
        // Run's loop ends on the quit and shuts the program down.
        app.Run();
        EXPECT_EQ(g_delivered, std::vector<UINT>{0x8766});
        DestroyWindow(target);
    }
    // The open layer was closed before its module was told to terminate;
    // terminations in load order.
    std::vector<std::string> order;
    for (const std::string& line : LinesStartingWith(CallLog(), "test"))
        if (line.find("Close") != std::string::npos || line.find("Terminate") != std::string::npos)
            order.push_back(line.substr(0, line.find(' ', 10)));
    EXPECT_EQ(order, (std::vector<std::string>{"testlayer Close", "testgps Terminate", "testlayer Terminate"}));
    EXPECT_TRUE(list.IsTerminated());
}

}  // namespace
