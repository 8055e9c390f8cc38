// Recording doubles and the fixture of the shell tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "map/services/gps.h"
#include "platform/text/text.h"

// A receiver that is never active and records the datums it was given.
class CRecordingGps : public CInactiveGps {
public:
    std::vector<WString> datums;
    std::vector<std::string>* journal = nullptr;  // shared call order, when set
    std::function<void()> onSetDatum;

    bool SetDatum(WStringView name) override;
};

// Each test gets a device root with a program folder ("\Program", holding
// "System") and a documents folder ("\Docs"), a registry in memory, the
// recording receiver installed and fresh port and alert records.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
    // XDG_RUNTIME_DIR of the test and of the programs it runs.
    std::string RuntimeFolder() const { return root_ + ".run"; }
    void Put(const std::string& relative, const std::string& bytes) const;
    std::string Get(const std::string& relative) const;
    std::vector<std::string> HostList(const std::string& relative) const;
    // xmllint's answer for an XPath expression over a host file ("" when none).
    std::string XPath(const std::string& relative, const std::string& expr) const;
    bool XmlWellFormed(const std::string& relative) const;

    std::string root_;
    CRecordingGps gps_;
};

std::string Narrow(WStringView text);

#include "map/services/script_events.h"
#include "shell/config/configuration.h"

// A script host and services that write every call into one journal.
class CJournalHost : public IScriptHost {
public:
    explicit CJournalHost(std::vector<std::string>* journal) : journal_(journal) {}
    bool StartEngine(const WChar* language) override;
    bool AddNamedItem(const WChar* name, IDispatch*, DWORD flags) override;
    bool BindElementEvents(const CXmlNode* element, const WChar* itemName) override;
    bool RunScriptElements(const CXmlNode* element) override;
    bool SetScriptState(ScriptState state) override;
    void StopEngine() override {}
    bool IsStarted() override { return started_; }
    void EnableDebugging(bool) override {}
    void CreateHeap() override { journal_->push_back("CreateHeap"); }

private:
    std::vector<std::string>* journal_;
    bool started_ = false;
};

class CJournalScriptServices : public IScriptServices {
public:
    std::vector<std::string> journal;
    void FireScriptEvent(IDispatch*, int, bool, int) override {}
    IDispatch* CreateLayerObject(CLayer*) override { return nullptr; }
    std::unique_ptr<IScriptHost> CreateScriptHost() override;
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return false; }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
};

// The main window and forms as the applier sees them.
class CJournalFrame : public IConfigFrame, public IConfigForms {
public:
    explicit CJournalFrame(std::vector<std::string>* journal) : journal_(journal) {}
    void LoadToolbars(const CXmlNode* toolbars, IScriptHost* host) override;
    void ApplyStatusBarConfig(const CXmlNode* statusbar) override;
    void ReadForms(const CXmlNode* forms, DWORD lcid, IScriptHost* host) override;
    const CXmlNode* toolbars = nullptr;
    const CXmlNode* statusbar = nullptr;

private:
    std::vector<std::string>* journal_;
};
