#include "tests/support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace zntest {
namespace {

bool SendAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool HttpRequest::HasHeader(const std::string& prefix) const {
    for (const std::string& h : headers)
        if (strncasecmp(h.c_str(), prefix.c_str(), prefix.size()) == 0) return true;
    return false;
}

HttpTestServer::HttpTestServer() {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    const int one = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(listen_, 8) == 0) {
        socklen_t len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    thread_ = std::thread([this] { Serve(); });
}

HttpTestServer::~HttpTestServer() {
    stop_ = true;
    thread_.join();
    if (listen_ >= 0) close(listen_);
}

std::string HttpTestServer::Url(const std::string& object) const {
    return "http://127.0.0.1:" + std::to_string(port_) + object;
}

void HttpTestServer::SetReplyFor(const std::string& prefix, const HttpReply& reply) {
    std::lock_guard lock(lock_);
    for (auto& route : routes_)
        if (route.first == prefix) {
            route.second = reply;
            return;
        }
    routes_.emplace_back(prefix, reply);
}

void HttpTestServer::ClearRequests() {
    std::lock_guard lock(lock_);
    requests_.clear();
}

void HttpTestServer::SetReply(const HttpReply& reply) {
    std::lock_guard lock(lock_);
    reply_ = reply;
}

std::vector<HttpRequest> HttpTestServer::Requests() {
    std::lock_guard lock(lock_);
    return requests_;
}

void HttpTestServer::Serve() {
    while (!stop_) {
        pollfd p{listen_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Handle(client);
        close(client);
    }
}

void HttpTestServer::Handle(int client) {
    // Read the head and the body, bounded in time and size.
    std::string in;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    size_t headEnd = std::string::npos;
    size_t want = 0;
    while (!stop_ && std::chrono::steady_clock::now() < end && in.size() < (64u << 20)) {
        pollfd p{client, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char buf[16384];
        const ssize_t n = recv(client, buf, sizeof buf, 0);
        if (n <= 0) break;
        in.append(buf, static_cast<size_t>(n));
        if (headEnd == std::string::npos && (headEnd = in.find("\r\n\r\n")) != std::string::npos) {
            const std::string head = in.substr(0, headEnd);
            const size_t cl = head.find("Content-Length:");
            want = headEnd + 4 + (cl == std::string::npos ? 0 : std::stoul(head.substr(cl + 15)));
        }
        if (headEnd != std::string::npos && in.size() >= want) break;
    }
    if (headEnd == std::string::npos) return;
    HttpRequest req;
    size_t lineEnd = in.find("\r\n");
    const std::string first = in.substr(0, lineEnd);
    const size_t s1 = first.find(' '), s2 = first.rfind(' ');
    req.method = first.substr(0, s1);
    req.target = first.substr(s1 + 1, s2 - s1 - 1);
    size_t pos = lineEnd + 2;
    while (pos < headEnd) {
        const size_t e = in.find("\r\n", pos);
        req.headers.push_back(in.substr(pos, e - pos));
        pos = e + 2;
    }
    req.body = in.substr(headEnd + 4);
    HttpReply r;
    {
        std::lock_guard lock(lock_);
        requests_.push_back(req);
        r = reply_;
        for (const auto& [prefix, reply] : routes_)
            if (req.target.compare(0, prefix.size(), prefix) == 0) {
                r = reply;
                break;
            }
    }
    if (r.fault == HttpReply::kCloseWithoutAnswer) return;
    if (r.fault == HttpReply::kDelay) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(r.delayMs);
        while (!stop_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason + "\r\n";
    if (r.fault == HttpReply::kRedirect) head += "Location: " + r.location + "\r\n";
    head += "Content-Type: " + r.contentType + "\r\nConnection: close\r\n";
    if (r.fault == HttpReply::kEndless) {
        SendAll(client, head + "\r\n");
        const std::string block(65536, 'x');
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stop_ && std::chrono::steady_clock::now() < until && SendAll(client, block)) {
        }
        return;
    }
    const size_t declared = r.fault == HttpReply::kLongerLength ? r.body.size() + 100000 : r.body.size();
    head += "Content-Length: " + std::to_string(declared) + "\r\n\r\n";
    if (!SendAll(client, head)) return;
    if (r.fault == HttpReply::kCutShort) {
        SendAll(client, r.body.substr(0, r.body.size() / 2));
        return;
    }
    if (r.fault == HttpReply::kTrickle) {
        for (char c : r.body) {
            if (stop_ || !SendAll(client, std::string(1, c))) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(r.delayMs));
        }
        return;
    }
    SendAll(client, r.body);
    if (r.fault == HttpReply::kLongerLength) {
        // Hold the connection until the client gives up.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!stop_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace zntest
