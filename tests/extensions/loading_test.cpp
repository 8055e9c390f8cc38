// Loading the Extensions folder and the entry points every module shares:
// kinds, names and codes, the message hook, escapes, tools, About boxes,
// the messages a module sends, and termination.
#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

#include "core/double_rect.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "shell/extensions/gps_extension.h"
#include "shell/extensions/layer_extension.h"
#include "shell/frame/main_frame.h"
#include "tests/extensions/ext_fixture.h"

// The service types of the header are exactly the frame's functions.
static_assert(std::is_same_v<decltype(&CMainFrame::ServiceLayerToMap), ZnxServiceLayerToMap>);
static_assert(std::is_same_v<decltype(&CMainFrame::ServiceMapToLayer), ZnxServiceMapToLayer>);
static_assert(std::is_same_v<decltype(&CMainFrame::ServiceLayerToScreen), ZnxServiceLayerToScreen>);
static_assert(std::is_same_v<decltype(&CMainFrame::ServiceScreenToLayer), ZnxServiceScreenToLayer>);
static_assert(std::is_same_v<decltype(&CMainFrame::ServiceColorPicker), ZnxServiceColorPicker>);
static_assert(std::is_same_v<decltype(&CMainFrame::ServiceChooseFont), ZnxServiceChooseFont>);
// The message record and the automation value have the platform's layouts.
static_assert(offsetof(ZnxMsg, hwnd) == offsetof(MSG, hwnd) && offsetof(ZnxMsg, message) == offsetof(MSG, message));
static_assert(offsetof(ZnxMsg, wParam) == offsetof(MSG, wParam) && offsetof(ZnxMsg, lParam) == offsetof(MSG, lParam));
static_assert(offsetof(ZnxMsg, time) == offsetof(MSG, time) && offsetof(ZnxMsg, ptX) == offsetof(MSG, pt));
static_assert(sizeof(ZnxMsg) == sizeof(MSG));
static_assert(sizeof(ZnxVariant) == sizeof(VARIANT) && offsetof(ZnxVariant, value) == offsetof(VARIANT, lVal));
static_assert(sizeof(ZnxGpsLocation) == sizeof(GpsLocation));
static_assert(ZNEX_E_NOTIMPL == E_NOTIMPL);

namespace {

const std::vector<std::string> kMustShowSet = {"testlayer", "testimage", "testgps", "notext", "noinit", "badlayer"};

TEST_F(ExtensionTest, LoadsOnlyRealExtensionsInNameOrder) {
    CExtensions& list = Load(kMustShowSet);
    ASSERT_EQ(list.GetCount(), 3);
    // Byte order of the file names, whatever the folder lists.
    EXPECT_EQ(list.GetAt(0)->GetName(), u"testgps.so");
    EXPECT_EQ(list.GetAt(1)->GetName(), u"Test Image");
    EXPECT_EQ(list.GetAt(2)->GetName(), u"Test Layer");
    EXPECT_EQ(list.GetAt(1)->GetKindValue(), 0x00010002u);
    EXPECT_EQ(list.GetAt(1)->GetKind(), ExtensionKind::ImageLayer);
    EXPECT_NE(dynamic_cast<CGpsExtension*>(list.GetAt(0)), nullptr);
    EXPECT_NE(dynamic_cast<CLayerExtension*>(list.GetAt(2)), nullptr);
    // The refused layer module was initialised, so it was told to terminate;
    // the module of another kind too; the one without initialisation never ran.
    const std::string calls = CallLog();
    EXPECT_EQ(LinesStartingWith(calls, "badlayer"),
              (std::vector<std::string>{"badlayer Initialize", "badlayer Terminate"}));
    EXPECT_EQ(LinesStartingWith(calls, "notext"),
              (std::vector<std::string>{"notext Initialize", "notext Terminate"}));
    EXPECT_TRUE(list.HasHook());
}

TEST_F(ExtensionTest, NamesCodesAndIcons) {
    CExtensions& list = Load({"testlayer", "testgps", "badtext"});
    // Without properties 1 and 2: the file name, and its first four letters.
    CExtension* gps = Named(u"testgps.so");
    ASSERT_NE(gps, nullptr);
    EXPECT_EQ(gps->GetCodeText(), u"test");
    EXPECT_EQ(list.FindByCodeText(u"test"), gps);
    EXPECT_EQ(list.FindGpsExtension(CodeFromText(u"test")), dynamic_cast<CGpsExtension*>(gps));
    // An absurd name length and a negative code answer mean none.
    CExtension* bad = Named(u"badtext.so");
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->GetCodeText(), u"badt");
    CExtension* layer = Named(u"Test Layer");
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->GetCodeText(), u"TLYR");
    EXPECT_EQ(layer->GetCode(), 0x52594C54u);
    EXPECT_EQ(list.FindGpsExtension(layer->GetCode()), nullptr);
    // The icon comes from the .res beside the module; none without one.
    EXPECT_NE(layer->GetSmallIcon(), nullptr);
    EXPECT_EQ(gps->GetSmallIcon(), nullptr);
    EXPECT_EQ(CodeToString(0x52594C54u), u"TLYR");
    EXPECT_EQ(CodeToString(0x74u), u"t");
}

TEST_F(ExtensionTest, TextProtocolKeepsToTheFirstAnswer) {
    struct Case {
        int32_t first;
        const char16_t* written;  // what the second call writes
        int32_t second;
        const char16_t* expected;
    };
    const Case cases[] = {
        {5, u"Hello", 5, u"Hello"},
        {3, u"Hello", 5, u"Hel"},          // wrote past the first length
        {5, u"Hi", 2, u"Hi"},              // wrote less: ends at its 0
        {0, u"Hello", 5, u""},             // none
        {-4, u"Hello", 5, u""},            // none
        {65536, u"Hello", 5, u""},         // more than the cap: none
        {1, u"X", 1, u"X"},
    };
    for (const Case& c : cases) {
        int calls = 0;
        const WString text = ReadExtensionText([&](char16_t* buffer) -> int32_t {
            ++calls;
            if (!buffer) return c.first;
            const size_t n = std::char_traits<char16_t>::length(c.written);
            // Never past the length + 1 units the protocol gives.
            std::memcpy(buffer, c.written, std::min<size_t>(n, static_cast<size_t>(c.first) + 1) * 2);
            return c.second;
        });
        EXPECT_EQ(text, c.expected) << c.first;
        EXPECT_EQ(calls, c.first >= 1 && c.first <= 65535 ? 2 : 1) << c.first;
    }
}

TEST_F(ExtensionTest, FirstExtensionByNameOpensASharedPath) {
    CExtensions& list = Load({"testlayer", "testimage"});
    const LayerExtensionInfo* both = list.FindLayerExtension(u"\\Docs\\x.both");
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(static_cast<CExtension*>(both->extension)->GetName(), u"Test Image");
    EXPECT_EQ(both->layerType, 2);
    const LayerExtensionInfo* tlyr = list.FindLayerExtension(u"\\Docs\\x.TLYR");
    ASSERT_NE(tlyr, nullptr);
    EXPECT_EQ(tlyr->layerType, 1);
    EXPECT_NE(tlyr->icon, nullptr);
    EXPECT_EQ(list.FindLayerExtension(u"\\Docs\\x.shp"), nullptr);
}

// A module of the test's own making: a hook that records what it was asked.
int g_laterHookCalls = 0;
int32_t LaterInitialize(ZnxHwnd) { return ZNEX_KIND_GPS; }
int32_t LaterHook(ZnxMsg*) {
    ++g_laterHookCalls;
    return 0;
}
uint32_t LaterOpen(int32_t, ZnxHwnd, int32_t, const ZnxGpsLocation*, const char16_t*) { return 1; }
int32_t LaterClose(uint32_t) { return 0; }
int32_t LaterParse(uint32_t, const void*, GpsPosition*) { return 0; }

std::unique_ptr<CExtension> MakeLaterHook() {
    return CreateExtension(u"later.so", WString(), [](const char* name) -> void* {
        const std::string n = name;
        if (n == ZNEX_NAME_INITIALIZE) return reinterpret_cast<void*>(&LaterInitialize);
        if (n == ZNEX_NAME_PRE_TRANSLATE_MESSAGE) return reinterpret_cast<void*>(&LaterHook);
        if (n == ZNEX_NAME_GPS_OPEN) return reinterpret_cast<void*>(&LaterOpen);
        if (n == ZNEX_NAME_GPS_CLOSE) return reinterpret_cast<void*>(&LaterClose);
        if (n == ZNEX_NAME_GPS_PARSE) return reinterpret_cast<void*>(&LaterParse);
        return nullptr;
    }, nullptr);
}

TEST_F(ExtensionTest, HookTakesAMessageFromLaterExtensions) {
    CExtensions& list = Load({"testlayer"});
    list.Add(MakeLaterHook());
    ASSERT_EQ(list.GetCount(), 2);
    g_laterHookCalls = 0;
    MSG taken;
    taken.message = 0x8765;
    MSG other;
    other.message = 0x8766;
    EXPECT_TRUE(list.PreTranslateMessage(&taken));
    EXPECT_EQ(g_laterHookCalls, 0);
    EXPECT_FALSE(list.PreTranslateMessage(&other));
    EXPECT_EQ(g_laterHookCalls, 1);
    // After termination no module is asked.
    list.TerminateAll();
    EXPECT_FALSE(list.PreTranslateMessage(&taken));
    EXPECT_EQ(g_laterHookCalls, 1);
}

TEST_F(ExtensionTest, EscapeGoesToTheModuleOrIsNotImplemented) {
    Load({"testlayer", "testgps"});
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = 9;
    VARIANT result;
    VariantInit(&result);
    CExtension* layer = Named(u"Test Layer");
    EXPECT_EQ(layer->Escape(0, &arg, nullptr, nullptr, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(WString(result.bstrVal), u"escaped");
    VariantClear(&result);
    EXPECT_NE(ModuleLog(layer).find("Escape 00000000 9"), std::string::npos);
    // The GPS module has no escape: the script's GPS.Escape gets E_NOTIMPL.
    auto* gps = dynamic_cast<CGpsExtension*>(Named(u"testgps.so"));
    IGpsProtocolExtension* protocol = gps;
    EXPECT_EQ(protocol->Escape(0x47505301, &arg, nullptr, nullptr, &result), E_NOTIMPL);
    // Optional entry points missing: defaults.
    EXPECT_EQ(gps->GetToolCount(), 0);
    EXPECT_FALSE(gps->DialogAbout(main_));
    EXPECT_FALSE(gps->DialogProperties(main_));
    EXPECT_EQ(gps->RunTool(0, main_, 0, nullptr), 0);
}

// The messages a module sends to the main window arrive there.
std::vector<std::pair<UINT, WPARAM>> g_received;
WString g_shownText;
LRESULT RecordingMainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= ZNEX_WM_SHOWMESSAGE && msg <= ZNEX_WM_FIREEVENT) {
        g_received.emplace_back(msg, wParam);
        if (msg == ZNEX_WM_SHOWMESSAGE) g_shownText = reinterpret_cast<const WChar*>(wParam);
        if (msg == ZNEX_WM_GETSERVICE && wParam == ZNEX_SERVICE_LAYER_TO_MAP)
            return reinterpret_cast<LRESULT>(&CMainFrame::ServiceLayerToMap);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST_F(ExtensionTest, ToolsAboutAndTheMessagesAModuleSends) {
    CExtensions& list = Load({"testlayer", "testgps"});
    CExtension* layer = Named(u"Test Layer");
    ASSERT_EQ(layer->GetToolCount(), 2);
    EXPECT_EQ(layer->GetToolType(0), 0u);
    EXPECT_EQ(layer->GetToolType(1), 0x10100u);
    EXPECT_EQ(layer->GetToolName(1), u"Find Class");
    EXPECT_EQ(list.CountToolsOfClass(1), 1);
    EXPECT_EQ(list.CountToolsOfClass(0), 1);

    WNDCLASS wc;
    wc.lpfnWndProc = RecordingMainProc;
    wc.lpszClassName = u"ExtRecordingMain";
    RegisterClass(wc);
    HWND main = CreateWindowEx(0, u"ExtRecordingMain", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
    g_received.clear();
    CDoubleRect extent(1, 2, 3, 4);
    EXPECT_EQ(layer->RunTool(0, main, 0, &extent), 42);
    // The module got a copy: what it wrote there changed nothing.
    EXPECT_EQ(extent.xmin, 1);
    ASSERT_EQ(g_received.size(), 3u);
    EXPECT_EQ(g_received[0].first, 0x8101u);
    EXPECT_EQ(g_shownText, u"Hello from a module");
    EXPECT_EQ(g_received[1], (std::pair<UINT, WPARAM>{0x8102u, 1}));
    EXPECT_EQ(g_received[2], (std::pair<UINT, WPARAM>{0x8103u, 77}));
    // The service ran through the header's type (no map: nothing converted).
    EXPECT_NE(ModuleLog(layer).find("Service 0 "), std::string::npos) << ModuleLog(layer);
    EXPECT_NE(ModuleLog(layer).find("Tool 0 00000000 0 1.000 2.000 3.000 4.000"), std::string::npos);
    EXPECT_TRUE(layer->DialogAbout(main));
    EXPECT_NE(ModuleLog(layer).find("About 1"), std::string::npos);
    DestroyWindow(main);
}

TEST_F(ExtensionTest, TerminationInLoadOrderAndOnce) {
    CExtensions& list = Load({"testlayer", "testimage", "testgps"});
    list.TerminateAll();
    list.TerminateAll();
    EXPECT_EQ(LinesStartingWith(CallLog(), "test").size(), 6u);
    std::vector<std::string> terminations;
    for (const std::string& line : LinesStartingWith(CallLog(), "test"))
        if (line.find("Terminate") != std::string::npos) terminations.push_back(line);
    EXPECT_EQ(terminations, (std::vector<std::string>{"testgps Terminate", "testimage Terminate",
                                                      "testlayer Terminate"}));
    EXPECT_EQ(list.FindLayerExtension(u"\\Docs\\a.tlyr"), nullptr);
    EXPECT_EQ(list.FindGpsExtension(CodeFromText(u"test")), nullptr);
}

TEST_F(ExtensionTest, FolderWithoutModulesLoadsNothing) {
    CExtensions list;
    list.LoadAll(main_);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetBarExtensions(), nullptr);
    // A file that is no shared object is skipped.
    Put("Program/Extensions/broken.so", "not a module");
    list.LoadAll(main_);
    EXPECT_EQ(list.GetCount(), 0);
}

}  // namespace
