// Reading form definitions: the collection, script items, templates and
// their style words.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "core/shell_helpers.h"
#include "map/layers/shape_layer.h"
#include "platform/sys/device.h"
#include "platform/win/dialog.h"
#include "shell/app/map_app.h"
#include "shell/forms/form_template.h"
#include "tests/shell/forms_fixture.h"

namespace {

class FormReading : public FormsTest {
protected:
    CForms& Read(const std::string& xml) {
        CXmlDocument& doc = LoadXml("Docs/forms.xml", "<LAYER>" + xml + "</LAYER>");
        forms_ = std::make_unique<CForms>(&scripting_);
        forms_->ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
        return *forms_;
    }
    std::vector<std::string> HostCalls() const {
        std::vector<std::string> out;
        for (const auto& e : scripting_.log)
            if (e.rfind("item ", 0) == 0 || e.rfind("run ", 0) == 0 || e.rfind("bind ", 0) == 0)
                out.push_back(e);
        return out;
    }
    std::unique_ptr<CForms> forms_;
};

const char kPage[] = "<PAGE><LABEL caption=\"a\"/></PAGE>";

TEST_F(FormReading, CollectionsKeepOnlyTheFormsThatWereRead) {
    struct Case {
        const char* name;
        std::string xml;
        std::vector<std::string> names;  // the collection, in order
        int edit;                        // index of GetEditForm(), -1 for none
        int identify;
    };
    const std::string p = kPage;
    const std::vector<Case> cases = {
        {"two edit forms",
         "<EDITFORM name=\"A\">" + p + "</EDITFORM><EDITFORM>" + p + "</EDITFORM>",
         {"EditForm", "EditForm"},
         0,
         0},
        {"identify only",
         "<IDENTIFYFORM name=\"x\">" + p + "</IDENTIFYFORM>",
         {"IdentifyForm"},
         0,
         0},
        {"script is not a form",
         "<SCRIPT>x = 1</SCRIPT><FORM name=\"F\">" + p + "</FORM>",
         {"F"},
         -1,
         -1},
        {"form without pages dropped",
         "<FORM name=\"Empty\"/><FORM name=\"G\">" + p + "</FORM><QUERYFORM name=\"Q\">" + p +
             "</QUERYFORM>",
         {"G", "Q"},
         -1,
         -1},
        {"identify and edit",
         "<IDENTIFYFORM>" + p + "</IDENTIFYFORM><EDITFORM>" + p + "</EDITFORM>",
         {"IdentifyForm", "EditForm"},
         1,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CForms& forms = Read("<FORMS>" + c.xml + "</FORMS>");
        ASSERT_EQ(forms.Count(), static_cast<int>(c.names.size()));
        for (int i = 0; i < forms.Count(); ++i) {
            ASSERT_NE(forms.GetAt(i), nullptr);
            EXPECT_EQ(Narrow(forms.GetAt(i)->m_name), c.names[static_cast<size_t>(i)]);
        }
        EXPECT_EQ(forms.GetAt(forms.Count()), nullptr);
        EXPECT_EQ(forms.GetEditForm(), c.edit < 0 ? nullptr : forms.GetAt(c.edit));
        EXPECT_EQ(forms.GetIdentifyForm(), c.identify < 0 ? nullptr : forms.GetAt(c.identify));
        EXPECT_EQ(forms.GetForm(true), forms.GetEditForm());
        EXPECT_EQ(forms.GetForm(false), forms.GetIdentifyForm());
    }
    CForms& q = Read("<FORMS><QUERYFORM name=\"Q\">" + p + "</QUERYFORM></FORMS>");
    EXPECT_EQ(q.GetQueryForm(), q.GetAt(0));
    EXPECT_EQ(q.FindIndex(u"Q"), 0);
    EXPECT_EQ(q.FindIndex(u"q"), -1);
}

TEST_F(FormReading, ScriptItemsAreNamedAfterFormPageAndControl) {
    Read(
        "<FORMS><SCRIPT>Sub X\nEnd Sub</SCRIPT>"
        "<FORM name=\"F\"><PAGE OnSetActive=\"X\"><EDIT/></PAGE>"
        "<PAGE name=\"P\"><LABEL/><LABEL/><LABEL/><BUTTON OnClick=\"X\"/><EDIT name=\"e\"/></PAGE>"
        "<PAGE><EDIT/></PAGE></FORM>"
        "<FORM OnLoad=\"X\"><PAGE/></FORM>"
        "<EDITFORM name=\"Other\" OnOK=\"X\"><SCRIPT>y</SCRIPT><PAGE/></EDITFORM></FORMS>");
    EXPECT_EQ(HostCalls(), (std::vector<std::string>{
                               "run SCRIPT in FORMS",
                               "item F 6",
                               "bind FORM(F) F",
                               "item F_Page1 6",
                               "bind PAGE F_Page1",
                               "item F_P_Control1003 6",
                               "bind BUTTON F_P_Control1003",
                               "item F_P_e 6",
                               "bind EDIT(e) F_P_e",
                               "item F_P 6",
                               "bind PAGE(P) F_P",
                               "item Form3 6",  // its place among FORMS' children
                               "bind FORM Form3",
                               "item EditForm 6",
                               "bind EDITFORM(Other) EditForm",
                               "run SCRIPT in EDITFORM(Other)",
                           }));
    ASSERT_EQ(forms_->Count(), 3);
    CForm* f = forms_->GetAt(0);
    EXPECT_EQ(f->FindPage(u"Page1"), 0);
    EXPECT_EQ(f->FindPage(u"P"), 1);
    EXPECT_EQ(f->FindPage(u"Page3"), -1);  // no events: no name, no item
    EXPECT_EQ(f->FindControlIndex(1, u"Control1003"), 3);
    EXPECT_EQ(f->GetControlById(1, 4004), f->FindControlByName(1, u"e"));
    EXPECT_EQ(f->GetControlById(1, 4005), nullptr);
    // Deleting the collection releases every script object it made.
    EXPECT_GT(scripting_.LiveTokens(), 0);
    forms_.reset();
    EXPECT_EQ(scripting_.LiveTokens(), 0);
}

TEST_F(FormReading, PageTemplateBytes) {
    Read(
        "<FORMS><FORM name=\"F\" width=\"140\" height=\"120\"><PAGE caption=\"Tree\">"
        "<LABEL caption=\"Name\" x=\"5\" y=\"6\" width=\"40\"/>"
        "<EDIT field=\"NAME\" x=\"50\" y=\"6\" height=\"12\"/></PAGE></FORM></FORMS>");
    const std::vector<uint8_t>& t = forms_->GetAt(0)->GetPage(0)->m_template;
    // clang-format off
    const std::vector<uint8_t> expected = {
        0x00, 0x00, 0x40, 0x50,  0x00, 0x00, 0x01, 0x00,  // style, ex-style
        0x02, 0x00,  0x00, 0x00, 0x00, 0x00,  0x8C, 0x00, 0x78, 0x00,  // 2 items, 0 0 140 120
        0x00, 0x00,  0x00, 0x00,  // no menu, default class
        'T', 0, 'r', 0, 'e', 0, 'e', 0, 0, 0,  // title; the first item at 32
        // LABEL: WS_CHILD|WS_VISIBLE|WS_TABSTOP|SS_NOPREFIX
        0x80, 0x00, 0x01, 0x50,  0x00, 0x00, 0x00, 0x00,
        0x05, 0x00, 0x06, 0x00, 0x28, 0x00, 0x0D, 0x00,  0xA0, 0x0F,  // 5 6 40 13, id 4000
        0xFF, 0xFF, 0x82, 0x00,  'N', 0, 'a', 0, 'm', 0, 'e', 0, 0, 0,  0x00, 0x00,
        0x00, 0x00,  // to a DWORD boundary (68)
        // EDIT: ...|WS_BORDER|ES_AUTOHSCROLL
        0x80, 0x00, 0x81, 0x50,  0x00, 0x00, 0x00, 0x00,
        0x32, 0x00, 0x06, 0x00, 0x32, 0x00, 0x0C, 0x00,  0xA1, 0x0F,  // 50 6 50 12, id 4001
        0xFF, 0xFF, 0x81, 0x00,  0x00, 0x00,  0x00, 0x00,
    };
    // clang-format on
    EXPECT_EQ(t, expected);
}

DWORD StyleOf(const std::string& element) {
    CXmlDocument doc;
    EXPECT_TRUE(doc.Parse(text::FromUtf8(element)));
    CForm form(nullptr);
    CFormPageDef page;
    CFormControl control;
    ReadControl(doc.GetRoot(), control, form, page);
    return BuildControlItem(doc.GetRoot(), control, page).style;
}

TEST_F(FormReading, StyleWords) {
    struct Case {
        const char* element;
        DWORD style;
    };
    const Case cases[] = {
        {"<COMBOBOX/>", 0x50A10143},
        {"<COMBOBOX limittolist=\"false\"/>", 0x50A10142},
        {"<COMBOBOX sort=\"false\" border=\"false\" uppercase=\"t\" tabstop=\"f\"/>", 0x50202043},
        {"<LABEL/>", 0x50010080},
        {"<LABEL alignment=\"right\" border=\"true\" group=\"true\"/>", 0x50830082},
        {"<LABEL alignment=\"c\" style=\"256\"/>", 0x50010181},
        {"<EDIT/>", 0x50810080},
        {"<EDIT alignment=\"R\" lowercase=\"true\" password=\"true\" readonly=\"true\"/>",
         0x508108B2},
        {"<EDIT uppercase=\"true\" lowercase=\"true\"/>", 0x50810088},
        {"<EDIT multiline=\"true\" vscroll=\"true\" hscroll=\"true\"/>", 0x50B110C4},
        {"<BUTTON alignment=\"L\"/>", 0x50014100},
        {"<CHECKBOX rightbutton=\"true\" alignment=\"C\"/>", 0x50014323},
        {"<RADIOBUTTON/>", 0x50014009},
        {"<DATETIME/>", 0x50810002},
        {"<DATETIME allownulls=\"false\" border=\"false\"/>", 0x50010000},
        {"<SLIDER orientation=\"Vertical\"/>", 0x50010003},
        {"<UPDOWN buddy=\"e\" alignment=\"r\" orientation=\"h\"/>", 0x500100C6},
        {"<UPDOWN alignment=\"L\"/>", 0x50010088},
        {"<LISTBOX/>", 0x50810103},
        {"<LISTBOX sort=\"false\" showvalues=\"true\" hscroll=\"true\" vscroll=\"true\"/>",
         0x50B10181},
        {"<IMAGEBOX/>", 0x5081030E},
        {"<SUBTABLE/>", 0x5081820D},
    };
    for (const Case& c : cases) EXPECT_EQ(StyleOf(c.element), c.style) << c.element;
}

DialogItemTemplate ItemOf(const std::string& element, bool rtlPage = false) {
    CXmlDocument doc;
    EXPECT_TRUE(doc.Parse(text::FromUtf8(element)));
    CForm form(nullptr);
    CFormPageDef page;
    page.m_rtl = rtlPage;
    CFormControl control;
    ReadControl(doc.GetRoot(), control, form, page);
    return BuildControlItem(doc.GetRoot(), control, page);
}

TEST_F(FormReading, SizesClassesAndTitles) {
    // A short combo box drops a list of 104 units; positions are clamped.
    EXPECT_EQ(ItemOf("<COMBOBOX height=\"13\"/>").cy, 104);
    EXPECT_EQ(ItemOf("<COMBOBOX height=\"16\"/>").cy, 16);
    const DialogItemTemplate far = ItemOf("<EDIT x=\"70000\" y=\"-70000\" width=\"40000\"/>");
    EXPECT_EQ(far.x, 32767);
    EXPECT_EQ(far.y, -32768);
    EXPECT_EQ(far.cx, 32767);
    EXPECT_EQ(far.cy, 13);
    EXPECT_EQ(ItemOf("<EDIT rtl=\"true\" extendedstyle=\"512\"/>").exStyle, 0x2200u);
    EXPECT_EQ(ItemOf("<EDIT/>", true).exStyle, 0x2000u);
    EXPECT_EQ(ItemOf("<EDIT rtl=\"false\"/>", true).exStyle, 0u);

    // Without the shell's extra controls: plain classes, the tooltip dropped.
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls", nullptr);
    EXPECT_FALSE(HasExtraControls());
    DialogItemTemplate label = ItemOf("<LABEL caption=\"Name\" tooltip=\"Tip\"/>");
    EXPECT_EQ(label.className, u"STATIC");
    EXPECT_EQ(label.title, u"Name");
    EXPECT_EQ(ItemOf("<EDIT capitalize=\"all\"/>").className, u"EDIT");

    static BOOL (*init)() = [] { return BOOL{1}; };
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls",
                                   reinterpret_cast<void*>(init));
    label = ItemOf("<LABEL caption=\"Name\" tooltip=\"Tip\"/>");
    EXPECT_EQ(label.className, u"TTSTATIC");
    EXPECT_EQ(label.title, u"Name~~Tip");
    EXPECT_EQ(ItemOf("<BUTTON caption=\"Go\" tooltip=\"Now\"/>").title, u"Go~~Now");
    EXPECT_EQ(ItemOf("<BUTTON caption=\"Go\" tooltip=\"Now\"/>").className, u"TTBUTTON");
    EXPECT_EQ(ItemOf("<EDIT caption=\"x\" tooltip=\"Now\"/>").title, u"x");
    EXPECT_EQ(ItemOf("<EDIT capitalize=\"all\"/>").className, u"CAPEDIT");
    EXPECT_EQ(ItemOf("<EDIT capitalize=\"first\"/>").className, u"CAPEDIT");
    EXPECT_EQ(ItemOf("<EDIT capitalize=\"no\"/>").className, u"EDIT");
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls", nullptr);

    // Long texts grow the template instead of overrunning it.
    const std::string longText(300, 'w');
    Read("<FORMS><FORM><PAGE caption=\"" + longText + "\"><LABEL caption=\"" + longText +
         "\"/><BUTTON caption=\"" + longText + "\" tooltip=\"" + longText +
         "\"/></PAGE></FORM></FORMS>");
    const auto& bytes = forms_->GetAt(0)->GetPage(0)->m_template;
    const auto parsed = ParseDialogTemplate(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->title.size(), 300u);
    ASSERT_EQ(parsed->items.size(), 2u);
    EXPECT_EQ(parsed->items[0].title.size(), 300u);
}

TEST_F(FormReading, LayerFilesAndTheConfigurationReadTheirForms) {
    // A layer file with only an identify form: it is the edit form too.
    ASSERT_EQ(std::system(("shpcreate '" + Host("Docs/trees") + "' point").c_str()), 0);
    ASSERT_EQ(std::system(("dbfcreate '" + Host("Docs/trees.dbf") + "' -s NAME 8").c_str()), 0);
    Put("Docs/trees.znl",
        "<Zarnip><LAYER name=\"trees\"><FORMS><SCRIPT>a = 1</SCRIPT>"
        "<IDENTIFYFORM name=\"x\"><PAGE><EDIT field=\"NAME\"/></PAGE></IDENTIFYFORM>"
        "</FORMS></LAYER></Zarnip>");
    SetLayerFormsFactory(&CreateLayerForms);
    {
        CShapeLayer layer;
        ASSERT_TRUE(layer.Open(u"\\Docs\\trees.shp"));
        auto* edit = static_cast<CForm*>(layer.GetForm(true));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit, layer.GetForm(false));
        EXPECT_EQ(edit->m_name, u"IdentifyForm");
        EXPECT_EQ(edit->m_folder, u"\\Docs");
    }
    SetLayerFormsFactory(nullptr);
    EXPECT_EQ(HostCalls(), (std::vector<std::string>{"item Layer 6", "bind LAYER(trees) Layer",
                                                     "run SCRIPT in FORMS", "item IdentifyForm 6",
                                                     "bind IDENTIFYFORM(x) IdentifyForm"}));

    // The configuration's forms, over the application's host; gone at exit.
    scripting_.log.clear();
    Put("Docs/Zarnip.znx",
        "<Zarnip><CONFIG><FORMS><FORM name=\"Survey\"><PAGE name=\"P\" OnLoad=\"x\"/></FORM>"
        "</FORMS></CONFIG></Zarnip>");
    CForms global;
    {
        CMapApp app;
        app.m_forms = &global;
        ASSERT_TRUE(app.LoadConfiguration(u"\\Docs\\Zarnip.znx"));
        EXPECT_TRUE(app.ApplyConfiguration());
        ASSERT_EQ(global.Count(), 1);
        EXPECT_EQ(global.GetAt(0)->m_name, u"Survey");
        EXPECT_NE(global.GetAt(0)->m_host, nullptr);
        app.ExitInstance();
        EXPECT_EQ(global.Count(), 0);
    }
    EXPECT_EQ(HostCalls(), (std::vector<std::string>{"item Survey 6", "bind FORM(Survey) Survey",
                                                     "item Survey_P 6", "bind PAGE(P) Survey_P"}));
}

// The page's template as windres reads it when wrapped as a dialog
// resource: every control with its text, id, class, style and rectangle
// (windres names the system classes by their statements).
TEST_F(FormReading, TheBuildsResourceCompilerReadsTheTemplates) {
    Read(
        "<FORMS><FORM><PAGE caption=\"All\" width=\"200\" height=\"300\">"
        "<LABEL caption=\"Label\" x=\"1\" y=\"2\" width=\"30\" height=\"8\"/>"
        "<EDIT x=\"1\" y=\"12\"/>"
        "<CHECKBOX caption=\"Check\" x=\"1\" y=\"26\"/>"
        "<COMBOBOX x=\"1\" y=\"40\"/>"
        "<DATETIME x=\"1\" y=\"56\" width=\"60\"/>"
        "<BUTTON caption=\"Go\" x=\"1\" y=\"70\"/>"
        "<SLIDER x=\"1\" y=\"84\" width=\"80\" height=\"16\"/>"
        "<UPDOWN x=\"90\" y=\"84\" width=\"10\" height=\"14\"/>"
        "<LISTBOX x=\"1\" y=\"102\" height=\"30\"/>"
        "<RADIOBUTTON caption=\"Radio\" x=\"1\" y=\"134\"/>"
        "<IMAGEBOX x=\"1\" y=\"150\" width=\"40\" height=\"40\"/>"
        "<SUBTABLE x=\"1\" y=\"192\" width=\"150\" height=\"60\"/>"
        "</PAGE></FORM></FORMS>");
    const std::vector<uint8_t>& t = forms_->GetAt(0)->GetPage(0)->m_template;
    // A .res file: the empty first entry, then the dialog (type 5, id 1).
    std::string res;
    auto put16 = [&](uint16_t v) { res.append(reinterpret_cast<const char*>(&v), 2); };
    auto put32 = [&](uint32_t v) { res.append(reinterpret_cast<const char*>(&v), 4); };
    auto entry = [&](uint16_t type, uint16_t name, const std::vector<uint8_t>& data, uint16_t flags,
                     uint16_t language) {
        put32(static_cast<uint32_t>(data.size()));
        put32(32);
        put16(0xFFFF), put16(type), put16(0xFFFF), put16(name);
        put32(0), put16(flags), put16(language), put32(0), put32(0);
        res.append(data.begin(), data.end());
        while (res.size() % 4) res.push_back('\0');
    };
    entry(0, 0, {}, 0, 0);
    entry(5, 1, t, 0x1030, 0x409);
    Put("Docs/page.res", res);
    const std::string rc = RunCommand(std::string(ZN_WINDRES) + " -J res -O rc -i '" +
                                      Host("Docs/page.res") + "' 2>&1");
    const char* lines[] = {
        "STYLE 0x50400000",
        "EXSTYLE 0x10000",
        "CAPTION \"All\"",
        "CONTROL \"Label\", 4000, 130, 0x50010080, 1, 2, 30, 8",
        "EDITTEXT 4001, 1, 12, 50, 13, 0x50810080",
        "AUTOCHECKBOX \"Check\", 4002, 1, 26, 50, 13, 0x50014003",
        "COMBOBOX 4003, 1, 40, 50, 104, 0x50a10143",
        "CONTROL \"\", 4004, \"SysDateTimePick32\", 0x50810002, 1, 56, 60, 13",
        "PUSHBUTTON \"Go\", 4005, 1, 70, 50, 13, 0x50014000",
        "CONTROL \"\", 4006, \"msctls_trackbar32\", 0x50010001, 1, 84, 80, 16",
        "CONTROL \"\", 4007, \"msctls_updown32\", 0x50010080, 90, 84, 10, 14",
        "LISTBOX 4008, 1, 102, 50, 30, 0x50810103",
        "AUTORADIOBUTTON \"Radio\", 4009, 1, 134, 50, 13, 0x50014009",
        "CONTROL \"\", 4010, 130, 0x5081030e, 1, 150, 40, 40",
        "CONTROL \"\", 4011, \"SysListView32\", 0x5081820d, 1, 192, 150, 60",
    };
    for (const char* line : lines)
        EXPECT_NE(rc.find(line), std::string::npos) << line << "\n" << rc;
}

}  // namespace
