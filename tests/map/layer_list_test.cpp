// The layer list: union extents, edit layers, lookups by name and handle.
#include "map/layers/layer_list.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "tests/map/map_doubles.h"

namespace {

class LayerList : public MapTest {
protected:
    CTestShapeLayer* Shape(const char* name, std::vector<std::string> points) {
        MakePointShapefile("d", name, points);
        auto* layer = new CTestShapeLayer();
        EXPECT_TRUE(layer->Open(text::FromUtf8(std::string("\\d\\") + name + ".shp").c_str()));
        return layer;
    }
};

TEST_F(LayerList, FullExtent) {
    CLayerList list;
    CDoubleRect e;
    EXPECT_EQ(list.GetFullExtent(e, false), 0);
    EXPECT_EQ(e, CDoubleRect(0, 0, -1, -1));

    CTestShapeLayer* a = Shape("a", {"1 2", "3 4"});
    CTestShapeLayer* empty = Shape("empty", {});
    CTestShapeLayer* single = Shape("single", {"7 7"});  // a null extent
    CTestImageLayer::s_extent = CDoubleRect(-5, 0, 0, 20);
    auto* image = new CTestImageLayer(LayerKind::Bitmap);
    image->SetVisible(false);
    list.AddTail(std::unique_ptr<CLayer>(a));
    list.AddTail(std::unique_ptr<CLayer>(empty));
    list.AddTail(std::unique_ptr<CLayer>(single));
    list.AddTail(std::unique_ptr<CLayer>(image));
    list.GetGrid().SetVisible(true);
    list.GetTracklog().SetExtent(CDoubleRect(-100, -100, 100, 100));

    struct {
        bool visibleOnly;
        int category;
        int used;
        CDoubleRect extent;
    } rows[] = {
        {false, -1, 2, CDoubleRect(-5, 0, 3, 20)},
        {true, -1, 1, CDoubleRect(1, 2, 3, 4)},
        {false, 1, 1, CDoubleRect(-5, 0, 0, 20)},
        {false, 0, 1, CDoubleRect(1, 2, 3, 4)},
        {true, 1, 0, CDoubleRect(0, 0, -1, -1)},
    };
    for (const auto& r : rows) {
        const int used = r.category < 0 ? list.GetFullExtent(e, r.visibleOnly)
                                        : list.GetFullExtent(e, r.visibleOnly, static_cast<LayerCategory>(r.category));
        EXPECT_EQ(used, r.used);
        EXPECT_EQ(e, r.extent);
    }
}

TEST_F(LayerList, EditLayers) {
    CLayerList list;
    CTestShapeLayer* points = Shape("p", {"1 1"});
    CTestShapeLayer* points2 = Shape("q", {"2 2"});
    points->SetName(u"Wells");
    points2->SetName(u"Springs");
    auto* image = new CTestImageLayer(LayerKind::Bitmap);
    auto* extension = new CTestExtensionLayer();
    list.AddTail(std::unique_ptr<CLayer>(points));
    list.AddTail(std::unique_ptr<CLayer>(points2));
    list.AddTail(std::unique_ptr<CLayer>(image));
    list.AddTail(std::unique_ptr<CLayer>(extension));

    // Classes other than 0, 1 and 2 change nothing.
    EXPECT_EQ(list.SetEditLayer(image), nullptr);
    EXPECT_EQ(list.SetEditLayer(extension), nullptr);
    EXPECT_TRUE(MessageTexts().empty());

    points->SetVisible(false);
    EXPECT_EQ(list.SetEditLayer(points), nullptr);
    EXPECT_EQ(list.GetEditLayer(DisplayClass::Point), points);
    EXPECT_TRUE(points->IsVisible());
    list.SetCurrentFeature(points, 0);

    // The same layer again: off, then on.
    EXPECT_EQ(list.SetEditLayer(points), points);
    EXPECT_EQ(points->editCalls, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(list.GetCurrentFeatureLayer(), nullptr);

    // Switching off fails: 8018, the new layer still takes the slot.
    CTestShapeLayer::s_failEditOff = true;
    EXPECT_EQ(list.SetEditLayer(points2), points);
    EXPECT_EQ(list.GetEditLayer(DisplayClass::Point), points2);
    // Switching on fails: 8022, the slot stays empty.
    CTestShapeLayer::s_failEditOff = false;
    CTestShapeLayer::s_failEditOn = true;
    EXPECT_EQ(list.SetEditLayer(points), points2);
    EXPECT_EQ(list.GetEditLayer(DisplayClass::Point), nullptr);
    EXPECT_EQ(MessageTexts(), (std::vector<WString>{
                                  u"Error changing to read-only mode on layer 'Wells'",
                                  u"Error enabling write mode on layer 'Wells'"}));
    auto log = win::MessageBoxLog();
    EXPECT_EQ(log[0].type & 0xF0, MB_ICONEXCLAMATION);
    EXPECT_EQ(log[1].type & 0xF0, MB_ICONERROR);
    EXPECT_EQ(Beeps(), (std::vector<UINT>{MB_ICONHAND, MB_ICONHAND}));

    // Removing the edit layer empties its slot without switching edit off;
    // closing the layer does that.
    CTestShapeLayer::s_failEditOn = false;
    list.SetEditLayer(points2);
    ASSERT_EQ(list.GetEditLayer(DisplayClass::Point), points2);
    EXPECT_TRUE(list.RemoveLayer(points2));
    EXPECT_EQ(list.GetEditLayer(DisplayClass::Point), nullptr);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_FALSE(list.RemoveLayer(&list.GetGrid()));
    EXPECT_EQ(list.ClearEditLayer(DisplayClass::Image), nullptr);
    EXPECT_EQ(list.ClearEditLayer(DisplayClass::Point), nullptr);
}

TEST_F(LayerList, FindByNameAndHandle) {
    CLayerList list;
    EXPECT_EQ(list.LayerFromItem(-2), &list.GetGrid());
    EXPECT_EQ(list.LayerFromItem(-1), &list.GetTracklog());
    EXPECT_EQ(list.LayerFromItem(0), nullptr);
    EXPECT_EQ(list.GetGrid().GetName(), u"Map Grid");
    EXPECT_EQ(list.GetTracklog().GetName(), u"GPS Tracklog");

    CTestExtensionLayer::s_nextHandle = 30;
    auto* ext30 = new CTestExtensionLayer();
    auto* ext31 = new CTestExtensionLayer();
    ext30->SetName(u"$0000001F$");  // a name that looks like a handle
    auto* named = new CTestImageLayer(LayerKind::Bitmap);
    named->SetName(u"$000001F$");  // nine characters
    auto* named11 = new CTestImageLayer(LayerKind::Bitmap);
    named11->SetName(u"$0000001F0$");
    list.AddTail(std::unique_ptr<CLayer>(named));
    list.AddTail(std::unique_ptr<CLayer>(ext30));
    list.AddTail(std::unique_ptr<CLayer>(named11));
    list.AddTail(std::unique_ptr<CLayer>(ext31));
    EXPECT_EQ(list.FindByName(u"$0000001F$"), 3);
    EXPECT_EQ(list.FindByName(u"$0000001f$"), 3);
    EXPECT_EQ(list.FindByName(u"$000001f$"), 0);
    EXPECT_EQ(list.FindByName(u"$0000001F0$"), 2);
    EXPECT_EQ(list.FindByName(u"$00000020$"), -1);
    EXPECT_EQ(list.FindByHandle(31), ext31);
    EXPECT_EQ(list.FindByHandle(0), nullptr);
    EXPECT_EQ(list.GetAt(4), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
}

}  // namespace
