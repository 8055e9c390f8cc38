// Layer objects over real shapefile layers: members, the layer's recordset
// (edits through it in edit mode read back by ogrinfo, pending edits written
// when the layer closes), and objects kept after their layer has closed.
#include "data/data_world.h"
#include "formats/shape/shape_pack.h"
#include "map/layers/shape_layer.h"
#include "script/map/script_layer.h"
#include "tests/support/run_command.h"

namespace scripttest {
namespace {

class QuietPack : public IPackUi {
public:
    int MessageBox(const WString&, UINT) override { return 1; }
    void BeginProgress(const WString&, int, int, const WString&) override {}
    bool StepProgress() override { return true; }
    void EndProgress() override {}
    void Beep(UINT) override {}
};

class LayerObject : public DataWorld {
protected:
    void SetUp() override {
        DataWorld::SetUp();
        for (const char* ext : {".shp", ".shx", ".dbf"})
            Fixture(std::string("script/find20") + ext, std::string("data/find20") + ext);
        layer_ = std::make_unique<CShapeLayer>();
        layer_->SetPackUi(&pack_);
        ASSERT_TRUE(layer_->Open(u"\\data\\find20.shp"));
        layer_->m_canEdit = true;
        AddItem(u"Lyr", layer_->GetScriptObject(false));
    }
    void TearDown() override {
        if (layer_) layer_->Close();
        layer_.reset();
        DataWorld::TearDown();
    }
    QuietPack pack_;
    std::unique_ptr<CShapeLayer> layer_;
};

TEST_F(LayerObject, MembersAndTheLayersRecordset) {
    auto log = Run(uR"VB(
Log.Write Lyr.Name & "|" & Lyr.FilePath & "|" & Lyr.LayerType & "|" & Lyr.LayerFormat & "|" & Lyr.CanEdit
Set rs = Lyr.Records
Log.Write (rs Is Lyr.Records) & " " & rs.RecordCount & " " & rs.Find("[N] = 5", Nothing, 1)
Log.Write rs.Fields("NAME") & " " & rs.Fields.Shape.x
Lyr.Properties("featuremoving") = True : Lyr.Properties("VertexMoving") = 1
Log.Write Lyr.Properties("FeatureMoving") & " " & Lyr.Properties("VERTEXMOVING")
On Error Resume Next
rs.Close : Log.Write Err.Number : Err.Clear
rs.Open "\data\find20.shp" : Log.Write Err.Number : Err.Clear
v = Lyr.Properties("Moving") : Log.Write Err.Number : Err.Clear
ok = 7 : ok = Lyr.Edit(0) : Log.Write Err.Number & " " & ok : Err.Clear
ok = 7 : ok = Lyr.Edit(21) : Log.Write Err.Number & " " & ok : Err.Clear
r = Lyr.Escape() : Log.Write Hex(Err.Number) : Err.Clear
rs.Fields("NAME") = "x" : Log.Write Err.Number : Err.Clear
Set e = Lyr.Extent : Log.Write e.Left & " " & e.Bottom & " " & e.Right & " " & e.Top
)VB");
    // Only a true Boolean turns a permission on (1 does not).
    EXPECT_EQ(log, (std::vector<std::string>{"find20.shp|\\data\\find20.shp|0|SHAPEFILE|True",
                                             "True 20 5", "Echo 5", "True False", "70", "70",
                                             "5", "5 7", "5 7", "80004005", "70", "1 1 20 5"}));
}

// Edits through the layer's recordset in edit mode reach the file; one left
// pending is written when the layer closes, and the objects a script kept
// fail from then on.
TEST_F(LayerObject, EditsInEditModeAndObjectsKeptPastTheLayer) {
    ASSERT_TRUE(layer_->SetEditMode(true));
    auto log = Run(uR"VB(
Set rs = Lyr.Records
rs.MoveFirst : rs.Fields("NAME") = "first" : rs.Update
rs.MoveLast : rs.Fields("NAME") = "pending"
Set Kept = rs
)VB");
    EXPECT_TRUE(log.empty());
    ComPtr<IDispatch> object(layer_->GetScriptObject(true));
    layer_->Close();
    layer_.reset();
    AddItem(u"Old", object.Get());
    log = Run(uR"VB(
On Error Resume Next
n = Old.Name : Log.Write Hex(Err.Number) : Err.Clear
Set r = Old.Records : Log.Write Hex(Err.Number) : Err.Clear
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"80004005", "80004005"}));
    const std::string info =
        testsupport::RunCommand("ogrinfo -al -q '" + root_ + "/data/find20.shp' 2>&1");
    EXPECT_NE(info.find("NAME (String) = first\n"), std::string::npos) << info;
    EXPECT_NE(info.find("NAME (String) = pending\n"), std::string::npos) << info;
    EXPECT_EQ(info.find("Alpha"), std::string::npos) << info;
}

}  // namespace
}  // namespace scripttest
