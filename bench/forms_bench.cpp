// Opening a custom form of 4 pages x 30 controls, up to the form's OnLoad,
// beside the floor: the platform's dialog manager making the same 4 pages
// from the same template bytes.
#include <benchmark/benchmark.h>

#include "core/xml_node.h"
#include "map/services/script_events.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "shell/forms/form_sheet.h"

namespace {

const char* const kControls[] = {"<LABEL caption=\"Label\"",
                                 "<EDIT",
                                 "<CHECKBOX caption=\"Check\"",
                                 "<COMBOBOX",
                                 "<DATETIME",
                                 "<BUTTON caption=\"Go\"",
                                 "<SLIDER",
                                 "<UPDOWN",
                                 "<LISTBOX",
                                 "<RADIOBUTTON caption=\"R\"",
                                 "<IMAGEBOX",
                                 "<SUBTABLE"};

std::string FormXml() {
    std::string xml = "<FORMS><FORM name=\"F\" OnLoad=\"x\">";
    for (int p = 0; p < 4; ++p) {
        xml += "<PAGE caption=\"Page\" width=\"220\" height=\"500\">";
        for (int c = 0; c < 30; ++c) {
            xml += kControls[c % 12];
            xml += " x=\"" + std::to_string(4 + (c % 3) * 70) + "\" y=\"" +
                   std::to_string(4 + (c / 3) * 16) + "\" width=\"60\" height=\"14\">";
            if (c % 12 == 3 || c % 12 == 8)
                xml += "<LISTITEM value=\"1\">One</LISTITEM><LISTITEM value=\"2\">Two</LISTITEM>";
            xml += "</";
            std::string tag = kControls[c % 12] + 1;
            xml += tag.substr(0, tag.find(' ')) + ">";
        }
        xml += "</PAGE>";
    }
    return xml + "</FORM></FORMS>";
}

// Scripting as the form sees it, noting the form's OnLoad.
class LoadWatch : public IScriptServices {
public:
    bool loaded = false;
    void FireScriptEvent(IDispatch*, int eventId, bool, int) override {
        if (eventId == kFormEventOnLoad) loaded = true;
    }
    IDispatch* CreateLayerObject(CLayer*) override { return nullptr; }
    std::unique_ptr<IScriptHost> CreateScriptHost() override { return nullptr; }
    bool HasEventAttributes(const CXmlNode* e, const WChar*) override {
        return e->HasAttribute(u"OnLoad");
    }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
};

void Pump() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}

struct Fixture {
    Fixture() {
        InitCommonControls();
        SetScriptServices(&watch);
        doc.Parse(text::FromUtf8(FormXml()));
        forms.ReadForms(doc.GetRoot(), 1033);
    }
    ~Fixture() { SetScriptServices(nullptr); }
    LoadWatch watch;
    CXmlDocument doc;
    CForms forms;
};

void BM_FormOpenToOnLoad(benchmark::State& state) {
    Fixture f;
    CForm* form = f.forms.GetAt(0);
    for (auto _ : state) {
        f.watch.loaded = false;
        CFormPropertySheet sheet(form, nullptr, true, 0, 0);
        sheet.Create(nullptr);
        // Up to the form's OnLoad: the messages before it, one at a time.
        MSG msg;
        while (!f.watch.loaded && PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
        state.PauseTiming();
        if (!f.watch.loaded) state.SkipWithError("the form's OnLoad never came");
        sheet.DestroyWindow();
        Pump();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FormOpenToOnLoad)->Unit(benchmark::kMillisecond);

intptr_t PlainPage(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG;
}

// The floor: the same template bytes made into four dialogs under one parent.
void BM_DialogManagerFloor(benchmark::State& state) {
    Fixture f;
    CForm* form = f.forms.GetAt(0);
    for (auto _ : state) {
        HWND parent = CreateWindowEx(0, u"Static", u"", WS_POPUP, 0, 0, 240, 320, nullptr, nullptr,
                                     nullptr, nullptr);
        for (int p = 0; p < form->GetPageCount(); ++p) {
            const auto& bytes = form->GetPage(p)->m_template;
            CreateDialogIndirectParam(nullptr, bytes.data(), bytes.size(), parent, &PlainPage, 0);
        }
        state.PauseTiming();
        DestroyWindow(parent);
        Pump();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DialogManagerFloor)->Unit(benchmark::kMillisecond);

// The platform's property sheet with plain pages from the same bytes.
void BM_PlainSheet(benchmark::State& state) {
    Fixture f;
    CForm* form = f.forms.GetAt(0);
    for (auto _ : state) {
        std::vector<std::unique_ptr<win::PropertyPage>> pages;
        win::PropertySheet sheet(0u);
        for (int p = 0; p < form->GetPageCount(); ++p) {
            pages.push_back(std::make_unique<win::PropertyPage>(form->GetPage(p)->m_template));
            pages.back()->m_psp.dwFlags |= PSP_PREMATURE;
            sheet.AddPage(pages.back().get());
        }
        sheet.Create(nullptr);
        state.PauseTiming();
        sheet.DestroyWindow();
        Pump();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlainSheet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
