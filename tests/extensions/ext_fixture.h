// The fixture of the extension tests: a program folder whose Extensions
// folder holds copies of chosen test modules, the list that loads them, the
// kind-7 layer class and a shell that finds layer extensions in the list,
// and the modules' call logs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "shell/extensions/extensions.h"
#include "tests/shell/shell_doubles.h"

class ExtensionTest : public ShellTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Copies the modules (names without ".so") into \Program\Extensions.
    void Install(const std::vector<std::string>& modules);
    // Installs and loads them with a main window of the test.
    CExtensions& Load(const std::vector<std::string>& modules);
    // The in-memory call log of a loaded module.
    std::string ModuleLog(CExtension* extension) const;
    void ClearModuleLog(CExtension* extension) const;
    // Every call of every module, in order, from the shared log file.
    std::string CallLog() const;
    // The loaded module of that name (file name or property 1).
    CExtension* Named(const WString& name) const;

    HWND main_ = nullptr;
    std::unique_ptr<CExtensions> list_;
};

// The lines of a log that start with the prefix.
std::vector<std::string> LinesStartingWith(const std::string& log, const std::string& prefix);
