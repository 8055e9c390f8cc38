#include "tests/map/map_doubles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "crs/coord_sys.h"
#include "crs/datum_table.h"
#include "crs/wkt.h"
#include "platform/win/dialog.h"
#include "platform/win/menu.h"
#include "formats/dbf/dbf_field.h"
#include "map/layers/layer.h"
#include "map/layers/layer_factory.h"
#include "platform/fs/fs.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"

bool CTestShapeLayer::s_failEditOn = false;
bool CTestShapeLayer::s_failEditOff = false;
CDoubleRect CTestImageLayer::s_extent(0, 0, 10, 10);
uint32_t CTestExtensionLayer::s_nextHandle = 1;

CTestShapeLayer::CTestShapeLayer() {
    SetKind(LayerKind::Shape);
    SetHasAttributes(true);
    SetIdentifiable(true);
}

CTestShapeLayer::~CTestShapeLayer() { CloseDataset(); }

bool CTestShapeLayer::OpenDataset(const WString& path) {
    m_shp = ShpOpen(path.c_str(), 0);
    if (!m_shp) return false;
    SetDisplayClass(ShapeTypeToDisplayClass(ShpGetShapeType(m_shp)));
    if (!hyperlinkFieldName.empty())
        for (int i = 0; i < GetFieldCount(); ++i)
            if (text::EqualsNoCase(GetFieldName(i), hyperlinkFieldName)) SetHyperlinkField(i);
    return true;
}

void CTestShapeLayer::CloseDataset() {
    if (m_shp) ShpClose(m_shp);
    m_shp = nullptr;
}

void CTestShapeLayer::GetExtent(CDoubleRect& extent) {
    extent.SetEmpty();
    if (m_shp) ShpGetBounds(m_shp, &extent);
}

DbfHandle CTestShapeLayer::GetTable() { return m_shp ? ShpGetTable(m_shp) : nullptr; }

bool CTestShapeLayer::SetEditMode(bool on) {
    editCalls.push_back(on);
    if (on ? s_failEditOn : s_failEditOff) return false;
    m_editing = on;
    return true;
}

void CTestShapeLayer::LoadProperties(const CXmlNode*) { ++loadPropertiesCalls; }

int CTestShapeLayer::GetFieldCount() { return GetTable() ? DbfGetFieldCount(GetTable()) : 0; }

WString CTestShapeLayer::GetFieldName(int field) {
    const WChar* name = GetTable() ? DbfGetFieldName(GetTable(), field) : nullptr;
    return name ? WString(name) : WString();
}

WChar CTestShapeLayer::GetFieldType(int field) {
    return GetTable() ? static_cast<WChar>(DbfGetFieldType(GetTable(), field)) : u'\0';
}

int CTestShapeLayer::GetFieldText(int field, WString& text, const void* record) {
    text = GetTable() ? DbfGetString(GetTable(), field, static_cast<const uint8_t*>(record))
                      : WString();
    text = text::Trim(text);
    return static_cast<int>(text.size());
}

bool CTestShapeLayer::ReadRecord(int record, void* buffer) {
    return GetTable() && record >= 1 &&
           DbfReadRecord(GetTable(), record - 1, static_cast<uint8_t*>(buffer)) == 1;
}

CTestImageLayer::CTestImageLayer(LayerKind kind) {
    SetKind(kind);
    SetCategory(LayerCategory::Image);
    SetDisplayClass(DisplayClass::Image);
    SetExtent(s_extent);
}

CTestExtensionLayer::CTestExtensionLayer() {
    SetKind(LayerKind::Extension);
    SetCategory(LayerCategory::Feature);
    SetDisplayClass(DisplayClass::OtherFeatures);
    SetIdentifiable(true);
    SetExtensionHandle(s_nextHandle++);
}

// ---- fixture ----

namespace {
void RemoveTree(const std::string& path) {
    std::string command = "rm -rf '" + path + "'";
    (void)std::system(command.c_str());
}
}  // namespace

void MapTest::SetUp() {
    char tmpl[] = "/tmp/zn-map-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    ::mkdir(Host("Docs").c_str(), 0755);
    setenv("ZARNIP_ROOT", root_.c_str(), 1);
    setenv("ZARNIP_DOCUMENTS", Host("Docs").c_str(), 1);
    unsetenv("ZARNIP_MOUNTS");
    fs::ResetConfiguration();
    // The shipped datum table, as the program loads it at start; read whole,
    // then its folder is no longer needed.
    fs::AddMount(u"\\ZnSystem", ZN_SOURCE_DIR "/data/System");
    ASSERT_TRUE(SetDatumTableFile(u"\\ZnSystem\\znDatums.dbf"));
    fs::ResetConfiguration();
    fs::test::Reset();
    win::ResetForTests();
    ResetPreferencesForTests();
    SetMainWindowServices(&mainWindow_);
    SetScriptServices(&script_);
    SetShellServices(&shell_);
    CTestShapeLayer::s_failEditOn = false;
    CTestShapeLayer::s_failEditOff = false;
    CTestImageLayer::s_extent = CDoubleRect(0, 0, 10, 10);
    CTestExtensionLayer::s_nextHandle = 1;
    ResetLayerClassesForTests();
    SetLayerClass(LayerKind::Shape, [](const LayerExtensionInfo*) -> std::unique_ptr<CLayer> {
        return std::make_unique<CTestShapeLayer>();
    });
    for (LayerKind k : {LayerKind::Bitmap, LayerKind::Jpeg, LayerKind::Rpf, LayerKind::Sid})
        SetLayerClass(k, [k](const LayerExtensionInfo*) -> std::unique_ptr<CLayer> {
            return std::make_unique<CTestImageLayer>(k);
        });
    SetLayerClass(LayerKind::Extension, [](const LayerExtensionInfo* ext) -> std::unique_ptr<CLayer> {
        if (ext && ext->layerType == 1) return std::make_unique<CTestExtensionLayer>();
        return nullptr;
    });
}

void MapTest::TearDown() {
    SetMainWindowServices(nullptr);
    SetScriptServices(nullptr);
    SetShellServices(nullptr);
    ResetLayerClassesForTests();
    ResetPreferencesForTests();
    win::ResetForTests();
    fs::test::Reset();
    unsetenv("ZARNIP_MOUNTS");
    fs::ResetConfiguration();
    SetDatumTableFile(WString());
    if (!root_.empty()) RemoveTree(root_);
}

void MapTest::Put(const std::string& relative, const std::string& bytes) const {
    std::string path = Host(relative);
    std::string dir = path.substr(0, path.rfind('/'));
    std::string command = "mkdir -p '" + dir + "'";
    (void)std::system(command.c_str());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string MapTest::Get(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool MapTest::HostExists(const std::string& relative) const {
    struct stat st;
    return ::stat(Host(relative).c_str(), &st) == 0;
}

bool MapTest::ShellIn(const std::string& relative, const std::string& command) const {
    std::string dir = Host(relative);
    std::string full = "mkdir -p '" + dir + "' && cd '" + dir + "' && " + command;
    return std::system(full.c_str()) == 0;
}

void MapTest::MakePointShapefile(const std::string& relative, const std::string& name,
                                 const std::vector<std::string>& points) const {
    std::string command = "shpcreate " + name + " point >/dev/null && dbfcreate " + name +
                          " -s NAME 20 -s LINK 40 >/dev/null";
    int i = 0;
    for (const std::string& p : points) {
        command += " && shpadd " + name + " " + p + " >/dev/null && dbfadd " + name + ".dbf P" +
                   std::to_string(++i) + " '' >/dev/null";
    }
    ASSERT_TRUE(ShellIn(relative, command)) << command;
}

std::vector<std::string> MapTest::HostList(const std::string& relative) const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(Host(relative).c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

HMENU CRecordingShell::LoadImageMenu(UINT menuId) {
    HMENU top = LoadMenu(nullptr, MAKEINTRESOURCE(static_cast<WORD>(menuId)));
    if (!top) return nullptr;
    HMENU popup = GetSubMenu(top, 0);
    if (popup) RemoveMenu(top, 0, MF_BYPOSITION);
    DestroyMenu(top);
    return popup;
}

std::vector<WString> MessageTexts() {
    std::vector<WString> texts;
    for (const auto& r : win::MessageBoxLog()) texts.push_back(r.text);
    return texts;
}

std::vector<UINT> Beeps() { return win::BeepLog(); }

const WChar kUtm33Wkt[] =
    u"PROJCS[\"WGS_1984_UTM_Zone_33N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\","
    u"SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],"
    u"UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
    u"PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
    u"PARAMETER[\"Central_Meridian\",15.0],PARAMETER[\"Scale_Factor\",0.9996],"
    u"PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";

CCoordSys* MakeCoordSys(const WChar* wkt) {
    CWktCoordSys parser;
    if (!parser.ParseWkt(wkt)) return nullptr;
    return parser.CreateProjection().release();
}
