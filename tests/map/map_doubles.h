// Recording doubles of the services the map engine calls, the small layer
// classes the map tests register with the factory, and a fixture that gives
// each test its own device root and documents folder.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "map/layers/bookmarks.h"
#include "map/layers/feature_layer.h"
#include "map/services/gps_messages.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "platform/win/window.h"

class CCoordSys;

class CRecordingMainWindow : public IMainWindow {
public:
    void SetStatusText(const WChar* text) override {
        WString t = text ? WString(text) : WString();
        if (t.size() > kStatusTextMax) t.resize(kStatusTextMax);
        paneTexts.push_back(t);
    }
    void SetModeIndicator(int index) override {
        static const WChar* letters[] = {u"Z", u"V", u"H"};
        if (index >= 0 && index < 3) modeLetters.push_back(letters[index]);
    }
    void SetScaleText(unsigned scale) override {
        scaleTexts.push_back(scale ? text::Format(u"1:%u", scale) : WString());
    }
    void ShowStatusBar(bool show) override {
        statusBarShown = show;
        ++showStatusBarCalls;
    }
    bool IsStatusBarShown() override { return statusBarShown; }
    void RefreshView() override { ++refreshCount; }
    void SetToolButtonImage(UINT id) override { toolButtonImages.push_back(id); }
    void RefreshEditToolbar() override { ++editToolbarRefreshes; }
    void FireCommandEvent(UINT id, int eventId) override { commandEvents.push_back({id, eventId}); }
    int RunBoundKeyCommand(int slot, int) override {
        boundKeys.push_back(slot);
        return boundKeyResult;
    }
    HWND GetMainStatusBar() override { return nullptr; }
    CBookmarkList& GetBookmarks() override { return bookmarks; }
    bool GetViewExtent(CDoubleRect& extent) override {
        extent = viewExtent;
        return hasView;
    }
    void AddToRecentDocuments(WStringView path) override { recent.emplace_back(path); }
    LRESULT OnGpsPosition(GpsPosition* position) override {
        gpsPositions.push_back(position);
        // As the frame does: on to the view.
        if (relayGpsTo) SendMessage(relayGpsTo, WM_GPS_POSITION, reinterpret_cast<WPARAM>(position), 0);
        return 0;
    }
    // The bars: each a list of command ids; a state update asks `isEnabled`
    // (a test points it at the view) for every button of a shown bar.
    bool IsToolBarShown(ToolBar bar) override { return barShown[static_cast<int>(bar)]; }
    void UpdateToolBarStates(ToolBar bar) override {
        int b = static_cast<int>(bar);
        ++barUpdates[b];
        barEnabled[b].clear();
        for (UINT id : barButtons[b]) barEnabled[b].push_back(isEnabled ? isEnabled(id) : false);
    }
    bool IsToolBarButtonEnabled(ToolBar bar, int index) override {
        int b = static_cast<int>(bar);
        return index >= 0 && index < static_cast<int>(barEnabled[b].size()) &&
               barEnabled[b][static_cast<size_t>(index)];
    }
    void SetToolBarButton(ToolBar bar, int index, UINT id, int image) override {
        int b = static_cast<int>(bar);
        if (index >= 0 && index < static_cast<int>(barButtons[b].size()))
            barButtons[b][static_cast<size_t>(index)] = id;
        reassigned.push_back({b, index, id, image});
    }

    std::vector<WString> paneTexts;
    std::vector<WString> modeLetters;
    std::vector<WString> scaleTexts;
    bool statusBarShown = true;
    int showStatusBarCalls = 0;
    int refreshCount = 0;
    std::vector<UINT> toolButtonImages;
    int editToolbarRefreshes = 0;
    std::vector<std::pair<UINT, int>> commandEvents;
    std::vector<int> boundKeys;
    int boundKeyResult = 0;
    CBookmarkList bookmarks;
    CDoubleRect viewExtent;
    bool hasView = false;
    std::vector<WString> recent;
    std::vector<GpsPosition*> gpsPositions;
    HWND relayGpsTo = nullptr;
    bool barShown[2] = {false, false};
    std::vector<UINT> barButtons[2];
    std::vector<bool> barEnabled[2];
    int barUpdates[2] = {0, 0};
    std::function<bool(UINT)> isEnabled;
    struct Reassignment {
        int bar, index;
        UINT command;
        int image;
        bool operator==(const Reassignment&) const = default;
    };
    std::vector<Reassignment> reassigned;
};

// Scripting on: every event is recorded with its source.
class CRecordingScript : public IScriptServices {
public:
    struct Event {
        IDispatch* source;
        int id;
    };
    void FireScriptEvent(IDispatch* source, int eventId, bool, int) override {
        if (source) events.push_back({source, eventId});
    }
    IDispatch* CreateLayerObject(CLayer*) override {
        ++objectsMade;
        return CreatePlainScriptObject();
    }
    std::unique_ptr<IScriptHost> CreateScriptHost() override { return nullptr; }
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return false; }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }

    std::vector<Event> events;
    int objectsMade = 0;
};

class CRecordingShell : public IShellServices {
public:
    const LayerExtensionInfo* FindLayerExtension(WStringView path) override {
        if (acceptExtension.empty()) return nullptr;
        size_t dot = path.rfind(u'.');
        if (dot == WStringView::npos || !text::EqualsNoCase(path.substr(dot + 1), acceptExtension))
            return nullptr;
        return &extension;
    }
    bool ShowFeatureSheet(CLayer* layer, int record, int mode) override {
        sheets.push_back({layer, record, mode});
        // Stands in for the form's scripts, which may act before the answer.
        if (onSheet) return onSheet(layer, record, mode);
        return sheetResult;
    }
    bool IsFeatureSheetOpen() override { return sheetOpen; }
    void CloseFeatureSheet() override { sheetOpen = false; }
    void IdentifyFeature(CLayer* layer, int record) override { identified.push_back({layer, record}); }
    // The field browser as the test scripts it (false: cancelled).
    bool BrowseField(HWND, CFeatureLayer*& layer, int& field) override {
        return browse ? browse(layer, field) : false;
    }
    // The plain menu resource's first pop-up: its items and their states
    // are what the pop-up responder sees.
    HMENU LoadImageMenu(UINT menuId) override;
    int ShellExecuteFile(HWND, const WChar* path) override {
        files.emplace_back(path);
        return 1;
    }
    int OpenUrlShortcut(HWND, const WChar* url) override {
        urls.emplace_back(url);
        return 1;
    }

    struct Sheet {
        CLayer* layer;
        int record;
        int mode;
    };
    WString acceptExtension;  // the one extension the test extension accepts
    LayerExtensionInfo extension{1, nullptr, nullptr};
    std::vector<Sheet> sheets;
    bool sheetResult = true;
    std::function<bool(CLayer* layer, int record, int mode)> onSheet;
    std::vector<std::pair<CLayer*, int>> identified;
    bool sheetOpen = false;
    std::function<bool(CFeatureLayer*& layer, int& field)> browse;
    std::vector<WString> files;
    std::vector<WString> urls;
};

// A feature layer over the shapefile engine, as the shapefile layer class
// will be: its extent is the file's bounds, its system the .prj's.
class CTestShapeLayer : public CFeatureLayer {
public:
    // Tests set what a layer class says of itself.
    using CLayer::SetCategory;
    using CLayer::SetDisplayClass;
    using CLayer::SetHyperlinkField;
    using CLayer::SetKind;
    CTestShapeLayer();
    ~CTestShapeLayer() override;
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    void OnViewChanged() override { ++viewChanges; }
    bool Draw(HDC, HDC, double) override { return true; }
    void GetExtent(CDoubleRect& extent) override;
    ShpHandle GetShapeFile() override { return m_shp; }
    DbfHandle GetTable() override;
    bool CanEdit() override { return true; }
    bool SetEditMode(bool on) override;
    bool IsOpenForEdit() override { return m_editing; }
    void LoadProperties(const CXmlNode* element) override;

    int GetFieldCount() override;
    WString GetFieldName(int field) override;
    int GetFieldDecimals(int) override { return 0; }
    int GetFieldWidth(int) override { return 0; }
    WChar GetFieldType(int field) override;
    int GetFieldText(int field, WString& text, const void* record = nullptr) override;
    double GetFieldNumber(int, const void* = nullptr) override { return 0; }
    bool GetFieldLogical(int, const void* = nullptr) override { return false; }
    bool GetFieldDate(int, int& y, int& m, int& d, const void* = nullptr) override {
        y = m = d = 0;
        return false;
    }
    bool GetFeatureExtent(int, CDoubleRect&) override { return false; }
    bool ReadRecord(int record, void* buffer = nullptr) override;
    bool WriteRecord(int, const void* = nullptr) override { return false; }
    bool IsNullFeature(int) override { return false; }
    int FindNext(int, const CDoubleRect*) override { return 0; }
    int HitTest(const DoublePoint&, double*, double, const CDoubleRect&) override { return 0; }
    void DrawFeatureSymbol(int, HDC, const RECT&) override {}

    // Edit-mode switches that fail, for every test layer.
    static bool s_failEditOn;
    static bool s_failEditOff;
    std::vector<bool> editCalls;
    int viewChanges = 0;
    int loadPropertiesCalls = 0;
    WString hyperlinkFieldName;  // set by the test before opening

private:
    ShpHandle m_shp = nullptr;
    bool m_editing = false;
};

// A layer whose dataset always opens and that draws nothing.
class CStubLayer : public CLayer {
public:
    // Tests set what a layer class says of itself.
    using CLayer::SetCategory;
    using CLayer::SetDisplayClass;
    using CLayer::SetHyperlinkField;
    using CLayer::SetKind;
    bool OpenDataset(const WString&) override { return true; }
    void CloseDataset() override {}
    void OnViewChanged() override {}
    bool Draw(HDC, HDC, double) override { return true; }
};

// An image layer (kinds 1 to 4): its extent comes from the test.
class CTestImageLayer : public CStubLayer {
public:
    explicit CTestImageLayer(LayerKind kind);
    static CDoubleRect s_extent;
};

// An extension feature layer with its handle.
class CTestExtensionLayer : public CStubLayer {
public:
    CTestExtensionLayer();
    static uint32_t s_nextHandle;
};

// A feature layer with fields only (label field and hyperlink tests).
class CFieldsLayer : public CFeatureLayer {
public:
    // Tests set what a layer class says of itself.
    using CLayer::SetCategory;
    using CLayer::SetDisplayClass;
    using CLayer::SetHyperlinkField;
    using CLayer::SetKind;
    explicit CFieldsLayer(std::vector<WString> names, std::vector<WString> values = {})
        : m_names(std::move(names)), m_values(std::move(values)) {}
    bool OpenDataset(const WString&) override { return true; }
    void CloseDataset() override {}
    void OnViewChanged() override {}
    bool Draw(HDC, HDC, double) override { return true; }
    int GetFieldCount() override { return static_cast<int>(m_names.size()); }
    WString GetFieldName(int field) override { return m_names[static_cast<size_t>(field)]; }
    int GetFieldDecimals(int) override { return 0; }
    int GetFieldWidth(int) override { return 0; }
    WChar GetFieldType(int) override { return u'C'; }
    int GetFieldText(int field, WString& text, const void* = nullptr) override {
        text = static_cast<size_t>(field) < m_values.size() ? m_values[static_cast<size_t>(field)] : WString();
        return static_cast<int>(text.size());
    }
    double GetFieldNumber(int, const void* = nullptr) override { return 0; }
    bool GetFieldLogical(int, const void* = nullptr) override { return false; }
    bool GetFieldDate(int, int& y, int& m, int& d, const void* = nullptr) override {
        y = m = d = 0;
        return false;
    }
    bool GetFeatureExtent(int, CDoubleRect&) override { return false; }
    bool ReadRecord(int record, void* = nullptr) override { return record == 1; }
    bool WriteRecord(int, const void* = nullptr) override { return false; }
    bool IsNullFeature(int) override { return false; }
    int FindNext(int, const CDoubleRect*) override { return 0; }
    int HitTest(const DoublePoint&, double*, double, const CDoubleRect&) override { return 0; }
    void DrawFeatureSymbol(int, HDC, const RECT&) override {}

private:
    std::vector<WString> m_names;
    std::vector<WString> m_values;
};

// Each test gets a device root, a documents folder ("\Docs"), the
// recording doubles installed and the test layer classes registered.
class MapTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
    void Put(const std::string& relative, const std::string& bytes) const;
    std::string Get(const std::string& relative) const;
    bool HostExists(const std::string& relative) const;
    // Runs a shell command in the host folder (made first); true on success.
    bool ShellIn(const std::string& relative, const std::string& command) const;
    // A shapefile of points (shpcreate/shpadd/dbfcreate/dbfadd) with a NAME
    // field; `points` as "x y" texts.
    void MakePointShapefile(const std::string& relative, const std::string& name,
                            const std::vector<std::string>& points) const;
    std::vector<std::string> HostList(const std::string& relative) const;

    std::string root_;
    CRecordingMainWindow mainWindow_;
    CRecordingScript script_;
    CRecordingShell shell_;
};

// Well-known texts the map tests use: UTM zone 33 north on WGS 1984.
extern const WChar kUtm33Wkt[];
// A new system from a well-known text (null when it does not parse).
CCoordSys* MakeCoordSys(const WChar* wkt);

// The text every map message box showed, in order.
std::vector<WString> MessageTexts();
std::vector<UINT> Beeps();
