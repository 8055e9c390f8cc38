// Extension layers: what a feature layer reads from its module (fields,
// legend, coordinate system, searches, drawing), the auxiliary port it
// claims, and what an image layer opens.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <memory>

#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "gps/aux_port.h"
#include "map/layers/layer_list.h"
#include "platform/gdi/gdi.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "shell/extensions/ext_feature_layer.h"
#include "shell/extensions/ext_image_layer.h"
#include "shell/forms/field_browser.h"
#include "platform/win/commctrl.h"
#include "tests/extensions/ext_fixture.h"
#include "tests/gps/pty_test_util.h"

namespace {

class ExtensionLayerTest : public ExtensionTest {
protected:
    void SetUp() override {
        ExtensionTest::SetUp();
        Load({"testlayer", "testimage"});
        layerModule_ = Named(u"Test Layer");
        ASSERT_NE(layerModule_, nullptr);
    }
    void TearDown() override {
        layers_.clear();
        ExtensionTest::TearDown();
    }
    // A layer for a dataset file of that name in \Docs, opened.
    CLayer* OpenLayer(const std::string& name) {
        Put("Docs/" + name, "dataset");
        WString path = u"\\Docs\\" + text::FromUtf8(name);
        std::unique_ptr<CLayer> layer = CLayer::CreateLayer(path);
        if (!layer || !layer->Open(path.c_str())) return nullptr;
        layers_.push_back(std::move(layer));
        return layers_.back().get();
    }
    CExtFeatureLayer* OpenFeatureLayer(const std::string& name) {
        return dynamic_cast<CExtFeatureLayer*>(OpenLayer(name));
    }
    std::string Log() const { return ModuleLog(layerModule_); }

    CExtension* layerModule_ = nullptr;
    std::vector<std::unique_ptr<CLayer>> layers_;
};

TEST_F(ExtensionLayerTest, OpensWithWhatTheModuleReports) {
    CExtFeatureLayer* layer = OpenFeatureLayer("roads.tlyr");
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->GetKind(), LayerKind::Extension);
    EXPECT_EQ(layer->GetExtension(), layerModule_);
    EXPECT_EQ(layer->GetExtensionInfo()->extension, layerModule_);
    EXPECT_NE(layer->GetExtensionInfo()->icon, nullptr);
    EXPECT_NE(layer->GetExtensionHandle(), 0u);
    EXPECT_EQ(layer->GetName(), u"Test Records");
    EXPECT_EQ(layer->GetComments(), u"");
    EXPECT_TRUE(layer->HasAttributes());
    EXPECT_TRUE(layer->IsIdentifiable());
    EXPECT_TRUE(layer->HasLegendClasses());
    EXPECT_TRUE(layer->IsDynamic());
    ASSERT_NE(layer->GetLayerCoordSys(), nullptr);
    EXPECT_TRUE(layer->IsReprojectable());
    EXPECT_EQ(layer->Extent().xmin, 10);
    EXPECT_EQ(layer->Extent().ymax, 53);
    WString info;
    layer->GetInfoText(info);
    EXPECT_EQ(info, u"Reprojectable=1\r\nReprojecting=0\r\nDynamic=1\r\nAUX=0\r\n");
    // The image module opens its own datasets and reports an extent.
    auto* image = dynamic_cast<CExtImageLayer*>(OpenLayer("photo.timg"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetCategory(), LayerCategory::Image);
    EXPECT_EQ(image->Extent().xmax, 501000);
    EXPECT_EQ(ExtensionOfLayer(image), Named(u"Test Image"));
    // Layer.Escape carries the layer handle.
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(layer->Escape(nullptr, nullptr, nullptr, &result), S_OK);
    VariantClear(&result);
    EXPECT_NE(Log().find(text::ToUtf8(text::Format(u"Escape %08X", layer->GetExtensionHandle()))),
              std::string::npos);
    EXPECT_EQ(image->Escape(nullptr, nullptr, nullptr, &result), E_NOTIMPL);
    // Closing gives the handle back.
    const uint32_t handle = layer->GetExtensionHandle();
    layer->Close();
    EXPECT_EQ(layer->GetExtensionHandle(), 0u);
    EXPECT_NE(Log().find(text::ToUtf8(text::Format(u"Close %08X", handle))), std::string::npos);
}

TEST_F(ExtensionLayerTest, FieldTexts) {
    CExtFeatureLayer* layer = OpenFeatureLayer("roads.tlyr");
    ASSERT_NE(layer, nullptr);
    ASSERT_EQ(layer->GetFieldCount(), 4);
    EXPECT_EQ(layer->GetFieldName(1), u"VALUE");
    EXPECT_EQ(layer->GetFieldType(2), u'D');
    EXPECT_EQ(layer->GetFieldWidth(1), 8);
    EXPECT_EQ(layer->GetFieldDecimals(1), 2);
    struct Case {
        int record, field;
        const char16_t* text;
    };
    const Case cases[] = {
        {1, 0, u"Alpha"},
        {2, 0, u"ABCDEFGHIJ"},  // fills the width
        {3, 0, u"KLMNOPQRST"},  // the module wrote past the width: cut there
        {1, 1, u"    3.50"},
        {2, 1, u"   12.25"},
        {3, 1, u"   -1.00"},
        {1, 2, u"20040307"},
        {2, 2, u"19991231"},
        {1, 3, u"False"},
        {2, 3, u"True"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(layer->ReadRecord(c.record));
        WString text;
        const int length = layer->GetFieldText(c.field, text);
        EXPECT_EQ(length, static_cast<int>(text.size()));
        EXPECT_EQ(text, c.text) << c.record << " " << c.field;
    }
    EXPECT_FALSE(layer->ReadRecord(4));
    // The date record is zeroed before every call.
    for (const std::string& line : LinesStartingWith(Log(), "testlayer DateZeroed"))
        EXPECT_EQ(line, "testlayer DateZeroed 1");
    ASSERT_TRUE(layer->ReadRecord(1));
    EXPECT_EQ(layer->GetFieldNumber(1), 3.5);
    EXPECT_FALSE(layer->GetFieldLogical(3));
    EXPECT_TRUE(layer->WriteRecord(2));
    EXPECT_FALSE(layer->WriteRecord(9));
}

TEST_F(ExtensionLayerTest, LegendClasses) {
    CExtFeatureLayer* layer = OpenFeatureLayer("roads.tlyr");
    ASSERT_NE(layer, nullptr);
    ILegendSource* legend = layer;
    ASSERT_EQ(legend->GetLegendClassCount(), 2);
    EXPECT_EQ(legend->GetString301(0), u"Odd records");
    EXPECT_EQ(legend->GetString302(1), u"even");
    EXPECT_TRUE(legend->GetRecordFlag(1));
    legend->SetRecordFlag(1, false);
    EXPECT_FALSE(legend->GetRecordFlag(1));
    // Other bits of the flags go back as they came.
    EXPECT_NE(Log().find("Set 303 0 1 4"), std::string::npos) << Log();
    EXPECT_FALSE(legend->DialogSymbol(nullptr, 0));
    EXPECT_TRUE(legend->DialogSymbol(main_, 1));
    // A layer without fields or classes: no legend, but its identify dialog.
    CExtFeatureLayer* bare = OpenFeatureLayer("bare.tlyr");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->GetLegendClassCount(), 0);
    EXPECT_FALSE(bare->HasLegendClasses());
    EXPECT_FALSE(bare->HasAttributes());
    EXPECT_TRUE(bare->IsIdentifiable());
    EXPECT_TRUE(bare->HasIdentifyDialog());
    const CDoubleRect box(10.4, 50.4, 10.6, 50.6);
    EXPECT_EQ(bare->ShowIdentifyDialog(1, &box), 1);
    EXPECT_NE(Log().find(text::ToUtf8(text::Format(u"Identify %08X 1 10.400000 50.400000 10.600000 50.600000",
                                                   bare->GetExtensionHandle()))),
              std::string::npos);
    EXPECT_FALSE(bare->HasPropertiesDialog());
}

TEST_F(ExtensionLayerTest, SearchesReachTheModuleInLayerCoordinates) {
    CExtFeatureLayer* layer = OpenFeatureLayer("roads.tlyr");
    ASSERT_NE(layer, nullptr);
    // A projected map: UTM zone 32 north on WGS 1984.
    CWktCoordSys wkt;
    ASSERT_TRUE(wkt.ParseWkt(
        u"PROJCS[\"WGS_1984_UTM_Zone_32N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
        u"6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]],"
        u"PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000],PARAMETER[\"False_Northing\",0],"
        u"PARAMETER[\"Central_Meridian\",9],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0],"
        u"UNIT[\"Meter\",1]]"));
    std::unique_ptr<CCoordSys> map = wkt.CreateProjection();
    ASSERT_NE(map, nullptr);
    CCoordSys* mapRef = map.get();
    layer->SetMapCoordSysRef(&mapRef);
    layer->UpdateReprojection();
    ASSERT_TRUE(layer->IsReprojecting());
    // The layer's extent arrives in metres.
    const CDoubleRect extent = layer->Extent();
    EXPECT_GT(extent.xmin, 500000);
    EXPECT_GT(extent.ymin, 5500000);

    DoublePoint inLayer{10.5, 50.5}, onMap;
    layer->LayerToMapPoints(&inLayer, 1, &onMap);
    ClearModuleLog(layerModule_);
    double distance = -1;
    EXPECT_EQ(layer->HitTest(onMap, &distance, 5.0, CDoubleRect()), 1);
    EXPECT_EQ(distance, 0);
    const CDoubleRect searchBox(onMap.x - 1000, onMap.y - 1000, onMap.x + 1000, onMap.y + 1000);
    EXPECT_EQ(layer->FindNext(1, &searchBox), 3);
    EXPECT_EQ(layer->FindNext(0, nullptr), 1);
    const std::vector<std::string> queries = LinesStartingWith(Log(), "testlayer Query");
    ASSERT_EQ(queries.size(), 3u);
    // Degrees around 10.5, 50.5: a 5 m square is about 0.00007 degrees wide.
    double xmin, ymin, xmax, ymax;
    unsigned handle;
    int mode, flag;
    ASSERT_EQ(std::sscanf(queries[0].c_str(), "testlayer Query %X %d %d %lf %lf %lf %lf", &handle, &mode, &flag,
                          &xmin, &ymin, &xmax, &ymax),
              7);
    EXPECT_EQ(handle, layer->GetExtensionHandle());
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(flag, 1);
    EXPECT_NEAR((xmin + xmax) / 2, 10.5, 1e-5);
    EXPECT_NEAR((ymin + ymax) / 2, 50.5, 1e-5);
    EXPECT_NEAR(ymax - ymin, 10.0 / 111200, 2e-6);
    ASSERT_EQ(std::sscanf(queries[1].c_str(), "testlayer Query %X %d %d %lf %lf %lf %lf", &handle, &mode, &flag,
                          &xmin, &ymin, &xmax, &ymax),
              7);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(flag, 0);
    // The layer's own conversion of the box, as its dialogs get it.
    CDoubleRect expected;
    layer->MapToLayerCorners(searchBox, expected);
    EXPECT_NEAR(xmin, expected.xmin, 1e-6);
    EXPECT_NEAR(ymin, expected.ymin, 1e-6);
    EXPECT_NEAR(xmax, expected.xmax, 1e-6);
    EXPECT_NEAR(ymax, expected.ymax, 1e-6);
    EXPECT_NEAR((xmin + xmax) / 2, 10.5, 1e-4);
    EXPECT_NE(queries[2].find(" 0 0 none"), std::string::npos);
    WString info;
    layer->GetInfoText(info);
    EXPECT_EQ(info, u"Reprojectable=1\r\nReprojecting=1\r\nDynamic=1\r\nAUX=0\r\n");
    layer->SetMapCoordSysRef(nullptr);
}

TEST_F(ExtensionLayerTest, FoundByItsHandleName) {
    CLayerList list;
    ASSERT_NE(OpenLayer("roads.tlyr"), nullptr);
    CLayer* layer = layers_.back().get();
    list.AddTail(std::move(layers_.back()));
    layers_.pop_back();
    const WString name = text::Format(u"$%08X$", layer->GetExtensionHandle());
    EXPECT_EQ(list.FindByName(name), 0);
    EXPECT_EQ(list.FindByHandle(layer->GetExtensionHandle()), layer);
    list.RemoveAll();
}

TEST_F(ExtensionLayerTest, FieldBrowserShowsTheModuleIcon) {
    CLayerList list;
    ASSERT_NE(OpenLayer("roads.tlyr"), nullptr);
    list.AddTail(std::move(layers_.back()));
    layers_.pop_back();
    HWND tree = CreateWindowEx(0, WC_TREEVIEW, u"", WS_CHILD, 0, 0, 100, 100, main_, nullptr, nullptr, nullptr);
    {
        CLayerFieldTree browser;
        ASSERT_TRUE(browser.Attach(tree));
        browser.Fill(&list);
        TVITEM item;
        item.mask = TVIF_IMAGE | TVIF_HANDLE;
        item.hItem = reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        ASSERT_TRUE(SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)));
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessage(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
        // The module's icon, appended after the list's own images.
        EXPECT_EQ(item.iImage, ImageList_GetImageCount(images) - 1);
        browser.Detach();
    }
    DestroyWindow(tree);
    list.RemoveAll();
}

struct Surface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;
    int width, height;
    Surface(int w, int h) : width(w), height(h) {
        BITMAPINFO info;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biBitCount = 32;
        void* p = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, 0, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
        PatBlt(dc, 0, 0, w, h, WHITENESS);
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

TEST_F(ExtensionLayerTest, DrawsThroughTheDrawRecord) {
    CExtFeatureLayer* layer = OpenFeatureLayer("roads.tlyr");
    ASSERT_NE(layer, nullptr);
    const CDoubleRect view(9.5, 49.5, 13.5, 53.5);
    ASSERT_TRUE(layer->SetDrawExtent(view, 200, 160));
    Surface drawn(200, 160);
    layer->DrawTo(drawn.dc, nullptr, 25000);

    // The record as the module received it, byte for byte.
    auto lastDraw = reinterpret_cast<void (*)(void*)>(dlsym(layerModule_->GetModuleHandle(), "TestLayerLastDraw"));
    ASSERT_NE(lastDraw, nullptr);
    uint8_t bytes[96];
    lastDraw(bytes);
    uint8_t expected[96] = {};
    const uint32_t dc = HandleToToken(drawn.dc);
    std::memcpy(expected + 0, &dc, 4);
    const double area[4] = {9.5, 49.5, 13.5, 53.5};
    std::memcpy(expected + 8, area, 32);
    const double scale = 25000;
    std::memcpy(expected + 72, &scale, 8);
    const int32_t device[4] = {0, 0, 199, 159};
    std::memcpy(expected + 80, device, 16);
    EXPECT_EQ(std::memcmp(bytes, expected, 96), 0);

    // The same rectangles drawn directly with the platform at the layer's
    // transform: the same pixels.
    Surface direct(200, 160);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ oldPen = SelectObject(direct.dc, reinterpret_cast<HGDIOBJ>(pen));
    HGDIOBJ oldBrush = SelectObject(direct.dc, GetStockObject(NULL_BRUSH));
    const double records[3][4] = {{10, 50, 11, 51}, {12, 52, 13, 53}, {10.5, 50.5, 12.5, 52.5}};
    for (const auto& r : records) {
        const POINT topLeft = layer->MapToDevice(r[0], r[3]);
        const POINT bottomRight = layer->MapToDevice(r[2], r[1]);
        Rectangle(direct.dc, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
    }
    SelectObject(direct.dc, oldBrush);
    SelectObject(direct.dc, oldPen);
    DeleteObject(pen);
    int differing = 0, red = 0;
    for (int i = 0; i < 200 * 160; ++i) {
        if (drawn.bits[i] != direct.bits[i]) ++differing;
        if (direct.bits[i] != 0xFFFFFFu && direct.bits[i] != 0xFFFFFFFFu) ++red;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(red, 300);
    // A symbol cell through the module; a record without class draws nothing.
    Surface cell(20, 10);
    layer->DrawFeatureSymbol(1, cell.dc, RECT{0, 0, 20, 10});
    EXPECT_NE(cell.bits[5 * 20 + 5], direct.bits[0]);
    ClearModuleLog(layerModule_);
    layer->DrawFeatureSymbol(9, cell.dc, RECT{0, 0, 20, 10});
    EXPECT_EQ(LinesStartingWith(Log(), "testlayer DrawSymbol").size(), 0u);
}

// The auxiliary port tells the claiming layer's module what it received.
CAuxPort* g_aux = nullptr;
LRESULT AuxFrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GPS_DATA && g_aux) {
        GpsAcknowledgeGuard guard(&g_aux->Port(), wParam, lParam);
        if (guard.Notification()) {
            int length = 0;
            const uint8_t* data = g_aux->Port().AcceptedData(&length);
            g_aux->OnReceive(data, length);
        }
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST_F(ExtensionLayerTest, ClaimsTheAuxiliaryPort) {
    Pty pty;
    setenv("ZARNIP_PORTS", ("COM1=" + pty.name).c_str(), 1);
    WNDCLASS wc;
    wc.lpfnWndProc = AuxFrameProc;
    wc.lpszClassName = u"ExtAuxFrame";
    RegisterClass(wc);
    HWND frame = CreateWindowEx(0, u"ExtAuxFrame", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CAuxPort::SetMainWindow(frame);
    CAuxPort aux;
    g_aux = &aux;
    CAuxPort::SetAux(&aux);

    // Held by the script AUX object: the layer does not open.
    ASSERT_TRUE(aux.Open(nullptr, true));
    win::ClearMessageBoxLog();
    EXPECT_EQ(OpenLayer("aux.tlyr"), nullptr);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, u"AUX port already in use.");
    EXPECT_EQ(win::MessageBoxLog()[0].type & 0xF0, 0x10u);
    EXPECT_FALSE(aux.IsClaimed());
    const std::vector<std::string> refused = LinesStartingWith(Log(), "testlayer Close");
    EXPECT_EQ(refused.size(), 1u);
    aux.Close();

    // Free: the layer claims it; a line written to the terminal reaches the
    // module with the layer's handle.
    CExtFeatureLayer* layer = OpenFeatureLayer("aux.tlyr");
    ASSERT_NE(layer, nullptr);
    EXPECT_TRUE(layer->HoldsAuxPort());
    EXPECT_TRUE(aux.IsOpen());
    EXPECT_TRUE(aux.IsClaimed());
    WString info;
    layer->GetInfoText(info);
    EXPECT_NE(info.find(u"AUX=1"), WString::npos);
    const std::string h = text::ToUtf8(text::Format(u"%08X", layer->GetExtensionHandle()));
    pty.Send("hello aux\n");
    PumpUntil([&] { return Log().find("AUX 3") != std::string::npos; }, 5000);
    layer->Close();
    EXPECT_FALSE(aux.IsOpen());
    EXPECT_FALSE(aux.IsClaimed());
    EXPECT_EQ(LinesStartingWith(Log(), "testlayer AUX"),
              (std::vector<std::string>{"testlayer AUX 1 " + h + " 1 ", "testlayer AUX 3 " + h + " 1 hello aux",
                                        "testlayer AUX 2 " + h + " 1 "}));
    // The port closed before the layer.
    const std::string log = Log();
    EXPECT_LT(log.find("AUX 2"), log.rfind("Close " + h));

    // A port that cannot be opened.
    setenv("ZARNIP_PORTS", "COM1=/nonexistent/tty", 1);
    win::ClearMessageBoxLog();
    EXPECT_EQ(OpenLayer("aux2.tlyr"), nullptr);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, u"Error opening AUX port.");
    EXPECT_FALSE(aux.IsClaimed());

    CAuxPort::SetAux(nullptr);
    CAuxPort::SetMainWindow(nullptr);
    g_aux = nullptr;
    unsetenv("ZARNIP_PORTS");
}

}  // namespace
