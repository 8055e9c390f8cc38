#include "map/symbology/symbol_list_ctrl.h"

#include "platform/win/window.h"

void CSymbolListCtrl::Initialize() {
    SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    InsertColumn(kColumnValue, u"Value", LVCFMT_LEFT, 70);
    InsertColumn(kColumnSymbol, u"Symbol", LVCFMT_LEFT, 50);
    InsertColumn(kColumnLabel, u"Label", LVCFMT_LEFT, 200);
    SwapColumns(kColumnValue, kColumnSymbol);
}

void CSymbolListCtrl::FillFromRenderer(CRenderer* renderer) {
    DeleteAllItems();
    m_renderer = renderer;
    m_layer = nullptr;
    if (!renderer) return;
    for (int i = 0; i < renderer->GetClassCount(); ++i) {
        const CSymbol& s = *renderer->GetClass(i);
        WString value;
        if (s.m_classKind == CSymbol::kClassExact)
            value = s.m_value;
        else if (s.m_classKind == CSymbol::kClassRange)
            value = text::Format(u"%s - %s", s.m_value.c_str(), s.m_upper.c_str());
        else
            value = u"<Other>";
        int row = InsertItem(i, value.c_str());
        SetItemText(row, kColumnLabel, s.m_label.c_str());
        SetItemData(row, i);
        SetCheck(row, s.m_visible);
    }
}

void CSymbolListCtrl::FillFromExtensionLayer(ILegendSource* layer) {
    DeleteAllItems();
    m_renderer = nullptr;
    m_layer = layer;
    if (!layer) return;
    int count = layer->GetLegendClassCount();
    for (int i = 0; i < count; ++i) {
        int row = InsertItem(i, layer->GetString302(i).c_str());
        SetItemText(row, kColumnLabel, layer->GetString301(i).c_str());
        SetItemData(row, i);
        SetCheck(row, layer->GetRecordFlag(i));
    }
}

void CSymbolListCtrl::ApplyChecks() {
    for (int row = 0; row < GetItemCount(); ++row) {
        int index = static_cast<int>(GetItemData(row));
        bool on = GetCheck(row);
        if (m_renderer) {
            if (CSymbol* s = m_renderer->GetClass(index)) s->m_visible = on;
        } else if (m_layer) {
            m_layer->SetRecordFlag(index, on);
        }
    }
}

void CSymbolListCtrl::DrawSymbolCell(HDC dc, int row) {
    RECT cell{};
    cell.top = kColumnSymbol;
    cell.left = LVIR_BOUNDS;
    if (!SendMessage(GetSafeHwnd(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&cell)))
        return;
    int index = static_cast<int>(GetItemData(row));
    int saved = SaveDC(dc);
    if (m_renderer) {
        if (CSymbol* s = m_renderer->GetClass(index)) s->DrawSwatch(dc, cell);
    } else if (m_layer) {
        m_layer->DrawRecord(index, dc, cell);
    }
    RestoreDC(dc, saved);
}

bool CSymbolListCtrl::HandleNotify(NMHDR* nm, LRESULT* result) {
    if (!nm || nm->hwndFrom != GetSafeHwnd()) return false;
    if (AnswerRowPostPaint(nm, result, [this](HDC dc, int row) { DrawSymbolCell(dc, row); }))
        return true;
    if (nm->code == NM_CLICK && m_layer) {
        auto* click = reinterpret_cast<NMITEMACTIVATE*>(nm);
        if (click->iItem >= 0 && click->iSubItem == kColumnSymbol) {
            int index = static_cast<int>(GetItemData(click->iItem));
            if (m_layer->DialogSymbol(GetSafeHwnd(), index)) {
                InvalidateRect(GetSafeHwnd(), nullptr, TRUE);
                UpdateWindow(GetSafeHwnd());
            }
        }
        *result = 0;
        return true;
    }
    return false;
}
