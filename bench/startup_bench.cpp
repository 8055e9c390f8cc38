// Start-up: wall time from exec to the first complete paint of the map view
// with the sample map on Qt's offscreen display, beside a bare Qt 6 program
// that opens one window and paints it once (the floor on this machine); and
// the time of each start-up step, in this process on the null display.
//
// The programs run as they are built (ZN_APP, ZN_FLOOR); each repetition is
// one start, so the aggregates are the median and spread of the starts.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/language_module.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/services/script_events.h"
#include "map/view/map_view.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/win/doc_template.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "shell/app/map_app.h"
#include "shell/app/null_scripting.h"
#include "shell/frame/main_frame.h"

extern char** environ;

namespace {

std::string TempFolder() {
    static std::string folder = [] {
        char tmpl[] = "/tmp/zn-startup-bench-XXXXXX";
        std::string f = mkdtemp(tmpl) ? tmpl : "/tmp";
        ::mkdir((f + "/run").c_str(), 0700);
        ::mkdir((f + "/config").c_str(), 0700);
        ::mkdir((f + "/docs").c_str(), 0700);
        return f;
    }();
    return folder;
}

// Seconds from exec until the program writes its first line.
double SecondsToFirstLine(std::vector<std::string> args, const std::vector<std::string>& env) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> environment = env;
    for (char** e = environ; *e; ++e) environment.emplace_back(*e);
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    double seconds = -1;
    if (spawned == 0) {
        char c;
        if (::read(pipeFds[0], &c, 1) == 1)
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        while (::read(pipeFds[0], &c, 1) > 0) {
        }
        ::waitpid(pid, nullptr, 0);
    }
    ::close(pipeFds[0]);
    return seconds;
}

void Run(benchmark::State& state, const std::vector<std::string>& args, const std::vector<std::string>& env) {
    for (auto _ : state) {
        double seconds = SecondsToFirstLine(args, env);
        if (seconds < 0) {
            state.SkipWithError("the program did not start");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

// The program with the sample map until the view's first complete paint
// (the screenshot hook prints once the view has painted).
void BM_ProgramToFirstPaint(benchmark::State& state) {
    const std::string folder = TempFolder();
    Run(state, {ZN_APP, "--no-splash", std::string(ZN_SOURCE_DIR) + "/data/Samples/Sample.znm"},
        {"QT_QPA_PLATFORM=offscreen", "ZARNIP_ROOT=/", "XDG_RUNTIME_DIR=" + folder + "/run",
         "XDG_CONFIG_HOME=" + folder + "/config", "ZARNIP_DOCUMENTS=" + folder + "/docs",
         "ZARNIP_TEST_SCREENSHOT=" + folder + "/shot.bmp"});
}
BENCHMARK(BM_ProgramToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(15)
    ->ReportAggregatesOnly(true);

void BM_BareQtToFirstPaint(benchmark::State& state) {
    Run(state, {ZN_FLOOR}, {"QT_QPA_PLATFORM=offscreen"});
}
BENCHMARK(BM_BareQtToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(15)
    ->ReportAggregatesOnly(true);

// Each start-up step in this process, on the null display, with the program's
// frame and view and the sample map: the steps' mean times as counters (ms).
void BM_StartupSteps(benchmark::State& state) {
    const std::string folder = TempFolder();
    setenv("ZARNIP_ROOT", "/", 1);
    setenv("XDG_RUNTIME_DIR", (folder + "/run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    setenv("ZARNIP_DOCUMENTS", (folder + "/docs").c_str(), 1);
    fs::ResetConfiguration();
    UseBuiltInLayerClass(LayerKind::Shape);
    CNullScriptServices scripting;
    SetScriptServices(&scripting);
    const std::string sample = std::string(ZN_SOURCE_DIR) + "/data/Samples/Sample.znm";
    std::map<std::string, double> totals;
    std::vector<std::string> order;
    for (auto _ : state) {
        CMapApp app;
        const char* argv[] = {"zarnip", "--no-splash", sample.c_str()};
        app.SetCommandLine(3, argv);
        app.UseProgramDocTemplate();
        if (!app.InitInstance()) {
            state.SkipWithError("start-up failed");
            break;
        }
        state.PauseTiming();
        for (const StartupStep& step : app.GetStartupSteps()) {
            if (!totals.count(step.name)) order.push_back(step.name);
            totals[step.name] += std::chrono::duration<double, std::milli>(step.time).count();
        }
        if (HWND main = app.GetMainWindow()) DestroyWindow(main);
        app.ExitInstance();
        win::ResetForTests();
        state.ResumeTiming();
    }
    for (const std::string& name : order)
        state.counters[name] = benchmark::Counter(totals[name] / static_cast<double>(state.iterations()));
    SetScriptServices(nullptr);
}
BENCHMARK(BM_StartupSteps)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
