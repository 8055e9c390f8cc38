// The program: the main frame around the map view on the Qt display, made
// through the single-document template. Opens the map document named on the
// command line, else starts with an empty map.
//
//   zarnip [--no-splash] [MAP]
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/test_hooks.h"
#include "map/layers/internet_layer.h"
#include "map/layers/map_doc.h"
#include "map/layers/raster_layer.h"
#include "map/layers/shape_layer.h"
#include "map/view/map_view.h"
#include "platform/fs/fs.h"
#include "platform/qt/display.h"
#include "platform/win/doc_template.h"
#include "shell/frame/main_frame.h"

int main(int argc, char** argv) {
    std::string mapPath;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] == '-') continue;
        if (!mapPath.empty()) mapPath += ' ';
        mapPath += argv[i];
    }
    std::string error;
    std::unique_ptr<znqt::Display> display = znqt::Display::Start(argc, argv, &error);
    if (!display) {
        std::fprintf(stderr, "zarnip: %s\n", error.c_str());
        return 1;
    }
    RegisterShapeLayerClass();
    RegisterRasterLayerClasses();
    RegisterInternetLayerClass();

    int code = 0;
    {
        win::App app;
        app.AddDocTemplate(std::make_unique<win::SingleDocTemplate>(
            128, [] { return std::make_unique<CMapDoc>(); }, [] { return std::make_unique<CMainFrame>(); },
            [](win::Document* doc) {
                auto view = std::make_unique<CMapView>();
                view->SetDocument(static_cast<CMapDoc*>(doc));
                return view;
            }));
        if (mapPath.empty())
            app.ProcessShellCommand(win::ShellCommand::FileNew, {});
        else
            app.ProcessShellCommand(win::ShellCommand::FileOpen, fs::DevicePathFromHost(mapPath));
        win::FrameWnd* frame = app.GetMainFrame();
        if (!frame) {
            std::fprintf(stderr, "zarnip: the main window could not be made\n");
            return 1;
        }
        HWND view = frame->GetActiveView() ? frame->GetActiveView()->GetSafeHwnd() : nullptr;
        bool hooksOk = apptest::RunAfterFirstPaint(*display, frame->GetSafeHwnd(), view);
        code = app.Run();
        if (!hooksOk) code = 1;
    }
    return code;
}
