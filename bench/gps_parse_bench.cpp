// Framing plus decoding into the position record for three receiver logs,
// each repeated to about 2 MB in memory, beside gpsd's packet lexer (which
// only frames) on the same bytes, and a plain line split of the NMEA bytes
// as the floor. gpsd's lexer comes from python3-gps's libgpsdpacket,
// opened here with dlopen only.
//   build/bench/gps_parse_bench
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "gps/eart_parser.h"
#include "gps/gps_position.h"
#include "gps/nmea_parser.h"
#include "gps/serial_assembly.h"
#include "gps/tsip_parser.h"

namespace {

std::string Repeated(const char* name) {
    std::ifstream in(std::string(ZN_SOURCE_DIR) + "/tests/data/gps/" + name, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    while (!data.empty() && data[0] == '#') data.erase(0, data.find('\n') + 1);
    std::string all;
    while (!data.empty() && all.size() < 2000000) all += data;
    return all;
}

const std::string& Log(int which) {
    static const std::string logs[] = {Repeated("neo-m8n.log"), Repeated("trimble-lasseniq-bin2d.log"),
                                       Repeated("zodiac.log")};
    return logs[which];
}

void Ours(benchmark::State& state) {
    const std::string& bytes = Log(static_cast<int>(state.range(0)));
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    GpsPosition position;
    ResetGpsPosition(&position);
    int64_t units = 0;
    for (auto _ : state) {
        CSerialAssembler a;
        CNmeaParser nmea;
        CTsipParser tsip;
        CEartParser eart;
        switch (state.range(0)) {
            case 0:
                a.Feed(data, static_cast<int>(bytes.size()), [&](const uint8_t* line, int) {
                    nmea.ParseSentence(reinterpret_cast<const char*>(line), &position);
                    ++units;
                });
                break;
            case 1:
                a.SetFramer(CTsipParser::FramePacket);
                a.Feed(data, static_cast<int>(bytes.size()), [&](const uint8_t* p, int n) {
                    tsip.Decode(p, n, &position);
                    ++units;
                });
                break;
            default:
                a.SetFramer(CEartParser::FramePacket);
                a.Feed(data, static_cast<int>(bytes.size()), [&](const uint8_t* p, int n) {
                    eart.Decode(p, n, &position);
                    ++units;
                });
                break;
        }
        benchmark::DoNotOptimize(position);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.counters["units"] = static_cast<double>(units / static_cast<int64_t>(state.iterations()));
}

struct GpsdLexer {
    void* (*init)() = nullptr;
    int (*get)(int, void*) = nullptr;
    GpsdLexer() {
        if (void* lib = dlopen("libgpsdpacket.so.28", RTLD_NOW)) {
            init = reinterpret_cast<void* (*)()>(dlsym(lib, "ffi_Lexer_init"));
            get = reinterpret_cast<int (*)(int, void*)>(dlsym(lib, "packet_get"));
        }
    }
};

void Gpsd(benchmark::State& state) {
    static GpsdLexer lexer;
    if (!lexer.init || !lexer.get) {
        state.SkipWithError("libgpsdpacket.so.28 (python3-gps) not found");
        return;
    }
    const std::string& bytes = Log(static_cast<int>(state.range(0)));
    const int fd = memfd_create("gps-bench", 0);
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        state.SkipWithError("memfd write failed");
        return;
    }
    int64_t units = 0;
    for (auto _ : state) {
        lseek(fd, 0, SEEK_SET);
        void* l = lexer.init();
        while (lexer.get(fd, l) > 0) ++units;
    }
    close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.counters["units"] = static_cast<double>(units / static_cast<int64_t>(state.iterations()));
}

void LineSplit(benchmark::State& state) {
    const std::string& bytes = Log(0);
    int64_t lines = 0;
    for (auto _ : state) {
        const char* p = bytes.data();
        const char* end = p + bytes.size();
        while (const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
            p = static_cast<const char*>(nl) + 1;
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

// 0 NMEA (neo-m8n), 1 TSIP (Lassen iQ), 2 binary words (Zodiac).
BENCHMARK(Ours)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Gpsd)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(LineSplit)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
