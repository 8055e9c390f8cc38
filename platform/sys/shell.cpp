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

std::vector<std::string> SplitCommandLine(const std::string& parameters) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < parameters.size(); ++i) {
        char c = parameters[i];
        if (c == '\\') {
            // Backslashes are literal unless they precede a quote: 2n
            // before a quote give n and the quote groups, 2n+1 give n and
            // a literal quote.
            size_t n = 0;
            while (i < parameters.size() && parameters[i] == '\\') ++n, ++i;
            if (i < parameters.size() && parameters[i] == '"') {
                word.append(n / 2, '\\');
                if (n % 2) word += '"';
                else quoted = !quoted;
            } else {
                word.append(n, '\\');
                --i;
            }
            inWord = true;
        } else if (c == '"') {
            // A doubled quote inside quotes is one literal quote.
            if (quoted && i + 1 < parameters.size() && parameters[i + 1] == '"') {
                word += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

RunResult RunProgram(const std::string& program, const std::string& parameters, int waitMs) {
    RunResult result;
    if (program.empty() || program[0] == '-') return result;
    std::vector<std::string> args{program};
    for (auto& w : SplitCommandLine(parameters)) args.push_back(std::move(w));
    pid_t pid;
    if (!Spawn(args, &pid)) return result;
    result.started = true;
    if (waitMs == 0) {
        ReapLater(pid);
        return result;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        int status;
        pid_t r = waitpid(pid, &status, waitMs < 0 ? 0 : WNOHANG);
        if (r == pid) {
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return result;
        }
        if (r < 0 && errno != EINTR) {
            result.exitCode = -1;
            return result;
        }
        if (waitMs > 0 && std::chrono::steady_clock::now() >= until) break;
        if (waitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.exitCode = -1;
    ReapLater(pid);
    return result;
}

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
