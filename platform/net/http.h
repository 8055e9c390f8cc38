// The internet session of the map-server client: synchronous exchanges on the
// calling thread (libcurl's multi interface, at most 100 ms per wait), each
// wait followed by the caller's abort poll; status codes for each phase;
// limits on time and size; TLS with the checks always on; the proxy from the
// environment, never for loopback hosts; http and https only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/net/url.h"

namespace net {

// Status codes of the phases: 60 handle created, 10/11 resolving/resolved,
// 20/21 connecting/connected, 30/31 sending/sent, 40/41 receiving/received,
// 50/51 closing/closed. 10, 11 and 20 carry the host or address.
enum HttpStatusCode {
    kStatusHandleCreated = 60,
    kStatusResolving = 10,
    kStatusResolved = 11,
    kStatusConnecting = 20,
    kStatusConnected = 21,
    kStatusSending = 30,
    kStatusSent = 31,
    kStatusReceiving = 40,
    kStatusReceived = 41,
    kStatusClosing = 50,
    kStatusClosed = 51,
};

struct HttpSettings {
    uint32_t connectTimeoutMs = 15000;
    uint32_t stallTimeoutMs = 30000;  // no byte moved for this long
    uint32_t totalTimeoutMs = 120000;
    uint64_t maxResponseBytes = 16u << 20;
    int maxRedirects = 5;
    // Keep the page of an error status that arrived whole (a 404 page is
    // text a caller may show); the result is still not ok.
    bool keepErrorBody = false;
};

struct HttpResult {
    bool ok = false;        // a 2xx answer arrived whole
    bool complete = false;  // an answer with any status arrived whole
    bool aborted = false;   // the abort poll asked to stop
    long status = 0;        // the HTTP status, 0 without an answer
    std::string error;      // why it failed ("HTTP 404 Not Found", a limit, ...)
    std::string body;
};

class HttpSession {
public:
    using AbortPoll = std::function<bool()>;
    using StatusSink = std::function<void(int code, const std::string& detail)>;

    explicit HttpSession(HttpSettings settings = {});
    void SetAbortPoll(AbortPoll poll) { abort_ = std::move(poll); }
    void SetStatusSink(StatusSink sink) { status_ = std::move(sink); }
    HttpSettings& Settings() { return settings_; }

    // POSTs `body` to the URL with the extra header lines ("Name: value").
    HttpResult Post(const Url& url, const std::string& body, const std::vector<std::string>& headers);
    // GETs the URL (at most `maxBytes`, 0 for the session's limit).
    HttpResult Get(const Url& url, uint64_t maxBytes = 0);

private:
    HttpResult Exchange(const Url& url, const std::string* body, const std::vector<std::string>& headers,
                        uint64_t maxBytes);
    void Emit(int code, const std::string& detail = {}) const;

    HttpSettings settings_;
    AbortPoll abort_;
    StatusSink status_;
};

}  // namespace net
