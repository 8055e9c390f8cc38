// An HTTP/1.1 server on 127.0.0.1 for the tests (an ephemeral port, its own
// thread, every loop bounded). It records each request and answers with the
// response the test set, or with one of the faults a slow, dead or hostile
// server shows.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zntest {

struct HttpRequest {
    std::string method, target;
    std::vector<std::string> headers;  // "Name: value" as sent
    std::string body;
    bool HasHeader(const std::string& prefix) const;
};

struct HttpReply {
    enum Fault { kNone, kDelay, kTrickle, kCutShort, kCloseWithoutAnswer, kEndless, kRedirect, kLongerLength };
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/xml";
    std::string body;
    Fault fault = kNone;
    int delayMs = 0;          // kDelay: before answering; kTrickle: between bytes
    std::string location;     // kRedirect
};

class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    int Port() const { return port_; }
    std::string Url(const std::string& object = "/") const;
    void SetReply(const HttpReply& reply);
    // Requests whose target begins with `prefix` get this reply instead
    // (the first matching prefix wins).
    void SetReplyFor(const std::string& prefix, const HttpReply& reply);
    void ClearRequests();
    std::vector<HttpRequest> Requests();

private:
    void Serve();
    void Handle(int client);

    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    HttpReply reply_;
    std::vector<std::pair<std::string, HttpReply>> routes_;
    std::vector<HttpRequest> requests_;
    std::thread thread_;
};

}  // namespace zntest
