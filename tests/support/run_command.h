// Runs a shell command for a test (an oracle tool, the program itself) and
// hands back what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testsupport {

// What `command` wrote to standard output (run by /bin/sh). `status`, when
// given, gets its exit status, or -1 when it could not run or did not exit.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string out;
    if (status) *status = -1;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    const int st = pclose(p);
    if (status && st != -1 && WIFEXITED(st)) *status = WEXITSTATUS(st);
    return out;
}

}  // namespace testsupport
