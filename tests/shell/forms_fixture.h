// The custom forms' tests: a recording stand-in for the script host, its
// services and the form objects' factory, and a fixture with dBASE helpers.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/xml_node.h"
#include "map/services/script_events.h"
#include "shell/forms/forms.h"
#include "tests/shell/shell_doubles.h"

// Hands out named tokens for the Form, Page and Control objects, logs every
// host call and event in order and answers scripted results.
class CFormScripting : public IScriptServices, public IScriptHost, public IFormScriptObjects {
public:
    CFormScripting();
    ~CFormScripting() override;

    std::vector<std::string> log;
    // "Item.OnOK" -> the result the handler leaves (False keeps a sheet open).
    std::map<std::string, bool> results;
    // "Item.OnValidate" -> message type and text the handler leaves.
    std::map<std::string, std::pair<UINT, std::string>> messages;
    // Expression -> value (text) that Evaluate answers; others fail.
    std::map<std::string, std::string> values;
    // Called before each event is logged (e.g. to log record writes).
    std::function<void()> beforeEvent;
    // Only events are logged while false (no host calls).
    bool logHostCalls = true;

    // ---- IScriptServices ----
    void FireScriptEvent(IDispatch* source, int eventId, bool clearResult, int id) override;
    IDispatch* CreateLayerObject(CLayer*) override { return nullptr; }
    // A host whose calls reach this object (the layers' and the program's).
    std::unique_ptr<IScriptHost> CreateScriptHost() override;
    bool HasEventAttributes(const CXmlNode* element, const WChar* prefix) override;
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
    void SetEventResultBool(bool result) override { result_ = result; }
    void ResetEventState() override {
        result_ = true;
        type_ = 0;
        text_.clear();
    }
    bool GetEventResultBool(bool clear) override;
    UINT GetEventMessageType() override { return type_; }
    WString GetEventMessageText() override { return text_; }

    // ---- IScriptHost ----
    bool StartEngine(const WChar*) override { return true; }
    bool AddNamedItem(const WChar* name, IDispatch* object, DWORD flags) override;
    bool BindElementEvents(const CXmlNode* element, const WChar* itemName) override;
    bool RunScriptElements(const CXmlNode* element) override;
    bool SetScriptState(ScriptState) override { return true; }
    void StopEngine() override {}
    bool IsStarted() override { return true; }
    void EnableDebugging(bool) override {}
    bool Evaluate(const WChar* expression, VARIANT* result) override;

    // ---- IFormScriptObjects ----
    IDispatch* CreateFormObject(CForm* form) override;
    IDispatch* CreatePageObject(CForm* form, int page) override;
    IDispatch* CreateControlObject(CForm* form, int page, int control) override;
    IDispatch* CreateFormsObject(CForms* forms) override;

    // Tokens still referenced by someone other than this object.
    int LiveTokens() const;
    // The log entries that are events ("Name.OnX") or writes, in order.
    std::vector<std::string> Events() const;

private:
    IDispatch* MakeToken(const std::string& name);
    std::vector<IDispatch*> tokens_;
    bool result_ = true;
    UINT type_ = 0;
    WString text_;
};

class FormsTest : public ShellTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the text to a device file under Docs and parses it.
    CXmlDocument& LoadXml(const std::string& relative, const std::string& xml);
    // A table made with shapelib's dbfcreate; rows of values with dbfadd.
    // Field specs as dbfcreate takes them: {"-s", "NAME", "10"}, {"-n", "N", "4", "0"}.
    void MakeTable(const std::string& relative, const std::vector<std::vector<std::string>>& fields,
                   const std::vector<std::vector<std::string>>& rows);
    // dbfdump's lines of a host table.
    std::string DbfDump(const std::string& relative) const;
    // ogrinfo -al's "NAME (Type) = value" lines of a host table.
    std::string OgrFields(const std::string& relative) const;

    CFormScripting scripting_;
    std::vector<std::unique_ptr<CXmlDocument>> docs_;
};

std::string RunCommand(const std::string& command);
// Dispatches every queued message.
void Pump();
