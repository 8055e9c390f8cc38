#include "map/dialogs/measure_info_dlg.h"

#include "core/language_module.h"
#include "resources/zres.h"

CMeasureInfoDlg::CMeasureInfoDlg(HWND parent) : CDialogExt(IDD_MEASURE_INFO, parent) {}

bool CMeasureInfoDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    auto set = [&](int id, const WString& t) { SetWindowText(GetDlgItem(id), t.c_str()); };
    set(IDC_MEASURE_AREA, m_area);
    set(IDC_MEASURE_FORWARD, m_forwardAzimuth);
    set(IDC_MEASURE_BACK, m_backAzimuth);
    set(IDC_MEASURE_ALONG, m_length);
    set(IDC_MEASURE_DIRECT, m_distance);
    set(IDC_MEASURE_FROM, m_from);
    set(IDC_MEASURE_TO, m_to);
    CLanguageModule* lang = GetLanguageModule();
    if (m_kind > 0) set(IDC_MEASURE_ALONG_LABEL, lang->LoadString(IDS_MEASURE_PERIMETER, true));
    if (m_kind == 2) set(IDC_MEASURE_DIRECT_LABEL, lang->LoadString(IDS_MEASURE_RADIUS, true));
    return true;
}

void RunMeasureInfoDialog(HWND owner, const MeasureTexts& texts) {
    CMeasureInfoDlg dlg(owner);
    dlg.m_area = texts.area;
    dlg.m_forwardAzimuth = texts.forwardAzimuth;
    dlg.m_backAzimuth = texts.backAzimuth;
    dlg.m_length = texts.length;
    dlg.m_distance = texts.distance;
    dlg.m_from = texts.from;
    dlg.m_to = texts.to;
    dlg.m_kind = texts.kind;
    dlg.DoModal();
}
