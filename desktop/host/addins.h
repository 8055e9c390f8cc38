// Add-ins: the registration file and the loading of add-in libraries.
//
// The registration file ($XDG_CONFIG_HOME/pellum-standin/addins.ini, or the
// file PELLUM_ADDINS names) holds one section per library:
//   [addin]
//   library=/path/libznTools8.so
//   toolbar=ZarnipTools.ZarnipToolbar
//   commands=ZarnipTools.ZarnipMapWizard,ZarnipTools.ZarnipExportSymbology
// A library is opened with dlopen and asked for its objects by identifier
// through its one entry point, ZnCreateObject.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace host {

struct AddInRegistration {
    std::string library;
    std::vector<std::string> toolbars;
    std::vector<std::string> commands;
    bool operator==(const AddInRegistration&) const = default;
};

// The registration file's host path.
std::string AddInsFilePath();
std::vector<AddInRegistration> ParseAddIns(const std::string& text);
std::string FormatAddIns(const std::vector<AddInRegistration>& list);
// Reads the file (a missing file is an empty list); false with *error when it
// exists but cannot be read.
bool ReadAddIns(const std::string& hostPath, std::vector<AddInRegistration>* list,
                std::string* error);
// Adds or replaces the registration of the same library, through a temporary
// file renamed over the old one; false with *error leaves the file as it was.
bool RegisterAddIn(const std::string& hostPath, const AddInRegistration& registration,
                   std::string* error);

// One command of a loaded toolbar.
struct LoadedCommand {
    std::string progId;
    std::unique_ptr<ICommand> command;
};

struct LoadedToolbar {
    std::string progId;
    std::unique_ptr<IToolBarDef> toolbar;
    std::vector<LoadedCommand> commands;
};

// An open add-in library and what the host made of it. Its objects go before
// the library is closed.
class AddInLibrary {
public:
    ~AddInLibrary();
    AddInLibrary(const AddInLibrary&) = delete;
    AddInLibrary& operator=(const AddInLibrary&) = delete;

    // Opens the library; null with *error when it does not open or has no
    // ZnCreateObject.
    static std::unique_ptr<AddInLibrary> Open(const std::string& path, std::string* error);
    // The object of an identifier; null when the library does not know it.
    std::unique_ptr<AddInObject> Create(const std::string& progId);
    const std::string& Path() const { return m_path; }

    std::vector<LoadedToolbar> toolbars;
    // Commands registered outside any toolbar.
    std::vector<LoadedCommand> commands;

private:
    AddInLibrary() = default;
    void* m_handle = nullptr;
    ZnCreateObjectFunc m_create = nullptr;
    std::string m_path;
};

// Loads every registered add-in: its toolbars with their items (each command
// created once and given the application by OnCreate once) and its other
// commands. What cannot be loaded (a library that does not open or lacks
// the entry point, an identifier the library does not know) is left out and
// said in *notes.
std::vector<std::unique_ptr<AddInLibrary>> LoadAddIns(const std::vector<AddInRegistration>& list,
                                                      IHostApplication& app,
                                                      std::vector<std::string>* notes);

// Runs a command's OnClick; an error escaping it is shown as an unexpected
// error and the host goes on. False when it failed.
bool ClickCommand(ICommand& command, IHostUi& ui);

}  // namespace host
