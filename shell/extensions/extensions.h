// The loaded extension modules, in load order: loading the Extensions
// folder, the message filter, termination, and the look-ups the layers, the
// GPS receiver and the command bars make.
//
// Lifetime: the list outlives the application object, the receiver and the
// auxiliary port. TerminateAll runs once at exit, after the map document is
// closed; afterwards no entry point is called. The modules are freed, in
// reverse load order, when the list is destroyed.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "gps/gps_extension.h"
#include "shell/app/app_services.h"
#include "shell/extensions/extension.h"
#include "shell/frame/command_bars.h"

class CLayerList;
class CLayerExtension;

class CExtensions : public IAppExtensions, public IGpsExtensions {
public:
    CExtensions();
    ~CExtensions() override;
    CExtensions(const CExtensions&) = delete;
    CExtensions& operator=(const CExtensions&) = delete;

    // IAppExtensions: <program folder>\Extensions\*.so.
    void LoadAll(HWND frame) override;
    bool PreTranslateMessage(MSG* msg) override;
    void TerminateAll() override;
    int GetCount() override { return static_cast<int>(m_list.size()); }
    const LayerExtensionInfo* FindLayerExtension(WStringView path) override;
    IBarExtensions* GetBarExtensions() override;
    ExtensionInfo GetExtensionInfo(int index) override;
    bool ShowExtensionProperties(int index, HWND parent) override;

    // IGpsExtensions.
    IGpsProtocolExtension* FindGpsExtension(uint32_t code) override;

    // The modules of a device folder, in byte order of their file names.
    void LoadFolder(const WString& folder, HWND frame);
    // Appends a made extension (tests, and LoadFolder).
    void Add(std::unique_ptr<CExtension> extension);

    CExtension* GetAt(int index) const;
    CExtension* FindByCode(uint32_t code) const;
    CExtension* FindByCodeText(WStringView code) const { return FindByCode(CodeFromText(code)); }
    // Appends the names with consecutive ids.
    void FillNameMenu(HMENU menu, UINT firstId) const;
    // Tools of the class (bits 16 to 23 of the tool type) over all modules.
    int CountToolsOfClass(int toolClass) const;
    bool HasHook() const { return m_hook; }
    bool IsTerminated() const { return m_terminated; }

    // Where the bars find the active map's layers.
    void SetLayerListSource(std::function<CLayerList*()> source) { m_layers = std::move(source); }
    CLayerList* GetLayerList() const { return m_layers ? m_layers() : nullptr; }

    // The Extensions collection script object, made on first request by
    // the installed factory; `add` adds a reference for the caller.
    IDispatch* GetScriptObject(bool add);
    static void SetCollectionObjectFactory(std::function<IDispatch*(CExtensions*)> factory);

private:
    std::vector<std::unique_ptr<CExtension>> m_list;
    bool m_hook = false;
    bool m_terminated = false;
    IDispatch* m_scriptObject = nullptr;
    std::function<CLayerList*()> m_layers;
    std::unique_ptr<IBarExtensions> m_bars;
};

// The menus hold an 8-bit extension index and the About ids end at 2499:
// the bars show at most this many modules, and tools of each.
constexpr int kMaxBarExtensions = 100;
constexpr int kMaxBarTools = 256;

// Layer kind 7 is made by the accepting module's kind: feature layers for
// kind 1, image layers for kind 2.
void RegisterExtensionLayerClass();
