// Serves the recorded map server answers on a loopback port, for trying
// internet layers by hand:
//   zn_fixture_server [--port N] [--dir DIR] [--tls] [--delay MS] [--mvd FILE]
// --tls makes a throwaway authority and prints its PEM file (for
// ZARNIP_CA_FILE); --delay holds the map image answers back, to try a tap
// during a slow answer; --mvd writes a workspaces file that points at the
// server.
// Runs until interrupted.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/support/http_test_server.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: zn_fixture_server [--port N] [--dir DIR] [--tls] [--delay MS] [--mvd FILE]\n");
    return 2;
}

bool Number(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    zntest::HttpServerOptions options;
    options.port = 8080;
    std::string dir = ZN_TEST_DATA "/map/server", mvd;
    int delayMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--port" && more) {
            if (!Number(argv[++i], 0, 65535, options.port)) return Usage();
        } else if (a == "--delay" && more) {
            if (!Number(argv[++i], 0, 600000, delayMs)) return Usage();
        } else if (a == "--dir" && more) {
            dir = argv[++i];
        } else if (a == "--mvd" && more) {
            mvd = argv[++i];
        } else if (a == "--tls") {
            options.tls = true;
        } else {
            return Usage();
        }
    }
    // The server's thread inherits the mask, so only sigwait sees these.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    zntest::HttpTestServer server(options);
    if (!server.Port()) {
        std::fprintf(stderr, "zn_fixture_server: %s\n", server.Error().c_str());
        return 1;
    }
    server.ServeRecorded(dir, delayMs);
    if (!mvd.empty()) {
        std::ofstream out(mvd, std::ios::binary | std::ios::trunc);
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<OMBRXL version=\"1.0.1\">\r\n<CONFIG>\r\n<MAP>\r\n"
               "<WORKSPACES>\r\n<IMAGESERVERWORKSPACE name=\"Roads\" url=\""
            << server.Url("") << "\" service=\"Roads\" />\r\n</WORKSPACES>\r\n</MAP>\r\n</CONFIG>\r\n</OMBRXL>\r\n";
        if (!out.flush()) {
            std::fprintf(stderr, "zn_fixture_server: cannot write %s\n", mvd.c_str());
            return 1;
        }
    }
    std::printf("Serving %s at %s\n", dir.c_str(), server.Url("/").c_str());
    if (!server.CaFile().empty()) std::printf("Authority: %s\n", server.CaFile().c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}
