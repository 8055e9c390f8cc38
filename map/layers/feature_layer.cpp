#include "map/layers/feature_layer.h"

#include "core/text_helpers.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

CFeatureLayer::CFeatureLayer() {
    SetCategory(LayerCategory::Feature);
    SetDisplayClass(DisplayClass::OtherFeatures);
}

CFeatureLayer::~CFeatureLayer() = default;

void CFeatureLayer::SetDefaultSymbol() {
    PreferencesData::DefaultSymbols& symbols = GetPreferences()->Data().defaultsymbols;
    switch (GetDisplayClass()) {
        case DisplayClass::Point:
            m_defaultSymbol.CopyFrom(symbols.point);
            break;
        case DisplayClass::Line:
            m_defaultSymbol.CopyFrom(symbols.line);
            break;
        case DisplayClass::Polygon:
            m_defaultSymbol.CopyFrom(symbols.polygon);
            break;
        default:
            break;
    }
}

int CFeatureLayer::FindLabelField() {
    int count = GetFieldCount();
    for (int i = 0; i < count; ++i) {
        WString name = text::ToLower(GetFieldName(i));
        if (name == u"name" || name == u"nam" || name == u"title") return i;
        if (name.find(u"name") != WString::npos || name.find(u"_nam") != WString::npos) return i;
        if (name == u"text" || name == u"label") return i;
        if (name.find(u"_id") != WString::npos) return i;
    }
    return 0;
}

int CFeatureLayer::HitTestWithWaitCursor(const DoublePoint& point, double* distance,
                                         double tolerance, const CDoubleRect& searchExtent) {
    win::BeginWaitCursor();
    int record = HitTest(point, distance, tolerance, searchExtent);
    win::EndWaitCursor();
    return record;
}

bool CFeatureLayer::OpenHyperlink(HWND parent, int record) {
    if (record == 0 || GetHyperlinkField() < 0) return false;
    if (!ReadRecord(record)) return false;
    WString link;
    GetFieldText(GetHyperlinkField(), link);
    if (link.size() > 260) link.resize(260);
    if (StartsWithNoCase(link, u"http:") || StartsWithNoCase(link, u"https:"))
        return GetShellServices()->OpenUrlShortcut(parent, link.c_str()) != 0;
    CPath path{WStringView(link)};
    if (path.GetDirectory().empty()) {
        CPath full{WStringView(GetDatasetPath().GetDirectoryWithSlash() + link)};
        path = full;
    }
    path.CorrectCase();
    if (DatasetFileExists(path.GetPath()))
        return GetShellServices()->ShellExecuteFile(parent, path.GetPath().c_str()) != 0;
    ShowMapMessage(IDP_FILE_NOT_EXIST, MB_OK | MB_ICONERROR, kBeepNone, {path.GetPath()});
    return false;
}

bool CFeatureLayer::ShowFeatureProperties(HWND, int record) {
    if (GetKind() == LayerKind::Shape) {
        GetShellServices()->ShowFeatureSheet(this, IndexFromRecordNumber(record), 1);
        return true;
    }
    if (GetKind() == LayerKind::Extension) GetShellServices()->IdentifyFeature(this, record);
    return false;
}

bool CFeatureLayer::EditFeatureProperties(HWND, int record) {
    if (GetKind() != LayerKind::Shape) return false;
    return GetShellServices()->ShowFeatureSheet(this, IndexFromRecordNumber(record), 2);
}
