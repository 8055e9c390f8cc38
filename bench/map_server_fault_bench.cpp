// How long a slow, dead or hostile server holds the user-interface thread:
// each exchange against the loopback test server with short limits, timed
// from start to return (the cancel from the tap to return). The times are
// to be read beside the limit each row names (counter "limit_ms").
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/net/http.h"
#include "tests/support/http_test_server.h"

namespace {

using zntest::HttpReply;
using zntest::HttpTestServer;
using Clock = std::chrono::steady_clock;

// Connect 1 s, no byte moved 0.5 s, whole exchange 2 s, answers 1 MiB; a
// row that tests the whole-exchange limit lifts the stall limit above it.
net::HttpSettings ShortLimits(bool stall) {
    net::HttpSettings s;
    s.connectTimeoutMs = 1000;
    s.stallTimeoutMs = stall ? 500 : 30000;
    s.totalTimeoutMs = 2000;
    s.maxResponseBytes = 1u << 20;
    return s;
}

void Fault(benchmark::State& state, HttpReply::Fault fault, int delayMs, double limitMs, bool deadPort = false,
           bool stall = true) {
    HttpTestServer server;
    HttpReply reply;
    reply.body = std::string(64, 'a');
    reply.fault = fault;
    reply.delayMs = delayMs;
    server.SetReply(reply);
    const auto url = *net::ParseUrl(deadPort ? "http://127.0.0.1:1/x" : server.Url("/x"));
    for (auto _ : state) {
        net::HttpSession session(ShortLimits(stall));
        const auto start = Clock::now();
        const net::HttpResult r = session.Post(url, "<a/>", {});
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (r.ok) state.SkipWithError("the exchange did not fail");
    }
    state.counters["limit_ms"] = limitMs;
}

void NoListener(benchmark::State& s) { Fault(s, HttpReply::kNone, 0, 1000, true); }
void NeverAnswersStall(benchmark::State& s) { Fault(s, HttpReply::kDelay, 10000, 500); }
void NeverAnswersTotal(benchmark::State& s) { Fault(s, HttpReply::kDelay, 10000, 2000, false, false); }
void Trickle(benchmark::State& s) { Fault(s, HttpReply::kTrickle, 1000, 500); }
void TrickleTotal(benchmark::State& s) { Fault(s, HttpReply::kTrickle, 200, 2000, false, false); }
void LongerLength(benchmark::State& s) { Fault(s, HttpReply::kLongerLength, 0, 500); }
void EndlessBody(benchmark::State& s) { Fault(s, HttpReply::kEndless, 0, 2000); }
BENCHMARK(NoListener)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(NeverAnswersStall)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(NeverAnswersTotal)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Trickle)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(TrickleTotal)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(LongerLength)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(EndlessBody)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A tap 200 ms into an answer that takes 10 s: the time from the tap until
// the exchange returns.
void CancelAfterTap(benchmark::State& state) {
    HttpTestServer server;
    HttpReply reply;
    reply.fault = HttpReply::kDelay;
    reply.delayMs = 10000;
    server.SetReply(reply);
    const auto url = *net::ParseUrl(server.Url("/x"));
    for (auto _ : state) {
        std::atomic<bool> tapped{false};
        std::atomic<int64_t> tapAt{0};
        net::HttpSession session;
        session.SetAbortPoll([&] { return tapped.load(); });
        std::thread tap([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            tapAt = Clock::now().time_since_epoch().count();
            tapped = true;
        });
        const net::HttpResult r = session.Get(url);
        const auto end = Clock::now().time_since_epoch().count();
        tap.join();
        state.SetIterationTime(std::chrono::duration<double>(Clock::duration(end - tapAt.load())).count());
        if (!r.aborted) state.SkipWithError("the exchange was not cancelled");
    }
    state.counters["limit_ms"] = 200;
}
BENCHMARK(CancelAfterTap)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
