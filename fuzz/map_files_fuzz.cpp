// Feeds arbitrary bytes to the readers of the map engine's files. The first
// byte chooses the file: 0 a map document read over a small point shapefile
// (and written again), 1 a layer file beside that shapefile (read by the
// shapefile layer as it opens, then its first LAYER's bookmarks alone), 2 the
// bookmarks file (read, then saved).
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/xml_node.h"
#include "map/layers/layer.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/services/main_window.h"
#include "platform/fs/fs.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"

namespace {

class FuzzMainWindow : public IMainWindow {
public:
    void SetStatusText(const WChar*) override {}
    void SetModeIndicator(int) override {}
    void SetScaleText(unsigned) override {}
    void ShowStatusBar(bool show) override { m_shown = show; }
    bool IsStatusBarShown() override { return m_shown; }
    void RefreshView() override {}
    void SetToolButtonImage(UINT) override {}
    void RefreshEditToolbar() override {}
    void FireCommandEvent(UINT, int) override {}
    int RunBoundKeyCommand(int, int) override { return 0; }
    HWND GetMainStatusBar() override { return nullptr; }
    CBookmarkList& GetBookmarks() override { return m_bookmarks; }
    bool GetViewExtent(CDoubleRect&) override { return false; }
    LRESULT OnGpsPosition(GpsPosition*) override { return 0; }

private:
    CBookmarkList m_bookmarks;
    bool m_shown = true;
};

FuzzMainWindow g_mainWindow;

void Copy(const std::string& from, const std::string& to) {
    std::string command = "cp '" + from + "' '" + to + "' 2>/dev/null";
    (void)std::system(command.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char tmpl[] = "/tmp/zn-mapfuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    std::string root = tmpl;
    ::mkdir((root + "/Docs").c_str(), 0755);
    ::mkdir((root + "/maps").c_str(), 0755);
    const std::string shapes = std::string(ZN_SOURCE_DIR) + "/tests/data/shape/";
    for (const char* ext : {"shp", "shx", "dbf"})
        Copy(shapes + "NullTest." + ext, root + "/maps/points." + ext);
    setenv("ZARNIP_ROOT", root.c_str(), 1);
    setenv("ZARNIP_DOCUMENTS", (root + "/Docs").c_str(), 1);
    fs::ResetConfiguration();
    SetMainWindowServices(&g_mainWindow);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int mode = data[0] % 3;
    const WChar* path = mode == 0   ? u"\\maps\\fuzz.znm"
                        : mode == 1 ? u"\\maps\\points.znl"
                                    : u"\\Docs\\ZarnipBookmarks.znx";
    if (!fs::WriteWholeFile(path, data + 1, size - 1)) return 0;
    if (mode == 0) {
        CMapDoc doc;
        if (doc.OnOpenDocument(path)) doc.WriteMapFile(u"\\maps\\out.znm");
        doc.OnCloseDocument();
    } else if (mode == 1) {
        // The shapefile layer reads its layer file as it opens.
        {
            CShapeLayer layer;
            if (layer.Open(u"\\maps\\points.shp")) {
                WString info;
                layer.GetInfoText(info);
            }
        }
        CXmlDocument document;
        if (document.LoadFile(path)) {
            CXmlNode* root = document.GetRoot();
            CXmlNode* layer = root && root->GetName() == u"LAYER" ? root
                              : root ? root->FindChild(u"LAYER", true) : nullptr;
            CBookmarkList bookmarks;
            bookmarks.ReadXml(layer, false);
            CDoubleRect start;
            bookmarks.GetExtentByName(u"*", start);
        }
    } else {
        CBookmarkList bookmarks;
        bookmarks.LoadGlobal();
        bookmarks.SaveGlobal(u"\\Docs\\out.znx");
    }
    g_mainWindow.GetBookmarks().RemoveBookmarks(true);
    win::ResetForTests();
    return 0;
}
