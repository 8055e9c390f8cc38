// A form page with every control type, as our drawing shows it.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/propsheet.h"
#include "shell/forms/form_sheet.h"
#include "tests/platform/win_golden.h"
#include "tests/shell/forms_fixture.h"

namespace {

class FormPicture : public FormsTest {};

TEST_F(FormPicture, APageWithEveryControlType) {
    std::filesystem::copy_file(
        std::string(ZN_TEST_DATA) + "/../../resources/bitmaps/field_types.bmp",
        Host("Docs/pic.bmp"));
    scripting_.values["Day"] = "3/5/2024";
    CXmlDocument& doc = LoadXml(
        "Docs/f.xml",
        "<X><FORMS><FORM name=\"F\" caption=\"Survey\"><PAGE caption=\"All\" width=\"150\" "
        "height=\"250\">"
        "<LABEL caption=\"Name\" x=\"4\" y=\"4\" width=\"30\" height=\"10\"/>"
        "<EDIT x=\"36\" y=\"2\" width=\"60\" height=\"12\"/>"
        "<CHECKBOX caption=\"Done\" x=\"100\" y=\"2\" width=\"46\" height=\"12\"/>"
        "<COMBOBOX x=\"4\" y=\"18\" width=\"70\"><LISTITEM value=\"A\">Ash</LISTITEM></COMBOBOX>"
        "<DATETIME x=\"78\" y=\"18\" width=\"68\" defaultvalue=\"Day\" format=\"yyyy-MM-dd\"/>"
        "<BUTTON caption=\"Go\" x=\"4\" y=\"34\" width=\"40\" height=\"14\"/>"
        "<EDIT name=\"pct\" x=\"50\" y=\"35\" width=\"20\" height=\"12\"/>"
        "<SLIDER buddy=\"pct\" x=\"74\" y=\"34\" width=\"60\" height=\"16\"/>"
        "<UPDOWN x=\"136\" y=\"34\" width=\"10\" height=\"14\"/>"
        "<LISTBOX x=\"4\" y=\"52\" width=\"70\" height=\"36\"><LISTITEM value=\"1\">One</LISTITEM>"
        "<LISTITEM value=\"2\">Two</LISTITEM></LISTBOX>"
        "<RADIOBUTTON caption=\"North\" x=\"78\" y=\"52\" width=\"60\" height=\"12\" "
        "group=\"true\"/>"
        "<RADIOBUTTON caption=\"South\" x=\"78\" y=\"66\" width=\"60\" height=\"12\"/>"
        "<IMAGEBOX value=\"pic.bmp\" x=\"4\" y=\"92\" width=\"70\" height=\"40\"/>"
        "<SUBTABLE x=\"4\" y=\"136\" width=\"142\" height=\"40\"/>"
        "</PAGE></FORM></FORMS></X>");
    CForms forms(&scripting_);
    forms.ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
    bool shot = false;
    win::PushModalHook([&](HWND sheet) {
        Pump();
        SendMessage(sheet, PSM_INDEXTOHWND, 0, 0);
        HWND page = reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
        win::input::DrainQueue();
        UpdateWindow(sheet);
        for (HWND child : GetChildren(sheet)) UpdateWindow(child);
        // The page lies over the tab control: it and its controls are drawn
        // last, as they show on top.
        InvalidateRect(page, nullptr, TRUE);
        UpdateWindow(page);
        for (HWND child : GetChildren(page)) {
            InvalidateRect(child, nullptr, TRUE);
            UpdateWindow(child);
        }
        golden::Expect("form_page_all_controls", sheet);
        shot = true;
        SendMessage(sheet, WM_COMMAND, IDCANCEL,
                    reinterpret_cast<LPARAM>(GetDlgItem(sheet, IDCANCEL)));
    });
    EXPECT_FALSE(forms.GetAt(0)->RunModal());
    EXPECT_TRUE(shot);
}

}  // namespace
