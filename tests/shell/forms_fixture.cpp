#include "tests/shell/forms_fixture.h"

#include <cstdio>
#include <sstream>

#include "platform/com/variant.h"
#include "platform/fs/fs.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"

namespace {

class CToken final : public UntypedDispatch {
public:
    explicit CToken(std::string name) : name(std::move(name)) {}
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const*, uint32_t, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                   uint32_t*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    std::string name;

protected:
    bool Answers(REFIID iid) const override { return iid == IID_IDispatch; }
};

const char* EventName(int id) {
    switch (id) {
        case 3:
            return "OnLoad";
        case 4:
            return "OnUnload";
        case 5:
            return "OnSetActive";
        case 6:
            return "OnKillActive";
        case 7:
            return "OnClick";
        case 8:
            return "OnDblClick";
        case 9:
            return "OnSetFocus";
        case 10:
            return "OnKillFocus";
        case 11:
            return "OnChange";
        case 12:
            return "OnDropDown";
        case 13:
            return "OnValidate";
        case 16:
            return "OnOK";
        case 17:
            return "OnCancel";
        case 21:
            return "OnSelChange";
        case 22:
            return "OnSelCancel";
        case 23:
            return "OnSelOK";
        case 28:
            return "OnCloseUp";
        case 35:
            return "OnRefresh";
        default:
            return "On?";
    }
}

std::string Describe(const CXmlNode* e) {
    if (!e) return "null";
    std::string s = Narrow(e->GetName());
    if (e->HasAttribute(u"name")) s += "(" + Narrow(e->GetAttribute(u"name")) + ")";
    return s;
}

}  // namespace

std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

void Pump() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}

CFormScripting::CFormScripting() = default;

CFormScripting::~CFormScripting() {
    for (IDispatch* t : tokens_) t->Release();
}

IDispatch* CFormScripting::MakeToken(const std::string& name) {
    auto* token = new CToken(name);
    token->AddRef();  // the fake keeps one reference to count the others
    tokens_.push_back(token);
    return token;
}

int CFormScripting::LiveTokens() const {
    int live = 0;
    for (IDispatch* t : tokens_) {
        t->AddRef();
        if (t->Release() > 1) ++live;
    }
    return live;
}

std::vector<std::string> CFormScripting::Events() const {
    std::vector<std::string> out;
    for (const auto& entry : log)
        if (entry.find(".On") != std::string::npos || entry.rfind("write ", 0) == 0)
            out.push_back(entry);
    return out;
}

void CFormScripting::FireScriptEvent(IDispatch* source, int eventId, bool clearResult, int) {
    if (!source) return;
    if (beforeEvent) beforeEvent();
    if (clearResult) result_ = true;
    const std::string key = static_cast<CToken*>(source)->name + "." + EventName(eventId);
    log.push_back(key);
    if (auto it = results.find(key); it != results.end()) result_ = it->second;
    if (auto it = messages.find(key); it != messages.end()) {
        type_ = it->second.first;
        text_ = text::FromUtf8(it->second.second);
    }
}

bool CFormScripting::HasEventAttributes(const CXmlNode* element, const WChar*) {
    if (!element) return false;
    for (const auto& [name, value] : element->GetAttributes())
        if (name.size() > 2 && name[0] == u'O' && name[1] == u'n') return true;
    return false;
}

bool CFormScripting::GetEventResultBool(bool clear) {
    const bool r = result_;
    if (clear) result_ = true;
    return r;
}

bool CFormScripting::AddNamedItem(const WChar* name, IDispatch* object, DWORD flags) {
    if (object) static_cast<CToken*>(object)->name = Narrow(name);
    if (logHostCalls) log.push_back("item " + Narrow(name) + " " + std::to_string(flags));
    return true;
}

bool CFormScripting::BindElementEvents(const CXmlNode* element, const WChar* itemName) {
    if (logHostCalls) log.push_back("bind " + Describe(element) + " " + Narrow(itemName));
    return true;
}

bool CFormScripting::RunScriptElements(const CXmlNode* element) {
    for (int i = 0; element && i < element->GetChildCount(); ++i) {
        const CXmlNode* child = element->GetChild(i);
        if (child->GetName() == u"SCRIPT" && logHostCalls)
            log.push_back("run SCRIPT in " + Describe(element));
    }
    return true;
}

bool CFormScripting::Evaluate(const WChar* expression, VARIANT* result) {
    const std::string e = Narrow(expression);
    log.push_back("eval " + e);
    auto it = values.find(e);
    if (it == values.end()) return false;
    VariantFromString(result, text::FromUtf8(it->second));
    return true;
}

namespace {
class CProxyHost : public IScriptHost {
public:
    explicit CProxyHost(CFormScripting* to) : to_(to) {}
    bool StartEngine(const WChar*) override { return true; }
    bool AddNamedItem(const WChar* n, IDispatch* o, DWORD f) override {
        return to_->AddNamedItem(n, o, f);
    }
    bool BindElementEvents(const CXmlNode* e, const WChar* n) override {
        return to_->BindElementEvents(e, n);
    }
    bool RunScriptElements(const CXmlNode* e) override { return to_->RunScriptElements(e); }
    bool SetScriptState(ScriptState) override { return true; }
    void StopEngine() override {}
    bool IsStarted() override { return true; }
    void EnableDebugging(bool) override {}
    bool Evaluate(const WChar* x, VARIANT* r) override { return to_->Evaluate(x, r); }

private:
    CFormScripting* to_;
};
}  // namespace

std::unique_ptr<IScriptHost> CFormScripting::CreateScriptHost() {
    return std::make_unique<CProxyHost>(this);
}

IDispatch* CFormScripting::CreateFormObject(CForm* form) {
    return MakeToken(Narrow(form->m_name));
}
IDispatch* CFormScripting::CreatePageObject(CForm* form, int page) {
    return MakeToken(Narrow(form->m_name) + "_page" + std::to_string(page));
}
IDispatch* CFormScripting::CreateControlObject(CForm* form, int page, int control) {
    return MakeToken(Narrow(form->m_name) + "_" + std::to_string(page) + "_" +
                     std::to_string(control));
}
IDispatch* CFormScripting::CreateFormsObject(CForms*) {
    return MakeToken("Forms");
}

// ---------------------------------------------------------------- fixture --

void FormsTest::SetUp() {
    ShellTest::SetUp();
    InitCommonControls();
    win::ClearModalHooks();
    SetScriptServices(&scripting_);
    SetFormScriptObjects(&scripting_);
}

void FormsTest::TearDown() {
    win::ClearModalHooks();
    SetFormScriptObjects(nullptr);
    SetScriptServices(nullptr);
    docs_.clear();
    ShellTest::TearDown();
}

CXmlDocument& FormsTest::LoadXml(const std::string& relative, const std::string& xml) {
    Put(relative, xml);
    docs_.push_back(std::make_unique<CXmlDocument>());
    std::string device = "\\" + relative;
    for (char& c : device)
        if (c == '/') c = '\\';
    EXPECT_TRUE(docs_.back()->LoadFile(text::FromUtf8(device))) << relative;
    return *docs_.back();
}

void FormsTest::MakeTable(const std::string& relative,
                          const std::vector<std::vector<std::string>>& fields,
                          const std::vector<std::vector<std::string>>& rows) {
    std::string create = "dbfcreate '" + Host(relative) + "'";
    for (const auto& f : fields)
        for (const auto& part : f) create += " '" + part + "'";
    ASSERT_EQ(std::system(create.c_str()), 0) << create;
    for (const auto& row : rows) {
        std::string add = "dbfadd '" + Host(relative) + "'";
        for (const auto& v : row) add += " '" + v + "'";
        ASSERT_EQ(std::system(add.c_str()), 0) << add;
    }
}

std::string FormsTest::DbfDump(const std::string& relative) const {
    return RunCommand("dbfdump '" + Host(relative) + "' 2>&1");
}

std::string FormsTest::OgrFields(const std::string& relative) const {
    const std::string out = RunCommand("ogrinfo -q -al '" + Host(relative) + "' 2>&1");
    std::istringstream in(out);
    std::string line, kept;
    while (std::getline(in, line)) {
        const size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.find(") = ") == std::string::npos) continue;
        kept += line.substr(at) + "\n";
    }
    return kept;
}
