#include "desktop/host/addins.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>

#include "desktop/host/host_objects.h"
#include "platform/fs/fs.h"

namespace host {

std::string AddInsFilePath() {
    if (const char* p = std::getenv("PELLUM_ADDINS"); p && *p) return p;
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    else
        base = ".";
    return base + "/pellum-standin/addins.ini";
}

namespace {

std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        size_t comma = s.find(',', start);
        if (comma == std::string::npos) comma = s.size();
        std::string item = s.substr(start, comma - start);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\r')) item.pop_back();
        while (!item.empty() && item.front() == ' ') item.erase(item.begin());
        if (!item.empty()) out.push_back(item);
        start = comma + 1;
    }
    return out;
}

std::string JoinList(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += (s.empty() ? "" : ",") + x;
    return s;
}

}  // namespace

std::vector<AddInRegistration> ParseAddIns(const std::string& text) {
    std::vector<AddInRegistration> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line == "[addin]") {
            out.emplace_back();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || out.empty()) continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "library")
            out.back().library = value;
        else if (key == "toolbar")
            out.back().toolbars = SplitList(value);
        else if (key == "commands")
            out.back().commands = SplitList(value);
    }
    std::erase_if(out, [](const AddInRegistration& r) { return r.library.empty(); });
    return out;
}

std::string FormatAddIns(const std::vector<AddInRegistration>& list) {
    std::string s = "# Add-ins of pellum-standin, written by their register tools.\n";
    for (const auto& r : list) {
        s += "\n[addin]\nlibrary=" + r.library + "\n";
        if (!r.toolbars.empty()) s += "toolbar=" + JoinList(r.toolbars) + "\n";
        if (!r.commands.empty()) s += "commands=" + JoinList(r.commands) + "\n";
    }
    return s;
}

bool ReadAddIns(const std::string& hostPath, std::vector<AddInRegistration>* list,
                std::string* error) {
    list->clear();
    std::string bytes;
    if (!fs::ReadWholeHostFile(hostPath, &bytes)) {
        if (fs::GetLastError() == fs::kErrorFileNotFound ||
            fs::GetLastError() == fs::kErrorPathNotFound)
            return true;
        if (error) *error = "the add-ins file cannot be read: " + hostPath;
        return false;
    }
    *list = ParseAddIns(bytes);
    return true;
}

bool RegisterAddIn(const std::string& hostPath, const AddInRegistration& registration,
                   std::string* error) {
    std::vector<AddInRegistration> list;
    if (!ReadAddIns(hostPath, &list, error)) return false;
    bool replaced = false;
    for (auto& r : list) {
        if (r.library == registration.library) {
            r = registration;
            replaced = true;
        }
    }
    if (!replaced) list.push_back(registration);
    const size_t slash = hostPath.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        // The folder of the settings file may not exist yet.
        const std::string folder = hostPath.substr(0, slash);
        size_t at = 1;
        while ((at = folder.find('/', at)) != std::string::npos) {
            ::mkdir(folder.substr(0, at).c_str(), 0755);
            ++at;
        }
        ::mkdir(folder.c_str(), 0755);
    }
    const std::string text = FormatAddIns(list);
    if (!fs::WriteWholeHostFile(hostPath, text.data(), text.size())) {
        if (error) {
            const uint32_t code = fs::GetLastError();
            *error = "the add-ins file could not be written: " + hostPath +
                     (code == fs::kErrorDiskFull ? " (the disk is full)"
                                                 : " (error " + std::to_string(code) + ")");
        }
        return false;
    }
    return true;
}

AddInLibrary::~AddInLibrary() {
    toolbars.clear();
    commands.clear();
    if (m_handle) ::dlclose(m_handle);
}

std::unique_ptr<AddInLibrary> AddInLibrary::Open(const std::string& path, std::string* error) {
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        if (error) {
            const char* e = ::dlerror();
            *error = "the add-in " + path + " cannot be loaded: " + (e ? e : "unknown reason");
        }
        return nullptr;
    }
    void* sym = ::dlsym(h, kZnCreateObjectName);
    if (!sym) {
        ::dlclose(h);
        if (error)
            *error =
                "the add-in " + path + " is refused: it has no entry point " + kZnCreateObjectName;
        return nullptr;
    }
    std::unique_ptr<AddInLibrary> lib(new AddInLibrary);
    lib->m_handle = h;
    lib->m_create = reinterpret_cast<ZnCreateObjectFunc>(sym);
    lib->m_path = path;
    return lib;
}

std::unique_ptr<AddInObject> AddInLibrary::Create(const std::string& progId) {
    return std::unique_ptr<AddInObject>(m_create(progId.c_str()));
}

namespace {

std::unique_ptr<ICommand> MakeCommand(AddInLibrary& lib, const std::string& progId,
                                      IHostApplication& app, std::vector<std::string>* notes) {
    auto obj = lib.Create(progId);
    if (!obj || !obj->command) {
        if (notes)
            notes->push_back("the add-in " + lib.Path() + " does not know the command " + progId +
                             ": left out");
        return nullptr;
    }
    std::unique_ptr<ICommand> cmd = std::move(obj->command);
    try {
        cmd->OnCreate(&app);
    } catch (const std::exception& e) {
        if (notes)
            notes->push_back("the command " + progId + " failed to start: " + e.what() +
                             ": left out");
        return nullptr;
    }
    return cmd;
}

}  // namespace

std::vector<std::unique_ptr<AddInLibrary>> LoadAddIns(const std::vector<AddInRegistration>& list,
                                                      IHostApplication& app,
                                                      std::vector<std::string>* notes) {
    std::vector<std::unique_ptr<AddInLibrary>> out;
    for (const auto& reg : list) {
        std::string error;
        auto lib = AddInLibrary::Open(reg.library, &error);
        if (!lib) {
            if (notes) notes->push_back(error);
            continue;
        }
        for (const auto& tbId : reg.toolbars) {
            auto obj = lib->Create(tbId);
            if (!obj || !obj->toolbar) {
                if (notes)
                    notes->push_back("the add-in " + reg.library + " does not know the toolbar " +
                                     tbId + ": left out");
                continue;
            }
            LoadedToolbar tb{tbId, std::move(obj->toolbar), {}};
            try {
                const int n = tb.toolbar->ItemCount();
                for (int i = 0; i < n; ++i) {
                    HostItemDef def;
                    tb.toolbar->GetItemInfo(i, def);
                    if (def.Id().empty()) continue;
                    if (auto cmd = MakeCommand(*lib, def.Id(), app, notes))
                        tb.commands.push_back({def.Id(), std::move(cmd)});
                }
            } catch (const std::exception& e) {
                if (notes) notes->push_back("the toolbar " + tbId + " failed: " + e.what());
            }
            lib->toolbars.push_back(std::move(tb));
        }
        for (const auto& id : reg.commands)
            if (auto cmd = MakeCommand(*lib, id, app, notes))
                lib->commands.push_back({id, std::move(cmd)});
        out.push_back(std::move(lib));
    }
    return out;
}

bool ClickCommand(ICommand& command, IHostUi& ui) {
    std::string what;
    try {
        command.OnClick();
        return true;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "unknown error";
    }
    ui.MessageBox("Pellum", "Unexpected error in \"" + command.Caption() + "\": " + what,
                  PromptIcon::Stop, PromptButtons::Ok);
    return false;
}

}  // namespace host
