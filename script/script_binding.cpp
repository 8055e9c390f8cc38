#include "script/script_binding.h"

#include "core/xml_node.h"
#include "platform/fs/fs.h"
#include "script/script_event.h"
#include "script/script_host.h"

bool BindElementEvents(CScriptHost& host, const CXmlNode* element, const WChar* itemName) {
    if (!element) return false;
    // Document order: case-variant duplicates bind in the same order on
    // every machine.
    for (const WString* name : element->GetAttributeOrder()) {
        const int id = EventIdFromName(*name);
        if (id <= 0) continue;
        auto it = element->GetAttributes().find(*name);
        if (it == element->GetAttributes().end()) continue;
        host.AddScriptlet(itemName, id, it->second.c_str());
    }
    RunScriptElements(host, element);
    return true;
}

namespace {

// The folder of the file that holds the element (no trailing "\"); false
// for a document that was not read from a file.
bool DocumentFolder(const CXmlNode* element, WString& folder) {
    const CXmlDocument* doc = element ? element->GetDocument() : nullptr;
    if (!doc || doc->GetFileName().empty()) return false;
    const WString& file = doc->GetFileName();
    size_t slash = file.find_last_of(u"\\/");
    folder = slash == WString::npos ? WString() : file.substr(0, slash);
    return true;
}

bool IsFile(const WString& path) {
    const uint32_t a = fs::GetFileAttributes(path);
    return a != fs::kInvalidAttributes && !(a & fs::kAttrDirectory);
}

}  // namespace

WString ScriptSourcePath(const CXmlNode* script) {
    if (!script || !script->HasAttribute(u"src")) return {};
    WString src = script->GetAttribute(u"src");
    for (WChar& c : src)
        if (c == u'/') c = u'\\';
    if (src.empty()) return {};
    if (src[0] == u'\\') return src;  // from the device root
    WString folder;
    if (!DocumentFolder(script, folder)) return {};
    // The device layer resolves ".." inside the root and finds each name
    // without regard to case.
    return fs::ExistingName(folder + u"\\" + src);
}

int RunScriptElements(CScriptHost& host, const CXmlNode* element) {
    if (!element) return 0;
    int count = 0;
    for (int i = 0; i < element->GetChildCount(); ++i) {
        const CXmlNode* child = element->GetChild(i);
        if (child->GetName() != u"SCRIPT") continue;
        ++count;
        if (child->HasAttribute(u"src")) {
            WString path = ScriptSourcePath(child);
            if (!path.empty() && IsFile(path)) host.ExecuteFile(path);
        } else {
            host.ExecuteString(child->GetText().c_str());
        }
    }
    return count;
}

bool HasEventAttributes(const CXmlNode* element, const WChar* prefix) {
    if (!element) return false;
    const WStringView p = prefix ? WStringView(prefix) : WStringView();
    for (const auto& [name, value] : element->GetAttributes()) {
        if (WStringView(name).substr(0, p.size()) != p) continue;
        if (EventIdFromName(name) > 0) return true;
    }
    return false;
}

namespace {

const CXmlNode* FindScript(const CXmlNode* element) {
    for (int i = 0; i < element->GetChildCount(); ++i)
        if (element->GetChild(i)->GetName() == u"SCRIPT") return element->GetChild(i);
    for (int i = 0; i < element->GetChildCount(); ++i)
        if (const CXmlNode* s = FindScript(element->GetChild(i))) return s;
    return nullptr;
}

}  // namespace

bool GetScriptLanguage(const CXmlNode* element, WString& language) {
    language.clear();
    if (!element) return false;
    if (const CXmlNode* script = FindScript(element)) language = script->GetAttribute(u"language");
    return !language.empty();
}
