#include "shell/forms/feature_sheet.h"

#include <cstring>

#include "core/language_module.h"
#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/shape_layer.h"
#include "map/map_messages.h"
#include "map/services/gps.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "map/services/view_messages.h"
#include "map/view/map_view.h"
#include "platform/win/commctrl.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "resources/zres.h"

namespace {

CFeatureSheet* g_modeless = nullptr;
int g_constructions = 0;

CForm* LayerForm(CShapeLayer* layer, bool editable) {
    return layer ? static_cast<CForm*>(layer->GetForm(editable)) : nullptr;
}

bool IsPointFileType(int type) {
    return type == kShapePoint || type == kShapePointZ || type == kShapePointM;
}

bool ReceiverAveraging(IGps* gps) {
    return (gps->Position().stateBits & ZN_GPS_STATE_AVERAGING) != 0;
}

void InvalidateMapView() {
    if (CurrentMapView && CurrentMapView->GetSafeHwnd())
        InvalidateRect(CurrentMapView->GetSafeHwnd(), nullptr, false);
}

void TellWriteFailure(const WString& engineText) {
    ShowMapMessageText(engineText, MB_OK | MB_ICONERROR, kBeepError);
}

}  // namespace

// ------------------------------------------------------------------ data --

FeatureSheetData::FeatureSheetData(CShapeLayer* layer)
    : m_layer(layer), m_file(layer ? layer->GetShapeFile() : nullptr, false) {
    m_recordSource.table = &m_file.GetTable();
    m_recordSource.record = m_file.GetTable().Table() ? m_file.GetTable().GetRecordBuffer() : nullptr;
    m_recordSource.layer = layer;
}

// ----------------------------------------------------------------- sheet --

CFeatureSheet::CFeatureSheet(CShapeLayer* layer, int record, bool editable, UINT captionId,
                             HWND parent, UINT selectPage)
    : FeatureSheetData(layer),
      CFormPropertySheet(LayerForm(layer, editable), &m_recordSource, editable,
                         editable ? kFeatureSheetEdit : kFeatureSheetIdentify, captionId, parent,
                         selectPage),
      m_attributesPage(this),
      m_symbologyPage(this),
      m_geographyPage(this),
      m_pointPage(this) {
    ++g_constructions;
    IGps* gps = GetGps();
    m_averaging = editable && gps->IsGpsActive() && ReceiverAveraging(gps) &&
                  IsPointFileType(GetShapeType());
    SetRecord(record);
    const CForm* form = m_form;
    if (!form || form->m_attributesPageVisible) AddPage(&m_attributesPage);
    if (layer && layer->m_renderer.GetClassCount() > 0 && (!form || form->m_symbologyPageVisible))
        AddPage(&m_symbologyPage);
    if (!form || form->m_geographyPageVisible) {
        if (IsPointFileType(GetShapeType()))
            AddPage(&m_pointPage);
        else
            AddPage(&m_geographyPage);
    }
}

CFeatureSheet::~CFeatureSheet() {
    if (GetSafeHwnd()) DestroyWindow();
    if (g_modeless == this) g_modeless = nullptr;
}

int CFeatureSheet::ConstructionCount() {
    return g_constructions;
}

int CFeatureSheet::GetShapeType() const {
    ShpHandle h = m_layer ? m_layer->GetShapeFile() : nullptr;
    return h ? ShpGetShapeType(h) : kShapeNull;
}

bool CFeatureSheet::SetRecord(int record) {
    m_record = record;
    ShpHandle h = m_layer ? m_layer->GetShapeFile() : nullptr;
    DbfHandle table = GetTable();
    if (!h || !table || record < 0) return false;
    const int length = ShpGetContentLength(h, record);
    ShapeRecord* buffer = m_file.ReserveBuffer(static_cast<size_t>(length > 0 ? length : 0));
    ShapeRecord* shape =
        buffer ? ShpReadShape(h, record, buffer, ShapeHeapCapacity(buffer)) : nullptr;
    if (shape) {
        const size_t size = ShapeGetRecordSize(shape);
        const uint8_t* bytes = ShapeBytes(shape);
        m_originalShape.assign(bytes, bytes + (size ? size : static_cast<size_t>(length)));
    } else {
        m_originalShape.clear();
    }
    const bool attributes = DbfReadRecord(table, record, m_recordSource.record) != 0;
    if (!shape || !attributes) {
        m_record = -1;
        return false;
    }
    return true;
}

bool CFeatureSheet::GetPointVertex(double& x, double& y, double& z, double& m) const {
    const ShapeRecord* shape = GetShape();
    if (!shape || ShpGetPointCount(shape) < 1) return false;
    return ShpGetPartPoint(nullptr, 0, &x, &y, &z, &m, shape) >= 0;
}

void CFeatureSheet::SetPointVertex(double x, double y, double z, double m) {
    ShapeRecord* shape = GetShape();
    if (!shape || ShpGetPointCount(shape) < 1) return;
    ShpSetPartPoint(nullptr, 0, x, y, z, m, shape);
}

bool CFeatureSheet::Show(CLayer* layer, int record, int mode) {
    auto* shapeLayer = dynamic_cast<CShapeLayer*>(layer);
    // Extension layers show their features in their own identify dialogs;
    // without a shapefile there is nothing to show or write.
    if (!shapeLayer || !shapeLayer->GetShapeFile() || !shapeLayer->GetTable()) return false;
    HWND main = win::GetMainWindow();
    const bool rtl = GetLanguageModule() && GetLanguageModule()->IsRightToLeft();
    if (mode != kFeatureSheetIdentify) {
        DestroyFeatureSheet();
        CFeatureSheet sheet(shapeLayer, record, true, IDS_FEATURE_PROPERTIES, main, 0);
        if (sheet.GetRecord() < 0) {
            // Editing what could not be read would write it back damaged.
            ShpHandle h = shapeLayer->GetShapeFile();
            WString why = ShpGetError(h) ? WString(ShpGetErrorText(h))
                                         : WString(DbfGetErrorInfo(sheet.GetTable()));
            TellWriteFailure(why);
            return false;
        }
        sheet.m_psh.dwFlags &= ~PSH_HASHELP;
        sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
        if (rtl) sheet.m_psh.dwFlags |= PSH_RTLREADING;
        sheet.m_mode = mode;
        if (sheet.DoModal() != IDOK) return false;
        return sheet.WriteBack();
    }
    if (g_modeless && g_modeless->GetLayer() != shapeLayer) DestroyFeatureSheet();
    if (!g_modeless) {
        auto* sheet = new CFeatureSheet(shapeLayer, record, false, IDS_FEATURE_PROPERTIES, main, 0);
        sheet->m_psh.dwFlags &= ~PSH_HASHELP;
        sheet->m_psh.dwFlags |= PSH_NOAPPLYNOW;
        if (rtl) sheet->m_psh.dwFlags |= PSH_RTLREADING;
        sheet->m_mode = kFeatureSheetIdentify;
        g_modeless = sheet;
        if (!sheet->Create(main)) {
            g_modeless = nullptr;
            delete sheet;
            return false;
        }
        if (sheet->m_form) sheet->m_form->m_sheet = sheet;
    } else if (!IsWindowVisible(g_modeless->GetSafeHwnd())) {
        ShowWindow(g_modeless->GetSafeHwnd(), SW_SHOWNORMAL);
    }
    PostMessage(g_modeless->GetSafeHwnd(), WM_FEATURESHEET_SHOWRECORD, static_cast<WPARAM>(-1),
                static_cast<LPARAM>(record));
    return false;
}

bool CFeatureSheet::WriteBack() {
    ShpHandle h = m_layer->GetShapeFile();
    DbfHandle table = GetTable();
    if (!h || !table || m_record < 0) return false;
    // In place; a record the file keeps shorter than its type's full size
    // (a Z or M tail left out by the program that wrote it) cannot hold the
    // edited shape there, and moves to the end of the file instead.
    ShapeRecord* shape = GetShape();
    const bool fits = ShapeGetRecordSize(shape) <= static_cast<size_t>(ShpGetContentLength(h, m_record));
    if ((fits ? ShpRewriteShape(h, m_record, shape) : ShpUpdateShape(h, m_record, shape)) < 0) {
        TellWriteFailure(ShpGetErrorText(h));
        return false;
    }
    if (!DbfWriteRecord(table, m_record, m_recordSource.record)) {
        const WString why = DbfGetErrorInfo(table);
        // The feature keeps its old shape rather than half of the edit.
        if (!m_originalShape.empty()) {
            ShapeRecord* old = ShapeHeapRealloc(nullptr, m_originalShape.size());
            if (old) {
                std::memcpy(ShapeBytes(old), m_originalShape.data(), m_originalShape.size());
                ShpRewriteShape(h, m_record, old);
                ShapeFreeBuffer(old);
            }
        }
        TellWriteFailure(why);
        return false;
    }
    if (!ShpFlush(h)) {
        TellWriteFailure(ShpGetErrorText(h));
        return false;
    }
    return true;
}

void CFeatureSheet::PreCreateSheet(DialogTemplate& tmpl) {
    if (m_mode == kFeatureSheetNew && m_form) {
        // A new feature starts with the form's default values, in the record
        // before the pages show it.
        for (int i = 0; i < m_form->GetPageCount(); ++i) m_form->LoadPageValues(i);
        m_form->ApplyDefaultValues();
        for (int i = 0; i < m_form->GetPageCount(); ++i) m_form->SavePageValues(i);
    }
    CFormPropertySheet::PreCreateSheet(tmpl);
}

bool CFeatureSheet::OnInitDialog() {
    const bool r = CFormPropertySheet::OnInitDialog();
    auto image = [this](win::PropertyPage* page, int index) {
        if (GetPageIndex(page) >= 0) SetPageImage(page, index);
    };
    image(&m_attributesPage, 1);
    image(&m_symbologyPage, 2);
    image(&m_geographyPage, 3);
    image(&m_pointPage, 3);
    if (m_form && !m_form->m_caption.empty())
        SetWindowText(GetSafeHwnd(), m_form->m_caption.c_str());
    if (m_averaging) StartAveraging();
    WChar text[260] = {};
    GetWindowText(GetSafeHwnd(), text, 260);
    m_title = text;
    return r;
}

void CFeatureSheet::StartAveraging() {
    if (CurrentMapView) {
        CurrentMapView->SetAveragingListener(GetSafeHwnd());
        m_listening = true;
    }
    if (!m_averaging || !ReceiverAveraging(GetGps())) {
        m_averaging = true;
        GetGps()->StartAveraging();
    }
}

void CFeatureSheet::StopAveraging() {
    if (m_averaging) GetGps()->StopAveraging();
    m_averaging = false;
    if (m_listening && CurrentMapView && CurrentMapView->GetAveragingListener() == GetSafeHwnd())
        CurrentMapView->SetAveragingListener(nullptr);
    m_listening = false;
}

void CFeatureSheet::OnAveragedFix() {
    IGps* gps = GetGps();
    if (!m_averaging || !ReceiverAveraging(gps)) return;
    const GpsFix fix = gps->GetAveragedFix();
    double x = 0, y = 0, z = 0, m = 0;
    if (GetPointVertex(x, y, z, m)) SetPointVertex(fix.x, fix.y, z, m);
    const int count = GetPreferences()->Data().gps.averagingPoint;
    const int samples = gps->GetAveragedCount();
    // A count of 0 or less asks for no samples: averaging is complete.
    const int progress = count > 0 ? static_cast<int>(samples * 100.0 / count) : 100;
    if (progress > 99) {
        SetWindowText(GetSafeHwnd(), m_title.c_str());
        gps->StopAveraging();
    } else {
        SetWindowText(GetSafeHwnd(),
                      text::Format(u"%s [%d%%]", m_title.c_str(), progress).c_str());
    }
    if (HWND page = m_pointPage.GetSafeHwnd()) SendMessage(page, WM_AVERAGING_GPSFIX, 0, 0);
}

bool CFeatureSheet::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDOK && HIWORD(wParam) == 0 && m_averaging) {
        IGps* gps = GetGps();
        const int count = GetPreferences()->Data().gps.averagingPoint;
        if (count > 0 && gps->GetAveragedCount() < count &&
            ShowMapMessage(IDP_AVERAGING_NOT_REACHED, MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION,
                           kBeepNone) != IDYES)
            return true;
    }
    return CFormPropertySheet::OnCommand(wParam, lParam);
}

void CFeatureSheet::OnShowRecord(int page, int record) {
    const int index = page < 0 ? GetActiveIndex() : page;
    if (!SetRecord(record)) MessageBeep(MB_ICONHAND);
    PostRefresh();
    if (index == GetActiveIndex()) {
        if (win::PropertyPage* active = GetActivePage()) active->OnSetActive();
    } else {
        SetActivePage(index);
    }
    if (m_form && m_form->m_scriptObject)
        GetScriptServices()->FireScriptEvent(m_form->m_scriptObject, kFormEventOnRefresh, true, 0);
    InvalidateMapView();
}

LRESULT CFeatureSheet::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_FEATURESHEET_SHOWRECORD:
            OnShowRecord(static_cast<int>(static_cast<intptr_t>(wParam)),
                         static_cast<int>(lParam));
            return 0;
        case WM_AVERAGING_GPSFIX:
            OnAveragedFix();
            return 0;
        case WM_SHOWWINDOW:
            // The highlight follows the sheet.
            if (this == g_modeless) InvalidateMapView();
            break;
        case WM_DESTROY: {
            LRESULT r = CFormPropertySheet::WindowProc(msg, wParam, lParam);
            InvalidateMapView();
            StopAveraging();
            return r;
        }
        default:
            break;
    }
    return CFormPropertySheet::WindowProc(msg, wParam, lParam);
}

// -------------------------------------------------------- modeless sheet --

CFeatureSheet* GetFeatureSheet() {
    return g_modeless;
}

bool IsFeatureSheetWindow() {
    return g_modeless && g_modeless->GetSafeHwnd() && IsWindowVisible(g_modeless->GetSafeHwnd());
}

bool IsFeatureSheetOpen() {
    return IsFeatureSheetWindow() && g_modeless->GetRecord() >= 0;
}

bool GetFeatureSheetShape(CDoubleRect& bounds) {
    if (!g_modeless || g_modeless->GetRecord() < 0) return false;
    const ShapeRecord* shape = g_modeless->GetShape();
    return shape && ShpGetShapeBounds(shape, &bounds);
}

void DrawFeatureSheetShape(HDC dc) {
    if (!dc || !IsFeatureSheetOpen()) return;
    ShpHandle h = g_modeless->GetLayer()->GetShapeFile();
    const ShapeRecord* shape = g_modeless->GetShape();
    if (!h || !shape) return;
    const PreferencesData& prefs = GetPreferences()->Data();
    const int width = prefs.display.highlightwidth;
    HPEN pen = CreatePen(PS_SOLID, width, prefs.display.highlightcolor);
    HGDIOBJ oldPen = SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    if (IsPointFileType(g_modeless->GetShapeType())) {
        double x = 0, y = 0, z = 0, m = 0;
        if (g_modeless->GetPointVertex(x, y, z, m)) {
            const POINT p = ShpWorldToDevice(h, x, y);
            Ellipse(dc, p.x - width, p.y - width, p.x + width, p.y + width);
        }
    } else {
        ShpDrawShape(h, dc, shape, false);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
}

void DestroyFeatureSheet() {
    CFeatureSheet* sheet = g_modeless;
    g_modeless = nullptr;
    if (!sheet) return;
    if (sheet->GetSafeHwnd()) sheet->DestroyWindow();
    delete sheet;
}

void ForgetFeatureSheetLayer(const CLayer* layer) {
    if (g_modeless && layer && static_cast<const CLayer*>(g_modeless->GetLayer()) == layer)
        DestroyFeatureSheet();
}

void CloseFeatureSheet() {
    DestroyFeatureSheet();
}

void ResetFeatureSheetForTests() {
    DestroyFeatureSheet();
    g_constructions = 0;
}
