// The cost of the extension modules' message filter per message: a message
// posted, taken from the queue, offered to 0, 1 or 4 hooking modules (the
// test layer module, loaded as separate copies) and dispatched, beside the
// plain post, peek and dispatch without extensions.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/fs/fs.h"
#include "platform/win/window.h"
#include "shell/extensions/extensions.h"

namespace {

constexpr UINT kMessage = 0x8000 + 42;  // not the module's own

LRESULT Counting(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static int handled = 0;
    if (msg == kMessage) return ++handled;
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

HWND Window() {
    static HWND window = [] {
        WNDCLASS wc;
        wc.lpfnWndProc = Counting;
        wc.lpszClassName = u"BenchTarget";
        RegisterClass(wc);
        return CreateWindowEx(0, u"BenchTarget", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }();
    return window;
}

// `hooks` copies of the hooking module in a folder of their own.
std::unique_ptr<CExtensions> LoadHooks(int hooks) {
    auto list = std::make_unique<CExtensions>();
    const std::string folder = "/tmp/zn-bench-ext-" + std::to_string(hooks);
    std::filesystem::create_directories(folder);
    setenv("ZARNIP_ROOT", "/", 1);
    fs::ResetConfiguration();
    for (int i = 0; i < hooks; ++i) {
        const std::string copy = folder + "/hook" + std::to_string(i) + ".so";
        std::filesystem::copy_file(ZN_EXT_MODULE, copy, std::filesystem::copy_options::overwrite_existing);
        WString device;
        for (char c : copy) device += c == '/' ? u'\\' : static_cast<WChar>(c);
        list->Add(CreateExtension(device, Window()));
    }
    return list;
}

void Dispatch(benchmark::State& state, int hooks) {
    HWND window = Window();
    std::unique_ptr<CExtensions> list = hooks >= 0 ? LoadHooks(hooks) : nullptr;
    if (list && list->GetCount() != hooks) {
        state.SkipWithError("the hooking modules did not load");
        return;
    }
    MSG msg;
    for (auto _ : state) {
        PostMessage(window, kMessage, 0, 0);
        PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE);
        if (!list || !list->PreTranslateMessage(&msg)) DispatchMessage(&msg);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(Dispatch, plain_no_extensions, -1);
BENCHMARK_CAPTURE(Dispatch, hooking_modules_0, 0);
BENCHMARK_CAPTURE(Dispatch, hooking_modules_1, 1);
BENCHMARK_CAPTURE(Dispatch, hooking_modules_4, 4);

}  // namespace

BENCHMARK_MAIN();
