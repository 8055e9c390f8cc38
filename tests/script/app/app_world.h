// The application's scripting as the program sets it up, on the null
// display: the script services, CAppScripting with the system objects, a
// global host that sees them and, when a test opens it, the main frame with
// its map view. Scripts run in the global host; Value() reads an expression
// back and Error() the error number a statement leaves.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "gps/aux_port.h"
#include "map/layers/map_doc.h"
#include "map/view/map_view.h"
#include "platform/win/doc_template.h"
#include "platform/win/framework.h"
#include "platform/win/msgbox.h"
#include "script/app/app_scripting.h"
#include "script/script_event.h"
#include "script/script_host.h"
#include "script/script_services.h"
#include "shell/frame/main_frame.h"
#include "tests/shell/shell_doubles.h"

namespace apptest {

// What the frame asks of the application: the global host, and the
// application events fired on the Application object.
class CFrameHost : public IMainFrameHost {
public:
    IScriptHost* host = nullptr;
    CAppScripting* scripting = nullptr;
    CAuxPort* aux = nullptr;  // the auxiliary port the frame hears from
    IGpsPort* GetAuxPort() override { return aux ? &aux->Port() : nullptr; }
    void OnAuxData(WPARAM) override {
        if (!aux) return;
        int length = 0;
        const uint8_t* data = aux->Port().AcceptedData(&length);
        aux->OnReceive(data, length);
    }
    void LoadExtensions(HWND) override {}
    void ShowSplash(HWND) override {}
    const CXmlNode* GetConfigurationRoot() override { return nullptr; }
    void FireApplicationEvent(int eventId, int id) override {
        FireScriptEvent(scripting ? scripting->GetApplicationObject() : nullptr, eventId, true, id);
    }
    IScriptHost* GetScriptHost() override { return host; }
    void ExecuteScriptText(const WString& text) override {
        if (host) host->ExecuteScriptText(text.c_str());
    }
    bool WriteGpsPort(const uint8_t*, size_t) override { return false; }
    bool WriteAuxPort(const uint8_t*, size_t) override { return false; }
    CRecentFileList* GetRecentLayers() override { return nullptr; }
    bool RunOptions() override { return false; }
    void ResetProgramFont() override {}
    void OpenMap(const WString&) override {}
    void ScriptEditorDialog(HWND parent) override {
        if (scripting) scripting->ShowScriptWindow(parent);
    }
};

class AppWorld : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ResetThisEventForTests();
        services_ = std::make_unique<CScriptServices>();
        SetScriptServices(services_.get());
        scripting_ = std::make_unique<CAppScripting>(nullptr, nullptr);
        services_->SetAppScripting(scripting_.get());
        host_ = std::make_unique<CScriptHost>();
        host_->CreateHeap();
        ASSERT_TRUE(host_->StartEngine(u"VBScript"));
        scripting_->SetGlobalHost(host_.get());
        frameHost_.host = host_.get();
        frameHost_.scripting = scripting_.get();
    }
    void TearDown() override {
        if (host_) host_->StopEngine();
        if (scripting_) scripting_->DeleteFormsAndApplets();
        app_.reset();
        host_.reset();
        scripting_.reset();
        SetScriptServices(nullptr);
        services_.reset();
        ResetThisEventForTests();
        ShellTest::TearDown();
    }

    // Registers the system objects and connects the global host.
    void Connect() {
        scripting_->RegisterSystemObjects(host_.get());
        host_->SetScriptStateHr(SCRIPTSTATE_CONNECTED);
    }
    // The main frame with its map view (the program's window).
    CMainFrame* OpenFrame() {
        app_ = std::make_unique<win::App>();
        app_->AddDocTemplate(std::make_unique<win::SingleDocTemplate>(
            128, [] { return std::make_unique<CMapDoc>(); },
            [this] { return std::make_unique<CMainFrame>(&frameHost_); },
            [](win::Document* doc) {
                auto view = std::make_unique<CMapView>();
                view->SetDocument(static_cast<CMapDoc*>(doc));
                return view;
            }));
        app_->ProcessShellCommand(win::ShellCommand::FileNew, {});
        frame_ = CMainFrame::GetMainFrame();
        return frame_;
    }

    bool Run(const std::string& vbs) { return host_->ExecuteString(text::FromUtf8(vbs).c_str()); }
    // An expression's value (Empty when it failed).
    ComVariant Value(const std::string& expression) {
        ComVariant v;
        host_->Evaluate(text::FromUtf8(expression).c_str(), v.Receive());
        return v;
    }
    // As text; Booleans as True and False.
    std::string Text(const std::string& expression) {
        ComVariant v = Value(expression), s;
        if (FAILED(VariantChangeType(&s, &v, VARIANT_ALPHABOOL, VT_BSTR))) return "<" + std::to_string(v.vt) + ">";
        return text::ToUtf8(BstrView(s.bstrVal));
    }
    // INT32_MIN when the expression failed (or is Empty).
    int32_t Number(const std::string& expression) {
        ComVariant v = Value(expression), n;
        if (v.vt == VT_EMPTY || FAILED(VariantChangeType(&n, &v, 0, VT_I4))) return INT32_MIN;
        return n.lVal;
    }
    // The error numbers scripts see for E_INVALIDARG and E_ACCESSDENIED.
    static constexpr HRESULT kInvalidArg = 5;
    static constexpr HRESULT kAccessDenied = 70;
    // The error number the statements leave (0 when none).
    HRESULT Error(const std::string& statements) {
        Run("On Error Resume Next\nErr.Clear\n" + statements + "\nLastError = Err.Number\nOn Error GoTo 0");
        return static_cast<HRESULT>(Number("LastError"));
    }

    // A file under the device root, its folders made.
    void PutFile(const std::string& relative, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(Host(relative)).parent_path());
        Put(relative, bytes);
    }

    std::unique_ptr<CScriptServices> services_;
    std::unique_ptr<CAppScripting> scripting_;
    std::unique_ptr<CScriptHost> host_;
    CFrameHost frameHost_;
    std::unique_ptr<win::App> app_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace apptest
