#include "platform/sys/shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace sys {

namespace {

// Starts argv[0] (searched in PATH) with stdin from /dev/null.
bool Spawn(const std::vector<std::string>& args, pid_t* pid) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int rc = posix_spawnp(pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

void ReapLater(pid_t pid) {
    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

std::string FromEnv(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

}  // namespace

bool ShellOpen(const std::string& target) {
    if (target.empty() || target[0] == '-') return false;
    pid_t pid;
    if (!Spawn({FromEnv("ZARNIP_OPENER", "xdg-open"), target}, &pid)) return false;
    // Openers hand over to the application and exit; one that keeps running
    // is taken as success.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (r < 0 && errno != EINTR) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ReapLater(pid);
    return true;
}

bool PlayWaveFile(const std::string& hostPath) {
    int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char header[12];
    ssize_t got = read(fd, header, sizeof header);
    close(fd);
    if (got != 12 || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    std::vector<std::vector<std::string>> players;
    if (const char* player = std::getenv("ZARNIP_SOUND_PLAYER"); player && *player)
        players = {{player, hostPath}};
    else
        players = {{"aplay", "-q", hostPath}, {"paplay", hostPath}, {"pw-play", hostPath}};
    for (const auto& args : players) {
        pid_t pid;
        if (!Spawn(args, &pid)) continue;  // not installed: try the next one
        ReapLater(pid);
        return true;
    }
    return false;
}

}  // namespace sys
