// An HTTP/1.1 server on 127.0.0.1 for the tests (an ephemeral port, its own
// thread, every loop bounded). It records each request and answers with the
// response the test set, with a recorded response file, or with one of the
// faults a slow, dead or hostile server shows. In TLS mode it makes a
// throwaway certificate authority and a server certificate at start-up, so
// nothing expires and no key is kept anywhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
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
    bool closeDelimited = false;  // no Content-Length: the body ends when the connection closes
};

struct HttpServerOptions {
    bool tls = false;
    // What the TLS certificate is issued for: IPv4 addresses and DNS names.
    std::vector<std::string> certNames = {"127.0.0.1", "localhost"};
    int port = 0;  // 0 for an ephemeral port
};

class HttpTestServer {
public:
    HttpTestServer();
    explicit HttpTestServer(const HttpServerOptions& options);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // 0 when the server could not listen (the error says why).
    int Port() const { return port_; }
    const std::string& Error() const { return error_; }
    // "http://127.0.0.1:<port><object>" ("https" in TLS mode).
    std::string Url(const std::string& object = "/") const;
    // TLS mode: the PEM file of the throwaway authority (removed with the server).
    const std::string& CaFile() const { return caFile_; }

    void SetReply(const HttpReply& reply);
    // Requests whose target begins with `prefix` get this reply instead
    // (the first matching prefix wins).
    void SetReplyFor(const std::string& prefix, const HttpReply& reply);
    // Requests no prefix matches are answered from the recorded response
    // files in `dir` (see RecordedFileFor); map image answers come only
    // after `imageDelayMs`.
    void ServeRecorded(const std::string& dir, int imageDelayMs = 0);
    // A recorded response file as a reply, "{base}" replaced by Url("").
    HttpReply Recorded(const std::string& file) const;
    void ClearRequests();
    std::vector<HttpRequest> Requests();

    // The recorded file that answers a request: a GET below "/out/" gets
    // "image.jpg"; a POST for "ServiceName=catalog" "catalog.xml", one with
    // "CustomService=Query" "features.xml", others by the body's request
    // element: GET_SERVICE_INFO "service_info.xml", GET_IMAGE "image.xml",
    // GET_FEATURES "features.xml". Empty for any other request, which gets
    // its own body back.
    static std::string RecordedFileFor(const HttpRequest& request);

private:
    struct Tls;
    class Connection;
    void Serve();
    void Handle(Connection& client);
    HttpReply Answer(const HttpRequest& request);

    HttpServerOptions options_;
    std::unique_ptr<Tls> tls_;
    std::string caFile_, error_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    HttpReply reply_;
    std::vector<std::pair<std::string, HttpReply>> routes_;
    std::string recordedDir_;
    int imageDelayMs_ = 0;
    std::vector<HttpRequest> requests_;
    std::thread thread_;
};

}  // namespace zntest
