#include "map/dialogs/layers_dlg.h"

#include "core/language_module.h"
#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "map/dialogs/crs_dialogs.h"
#include "map/dialogs/layer_property_sheet.h"
#include "map/layers/layer_list.h"
#include "map/layers/map_doc.h"
#include "map/map_messages.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

const COLORREF kMagenta = RGB(255, 0, 255);

// The buttons in template order with their pictures.
struct ButtonPictures {
    int id;
    UINT up, down, focus, disabled;
};
constexpr ButtonPictures kButtons[7] = {
    {IDC_LAYERS_CP, IDB_CP_UP, IDB_CP_DOWN, IDB_CP_FOCUS, IDB_CP_DISABLED},
    {IDC_LAYERS_PRJ, IDB_PRJ_UP, IDB_PRJ_DOWN, IDB_PRJ_FOCUS, IDB_PRJ_DISABLED},
    {IDC_LAYERS_DTM, IDB_DTM_UP, IDB_DTM_DOWN, IDB_DTM_FOCUS, IDB_DTM_DISABLED},
    {IDC_LAYERS_PP, IDB_PP_UP, IDB_PP_DOWN, IDB_PP_FOCUS, IDB_PP_DISABLED},
    {IDC_LAYERS_UP, IDB_MOVE_UP_UP, IDB_MOVE_UP_DOWN, IDB_MOVE_UP_FOCUS, IDB_MOVE_UP_DISABLED},
    {IDC_LAYERS_DN, IDB_MOVE_DOWN_UP, IDB_MOVE_DOWN_DOWN, IDB_MOVE_DOWN_FOCUS,
     IDB_MOVE_DOWN_DISABLED},
    {IDC_LAYERS_DL, IDB_DELETE_UP, IDB_DELETE_DOWN, IDB_DELETE_FOCUS, IDB_DELETE_DISABLED},
};

constexpr int kItemTracklog = -1;
constexpr int kItemGrid = -2;

bool IsSystemLayer(const CLayer* layer) {
    return layer->GetKind() == LayerKind::System;
}

}  // namespace

// ---------------------------------------------------------------- list

bool CLayerListCtrl::Setup(HWND dialog, int id, CLayerList* layers) {
    m_layers = layers;
    if (!SubclassDlgItem(id, dialog)) return false;
    if (CLanguageModule* lang = GetLanguageModule()) {
        lang->ApplyRtlStyle(GetSafeHwnd());
        lang->ApplyRtlStyle(GetHeader());
    }
    SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
    InsertColumn(kColumnTitle, u"Title", LVCFMT_LEFT, 125);
    InsertColumn(kColumnVisible, u"", LVCFMT_LEFT, 20);
    InsertColumn(kColumnIdentify, u"", LVCFMT_LEFT, 20);
    InsertColumn(kColumnEdit, u"", LVCFMT_LEFT, 20);
    SetImageList(IDB_LAYER_ROWS, ListImages::Small, 16, kMagenta);
    if (m_header.Attach(GetHeader())) {
        m_header.SetImageList(IDB_LAYER_HEADER, 16, kMagenta);
        m_header.SetItemImage(kColumnVisible, 0);
        m_header.SetItemImage(kColumnIdentify, 1);
        m_header.SetItemImage(kColumnEdit, 3);
    }
    // The visible cell is the one the eye meets first.
    SwapColumns(kColumnTitle, kColumnVisible);
    return true;
}

CLayer* CLayerListCtrl::LayerAt(int row) const {
    if (row < 0 || row >= GetItemCount() || !m_layers) return nullptr;
    return m_layers->LayerFromItem(static_cast<int>(GetItemData(row)));
}

int CLayerListCtrl::IconOf(CLayer* layer) {
    if (layer->GetKind() == LayerKind::Internet) return 16;
    if (layer->GetKind() == LayerKind::Extension) {
        IShellServices* shell = GetShellServices();
        const LayerExtensionInfo* info = shell ? shell->FindLayerExtension(layer->GetPath()) : nullptr;
        if (info && info->icon) {
            for (const auto& [extension, image] : m_extensionIcons)
                if (extension == info->extension) return image;
            HIMAGELIST images = reinterpret_cast<HIMAGELIST>(
                SendMessage(GetSafeHwnd(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
            const int image = images ? ImageList_AddIcon(images, info->icon) : -1;
            if (image >= 0) {
                m_extensionIcons.emplace_back(info->extension, image);
                return image;
            }
        }
    }
    switch (layer->GetDisplayClass()) {
        case DisplayClass::Point: return 6;
        case DisplayClass::Line: return 7;
        case DisplayClass::Polygon: return 8;
        case DisplayClass::Image: return 9;
        case DisplayClass::OtherFeatures: return 10;
        case DisplayClass::Grid: return 14;
        case DisplayClass::Tracklog: return 13;
        default: return 0;
    }
}

int CLayerListCtrl::AddRow(CLayer* layer, int itemData) {
    const int row = InsertItem(GetItemCount(), layer->GetName().c_str(), IconOf(layer));
    if (row < 0) return row;
    SetItemData(row, itemData);
    UpdateCells(row);
    return row;
}

void CLayerListCtrl::UpdateCells(int row) {
    CLayer* layer = LayerAt(row);
    if (!layer) return;
    SetItemImage(row, kColumnVisible, layer->IsVisible() ? kImageOn : kImageOff);
    SetItemImage(row, kColumnIdentify,
                 !layer->IsIdentifiable() ? kNoImage : layer->GetIdentify() ? kImageOn : kImageOff);
    int edit = kNoImage;
    if (layer->CanEdit())
        edit = m_layers->GetEditLayer(layer->GetDisplayClass()) == layer ? kImageOn : kImageOff;
    SetItemImage(row, kColumnEdit, edit);
}

int CLayerListCtrl::FindRow(const CLayer* layer) const {
    for (int row = 0; row < GetItemCount(); ++row)
        if (LayerAt(row) == layer) return row;
    return -1;
}

void CLayerListCtrl::FillList() {
    m_filling = true;
    const int selected = GetNextItem(-1, LVNI_SELECTED);
    const LPARAM keep = selected >= 0 ? GetItemData(selected) : LPARAM(-100);
    DeleteAllItems();
    AddRow(&m_layers->GetTracklog(), kItemTracklog);
    AddRow(&m_layers->GetGrid(), kItemGrid);
    for (int i = 0; i < m_layers->GetCount(); ++i) AddRow(m_layers->GetAt(i), i);
    for (int row = 0; row < GetItemCount(); ++row) {
        if (GetItemData(row) == keep) {
            SelectItem(row);
            break;
        }
    }
    m_filling = false;
}

bool CLayerListCtrl::ToggleAllVisible() {
    bool changed = false;
    for (int i = 0; i < m_layers->GetCount(); ++i) {
        CLayer* layer = m_layers->GetAt(i);
        changed |= layer->IsVisible() != m_showAll;
        layer->SetVisible(m_showAll);
    }
    m_showAll = !m_showAll;
    for (int row = 0; row < GetItemCount(); ++row) UpdateCells(row);
    return changed;
}

bool CLayerListCtrl::ToggleAllIdentify() {
    bool changed = false;
    for (int i = 0; i < m_layers->GetCount(); ++i) {
        CLayer* layer = m_layers->GetAt(i);
        if (!layer->IsIdentifiable()) continue;
        changed |= layer->GetIdentify() != m_identifyAll ||
                   (m_identifyAll && !layer->IsVisible());
        layer->SetIdentify(m_identifyAll);
    }
    m_identifyAll = !m_identifyAll;
    for (int row = 0; row < GetItemCount(); ++row) UpdateCells(row);
    return changed;
}

// ---------------------------------------------------------------- dialog

CLayersDlg::CLayersDlg(CMapDoc* doc, HWND parent) : CDialogExt(IDD_LAYERS, parent), m_doc(doc) {}

CLayersDlg::~CLayersDlg() = default;

bool& CLayersDlg::Changed() { return m_doc->GetLayers().m_layersChanged; }

bool CLayersDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    // An OK button in the caption and no system menu.
    UseCaptionButtons(true, false);
    SetWindowLong(GetSafeHwnd(), GWL_EXSTYLE,
                  static_cast<LONG>(static_cast<DWORD>(GetWindowLong(GetSafeHwnd(), GWL_EXSTYLE)) |
                                    WS_EX_CAPTIONOKBTN));
    SetWindowLong(GetSafeHwnd(), GWL_STYLE,
                  static_cast<LONG>(static_cast<DWORD>(GetWindowLong(GetSafeHwnd(), GWL_STYLE)) &
                                    ~WS_SYSMENU));
    AddAnchor(IDC_LAYERS_LIST, kAnchorStretch, kAnchorStretch);
    for (int i = 0; i < 7; ++i) {
        const ButtonPictures& b = kButtons[i];
        m_buttons[i].AutoLoad(GetSafeHwnd(), b.id, b.up, b.down, b.focus, b.disabled);
        AddAnchor(b.id, kAnchorMove, kAnchorNone);
    }
    Changed() = false;
    m_list.Setup(GetSafeHwnd(), IDC_LAYERS_LIST, &m_doc->GetLayers());
    m_list.FillList();
    UpdateButtons();
    return true;
}

CLayer* CLayersDlg::Selected(int* itemData) const {
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return nullptr;
    if (itemData) *itemData = static_cast<int>(m_list.GetItemData(row));
    return m_list.LayerAt(row);
}

void CLayersDlg::UpdateButtons() {
    int item = 0;
    CLayer* layer = Selected(&item);
    bool pp = layer != nullptr;
    // The grid and the tracklog show the preferences' own pages: without
    // one there is nothing to show.
    if (layer && item == kItemGrid) pp = GetPreferences()->CreateGridStylePage() != nullptr;
    if (layer && item == kItemTracklog) pp = GetPreferences()->CreateTracklogPage() != nullptr;
    const bool movable = layer && !IsSystemLayer(layer) && item >= 0;
    const int count = m_doc->GetLayers().GetCount();
    EnableWindow(GetDlgItem(IDC_LAYERS_PP), pp);
    EnableWindow(GetDlgItem(IDC_LAYERS_UP), movable && item > 0);
    EnableWindow(GetDlgItem(IDC_LAYERS_DN), movable && item < count - 1);
    EnableWindow(GetDlgItem(IDC_LAYERS_DL), movable);
    for (win::BitmapButton& b : m_buttons) b.Refresh();
}

bool CLayersDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    // A double tap on a button is a second tap for the ones that repeat.
    const bool repeats = id == IDC_LAYERS_PP || id == IDC_LAYERS_UP || id == IDC_LAYERS_DN ||
                         id == IDC_LAYERS_DL;
    if (code == BN_CLICKED || (code == BN_DBLCLK && repeats)) {
        switch (id) {
            case IDC_LAYERS_CP: OnChooseProjection(); return true;
            case IDC_LAYERS_PRJ: OnProjectionInfo(); return true;
            case IDC_LAYERS_DTM: OnDatum(); return true;
            case IDC_LAYERS_PP: OnProperties(); return true;
            case IDC_LAYERS_UP: OnMoveUp(); return true;
            case IDC_LAYERS_DN: OnMoveDown(); return true;
            case IDC_LAYERS_DL: OnRemove(); return true;
            default: break;
        }
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

bool CLayersDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (hdr && hdr->hwndFrom == m_list.GetSafeHwnd()) {
        switch (hdr->code) {
            case LVN_ITEMCHANGED:
                if (!m_list.IsFilling()) UpdateButtons();
                return true;
            case NM_CLICK: {
                const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
                if (click->iItem < 0) return true;
                // The list reports the cell under the tap.
                OnCellClick(click->iItem, click->iSubItem);
                return true;
            }
            case NM_DBLCLK: {
                const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
                if (click->iItem >= 0 && IsWindowEnabled(GetDlgItem(IDC_LAYERS_PP))) OnProperties();
                return true;
            }
            case LVN_COLUMNCLICK: {
                const auto* column = reinterpret_cast<const NMLISTVIEW*>(lParam);
                bool changed = false;
                if (column->iSubItem == CLayerListCtrl::kColumnVisible)
                    changed = m_list.ToggleAllVisible();
                else if (column->iSubItem == CLayerListCtrl::kColumnIdentify)
                    changed = m_list.ToggleAllIdentify();
                // What the header changed must be drawn and saved like a
                // cell's change.
                if (changed) Changed() = true;
                return true;
            }
            default: break;
        }
    }
    return CDialogExt::OnNotify(wParam, lParam, result);
}

void CLayersDlg::OnCellClick(int row, int column) {
    if (column != CLayerListCtrl::kColumnVisible && column != CLayerListCtrl::kColumnIdentify &&
        column != CLayerListCtrl::kColumnEdit)
        return;
    CLayer* layer = m_list.LayerAt(row);
    const int image = m_list.GetItemImage(row, column);
    if (!layer || (image != CLayerListCtrl::kImageOff && image != CLayerListCtrl::kImageOn)) return;
    const bool on = image == CLayerListCtrl::kImageOff;
    CLayerList& layers = m_doc->GetLayers();
    if (column == CLayerListCtrl::kColumnVisible) {
        layer->SetVisible(on);
    } else if (column == CLayerListCtrl::kColumnIdentify) {
        layer->SetIdentify(on);
    } else if (on) {
        layer->SetVisible(true);
        CLayer* previous = layers.SetEditLayer(layer);
        if (previous && previous != layer) {
            const int previousRow = m_list.FindRow(previous);
            if (previousRow >= 0) m_list.UpdateCells(previousRow);
        }
    } else {
        layers.ClearEditLayer(layer->GetDisplayClass());
    }
    Changed() = true;
    // The row shows the layer as it now is: one made visible by identify or
    // editing shows it at once, and a layer that did not become the edit
    // layer stays off.
    const int editImage = m_list.GetItemImage(row, CLayerListCtrl::kColumnEdit);
    m_list.UpdateCells(row);
    if (column == CLayerListCtrl::kColumnEdit || editImage == CLayerListCtrl::kImageOff ||
        editImage == CLayerListCtrl::kImageOn) {
        const bool editing = layers.GetEditLayer(layer->GetDisplayClass()) == layer;
        m_list.SetItemImage(row, CLayerListCtrl::kColumnEdit,
                            editing ? CLayerListCtrl::kImageOn : CLayerListCtrl::kImageOff);
    }
}

void CLayersDlg::OnChooseProjection() {
    CFileDialogEx dialog(true, u"prj", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                         u"Projection Files|*.prj||", GetSafeHwnd());
    dialog.m_ofn.title = LoadMapString(IDS_CHOOSE_PROJECTION_FILE);
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.data;
    if (dialog.DoModal() != IDOK) return;
    const WString path = dialog.GetPathName();
    CWktCoordSys wkt;
    if (!wkt.ReadPrjFile(path)) return;
    std::unique_ptr<CCoordSys> cs = wkt.CreateProjection();
    if (!cs) return;
    // A system the program cannot project with would misplace every layer.
    if (!wkt.m_projectionSupported) {
        ShowMapMessage(IDP_PROJECTION_NOT_SUPPORTED, MB_OK | MB_ICONEXCLAMATION, kBeepExclamation,
                       {path});
        return;
    }
    m_doc->SetMapCoordSys(cs.release(), true);
    Changed() = true;
}

void CLayersDlg::OnProjectionInfo() {
    ShowProjectionInfo(GetSafeHwnd(), m_doc->GetMapCoordSys());
}

void CLayersDlg::OnDatum() {
    CCoordSys* cs = m_doc->GetMapCoordSys();
    if (!cs) return;
    DatumTransformation row = cs->m_datum;
    if (!ChooseDatumTransformation(GetSafeHwnd(), row, false)) return;
    cs->SetDatum(row);
    // The same system: the layers and views take the new datum.
    m_doc->SetMapCoordSys(cs, true);
    Changed() = true;
}

void CLayersDlg::OnProperties() {
    CLayer* layer = Selected();
    if (!layer) return;
    if (!RunLayerPropertySheet(layer, LayerGeographyText(layer), GetSafeHwnd())) return;
    m_list.FillList();
    UpdateButtons();
    Changed() = true;
}

void CLayersDlg::Move(int by) {
    int item = 0;
    CLayer* layer = Selected(&item);
    if (!layer || item < 0 || IsSystemLayer(layer)) return;
    m_doc->GetLayers().MoveLayer(layer, item + by);
    m_list.FillList();
    // The selection goes with the layer, so that it can be moved again.
    const int row = m_list.FindRow(layer);
    if (row >= 0) m_list.SelectItem(row);
    UpdateButtons();
    Changed() = true;
}

void CLayersDlg::OnMoveUp() { Move(-1); }

void CLayersDlg::OnMoveDown() { Move(1); }

void CLayersDlg::OnRemove() {
    int item = 0;
    CLayer* layer = Selected(&item);
    if (!layer || item < 0 || IsSystemLayer(layer)) return;
    if (ShowMapMessage(IDP_REMOVE_LAYER, MB_YESNO | MB_ICONQUESTION, static_cast<MapBeep>(0x20),
                       {layer->GetPath()}) != IDYES)
        return;
    m_doc->GetLayers().RemoveLayer(layer);
    m_list.FillList();
    UpdateButtons();
    Changed() = true;
}

void CLayersDlg::OnOK() { EndDialog(Changed() ? 1 : 0); }

void CLayersDlg::OnCancel() { EndDialog(Changed() ? 1 : 0); }

bool RunLayersDialog(CMapDoc* doc, HWND parent) {
    if (!doc) return false;
    CLayersDlg dialog(doc, parent);
    dialog.DoModal();
    return doc->GetLayers().m_layersChanged;
}

WString LayerGeographyText(CLayer* layer) {
    WString text;
    layer->GetInfoText(text);
    if (!IsSystemLayer(layer)) {
        const CDoubleRect e = layer->Extent();
        text += text::Format(
            u"xMin=%.15g\r\nyMax=%.15g\r\nxMax=%.15g\r\nyMin=%.15g\r\nWidth=%.15g\r\nHeight=%.15g\r\n",
            e.xmin, e.ymax, e.xmax, e.ymin, e.xmax - e.xmin, e.ymax - e.ymin);
    }
    return text;
}
