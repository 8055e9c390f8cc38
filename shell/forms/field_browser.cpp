#include "shell/forms/field_browser.h"

#include "core/language_module.h"
#include "map/layers/layer_list.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "resources/zres.h"
#include "shell/extensions/ext_feature_layer.h"

namespace {

constexpr COLORREF kMaskColour = 0xFF00FF;

int FieldImage(WChar type) {
    switch (type) {
        case u'C':
            return 0;
        case u'N':
            return 1;
        case u'D':
            return 2;
        case u'L':
            return 3;
        default:
            return -1;
    }
}

int LayerImage(const CLayer& layer) {
    if (layer.GetKind() != LayerKind::Shape) return 9;
    switch (layer.GetDisplayClass()) {
        case DisplayClass::Point:
            return 10;
        case DisplayClass::Line:
            return 11;
        case DisplayClass::Polygon:
            return 12;
        default:
            return 9;
    }
}

LPARAM ItemData(HWND tree, HTREEITEM item) {
    TVITEM tv;
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    return SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv)) ? tv.lParam : 0;
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

CLayerFieldTree::~CLayerFieldTree() {
    if (m_images) ImageList_Destroy(m_images);
}

bool CLayerFieldTree::Attach(HWND tree) {
    if (!win::Wnd::Attach(tree)) return false;
    if (GetLanguageModule()->IsRightToLeft()) GetLanguageModule()->ApplyRtlStyle(tree);
    if (!m_images)
        m_images = ImageList_LoadBitmap(res::GetProgramModule(),
                                        MAKEINTRESOURCE(static_cast<WORD>(IDB_FIELD_TYPES)), 16, 1,
                                        kMaskColour);
    if (m_images)
        SendMessage(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images));
    return true;
}

HTREEITEM CLayerFieldTree::Insert(HTREEITEM parent, const WString& text, int image, LPARAM data) {
    TVINSERTSTRUCT ins;
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    WString copy = text;
    ins.item.pszText = copy.data();
    ins.item.iImage = image;
    ins.item.iSelectedImage = image;
    ins.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(
        SendMessage(GetSafeHwnd(), TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
}

int CLayerFieldTree::LayerImageOf(CLayer& layer) {
    auto* extension = dynamic_cast<CExtFeatureLayer*>(&layer);
    const LayerExtensionInfo* info = extension ? extension->GetExtensionInfo() : nullptr;
    if (!info || !info->icon || !m_images) return LayerImage(layer);
    auto it = m_extensionImages.find(info->icon);
    if (it == m_extensionImages.end()) {
        const int image = ImageList_AddIcon(m_images, info->icon);
        it = m_extensionImages.emplace(info->icon, image >= 0 ? image : LayerImage(layer)).first;
    }
    return it->second;
}

void CLayerFieldTree::Fill(CLayerList* layers) {
    HWND tree = GetSafeHwnd();
    SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    HTREEITEM select = nullptr;
    for (int i = 0; layers && i < layers->GetCount(); ++i) {
        CLayer* layer = layers->GetAt(i);
        const bool takes = layer && (layer->GetKind() == LayerKind::Shape ||
                                     (layer->GetKind() == LayerKind::Extension && layer->HasAttributes()));
        auto* features = takes ? dynamic_cast<CFeatureLayer*>(layer) : nullptr;
        if (!features) continue;
        if (!m_layer) m_layer = features;
        HTREEITEM layerItem = Insert(TVI_ROOT, layer->GetName(), LayerImageOf(*layer),
                                     reinterpret_cast<LPARAM>(features));
        if (features == m_layer && m_field < 0) select = layerItem;
        for (int f = 0; f < features->GetFieldCount(); ++f) {
            const int image = FieldImage(features->GetFieldType(f));
            if (image < 0) continue;
            HTREEITEM fieldItem = Insert(layerItem, features->GetFieldName(f), image, f);
            if (features == m_layer && f == m_field) select = fieldItem;
        }
    }
    if (select) SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(select));
    FollowSelection();
}

void CLayerFieldTree::FollowSelection() {
    HWND tree = GetSafeHwnd();
    HTREEITEM item = Next(tree, nullptr, TVGN_CARET);
    if (!item) return;
    if (HTREEITEM parent = Next(tree, item, TVGN_PARENT)) {
        m_layer = reinterpret_cast<CFeatureLayer*>(ItemData(tree, parent));
        m_field = static_cast<int>(ItemData(tree, item));
    } else {
        m_layer = reinterpret_cast<CFeatureLayer*>(ItemData(tree, item));
        m_field = -1;
    }
}

CFieldBrowserDlg::CFieldBrowserDlg(CLayerList* layers, CFeatureLayer*& layer, int& field,
                                   HWND parent)
    : CDialogExt(IDD_FIELD_BROWSER, parent),
      m_layers(layers),
      m_callerLayer(layer),
      m_callerField(field) {}

bool CFieldBrowserDlg::OnInitDialog() {
    const bool r = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    AddAnchor(IDC_FIELD_TREE, kAnchorStretch, kAnchorStretch);
    AddAnchor(IDOK, kAnchorMove, kAnchorMove);
    AddAnchor(IDCANCEL, kAnchorMove, kAnchorMove);
    m_tree.m_layer = m_callerLayer;
    m_tree.m_field = m_callerField;
    m_tree.Attach(GetDlgItem(IDC_FIELD_TREE));
    m_tree.Fill(m_layers);
    return r;
}

bool CFieldBrowserDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (nm && nm->idFrom == IDC_FIELD_TREE && nm->code == TVN_SELCHANGED) {
        m_tree.FollowSelection();
        *result = 0;
        return true;
    }
    return CDialogExt::OnNotify(wParam, lParam, result);
}

void CFieldBrowserDlg::OnOK() {
    m_tree.FollowSelection();
    m_callerLayer = m_tree.m_layer;
    m_callerField = m_tree.m_layer ? m_tree.m_field : -1;
    CDialogExt::OnOK();
}

bool BrowseField(HWND parent, CLayerList* layers, CFeatureLayer*& layer, int& field) {
    CFieldBrowserDlg dialog(layers, layer, field, parent);
    return dialog.DoModal() == IDOK;
}
