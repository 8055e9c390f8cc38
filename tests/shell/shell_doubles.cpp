#include "tests/shell/shell_doubles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/language_module.h"
#include "include/zarnip/znex.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/sys/registry.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "shell/options/port_records.h"
#include "tests/support/run_command.h"

bool CRecordingGps::SetDatum(WStringView name) {
    datums.emplace_back(name);
    if (journal) journal->push_back("SetDatum " + Narrow(name));
    if (onSetDatum) onSetDatum();
    return true;
}

std::string Narrow(WStringView text) { return text::ToUtf8(text); }

namespace {
void RemoveTree(const std::string& path) {
    std::system(("rm -rf '" + path + "'").c_str());
}
}  // namespace

void ShellTest::SetUp() {
    char tmpl[] = "/tmp/zn-shell-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    ::mkdir(Host("Docs").c_str(), 0755);
    ::mkdir(Host("Program").c_str(), 0755);
    ::mkdir(Host("Program/System").c_str(), 0755);
    // The single instance's lock and socket, also of programs the test runs.
    // Beside the device root, so that listing the root does not see it.
    ::mkdir(RuntimeFolder().c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", RuntimeFolder().c_str(), 1);
    setenv("ZARNIP_ROOT", root_.c_str(), 1);
    setenv("ZARNIP_DOCUMENTS", Host("Docs").c_str(), 1);
    unsetenv("ZARNIP_MOUNTS");
    fs::ResetConfiguration();
    fs::test::Reset();
    fs::test::SetProgramFileName(u"\\Program\\zarnip");
    sys::SetRegistryFile("");
    win::ResetForTests();
    win::ClearMessageBoxLog();
    ResetPreferencesForTests();
    ResetPortRecordsForTests();
    SetGps(&gps_);
}

void ShellTest::TearDown() {
    SetGps(nullptr);
    ResetPreferencesForTests();
    ResetPortRecordsForTests();
    win::ResetForTests();
    fs::test::Reset();
    fs::test::SetProgramFileName(u"");
    sys::ResetRegistry();
    fs::ResetConfiguration();
    unsetenv("XDG_RUNTIME_DIR");
    if (!root_.empty()) {
        RemoveTree(root_);
        RemoveTree(RuntimeFolder());
    }
}

void ShellTest::Put(const std::string& relative, const std::string& bytes) const {
    std::ofstream(Host(relative), std::ios::binary) << bytes;
}

std::string ShellTest::Get(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> ShellTest::HostList(const std::string& relative) const {
    std::vector<std::string> names;
    if (DIR* d = opendir(Host(relative).c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ShellTest::XPath(const std::string& relative, const std::string& expr) const {
    std::string command = "xmllint --xpath '" + expr + "' '" + Host(relative) + "' 2>/dev/null";
    std::string out = testsupport::RunCommand(command);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool ShellTest::XmlWellFormed(const std::string& relative) const {
    return std::system(("xmllint --noout '" + Host(relative) + "' 2>/dev/null").c_str()) == 0;
}

namespace {
// The element's name and its "name" or "id" attribute, when it has one.
std::string Describe(const CXmlNode* e) {
    if (!e) return "null";
    std::string out = Narrow(e->GetName());
    for (const WChar* key : {u"name", u"id"})
        if (e->HasAttribute(key)) return out + "(" + Narrow(e->GetAttribute(key)) + ")";
    return out;
}
}  // namespace

bool CJournalHost::StartEngine(const WChar* language) {
    journal_->push_back("StartEngine " + (language ? Narrow(language) : std::string("default")));
    started_ = true;
    return true;
}

bool CJournalHost::AddNamedItem(const WChar* name, IDispatch*, DWORD flags) {
    journal_->push_back("AddNamedItem " + Narrow(name) + " " + std::to_string(flags));
    return true;
}

bool CJournalHost::BindElementEvents(const CXmlNode* element, const WChar* itemName) {
    journal_->push_back("Bind " + Describe(element) + " to " + Narrow(itemName));
    return true;
}

bool CJournalHost::RunScriptElements(const CXmlNode* element) {
    for (int i = 0; i < element->GetChildCount(); ++i)
        if (element->GetChild(i)->GetName() == u"SCRIPT")
            journal_->push_back("RunScript " + Describe(element->GetChild(i)));
    return true;
}

bool CJournalHost::SetScriptState(ScriptState state) {
    journal_->push_back("SetScriptState " + std::to_string(static_cast<int>(state)));
    return true;
}

std::unique_ptr<IScriptHost> CJournalScriptServices::CreateScriptHost() {
    journal.push_back("CreateScriptHost");
    return std::make_unique<CJournalHost>(&journal);
}

void CJournalFrame::LoadToolbars(const CXmlNode* e, IScriptHost*) {
    toolbars = e;
    journal_->push_back("LoadToolbars");
}

void CJournalFrame::ApplyStatusBarConfig(const CXmlNode* e) {
    statusbar = e;
    journal_->push_back("ApplyStatusBarConfig");
}

void CJournalFrame::ReadForms(const CXmlNode* e, DWORD, IScriptHost*) { journal_->push_back("ReadForms " + Describe(e)); }
