// The znTools8 add-in's toolbar, commands, name helpers and file-replace
// dialog, against the desktop host stand-in's roles; and every role operation
// failing on demand.
#include <gtest/gtest.h>

#include <functional>

#include "desktop/host/host_faults.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "desktop/tools/bitmaps.h"
#include "desktop/tools/commands.h"
#include "desktop/tools/common.h"
#include "desktop/tools/file_replace.h"
#include "platform/fs/fs.h"
#include "tests/desktop/zntools3_test_util.h"

namespace {

using namespace host;
using namespace zntools8;

struct Unanswered : std::runtime_error {
    using std::runtime_error::runtime_error;
};

ScriptedHostUi Ui(const std::string& answers = {}) {
    int bad = 0;
    auto parsed = ParseAnswers(answers, &bad);
    EXPECT_TRUE(parsed) << "answers line " << bad;
    return ScriptedHostUi(parsed.value_or(std::deque<ScriptedAnswer>{}),
                          [](const std::string& prompt) { throw Unanswered(prompt); });
}

class AddIn : public ::testing::Test {
protected:
    void SetUp() override {
        fs::SetDeviceRoot("/");
        fs::ClearMounts();
        HostFaults::Reset();
    }
    void TearDown() override {
        HostFaults::Reset();
        fs::ResetConfiguration();
    }
    // A host over a document written from the text.
    std::shared_ptr<HostApplicationImpl> Open(const std::string& dmap, IHostUi& ui) {
        const std::string path = m_dir.Write("m.dmap", dmap);
        DmapError e;
        auto app = OpenHostDocument(path, ui, &e);
        EXPECT_TRUE(app) << e.Text();
        return app;
    }
    zn3test::TempDir m_dir;
};

const char kMixed[] = R"(<desktopmap version="1"><map name="m">
  <layer kind="raster" name="Ortho" file="ortho.jpg"/>
  <layer kind="feature" name="Roads"><data workspace="." dataset="roads"/></layer>
  <layer kind="group" name="G"><layer kind="feature" name="Inner"><data workspace="." dataset="inner"/></layer></layer>
  <layer kind="annotation" name="Notes"/>
  <layer kind="feature" name="Parcels"><data workspace="." dataset="parcels"/></layer>
  <layer kind="raster" name="Relief" file="relief.sid"/>
</map></desktopmap>)";

std::vector<std::string> Names(const std::vector<std::shared_ptr<IHostLayer>>& layers) {
    std::vector<std::string> out;
    for (const auto& l : layers) out.push_back(l->Name());
    return out;
}

TEST_F(AddIn, NameHelpers) {
    struct Case {
        std::string in;
        std::string filtered, cleaned, cleanedKeep, stripped;
    };
    const Case cases[] = {
        {"\tA B\r\n", "A B", "A B", "A B", "A B"},
        {"roads.znm", "roads.znm", "roads", "roads.znm", "roads"},
        {"a.b.znm", "a.b.znm", "a.b", "a.b.znm", "a.b"},
        {" My map ", "My map", "My map", "My map", "My map"},
        {"Caf\xC3\xA9.znm", "Caf.znm", "Caf\xC3\xA9", "Caf.znm", "Caf"},
        {"photo.sid", "photo.sid", "photo", "photo.sid", "photo"},
        {"photo.jpeg", "photo.jpeg", "photo", "photo.jpeg", "photo.jpeg"},
        {"ab", "ab", "ab", "ab", "ab"},
        {".shp", ".shp", "", ".shp", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(FilterPrintable(c.in), c.filtered);
        EXPECT_EQ(CleanName(c.in, true), c.cleaned);
        EXPECT_EQ(CleanName(c.in, false), c.cleanedKeep);
        EXPECT_EQ(StripExtension(c.in), c.stripped);
    }
    std::shared_ptr<int> none;
    EXPECT_TRUE(IsNothing(none));
    EXPECT_FALSE(IsNothing(std::make_shared<int>(1)));

    auto ui =
        Ui("folder \"Please select destination folder for saving Zarnip files.\" cancel\n"
           "folder \"Where?\" path=/tmp/out\n");
    EXPECT_EQ(BrowseForFolder(ui, ""), "");
    EXPECT_EQ(BrowseForFolder(ui, "Where?"), "/tmp/out");
}

TEST_F(AddIn, FileReplaceDialog) {
    for (auto [type, label] :
         {std::pair{"shapefile", "This folder already contains a shapefile named 'roads'"},
          std::pair{"MrSID file", "This folder already contains a MrSID file named 'roads'"}}) {
        auto ui = Ui();
        FileReplaceDialog d(ui);
        d.SetFilename("roads");
        d.SetFileType(type);
        EXPECT_EQ(d.Label1(), label);
        EXPECT_EQ(d.Label2(), "Do you wish to replace this file?");
        EXPECT_EQ(d.Caption(), "Confirm File Replace");
    }
    // Each button gives its index; closing and Escape give Cancel; every
    // activation beeps; a new dialog starts with no answer.
    const std::pair<const char*, int> answers[] = {
        {"press=&Yes", 0}, {"press=\"Yes to &All\"", 1},
        {"press=&No", 2},  {"press=Cancel", 3},
        {"press=No", 2},   {"key=Escape", 3},
        {"close", 3},      {"key=Alt+A", 1},
    };
    for (const auto& [action, index] : answers) {
        SCOPED_TRACE(action);
        auto ui = Ui(std::string("dialog \"Confirm File Replace\" ") + action + "\n");
        EXPECT_EQ(AskFileReplace(ui, "roads", "shapefile"), index);
        EXPECT_EQ(ui.Beeps(), 1);
        EXPECT_NE(ui.Log().find("label1: This folder already contains a shapefile named 'roads'"),
                  std::string::npos);
    }
    auto ui = Ui();
    FileReplaceDialog second(ui);
    EXPECT_EQ(second.GetValue(), 0);
    EXPECT_FALSE(second.Finished());
    second.Activate();
    second.Activate();
    EXPECT_EQ(ui.Beeps(), 2);
    // An answer that does not end it, or an action it does not know, ends the run.
    auto stuck = Ui("dialog \"Confirm File Replace\" press=Maybe\n");
    EXPECT_THROW(AskFileReplace(stuck, "roads", "shapefile"), Unanswered);
    auto empty = Ui();
    EXPECT_THROW(AskFileReplace(empty, "roads", "shapefile"), Unanswered);
    EXPECT_NE(empty.Log().find("[unanswered]"), std::string::npos);
}

TEST_F(AddIn, ToolbarAndCommandTables) {
    ZarnipToolbar tb;
    EXPECT_EQ(tb.ItemCount(), 3);
    EXPECT_EQ(tb.Name(), "ZarnipToolBar");
    EXPECT_EQ(tb.Caption(), "Zarnip Tools");
    const char* ids[] = {"ZarnipTools.ZarnipMapWizard", "ZarnipTools.ZarnipExportSymbology",
                         "ZarnipTools.CompactShapefile"};
    for (int i = 0; i < 3; ++i) {
        HostItemDef def;
        tb.GetItemInfo(i, def);
        EXPECT_EQ(def.Id(), ids[i]);
        EXPECT_FALSE(def.Group());
    }
    HostItemDef untouched;
    untouched.SetId("kept");
    tb.GetItemInfo(3, untouched);
    EXPECT_EQ(untouched.Id(), "kept");
    EXPECT_TRUE(untouched.Group());

    struct Row {
        const char* progId;
        const char *name, *caption, *tooltip, *message;
        int size;
    };
    const Row rows[] = {
        {"ZarnipTools.ZarnipMapWizard", "Zarnip Map Wizard", "Zarnip Map Wizard",
         "Zarnip Map Wizard", "Start the Zarnip Map Wizard", 16},
        {"ZarnipTools.ZarnipExportSymbology", "ExportSymbology", "Export Symbology",
         "Export Shapefile Symbology", "Export shapefile symbology to Zarnip", 16},
        {"ZarnipTools.CompactShapefile", "Pack Shapefile Tool", "Pack Shapefile",
         "Zarnip Pack Shapefile",
         "Pack Shapefile Tool - Compacts a shapefile by removing marked for deletion.", 32},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.progId);
        std::unique_ptr<AddInObject> obj(CreateAddInObject(r.progId));
        ASSERT_TRUE(obj && obj->command);
        ICommand& c = *obj->command;
        EXPECT_TRUE(c.Enabled());
        EXPECT_FALSE(c.Checked());
        EXPECT_EQ(c.Name(), r.name);
        EXPECT_EQ(c.Caption(), r.caption);
        EXPECT_EQ(c.Tooltip(), r.tooltip);
        EXPECT_EQ(c.Message(), r.message);
        EXPECT_EQ(c.HelpFile(), "");
        EXPECT_EQ(c.HelpContextId(), 0);
        EXPECT_EQ(c.Bitmap().width, r.size);
        EXPECT_EQ(c.Bitmap().height, r.size);
        EXPECT_EQ(c.Bitmap().pixels.size(), static_cast<size_t>(r.size * r.size));
        EXPECT_EQ(c.Category(), "Zarnip Tools");
    }
    EXPECT_EQ(LoadBitmapImage(kBitmapFileReplace).width, 42);
    EXPECT_EQ(LoadBitmapImage(kBitmapFileReplace).height, 44);
    EXPECT_FALSE(CreateAddInObject("ZarnipTools.Nothing"));
}

TEST_F(AddIn, TheWizardOffersTopLevelFeatureLayersThenRasterLayers) {
    auto ui = Ui();
    auto app = Open(kMixed, ui);
    auto map = app->Document()->FocusMap();
    EXPECT_EQ(Names(CollectLayers(*map)),
              (std::vector<std::string>{"Roads", "Parcels", "Ortho", "Relief"}));

    // A fault in the raster step keeps the feature layers gathered.
    HostFaults::FailNth("IHostMap::Layers", 2);
    EXPECT_EQ(Names(CollectLayers(*map)), (std::vector<std::string>{"Roads", "Parcels"}));
    HostFaults::FailAlways("IHostMap::Layers");
    EXPECT_TRUE(CollectLayers(*map).empty());
    HostFaults::Reset();

    // Layers inside groups only: the message, through the scripted host.
    auto groupUi = Ui("message \"Zarnip Map Wizard\" OK\n");
    auto groups = Open(R"(<desktopmap version="1"><map name="m"><layer kind="group" name="G">
        <layer kind="feature" name="Inner"><data workspace="." dataset="inner"/></layer>
        <layer kind="raster" name="R" file="r.jpg"/></layer></map></desktopmap>)",
                       groupUi);
    ZarnipMapWizard wizard;
    wizard.OnCreate(groups.get());
    wizard.OnClick();
    EXPECT_NE(groupUi.Log().find("[message] Zarnip Map Wizard\nicon: information\nbuttons: OK\n"
                                 "text: Please add layers into Pellum\nanswer: OK"),
              std::string::npos)
        << groupUi.Log();
    EXPECT_EQ(groupUi.AnswersLeft(), 0u);
}

// Every role operation raises HostError when told to, and works again after
// the reset.
TEST_F(AddIn, EveryRoleOperationFailsOnDemand) {
    auto ui = Ui();
    const std::string dmap =
        R"(<desktopmap version="1"><map name="m" referencescale="1000" selected="Roads">
      <coordsys wkt="GEOGCS[&quot;GCS_WGS_1984&quot;,DATUM[&quot;D_WGS_1984&quot;,SPHEROID[&quot;WGS_1984&quot;,6378137,298.257223563]],PRIMEM[&quot;Greenwich&quot;,0],UNIT[&quot;Degree&quot;,0.0174532925199433]]"/>
      <view xmin="0" ymin="0" xmax="1" ymax="1"/>
      <layer kind="feature" name="Roads" hyperlinkfield="URL"><data workspace="." dataset="roads"/><selection>1</selection>
        <uniquevaluerenderer fields="A" defaultlabel="d"><default><simplemarker size="2"/></default>
          <group heading="h"><class value="v" label="l"><simplefill color="1,2,3"><outline><line width="2"/></outline></simplefill></class></group>
        </uniquevaluerenderer>
        <labelclass expression="[A]"><text font="F" size="9"/></labelclass></layer>
      <layer kind="feature" name="Breaks"><data workspace="." dataset="b"/>
        <classbreaksrenderer field="P"><break value="1" label="one"><charmarker font="F" index="65"/></break></classbreaksrenderer></layer>
      <layer kind="feature" name="Simple"><data workspace="." dataset="s"/>
        <simplerenderer label="s"><rotation field="R" type="1"/><multilayermarker><simplemarker/></multilayermarker></simplerenderer></layer>
      <layer kind="raster" name="Ortho" file="o.jpg"/>
      <layer kind="group" name="G"/>
    </map></desktopmap>)";
    auto app = Open(dmap, ui);
    auto doc = app->Document();
    auto map = doc->FocusMap();
    auto roads = std::dynamic_pointer_cast<IHostGeoFeatureLayer>(map->Layer(0));
    auto breaks = std::dynamic_pointer_cast<IHostGeoFeatureLayer>(map->Layer(1));
    auto simple = std::dynamic_pointer_cast<IHostGeoFeatureLayer>(map->Layer(2));
    auto raster = std::dynamic_pointer_cast<IHostRasterLayer>(map->Layer(3));
    auto group = std::dynamic_pointer_cast<IHostGroupLayer>(map->Layer(4));
    ASSERT_TRUE(roads && breaks && simple && raster && group);
    auto uv = std::dynamic_pointer_cast<IHostUniqueValueRenderer>(roads->Renderer());
    auto cb = std::dynamic_pointer_cast<IHostClassBreaksRenderer>(breaks->Renderer());
    auto sr = std::dynamic_pointer_cast<IHostSimpleRenderer>(simple->Renderer());
    ASSERT_TRUE(uv && cb && sr);
    auto legend = uv->Legend();
    auto lgroup = legend->LegendGroup(0);
    auto lclass = lgroup->Class(0);
    auto fill = std::dynamic_pointer_cast<IHostSimpleFillSymbol>(lclass->Symbol());
    auto marker = std::dynamic_pointer_cast<IHostSimpleMarkerSymbol>(uv->DefaultSymbol());
    auto charMarker = std::dynamic_pointer_cast<IHostCharacterMarkerSymbol>(cb->Symbol(0));
    auto multi = std::dynamic_pointer_cast<IHostMultiLayerMarkerSymbol>(sr->Symbol());
    ASSERT_TRUE(fill && marker && charMarker && multi);
    auto outline = fill->Outline();
    auto labels = roads->LabelClasses();
    auto labelClass = labels->Class(0);
    auto engine = labelClass->EngineProperties();
    auto textSymbol = engine->Symbol();
    auto rotation = sr->Rotation();
    auto spatial = map->SpatialReference();
    auto view = doc->ActiveView();
    auto dataset = roads->Dataset();
    auto workspace = dataset->Workspace();
    auto hyperlinks = roads->Hyperlinks();
    auto colour = NewRgbColor(MakeRgb(1, 2, 3));
    HostItemDef item;

    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"IHostApplication::Document", [&] { app->Document(); }},
        {"IHostMapDocument::FocusMap", [&] { doc->FocusMap(); }},
        {"IHostMapDocument::ActiveView", [&] { doc->ActiveView(); }},
        {"IHostMapDocument::SelectedLayer", [&] { doc->SelectedLayer(); }},
        {"IHostMapDocument::UpdateContents", [&] { doc->UpdateContents(); }},
        {"IHostMapDocument::Save", [&] { doc->Save(); }},
        {"IHostMap::Name", [&] { map->Name(); }},
        {"IHostMap::LayerCount", [&] { map->LayerCount(); }},
        {"IHostMap::Layer", [&] { map->Layer(0); }},
        {"IHostMap::Layers", [&] { map->Layers(LayerRole::Any, false); }},
        {"IHostMap::SpatialReference", [&] { map->SpatialReference(); }},
        {"IHostMap::ReferenceScale", [&] { map->ReferenceScale(); }},
        {"IHostMap::AddLayer", [&] { map->AddLayer(nullptr); }},
        {"IHostMap::DeleteLayer", [&] { map->DeleteLayer(nullptr); }},
        {"IHostMap::MoveLayer", [&] { map->MoveLayer(nullptr, 0); }},
        {"IHostActiveView::VisibleExtent", [&] { view->VisibleExtent(); }},
        {"IHostActiveView::SetVisibleExtent",
         [&] {
             view->SetVisibleExtent({0, 0, 2, 2});
         }},
        {"IHostActiveView::Refresh", [&] { view->Refresh(); }},
        {"IHostSpatialReference::Name", [&] { spatial->Name(); }},
        {"IHostSpatialReference::Text", [&] { spatial->Text(); }},
        {"IHostSpatialReference::WritePrjFile",
         [&] { spatial->WritePrjFile(m_dir.Path("x.prj")); }},
        {"IHostLayer::Name", [&] { roads->Name(); }},
        {"IHostLayer::SetName", [&] { roads->SetName("Roads"); }},
        {"IHostLayer::Visible", [&] { roads->Visible(); }},
        {"IHostLayer::SetVisible", [&] { roads->SetVisible(true); }},
        {"IHostLayer::MinimumScale", [&] { roads->MinimumScale(); }},
        {"IHostLayer::MaximumScale", [&] { roads->MaximumScale(); }},
        {"IHostLayer::Is", [&] { roads->Is(LayerRole::Raster); }},
        {"IHostFeatureLayer::FeatureClass", [&] { roads->FeatureClass(); }},
        {"IHostFeatureLayer::SetFeatureClass", [&] { roads->SetFeatureClass(nullptr); }},
        {"IHostFeatureLayer::ScaleSymbols", [&] { roads->ScaleSymbols(); }},
        {"IHostFeatureLayer::SelectionCount", [&] { roads->SelectionCount(); }},
        {"IHostFeatureLayer::Selection", [&] { roads->Selection(); }},
        {"IHostFeatureLayer::Hyperlinks", [&] { roads->Hyperlinks(); }},
        {"IHostFeatureLayer::Dataset", [&] { roads->Dataset(); }},
        {"IHostGeoFeatureLayer::Renderer", [&] { roads->Renderer(); }},
        {"IHostGeoFeatureLayer::SetRenderer", [&] { roads->SetRenderer(uv); }},
        {"IHostGeoFeatureLayer::LabelClasses", [&] { roads->LabelClasses(); }},
        {"IHostGeoFeatureLayer::DisplayLabels", [&] { roads->DisplayLabels(); }},
        {"IHostRasterLayer::FilePath", [&] { raster->FilePath(); }},
        {"IHostRasterLayer::Raster", [&] { raster->Raster(); }},
        {"IHostGroupLayer::Children", [&] { group->Children(); }},
        {"IHostDataset::Name", [&] { dataset->Name(); }},
        {"IHostDataset::BrowseName", [&] { dataset->BrowseName(); }},
        {"IHostDataset::Category", [&] { dataset->Category(); }},
        {"IHostDataset::Workspace", [&] { dataset->Workspace(); }},
        {"IHostWorkspace::PathName", [&] { workspace->PathName(); }},
        {"IHostWorkspace::Kind", [&] { workspace->Kind(); }},
        {"IHostHyperlinkContainer::HyperlinkField", [&] { hyperlinks->HyperlinkField(); }},
        {"IHostFeatureRenderer::Legend", [&] { uv->Legend(); }},
        {"IHostUniqueValueRenderer::FieldCount", [&] { uv->FieldCount(); }},
        {"IHostUniqueValueRenderer::Field", [&] { uv->Field(0); }},
        {"IHostUniqueValueRenderer::ValueCount", [&] { uv->ValueCount(); }},
        {"IHostUniqueValueRenderer::Value", [&] { uv->Value(0); }},
        {"IHostUniqueValueRenderer::DefaultLabel", [&] { uv->DefaultLabel(); }},
        {"IHostUniqueValueRenderer::DefaultSymbol", [&] { uv->DefaultSymbol(); }},
        {"IHostClassBreaksRenderer::Field", [&] { cb->Field(); }},
        {"IHostClassBreaksRenderer::MinimumBreak", [&] { cb->MinimumBreak(); }},
        {"IHostClassBreaksRenderer::BreakCount", [&] { cb->BreakCount(); }},
        {"IHostClassBreaksRenderer::Break", [&] { cb->Break(0); }},
        {"IHostClassBreaksRenderer::Label", [&] { cb->Label(0); }},
        {"IHostClassBreaksRenderer::Symbol", [&] { cb->Symbol(0); }},
        {"IHostSimpleRenderer::Label", [&] { sr->Label(); }},
        {"IHostSimpleRenderer::Symbol", [&] { sr->Symbol(); }},
        {"IHostSimpleRenderer::Rotation", [&] { sr->Rotation(); }},
        {"IHostRotationRenderer::RotationField", [&] { rotation->RotationField(); }},
        {"IHostRotationRenderer::RotationType", [&] { rotation->RotationType(); }},
        {"IHostLegendInfo::LegendGroupCount", [&] { legend->LegendGroupCount(); }},
        {"IHostLegendInfo::LegendGroup", [&] { legend->LegendGroup(0); }},
        {"IHostLegendGroup::Heading", [&] { lgroup->Heading(); }},
        {"IHostLegendGroup::ClassCount", [&] { lgroup->ClassCount(); }},
        {"IHostLegendGroup::Class", [&] { lgroup->Class(0); }},
        {"IHostLegendClass::Label", [&] { lclass->Label(); }},
        {"IHostLegendClass::Symbol", [&] { lclass->Symbol(); }},
        {"IHostLabelClassCollection::Count", [&] { labels->Count(); }},
        {"IHostLabelClassCollection::Class", [&] { labels->Class(0); }},
        {"IHostLabelClass::GateFlag", [&] { labelClass->GateFlag(); }},
        {"IHostLabelClass::MinimumScale", [&] { labelClass->MinimumScale(); }},
        {"IHostLabelClass::MaximumScale", [&] { labelClass->MaximumScale(); }},
        {"IHostLabelClass::EngineProperties", [&] { labelClass->EngineProperties(); }},
        {"IHostLabelEngineProperties::GateFlag", [&] { engine->GateFlag(); }},
        {"IHostLabelEngineProperties::Expression", [&] { engine->Expression(); }},
        {"IHostLabelEngineProperties::Symbol", [&] { engine->Symbol(); }},
        {"IHostTextSymbol::Font", [&] { textSymbol->Font(); }},
        {"IHostTextSymbol::Color", [&] { textSymbol->Color(); }},
        {"IHostTextSymbol::Angle", [&] { textSymbol->Angle(); }},
        {"IHostMarkerSymbol::Size", [&] { marker->Size(); }},
        {"IHostMarkerSymbol::Color", [&] { marker->Color(); }},
        {"IHostMarkerSymbol::Angle", [&] { marker->Angle(); }},
        {"IHostSimpleMarkerSymbol::Style", [&] { marker->Style(); }},
        {"IHostCharacterMarkerSymbol::Font", [&] { charMarker->Font(); }},
        {"IHostCharacterMarkerSymbol::CharacterIndex", [&] { charMarker->CharacterIndex(); }},
        {"IHostMultiLayerMarkerSymbol::LayerCount", [&] { multi->LayerCount(); }},
        {"IHostMultiLayerMarkerSymbol::Layer", [&] { multi->Layer(0); }},
        {"IHostFillSymbol::Color", [&] { fill->Color(); }},
        {"IHostFillSymbol::Outline", [&] { fill->Outline(); }},
        {"IHostSimpleFillSymbol::Style", [&] { fill->Style(); }},
        {"IHostLineSymbol::Type", [&] { outline->Type(); }},
        {"IHostLineSymbol::Width", [&] { outline->Width(); }},
        {"IHostLineSymbol::Color", [&] { outline->Color(); }},
        {"IHostLineSymbol::Style", [&] { outline->Style(); }},
        {"IHostColor::Rgb", [&] { colour->Rgb(); }},
        {"IHostRgbColor::Red", [&] { colour->Red(); }},
        {"IHostRgbColor::Green", [&] { colour->Green(); }},
        {"IHostRgbColor::Blue", [&] { colour->Blue(); }},
        {"IHostItemDef::Id", [&] { item.Id(); }},
        {"IHostItemDef::SetId", [&] { item.SetId("x"); }},
        {"IHostItemDef::Group", [&] { item.Group(); }},
        {"IHostItemDef::SetGroup", [&] { item.SetGroup(false); }},
    };
    for (const auto& [name, call] : operations) {
        SCOPED_TRACE(name);
        HostFaults::FailAlways(name, std::string("injected ") + name);
        try {
            call();
            ADD_FAILURE() << "did not fail";
        } catch (const HostError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("injected ") + name);
        }
        HostFaults::Reset();
        // Afterwards the operation runs (it may still raise for what it is
        // given, as AddLayer(nullptr) does, but not the injected error).
        try {
            call();
        } catch (const HostError& e) {
            EXPECT_EQ(std::string(e.what()).find("injected"), std::string::npos);
        }
    }
    // The n-th call, once.
    HostFaults::FailNth("IHostMap::Name", 2);
    EXPECT_NO_THROW(map->Name());
    EXPECT_THROW(map->Name(), HostError);
    EXPECT_NO_THROW(map->Name());
}

TEST_F(AddIn, MissingDataRaisesDataSourceNotFound) {
    auto ui = Ui();
    auto app = Open(kMixed, ui);
    auto map = app->Document()->FocusMap();
    auto roads = std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(1));
    auto raster = std::dynamic_pointer_cast<IHostRasterLayer>(map->Layer(0));
    ASSERT_TRUE(roads && raster);
    try {
        roads->FeatureClass();
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("data source not found: ", 0), 0u) << e.what();
    }
    try {
        raster->Raster();
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("data source not found: ", 0), 0u) << e.what();
    }
    // The layer stays in the map, and the map edits the list.
    EXPECT_EQ(map->LayerCount(), 6);
    map->MoveLayer(map->Layer(5), 0);
    EXPECT_EQ(map->Layer(0)->Name(), "Relief");
    map->DeleteLayer(map->Layer(0));
    EXPECT_EQ(map->LayerCount(), 5);
    EXPECT_TRUE(app->Session().Modified());
}

}  // namespace
