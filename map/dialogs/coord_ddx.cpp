#include "map/dialogs/coord_ddx.h"

#include "crs/coord_text.h"
#include "platform/res/resource.h"
#include "platform/win/ddx.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"

void DDX_Coordinate(CDataExchange* dx, int id, double& value, int type, bool isLatitude) {
    if (type == kCoordinateNumber) {
        DDX_Text(dx, id, value);
        return;
    }
    HWND edit = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate) {
        bool ok = false;
        const double v = ParseCoordinate(text::Trim(GetWindowTextString(edit)), &ok);
        if (!ok) {
            // Not saved as 0: the user is told and the field keeps the focus.
            WString prompt = res::LoadStringText(nullptr, IDP_PARSE_REAL);
            if (prompt.empty()) prompt = u"Please enter a number.";
            const WString caption = res::LoadStringText(nullptr, IDS_APP_TITLE);
            MessageBox(dx->m_hDlg, prompt.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
            dx->Fail();
        }
        value = v;
        return;
    }
    WString t;
    switch (type) {
        case kCoordinateDms:
            t = FormatDmsForEdit(value, isLatitude);
            break;
        case kCoordinateDmm:
            t = FormatDmmForEdit(value, isLatitude);
            break;
        default:
            t = text::Format(u"%.15g", value);
            break;
    }
    SetWindowText(edit, t.c_str());
}

void DDV_Coordinate(CDataExchange* dx, double value, int type, bool isLatitude) {
    if (type < kCoordinateDecimal || type > kCoordinateDmm) return;
    const double limit = isLatitude ? 90.0 : 180.0;
    DDV_MinMaxDouble(dx, value, -limit, limit);
}
