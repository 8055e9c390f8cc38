// What the application's start-up and shutdown ask of the parts that are
// made elsewhere: the extension modules, the script objects, forms and applets, and the two
// serial ports other programs write to. The program installs the real ones;
// where a part is not there the application uses a null object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/text/text.h"
#include "platform/types.h"
#include "shell/config/configuration.h"

class IBarExtensions;
class IScriptHost;
struct IDispatch;
struct LayerExtensionInfo;
struct MSG;

// One loaded extension module as the option pages show it.
struct ExtensionInfo {
    WString name;
    WString code;           // four letters
    uint32_t kind = 0;      // 16: a GPS protocol
    HICON smallIcon = nullptr;
    WString modulePath;     // device path of the module file
    bool hasProperties = false;  // it has a properties dialog
};

// The extension modules.
class IAppExtensions {
public:
    virtual ~IAppExtensions() = default;
    // Loads the modules of the Extensions folder (the frame's creation).
    virtual void LoadAll(HWND frame) = 0;
    // True when a module took the message (it is then dropped).
    virtual bool PreTranslateMessage(MSG* msg) = 0;
    // Every module is told to terminate.
    virtual void TerminateAll() = 0;
    // The number of loaded modules.
    virtual int GetCount() { return 0; }
    // The first layer module that opens the dataset, or null.
    virtual const LayerExtensionInfo* FindLayerExtension(WStringView path) {
        (void)path;
        return nullptr;
    }
    // The module at a position of the load order (0 .. GetCount() - 1).
    virtual ExtensionInfo GetExtensionInfo(int index) {
        (void)index;
        return {};
    }
    // Runs the module's properties dialog; false when it has none.
    virtual bool ShowExtensionProperties(int index, HWND parent) {
        (void)index;
        (void)parent;
        return false;
    }
    // The modules as the command bars show them (null: none).
    virtual IBarExtensions* GetBarExtensions() { return nullptr; }
};

// The parts of the scripting host the application owns: the six
// application-level script objects, the global forms and the applets.
class IAppScripting {
public:
    virtual ~IAppScripting() = default;
    // Makes the objects on the first call and registers the named items
    // with the host.
    virtual void RegisterSystemObjects(IScriptHost* host) = 0;
    // The Application object (null while there is none).
    virtual IDispatch* GetApplicationObject() = 0;
    virtual void LoadApplets(const WString& folder) = 0;
    virtual void DeleteFormsAndApplets() = 0;
    // The Script window, modal over the parent (command 1037).
    virtual void ShowScriptWindow(HWND parent) { (void)parent; }
};

// A serial port that other programs may write to.
class IPortWriter {
public:
    virtual ~IPortWriter() = default;
    virtual bool IsOpen() = 0;
    virtual bool Write(const uint8_t* data, size_t size) = 0;
};
