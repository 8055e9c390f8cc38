// The program: the application object on the Qt display. A second start
// while the program runs brings the running one to the front and ends.
//
//   zarnip [--no-splash] [MAP]
#include <cstdio>
#include <memory>
#include <string>

#include "app/test_hooks.h"
#include "core/language_module.h"
#include "gps/aux_port.h"
#include "gps/gps.h"
#include "map/layers/map_doc.h"
#include "platform/qt/display.h"
#include "platform/res/resource.h"
#include "platform/sys/device.h"
#include "platform/win/extra_controls.h"
#include "script/app/app_scripting.h"
#include "script/script_services.h"
#include "shell/app/map_app.h"
#include "shell/extensions/extensions.h"
#include "shell/forms/forms.h"
#include "shell/options/port_records.h"

namespace {

// Other programs write to the ports through these.
class CGpsPortWriter : public IPortWriter {
public:
    explicit CGpsPortWriter(CGps& gps) : m_gps(gps) {}
    bool IsOpen() override { return m_gps.IsGpsActive(); }
    bool Write(const uint8_t* data, size_t size) override {
        return m_gps.SerialPort().Write(data, static_cast<int>(size));
    }

private:
    CGps& m_gps;
};

class CAuxPortWriter : public IPortWriter {
public:
    explicit CAuxPortWriter(CAuxPort& aux) : m_aux(aux) {}
    bool IsOpen() override { return m_aux.IsOpen(); }
    bool Write(const uint8_t* data, size_t size) override {
        return m_aux.Port().Write(data, static_cast<int>(size));
    }

private:
    CAuxPort& m_aux;
};

// The shell's extra controls, as the program offers them: the tooltip
// button and text, the capitalising edit and the soft input panel window.
BOOL InitProgramExtraControls() {
    win::RegisterExtraControls();
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = u"SIPPREF";
    RegisterClass(wc);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    std::unique_ptr<znqt::Display> display = znqt::Display::Start(argc, argv, &error);
    if (!display) {
        std::fprintf(stderr, "zarnip: %s\n", error.c_str());
        return 1;
    }
    res::SetResourceHandle(res::GetProgramModule());
    sys::OfferOptionalFunction("aygshell.dll", "SHInitExtraControls",
                               reinterpret_cast<void*>(&InitProgramExtraControls));
    // The script hosts, events and handler binding.
    CScriptServices scripting;
    SetScriptServices(&scripting);
    // Layer files' forms are read by the forms subsystem.
    SetLayerFormsFactory(&CreateLayerForms);

    // Extension layers come from the module that accepts their dataset.
    RegisterExtensionLayerClass();

    int code = 0;
    {
        // The extension modules outlive the application, the receiver and
        // the auxiliary port; they are freed when this block ends.
        CExtensions extensions;
        SetGpsExtensions(&extensions);
        // The application's own forms (the configuration's FORMS).
        CForms globalForms;
        // The program's own objects, in their order: the application, the
        // GPS receiver, the auxiliary port, the language module.
        CMapApp app;
        CGps gps;
        gps.SetPortSettings(&GetGpsPortSettings());
        SetGps(&gps);
        CAuxPort aux;
        CAuxPort::SetAux(&aux);
        // The application-level script objects, the applets and the Script
        // window; they go before the port and the receiver they use.
        CAppScripting appScripting(&gps, &aux);
        appScripting.SetGlobalForms(&globalForms);
        appScripting.SetExtensions(&extensions);
        app.m_scripting = &appScripting;
        GetLanguageModule();
        app.m_extensions = &extensions;
        extensions.SetLayerListSource([&app]() -> CLayerList* {
            CMapDoc* doc = app.GetMapDocument();
            return doc ? &doc->GetLayers() : nullptr;
        });

        CGpsPortWriter gpsWriter(gps);
        CAuxPortWriter auxWriter(aux);
        app.m_gpsPort = &gpsWriter;
        app.m_auxPort = &auxWriter;
        app.m_forms = &globalForms;
        scripting.SetAppScripting(app.m_scripting);
        // What the auxiliary port received reaches its script object or the
        // extension that claimed it.
        app.m_auxNotifier = &aux.Port();
        app.m_onAuxData = [&aux](WPARAM) {
            int length = 0;
            const uint8_t* data = aux.Port().AcceptedData(&length);
            aux.OnReceive(data, length);
        };
        app.SetCommandLine(argc, argv);
        app.UseProgramDocTemplate();
        apptest::InstallBoxHook(*display);
        if (!app.InitInstance()) {
            // A second instance ends quietly; anything else made no window.
            code = app.GetSingleInstance().HoldsLock() ? 1 : 0;
            app.ExitInstance();
        } else {
            win::FrameWnd* frame = app.GetMainFrame();
            // The auxiliary port tells the main window what it received.
            CAuxPort::SetMainWindow(frame->GetSafeHwnd());
            HWND view = frame->GetActiveView() ? frame->GetActiveView()->GetSafeHwnd() : nullptr;
            bool hooksOk = apptest::RunAfterFirstPaint(*display, frame->GetSafeHwnd(), view);
            code = app.Run();
            if (!hooksOk) code = 1;
        }
        app.m_scripting = nullptr;
        scripting.SetAppScripting(nullptr);
        gps.Close();
        aux.Close();
        CAuxPort::SetAux(nullptr);
        SetGps(nullptr);
        SetGpsExtensions(nullptr);
        extensions.SetLayerListSource(nullptr);
    }
    SetLayerFormsFactory(nullptr);
    SetScriptServices(nullptr);
    return code;
}
