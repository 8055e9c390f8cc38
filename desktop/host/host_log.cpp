#include "desktop/host/host_log.h"

#include <cstdio>
#include <mutex>

namespace host {
namespace {
std::mutex g_mutex;
std::vector<std::string> g_lines;
}  // namespace

void HostLog(const std::string& line) {
    std::lock_guard lock(g_mutex);
    g_lines.push_back(line);
    std::fprintf(stderr, "host: %s\n", line.c_str());
}

std::vector<std::string> HostLogLines() {
    std::lock_guard lock(g_mutex);
    return g_lines;
}

void ClearHostLog() {
    std::lock_guard lock(g_mutex);
    g_lines.clear();
}

}  // namespace host
