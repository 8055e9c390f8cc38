// The view's dialog commands: Set View Coordinates, Set Map Scale, Create
// Bookmark and the Bookmarks dialog; and the scale bar's switch.
#include <cmath>
#include <memory>

#include "map/dialogs/view_dialogs.h"
#include "map/layers/bookmark_dlg.h"
#include "map/services/main_window.h"
#include "map/view/map_view.h"

bool AnswerCommandQuery(CCmdUI* ui, bool enabled, int checked) {
    if (!ui) return false;
    ui->Enable(enabled);
    if (checked >= 0) ui->SetCheck(checked);
    return true;
}

bool CMapView::OnViewDialogCommand(UINT id, CCmdUI* ui) {
    IMainWindow* frame = GetMainWindowServices();
    bool enabled = true;
    int checked = -1;
    switch (id) {
        case ID_VIEW_SETMAPCOORDINATES:
        case ID_VIEW_SETMAPSCALE:
        case ID_VIEW_CREATEBOOKMARK:
            break;
        case ID_VIEW_MANAGEBOOKMARKS:
            enabled = frame && frame->GetBookmarks().GetCount() > 0;
            break;
        case ID_VIEW_TOGGLESCALEBAR:
            checked = m_doc && m_doc->IsScaleBarVisible();
            break;
        default:
            return false;
    }
    if (AnswerCommandQuery(ui, enabled, checked) || !enabled) return true;
    switch (id) {
        case ID_VIEW_SETMAPCOORDINATES:
            SetViewCoordinates();
            break;
        case ID_VIEW_SETMAPSCALE:
            SetScaleFromDialog();
            break;
        case ID_VIEW_CREATEBOOKMARK:
            CreateBookmark();
            break;
        case ID_VIEW_MANAGEBOOKMARKS: {
            CBookmarksDlg dialog(frame->GetBookmarks(), GetSafeHwnd());
            dialog.DoModal();
            frame->GetBookmarks().SaveGlobal();
            break;
        }
        case ID_VIEW_TOGGLESCALEBAR:
            if (m_doc) m_doc->SetScaleBarVisible(!m_doc->IsScaleBarVisible());
            Repaint(true);
            break;
        default:
            break;
    }
    return true;
}

void CMapView::SetViewCoordinates() {
    CViewCoordsDlg dialog(GetExtent(), GetCoordinateEntryMode() == 2, GetSafeHwnd());
    if (dialog.DoModal() != IDOK) return;
    if (dialog.m_centerMode)
        CenterAt(dialog.m_centerX, dialog.m_centerY);
    else
        ZoomToExtent(dialog.Extent(), true, 1.0);
}

void CMapView::SetScaleFromDialog() {
    double scale = GetMapScale(true);
    if (scale == 0) {
        MessageBeep(0x30);
        return;
    }
    if (RunMapScaleDialog(GetSafeHwnd(), scale)) SetMapScale(scale);
}

void CMapView::CreateBookmark() {
    IMainWindow* frame = GetMainWindowServices();
    if (!frame) return;
    CBookmarkList& list = frame->GetBookmarks();
    auto bookmark = std::make_unique<CBookmark>(text::Format(u"Bookmark %d", list.GetCount() + 1),
                                                GetExtent(), false);
    if (!RunBookmarkDialog(GetSafeHwnd(), bookmark.get())) return;
    const bool global = bookmark->m_global;
    list.Add(std::move(bookmark));
    if (global) list.SaveGlobal();
}
