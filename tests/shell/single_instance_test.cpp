// One instance per user, with real processes: the second asks the first to
// come forward and ends; a killed holder's lock and socket are taken over;
// a bad frame costs only its own connection.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>

#include "shell/app/single_instance.h"

extern char** environ;

namespace {

class Peer {
public:
    Peer() {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        char* argv[] = {const_cast<char*>(ZN_INSTANCE_PEER), nullptr};
        EXPECT_EQ(posix_spawn(&pid_, ZN_INSTANCE_PEER, &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Peer() {
        Kill();
        ::close(out_);
    }
    // The next line of output, empty after the timeout (generous: the machine
    // may be busy) or at the end.
    std::string Line(int ms = 20000) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            until - std::chrono::steady_clock::now())
                                            .count());
            if (left <= 0) return {};
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0) return {};
            char chunk[256];
            ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }
    // The exit status, or -1 when it has not ended within the time.
    int Wait(int ms) {
        for (int waited = 0; waited <= ms; waited += 10) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            ::usleep(10000);
        }
        return -1;
    }
    void Kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zn-instance-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        runtime_ = tmpl;
        ::chmod(runtime_.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf '" + runtime_ + "'").c_str()); }
    std::string Socket() const { return runtime_ + "/zarnip/AfxZarnip Class.sock"; }

    std::string runtime_;
};

TEST_F(SingleInstance, TheSecondRaisesTheFirstAndEnds) {
    Peer first;
    ASSERT_EQ(first.Line(), "holder");
    struct stat st;
    ASSERT_EQ(::stat((runtime_ + "/zarnip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The second ends by itself (a generous limit: the machine may be busy).
    Peer second;
    EXPECT_EQ(second.Line(), "second");
    EXPECT_EQ(second.Wait(20000), 1);
    EXPECT_EQ(first.Line(), "got 1 0");

    // The holder is killed: its lock goes with it, its socket file stays.
    first.Kill();
    ASSERT_EQ(::access(Socket().c_str(), F_OK), 0);
    Peer third;
    ASSERT_EQ(third.Line(), "holder");
    Peer fourth;
    EXPECT_EQ(fourth.Line(), "second");
    EXPECT_EQ(third.Line(), "got 1 0");
}

TEST_F(SingleInstance, AnOversizedFrameClosesOnlyItsConnection) {
    Peer holder;
    ASSERT_EQ(holder.Line(), "holder");
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, Socket().c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    uint32_t header[2] = {kInstanceCopyData, kInstanceMaxFrame + 1};
    ASSERT_EQ(::write(fd, header, sizeof header), static_cast<ssize_t>(sizeof header));
    char c;
    EXPECT_EQ(::read(fd, &c, 1), 0);  // the holder hung up
    ::close(fd);

    std::vector<uint8_t> payload(kInstanceMaxFrame, 7);
    EXPECT_TRUE(CSingleInstance::SendToHolder(u"AfxZarnip Class", kInstanceCopyData, payload));
    EXPECT_EQ(holder.Line(), "got 2 1048576");
    EXPECT_FALSE(CSingleInstance::SendToHolder(u"AfxZarnip Class", kInstanceCopyData,
                                               std::vector<uint8_t>(kInstanceMaxFrame + 1)));
}

TEST(InstanceFrames, SplitJoinedAndBadStreams) {
    auto frame = [](uint32_t kind, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> out(8);
        uint32_t length = static_cast<uint32_t>(bytes.size());
        std::memcpy(out.data(), &kind, 4);
        std::memcpy(out.data() + 4, &length, 4);
        out.insert(out.end(), bytes.begin(), bytes.end());
        return out;
    };
    std::vector<uint8_t> stream = frame(1, {});
    auto second = frame(2, {1, 2, 3});
    stream.insert(stream.end(), second.begin(), second.end());
    CInstanceFrameReader reader;
    std::vector<InstanceFrame> got;
    for (uint8_t b : stream) ASSERT_TRUE(reader.Feed(&b, 1, got));  // one byte at a time
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, 1u);
    EXPECT_EQ(got[1].bytes, (std::vector<uint8_t>{1, 2, 3}));

    CInstanceFrameReader bad;
    got.clear();
    std::vector<uint8_t> oversized = frame(1, {});
    uint32_t huge = kInstanceMaxFrame + 1;
    std::memcpy(oversized.data() + 4, &huge, 4);
    auto after = frame(1, {});
    oversized.insert(oversized.end(), after.begin(), after.end());
    EXPECT_FALSE(bad.Feed(oversized.data(), oversized.size(), got));
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(bad.Feed(after.data(), after.size(), got));
}

}  // namespace
