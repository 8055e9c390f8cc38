#include "platform/net/http.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <mutex>

#include "platform/fs/fs.h"

namespace net {
namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    std::string* out = nullptr;
    uint64_t limit = 0;
    bool tooLarge = false;
    std::chrono::steady_clock::time_point lastMove;
    curl_off_t lastDown = -1, lastUp = -1;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (t->out->size() + n > t->limit) {
        t->tooLarge = true;
        return 0;  // stops the transfer
    }
    t->out->append(data, n);
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto* t = static_cast<Transfer*>(user);
    if (down != t->lastDown || up != t->lastUp) {
        t->lastDown = down;
        t->lastUp = up;
        t->lastMove = std::chrono::steady_clock::now();
    }
    return 0;
}

std::string ReasonPhrase(long status) {
    switch (status) {
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        case 502: return "Bad Gateway";
        case 503: return "Service Unavailable";
        default: return "";
    }
}

bool ReadFile(const char* path, std::string& out) {
    std::string bytes;
    if (!fs::ReadWholeHostFile(path, &bytes)) return false;
    out += bytes;
    return true;
}

// The authorities TLS checks against: the system's, plus those in the PEM
// file named by ZARNIP_CA_FILE (field servers with their own authority).
// libcurl takes either a file or a blob, so the two are joined. False when
// the named file cannot be read.
bool SetAuthorities(CURL* easy, std::string& blob) {
    const char* extra = std::getenv("ZARNIP_CA_FILE");
    if (!extra || !*extra) return true;
    char* system = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CAINFO, &system);
    if (system && *system && ReadFile(system, blob)) blob += "\n";
    if (!ReadFile(extra, blob)) return false;
    curl_blob b{blob.data(), blob.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &b);
    return true;
}

}  // namespace

HttpSession::HttpSession(HttpSettings settings) : settings_(settings) {
    GlobalInit();
}

void HttpSession::Emit(int code, const std::string& detail) const {
    if (status_) status_(code, detail);
}

HttpResult HttpSession::Post(const Url& url, const std::string& body, const std::vector<std::string>& headers) {
    return Exchange(url, &body, headers, 0);
}

HttpResult HttpSession::Get(const Url& url, uint64_t maxBytes) {
    return Exchange(url, nullptr, {}, maxBytes);
}

HttpResult HttpSession::Exchange(const Url& url, const std::string* body, const std::vector<std::string>& headers,
                                 uint64_t maxBytes) {
    HttpResult r;
    if (url.scheme != "http" && url.scheme != "https") {
        r.error = "Unsupported scheme";
        return r;
    }
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (!easy || !multi) {
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        r.error = "Out of memory";
        return r;
    }
    std::string authorities;
    if (!SetAuthorities(easy, authorities) && url.scheme == "https") {
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
        r.error = "Cannot read the certificate file named by ZARNIP_CA_FILE";
        return r;
    }
    Emit(kStatusHandleCreated);
    Transfer t;
    t.out = &r.body;
    t.limit = maxBytes ? maxBytes : settings_.maxResponseBytes;
    t.lastMove = std::chrono::steady_clock::now();
    const std::string address = url.ToString();
    curl_slist* list = nullptr;
    for (const std::string& h : headers) list = curl_slist_append(list, h.c_str());
    // No "Expect: 100-continue", no user agent, no compression offered.
    list = curl_slist_append(list, "Expect:");
    list = curl_slist_append(list, "User-Agent:");
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // A redirect keeps or raises the scheme: an https exchange never goes on
    // in clear text (a POST body re-sent, an image fetched and saved).
    const bool secure = url.scheme == "https";
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(settings_.maxRedirects));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings_.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    char detail[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, detail);
    // Loopback never goes through a proxy, whatever no_proxy says; the
    // user's own exceptions are kept.
    std::string noProxy = "localhost,127.0.0.0/8,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        if (const char* v = std::getenv(name); v && *v) {
            noProxy += ",";
            noProxy += v;
            break;
        }
    }
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    if (body) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    curl_multi_add_handle(multi, easy);

    Emit(kStatusResolving, url.host);
    int phase = 0;  // 1 resolved, 2 connected, 3 sent, 4 receiving
    const auto start = std::chrono::steady_clock::now();
    int running = 1;
    CURLcode done = CURLE_OK;
    while (running) {
        curl_multi_perform(multi, &running);
        // Phases as the transfer reaches them.
        double lookup = 0, connect = 0, pre = 0, first = 0;
        curl_easy_getinfo(easy, CURLINFO_NAMELOOKUP_TIME, &lookup);
        curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME, &connect);
        curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME, &pre);
        curl_easy_getinfo(easy, CURLINFO_STARTTRANSFER_TIME, &first);
        if (phase < 1 && (lookup > 0 || connect > 0)) {
            char* ip = nullptr;
            curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip);
            Emit(kStatusResolved, ip && *ip ? ip : url.host);
            Emit(kStatusConnecting, ip && *ip ? ip : url.host);
            phase = 1;
        }
        if (phase < 2 && connect > 0) {
            Emit(kStatusConnected);
            Emit(kStatusSending);
            phase = 2;
        }
        if (phase < 3 && first > 0) {
            Emit(kStatusSent);
            Emit(kStatusReceiving);
            phase = 3;
        }
        if (!running) break;
        const auto now = std::chrono::steady_clock::now();
        if (abort_ && abort_()) {
            r.aborted = true;
            r.error = "Cancelled";
            break;
        }
        if (now - start > std::chrono::milliseconds(settings_.totalTimeoutMs)) {
            r.error = "The exchange took longer than " + std::to_string(settings_.totalTimeoutMs / 1000) + " s";
            break;
        }
        if (phase >= 2 && now - t.lastMove > std::chrono::milliseconds(settings_.stallTimeoutMs)) {
            r.error = "No data moved for " + std::to_string(settings_.stallTimeoutMs / 1000) + " s";
            break;
        }
        if (phase < 2 && now - start > std::chrono::milliseconds(settings_.connectTimeoutMs)) {
            r.error = "No connection within " + std::to_string(settings_.connectTimeoutMs / 1000) + " s";
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    if (!running && r.error.empty()) {
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(multi, &left))
            if (m->msg == CURLMSG_DONE) done = m->data.result;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &r.status);
        if (t.tooLarge) {
            r.error = "The answer is larger than " + std::to_string(t.limit >> 20) + " MiB";
        } else if (done == CURLE_PEER_FAILED_VERIFICATION) {
            r.error = std::string("The server's certificate was refused") + (*detail ? ": " : "") + detail;
        } else if (done == CURLE_UNSUPPORTED_PROTOCOL && secure) {
            r.error = "The https server redirected to an address that is not https";
        } else if (done != CURLE_OK) {
            r.error = *detail ? detail : curl_easy_strerror(done);
        } else if (r.status < 200 || r.status > 299) {
            const std::string reason = ReasonPhrase(r.status);
            r.error = "HTTP " + std::to_string(r.status) + (reason.empty() ? "" : " " + reason);
            r.complete = true;
        } else {
            r.ok = true;
            r.complete = true;
        }
        if (phase >= 3) Emit(kStatusReceived);
    }
    Emit(kStatusClosing);
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    curl_slist_free_all(list);
    Emit(kStatusClosed);
    if (!r.ok && !(r.complete && settings_.keepErrorBody)) r.body.clear();
    return r;
}

}  // namespace net
