// The Field Browser over a layer list of the test's own.
#include <gtest/gtest.h>

#include "formats/dbf/dbf_table.h"
#include "map/layers/layer_list.h"
#include "map/layers/shape_layer.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "resources/zres.h"
#include "shell/forms/field_browser.h"
#include "tests/shell/forms_fixture.h"

namespace {

// An image layer: not a feature layer, never listed.
class CImageStandIn : public CLayer {
public:
    CImageStandIn() {
        SetKind(LayerKind::Bitmap);
        SetDisplayClass(DisplayClass::Image);
    }
    bool OpenDataset(const WString&) override { return true; }
    void CloseDataset() override {}
    void OnViewChanged() override {}
    bool Draw(HDC, HDC, double) override { return true; }
};

std::string ItemText(HWND tree, HTREEITEM item) {
    WChar buffer[64] = {};
    TVITEM tv;
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = 64;
    SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv));
    return Narrow(buffer);
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// "layer: field field ..." per root item.
std::vector<std::string> Outline(HWND tree) {
    std::vector<std::string> lines;
    for (HTREEITEM root = Next(tree, nullptr, TVGN_ROOT); root;
         root = Next(tree, root, TVGN_NEXT)) {
        std::string line = ItemText(tree, root) + ":";
        for (HTREEITEM f = Next(tree, root, TVGN_CHILD); f; f = Next(tree, f, TVGN_NEXT))
            line += " " + ItemText(tree, f);
        lines.push_back(line);
    }
    return lines;
}

class FieldBrowser : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        ASSERT_EQ(std::system(("shpcreate '" + Host("Docs/trees") + "' point").c_str()), 0);
        ASSERT_EQ(std::system(("shpadd '" + Host("Docs/trees") + "' 1 2").c_str()), 0);
        CDbfTable t;
        ASSERT_TRUE(t.Create(u"\\Docs\\trees.dbf", kDbfReadWrite));
        ASSERT_GE(DbfAddField(t.Table(), u"NAME", 'C', 10, 0), 0);
        ASSERT_GE(DbfAddField(t.Table(), u"HEIGHT", 'N', 5, 1), 0);
        ASSERT_GE(DbfAddField(t.Table(), u"NOTES", 'M', 10, 0), 0);
        ASSERT_GE(DbfAddField(t.Table(), u"GIRTH", 'F', 8, 2), 0);
        std::vector<uint8_t> rec(static_cast<size_t>(DbfGetRecordLength(t.Table())), ' ');
        ASSERT_TRUE(DbfWriteRecord(t.Table(), kDbfAppend, rec.data()));
        t.Close();
        auto owned = std::make_unique<CShapeLayer>();
        ASSERT_TRUE(owned->Open(u"\\Docs\\trees.shp"));
        CShapeLayer* shapes = layers_.AddTail(std::move(owned));
        layers_.AddTail(std::make_unique<CImageStandIn>());
        shapes_ = shapes;
    }
    void TearDown() override {
        layers_.RemoveAll();
        FormsTest::TearDown();
    }
    // Runs the dialog; `user` acts on the tree and returns whether to press OK.
    bool Browse(CLayerList& layers, CFeatureLayer*& layer, int& field,
                const std::function<bool(HWND tree)>& user) {
        win::PushModalHook([&](HWND dialog) {
            if (user(GetDlgItem(dialog, IDC_FIELD_TREE)))
                win::PressCaptionOk(dialog);
            else
                win::PressCaptionClose(dialog);
        });
        return BrowseField(nullptr, &layers, layer, field);
    }

    CLayerList layers_;
    CFeatureLayer* shapes_ = nullptr;
};

TEST_F(FieldBrowser, OnlyFeatureLayersAndTheirTextAndNumberFields) {
    CFeatureLayer* layer = nullptr;
    int field = 7;
    std::vector<std::string> outline;
    ASSERT_TRUE(Browse(layers_, layer, field, [&](HWND tree) {
        outline = Outline(tree);
        // The user picks the GIRTH-less second field: HEIGHT.
        HTREEITEM root = Next(tree, nullptr, TVGN_ROOT);
        win::TreeViewUserSelect(tree, Next(tree, Next(tree, root, TVGN_CHILD), TVGN_NEXT));
        return true;
    }));
    EXPECT_EQ(outline, (std::vector<std::string>{"trees.shp: NAME HEIGHT"}));
    EXPECT_EQ(layer, shapes_);
    EXPECT_EQ(field, 1);

    // The layer item itself: field -1. Cancel changes nothing.
    ASSERT_TRUE(Browse(layers_, layer, field, [&](HWND tree) {
        win::TreeViewUserSelect(tree, Next(tree, nullptr, TVGN_ROOT));
        return true;
    }));
    EXPECT_EQ(layer, shapes_);
    EXPECT_EQ(field, -1);
    field = 0;
    EXPECT_FALSE(Browse(layers_, layer, field, [&](HWND tree) {
        win::TreeViewUserSelect(tree, Next(tree, nullptr, TVGN_ROOT));
        return false;
    }));
    EXPECT_EQ(field, 0);
}

TEST_F(FieldBrowser, AnEmptyMapGivesAnEmptyTreeAndNoLayer) {
    CLayerList empty;
    CFeatureLayer* layer = nullptr;
    int field = -1;
    std::vector<std::string> outline{"x"};
    ASSERT_TRUE(Browse(empty, layer, field, [&](HWND tree) {
        outline = Outline(tree);
        return true;
    }));
    EXPECT_TRUE(outline.empty());
    EXPECT_EQ(layer, nullptr);
    EXPECT_EQ(field, -1);
}

}  // namespace
