// Layer objects over real shapefile layers: members, the layer's recordset
// (edits through it in edit mode read back by ogrinfo, pending edits written
// when the layer closes), and objects kept after their layer has closed.
#include "data/data_world.h"
#include "formats/shape/shape_pack.h"
#include "map/layers/shape_layer.h"
#include "map/layers/layer_list.h"
#include "script/map/script_layer.h"
#include "script/map/script_layers.h"
#include "script/map/script_map_site.h"
#include "shell/app/app_services.h"
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
' The files the layer edits are not opened for writing by another recordset.
Set other = App.CreateAppObject("recordset")
On Error Resume Next
other.Open "\data\find20.shp", 2 : Log.Write Hex(Err.Number) : Err.Clear
other.Open "\data\find20.shp" : Log.Write Hex(Err.Number) & " " & other.RecordCount
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"80004005", "0 20"}));
    ComPtr<IDispatch> object(layer_->GetScriptObject(false));
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

// The program's side of the map objects: one layer list, redraws counted.
class TSite : public IScriptMapSite {
public:
    CLayerList* Layers() override { return &list; }
    HWND ViewWindow() override { return nullptr; }
    void RefreshView() override { ++refreshes; }
    void RecordDeleted(CLayer*, int) override {}
    CLayerList list;
    int refreshes = 0;
};

// Layer scripts see the system objects and the layers.
class LayersScripting : public IAppScripting {
public:
    explicit LayersScripting(std::function<void(IScriptHost*)> f) : register_(std::move(f)) {}
    void RegisterSystemObjects(IScriptHost* host) override { register_(host); }
    IDispatch* GetApplicationObject() override { return nullptr; }
    void LoadApplets(const WString&) override {}
    void DeleteFormsAndApplets() override {}

private:
    std::function<void(IScriptHost*)> register_;
};

class LayersObject : public DataWorld {
protected:
    void SetUp() override {
        DataWorld::SetUp();
        layers_ = ComPtr<CScriptLayers>(CScriptLayers::Create());
        scripting_ = std::make_unique<LayersScripting>([this](IScriptHost* host) {
            RegisterSystemObjects(*static_cast<CScriptHost*>(host));
            host->AddNamedItem(u"Layers", layers_.Get(), 2);
        });
        services_->SetAppScripting(scripting_.get());
        SetScriptMapSite(&site_);
        AddItem(u"Layers", layers_.Get());
        for (const char* name : {"a", "b", "c", "d"}) {
            for (const char* ext : {".shp", ".shx", ".dbf"})
                Fixture(std::string("script/find20") + ext, std::string("data/") + name + ext);
            Put(std::string("data/") + name + ".znl",
                std::string("<Zarnip><SCRIPT language=\"VBScript\"></SCRIPT><LAYER name=\"") + name +
                    "\" OnClose=\"Log.Write &quot;closing &quot; &amp; Layer.Name\"/></Zarnip>");
            auto layer = std::make_unique<CShapeLayer>();
            ASSERT_TRUE(layer->Open((u"\\data\\" + text::FromUtf8(name) + u".shp").c_str()));
            site_.list.AddTail(std::move(layer));
        }
    }
    void TearDown() override {
        site_.list.RemoveAll();
        SetScriptMapSite(nullptr);
        services_->SetAppScripting(nullptr);
        layers_.Reset();
        DataWorld::TearDown();
    }
    TSite site_;
    ComPtr<CScriptLayers> layers_;
    std::unique_ptr<LayersScripting> scripting_;
};

TEST_F(LayersObject, ItemsRemovalAndLayersClosedAfterTheScript) {
    auto log = Run(uR"VB(
Log.Write Layers.Count & " " & Layers("B").Name & " " & Layers(3).Name & " " & Layers("D").FilePath
Log.Write (Layers("nope") Is Nothing) & " " & (Layers(0) Is Nothing) & " " & (Layers(9) Is Nothing) & " " & (Layers(1) Is Layers("a"))
s = ""
For Each lyr In Layers
  s = s & lyr.Name
Next
Log.Write s
Set A = Layers("a")
Layers.Remove A
Log.Write Layers.Count & " " & A.Name & " still open"
On Error Resume Next
Layers.Remove A : Log.Write Err.Number : Err.Clear
Layers.Remove "zzz" : Log.Write Err.Number : Err.Clear
Layers.Remove Layers : Log.Write Err.Number : Err.Clear
Layers.Remove "c"
Layers.Remove 1
Log.Write Layers.Count & " " & Layers(1).Name
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"4 b c \\data\\d.shp", "True True True True", "abcd",
                                             "3 a still open", "5", "5", "5", "1 d",
                                             "closing a", "closing c", "closing b"}));
    // A layer removing itself from its own host closes once the outermost
    // script has returned; then a kept object fails.
    ComPtr<IDispatch> kept(site_.list.GetAt(0)->GetScriptObject(false));
    log = Run(uR"VB(
On Error Resume Next
Set D = Layers(1)
D.Execute "Layers.Remove Layer : Log.Write Layer.Name & "" removes itself"""
Log.Write Layers.Count
n = D.Name : Log.Write Hex(Err.Number) : Err.Clear
Layers.Remove D : Log.Write Err.Number
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"d removes itself", "0", "0", "5", "closing d"}));
    AddItem(u"Kept", kept.Get());
    log = Run(uR"VB(
On Error Resume Next
n = Kept.Name : Log.Write Hex(Err.Number) : Err.Clear
Set r = Kept.Records : Log.Write Hex(Err.Number) : Err.Clear
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"80004005", "80004005"}));
    EXPECT_GE(site_.refreshes, 4);
}

}  // namespace
}  // namespace scripttest
