// One loaded extension module: its kind, name, code, small icon and script
// object, the entry points every module may export, and the calls the
// program makes through them. Layer and GPS modules add their own entry
// points (layer_extension.h, gps_extension_module.h).
//
// Entry points are bound through a look-up function: the module's symbol
// table, or a table of functions in tests. A missing optional entry point
// gives a default answer; a missing required one refuses the module.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "gps/aux_port.h"
#include "include/zarnip/znex.h"
#include "platform/com/variant.h"
#include "platform/sys/dynamic_library.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CDoubleRect;
struct MSG;

// Finds an exported entry point by name; null when there is none.
using EntryLookup = std::function<void*(const char* name)>;

// The low 16 bits of ZNExInitialize's answer.
enum class ExtensionKind : uint16_t {
    FeatureLayer = ZNEX_KIND_FEATURE_LAYER,
    ImageLayer = ZNEX_KIND_IMAGE_LAYER,
    Gps = ZNEX_KIND_GPS,
};

// The longest text a module may give (units); a longer or negative answer
// means none.
constexpr int32_t kMaxExtensionText = 65535;

// The two-call text protocol: `call` is asked with a null buffer for the
// length, then with a zero-filled buffer of length + 1 units. The text is
// cut at the first call's length and at the first 0, whatever the module
// wrote or answered the second time.
WString ReadExtensionText(const std::function<int32_t(char16_t* buffer)>& call);

// The code as four characters (first from the low byte), without trailing
// zeros.
WString CodeToString(uint32_t code);
// The code packed from the first up to four characters (each cut to 8 bits).
uint32_t CodeFromText(WStringView text);

class CExtension;
// Makes the Extension script object of a module (one counted reference).
// Installed by the scripting part; without it no object is made.
using ExtensionObjectFactory = std::function<IDispatch*(CExtension* extension)>;
void SetExtensionObjectFactory(ExtensionObjectFactory factory);

class CExtension : public IAuxExtension {
public:
    ~CExtension() override;
    CExtension(const CExtension&) = delete;
    CExtension& operator=(const CExtension&) = delete;

    // Binds the entry points, then reads the name, code and small icon. The
    // file name (with its extension) gives the fallbacks; the device path,
    // when given, the .res file beside the module.
    bool Bind(const EntryLookup& lookup);
    void ReadIdentity(const WString& fileName, const WString& devicePath);

    const WString& GetName() const { return m_name; }
    // The module's device path (empty for a table of functions).
    const WString& GetDevicePath() const { return m_devicePath; }
    // The full value ZNExInitialize answered.
    uint32_t GetKindValue() const { return m_kind; }
    ExtensionKind GetKind() const { return static_cast<ExtensionKind>(m_kind & 0xFFFF); }
    bool IsLayerExtension() const {
        return GetKind() == ExtensionKind::FeatureLayer || GetKind() == ExtensionKind::ImageLayer;
    }
    HICON GetSmallIcon() const { return m_smallIcon; }
    uint32_t GetCode() const { return m_code; }
    WString GetCodeText() const { return CodeToString(m_code); }
    // The module's loader handle (null for a table of functions).
    void* GetModuleHandle() const { return m_library ? m_library->Handle() : nullptr; }

    // The Extension script object; `add` adds a reference for the caller.
    IDispatch* GetDispatch(bool add);

    bool HasPreTranslateMessage() const { return m_preTranslateMessage != nullptr; }
    bool PreTranslateMessage(MSG* msg);
    void Terminate();
    bool DialogAbout(HWND parent);
    // Whether the module has a properties dialog.
    bool HasDialogProperties() const { return m_dialogProperties != nullptr; }
    bool DialogProperties(HWND parent);
    HRESULT Escape(uint32_t handle, VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* result);
    // IAuxExtension: the claiming layer's handle travels as the pointer.
    void Aux(int device, int code, void* handle, const char* text, int length) override;
    int RunTool(int tool, HWND mainWindow, uint32_t layerHandle, const CDoubleRect* extent);
    int GetToolCount();
    DWORD GetToolType(int tool);
    WString GetToolName(int tool);
    // Negative: none.
    int GetToolIcon(int tool);
    int32_t GetProperty(int32_t id, int32_t index, void* buffer);

protected:
    CExtension(std::unique_ptr<sys::DynamicLibrary> library, uint32_t kind);
    // What the kind adds; false when a required entry point is missing.
    virtual bool BindKind(const EntryLookup& lookup) = 0;
    template <class F>
    static void BindOne(const EntryLookup& lookup, const char* name, F& function) {
        function = reinterpret_cast<F>(lookup(name));
    }

private:
    friend std::unique_ptr<CExtension> CreateExtension(const WString&, const WString&,
                                                       const EntryLookup&, HWND,
                                                       std::unique_ptr<sys::DynamicLibrary>);
    // Freed last: every other member may still point into the module.
    std::unique_ptr<sys::DynamicLibrary> m_library;
    WString m_name;
    WString m_devicePath;
    uint32_t m_kind = 0;
    HICON m_smallIcon = nullptr;
    uint32_t m_code = 0;
    IDispatch* m_scriptObject = nullptr;
    bool m_terminated = false;

    ZNExTerminateFn m_terminate = nullptr;
    ZNExGetPropertyFn m_getProperty = nullptr;
    ZNExSetPropertyFn m_setProperty = nullptr;
    ZNExDialogAboutFn m_dialogAbout = nullptr;
    ZNExDialogPropertiesFn m_dialogProperties = nullptr;
    ZNExPreTranslateMessageFn m_preTranslateMessage = nullptr;
    ZNExEscapeFn m_escape = nullptr;
    ZNExAUXFn m_aux = nullptr;
    ZNExToolFn m_tool = nullptr;
};

// Loads nothing: with the module's look-up (and the loaded library, kept by
// the extension), initialises it and makes the extension of its kind. Null,
// with the reason on standard error, when it is not an extension or lacks
// a required entry point (an initialised module is told to terminate).
std::unique_ptr<CExtension> CreateExtension(const WString& fileName, const WString& devicePath,
                                            const EntryLookup& lookup, HWND mainWindow,
                                            std::unique_ptr<sys::DynamicLibrary> library = nullptr);
// Loads the module at the device path; null when it does not load.
std::unique_ptr<CExtension> CreateExtension(const WString& devicePath, HWND mainWindow);
