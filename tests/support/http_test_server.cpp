#include "tests/support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zntest {

// The throwaway authority and the server's certificate, made with the
// OpenSSL API when the server starts.
struct HttpTestServer::Tls {
    SSL_CTX* ctx = nullptr;
    ~Tls() { SSL_CTX_free(ctx); }
};

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* c) const { X509_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// A certificate for `key` named `commonName`, signed by `issuerKey` (the
// issuer certificate is null for the self-signed authority).
Cert MakeCert(EVP_PKEY* key, const std::string& commonName, X509* issuer, EVP_PKEY* issuerKey, long serial,
              const std::vector<std::pair<int, std::string>>& extensions) {
    Cert cert(X509_new());
    if (!cert) return nullptr;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7 * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Zarnip tests"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
    X509* signer = issuer ? issuer : cert.get();
    for (const auto& [nid, value] : extensions)
        if (!AddExtension(cert.get(), signer, nid, value)) return nullptr;
    if (X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0) return nullptr;
    return cert;
}

std::string SubjectAltNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        in_addr a;
        out += (out.empty() ? "" : ",") + std::string(inet_pton(AF_INET, n.c_str(), &a) == 1 ? "IP:" : "DNS:") + n;
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

// One accepted connection, plain or TLS. Reads wait at most `ms`; writes
// are bounded by the socket's send timeout.
class HttpTestServer::Connection {
public:
    Connection(int fd, SSL_CTX* ctx) : fd_(fd) {
        const timeval limit{5, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        if (ctx) {
            ssl_ = SSL_new(ctx);
            if (!ssl_ || SSL_set_fd(ssl_, fd_) != 1 || SSL_accept(ssl_) != 1) failed_ = true;
        }
    }
    ~Connection() {
        if (ssl_) {
            if (!failed_ && !cut_) SSL_shutdown(ssl_);
            SSL_free(ssl_);
            ERR_clear_error();
        }
        close(fd_);
    }
    bool Failed() const { return failed_; }
    // Leaves without a TLS close, as a connection that breaks does.
    void Cut() { cut_ = true; }
    bool Readable(int ms) {
        if (ssl_ && SSL_pending(ssl_) > 0) return true;
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }
    ssize_t Read(char* buf, size_t size) {
        if (!ssl_) return recv(fd_, buf, size, 0);
        const int n = SSL_read(ssl_, buf, static_cast<int>(size));
        return n > 0 ? n : -1;
    }
    bool Send(const std::string& s) {
        size_t done = 0;
        while (done < s.size()) {
            ssize_t n;
            if (ssl_)
                n = SSL_write(ssl_, s.data() + done, static_cast<int>(s.size() - done));
            else
                n = ::send(fd_, s.data() + done, s.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                cut_ = true;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int fd_;
    SSL* ssl_ = nullptr;
    bool failed_ = false, cut_ = false;
};

bool HttpRequest::HasHeader(const std::string& prefix) const {
    for (const std::string& h : headers)
        if (strncasecmp(h.c_str(), prefix.c_str(), prefix.size()) == 0) return true;
    return false;
}

HttpTestServer::HttpTestServer() : HttpTestServer(HttpServerOptions{}) {}

HttpTestServer::HttpTestServer(const HttpServerOptions& options) : options_(options) {
    if (options_.tls) {
        tls_ = std::make_unique<Tls>();
        Key caKey(EVP_EC_gen("P-256")), key(EVP_EC_gen("P-256"));
        Cert ca, cert;
        if (caKey && key) {
            ca = MakeCert(caKey.get(), "Zarnip test authority", nullptr, caKey.get(), 1,
                          {{NID_basic_constraints, "critical,CA:TRUE"},
                           {NID_key_usage, "critical,keyCertSign,cRLSign"},
                           {NID_subject_key_identifier, "hash"}});
        }
        if (ca) {
            cert = MakeCert(key.get(), options_.certNames.empty() ? "none" : options_.certNames[0], ca.get(),
                            caKey.get(), 2,
                            {{NID_basic_constraints, "critical,CA:FALSE"},
                             {NID_key_usage, "critical,digitalSignature"},
                             {NID_ext_key_usage, "serverAuth"},
                             {NID_subject_key_identifier, "hash"},
                             {NID_authority_key_identifier, "keyid:always"},
                             {NID_subject_alt_name, SubjectAltNames(options_.certNames)}});
        }
        tls_->ctx = SSL_CTX_new(TLS_server_method());
        if (!cert || !tls_->ctx || SSL_CTX_use_certificate(tls_->ctx, cert.get()) != 1 ||
            SSL_CTX_use_PrivateKey(tls_->ctx, key.get()) != 1) {
            error_ = "cannot make the test certificates";
            return;
        }
        std::string path = (std::filesystem::temp_directory_path() / "zn-test-ca-XXXXXX").string();
        const int fd = mkstemp(path.data());
        FILE* f = fd >= 0 ? fdopen(fd, "w") : nullptr;
        const bool written = f && PEM_write_X509(f, ca.get()) == 1;
        if (f) fclose(f);
        if (!written) {
            if (fd >= 0) unlink(path.c_str());
            error_ = "cannot write the test authority";
            return;
        }
        caFile_ = path;
    }
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(options_.port));
    const int one = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(listen_, 8) == 0) {
        socklen_t len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    } else {
        error_ = std::string("cannot listen: ") + std::strerror(errno);
        return;
    }
    thread_ = std::thread([this] { Serve(); });
}

HttpTestServer::~HttpTestServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) close(listen_);
    if (!caFile_.empty()) unlink(caFile_.c_str());
}

std::string HttpTestServer::Url(const std::string& object) const {
    return std::string(options_.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + object;
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

void HttpTestServer::ServeRecorded(const std::string& dir, int imageDelayMs) {
    std::lock_guard lock(lock_);
    recordedDir_ = dir;
    imageDelayMs_ = imageDelayMs;
}

HttpReply HttpTestServer::Recorded(const std::string& file) const {
    HttpReply r;
    const std::string path = recordedDir_ + "/" + file;
    if (!std::filesystem::is_regular_file(path)) {
        r.status = 404;
        r.reason = "Not Found";
        r.body = "no recorded file " + file;
        r.contentType = "text/plain";
        return r;
    }
    r.body = ReadFile(path);
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".jpg") == 0) {
        r.contentType = "image/jpeg";
        return r;
    }
    r.contentType = "text/xml; charset=UTF-8";
    const std::string base = Url("");
    for (size_t at = 0; (at = r.body.find("{base}", at)) != std::string::npos; at += base.size())
        r.body.replace(at, 6, base);
    return r;
}

std::string HttpTestServer::RecordedFileFor(const HttpRequest& request) {
    if (request.method == "GET") return request.target.rfind("/out/", 0) == 0 ? "image.jpg" : "";
    if (request.method != "POST") return "";
    const size_t q = request.target.find('?');
    const std::string query = q == std::string::npos ? "" : request.target.substr(q + 1);
    if (query.find("ServiceName=catalog") != std::string::npos) return "catalog.xml";
    if (query.find("CustomService=Query") != std::string::npos) return "features.xml";
    // The first element inside REQUEST.
    const size_t req = request.body.find("<REQUEST>");
    if (req == std::string::npos) return "";
    const size_t open = request.body.find('<', req + 9);
    if (open == std::string::npos) return "";
    const size_t end = request.body.find_first_of(" />\r\n", open + 1);
    const std::string element = request.body.substr(open + 1, end == std::string::npos ? end : end - open - 1);
    if (element == "GET_SERVICE_INFO") return "service_info.xml";
    if (element == "GET_IMAGE") return "image.xml";
    if (element == "GET_FEATURES") return "features.xml";
    return "";
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
    // A client that goes away mid-answer makes a write fail instead of
    // raising SIGPIPE (OpenSSL writes without MSG_NOSIGNAL).
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (!stop_) {
        pollfd p{listen_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Connection client(fd, tls_ ? tls_->ctx : nullptr);
        if (!client.Failed()) Handle(client);
    }
}

HttpReply HttpTestServer::Answer(const HttpRequest& req) {
    std::lock_guard lock(lock_);
    requests_.push_back(req);
    for (const auto& [prefix, reply] : routes_)
        if (req.target.compare(0, prefix.size(), prefix) == 0) return reply;
    if (recordedDir_.empty()) return reply_;
    const std::string file = RecordedFileFor(req);
    HttpReply r;
    if (file.empty())
        r.body = req.body;
    else
        r = Recorded(file);
    if (imageDelayMs_ > 0 && file == "image.xml") {
        r.fault = HttpReply::kDelay;
        r.delayMs = imageDelayMs_;
    }
    return r;
}

void HttpTestServer::Handle(Connection& client) {
    // Read the head and the body, bounded in time and size.
    std::string in;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    size_t headEnd = std::string::npos;
    size_t want = 0;
    while (!stop_ && std::chrono::steady_clock::now() < end && in.size() < (64u << 20)) {
        if (!client.Readable(50)) continue;
        char buf[16384];
        const ssize_t n = client.Read(buf, sizeof buf);
        if (n <= 0) break;
        in.append(buf, static_cast<size_t>(n));
        if (headEnd == std::string::npos && (headEnd = in.find("\r\n\r\n")) != std::string::npos) {
            const std::string head = in.substr(0, headEnd);
            const size_t cl = head.find("Content-Length:");
            want = headEnd + 4 + (cl == std::string::npos ? 0 : std::strtoul(head.c_str() + cl + 15, nullptr, 10));
        }
        if (headEnd != std::string::npos && in.size() >= want) break;
    }
    if (headEnd == std::string::npos) return;
    HttpRequest req;
    size_t lineEnd = in.find("\r\n");
    const std::string first = in.substr(0, lineEnd);
    const size_t s1 = first.find(' '), s2 = first.rfind(' ');
    req.method = first.substr(0, s1);
    req.target = s1 == std::string::npos || s2 <= s1 ? "" : first.substr(s1 + 1, s2 - s1 - 1);
    size_t pos = lineEnd + 2;
    while (pos < headEnd) {
        const size_t e = in.find("\r\n", pos);
        req.headers.push_back(in.substr(pos, e - pos));
        pos = e + 2;
    }
    req.body = in.substr(headEnd + 4);
    const HttpReply r = Answer(req);
    if (r.fault == HttpReply::kCloseWithoutAnswer) {
        client.Cut();
        return;
    }
    if (r.fault == HttpReply::kDelay) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(r.delayMs);
        while (!stop_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason + "\r\n";
    if (r.fault == HttpReply::kRedirect) head += "Location: " + r.location + "\r\n";
    head += "Content-Type: " + r.contentType + "\r\nConnection: close\r\n";
    if (r.fault == HttpReply::kEndless) {
        client.Send(head + "\r\n");
        const std::string block(65536, 'x');
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stop_ && std::chrono::steady_clock::now() < until && client.Send(block)) {
        }
        client.Cut();
        return;
    }
    const size_t declared = r.fault == HttpReply::kLongerLength ? r.body.size() + 100000 : r.body.size();
    if (!r.closeDelimited) head += "Content-Length: " + std::to_string(declared) + "\r\n";
    head += "\r\n";
    if (!client.Send(head)) return;
    if (r.fault == HttpReply::kCutShort) {
        client.Send(r.body.substr(0, r.body.size() / 2));
        client.Cut();
        return;
    }
    if (r.fault == HttpReply::kTrickle) {
        for (char c : r.body) {
            if (stop_ || !client.Send(std::string(1, c))) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(r.delayMs));
        }
        return;
    }
    client.Send(r.body);
    if (r.fault == HttpReply::kLongerLength) {
        // Hold the connection until the client gives up.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!stop_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        client.Cut();
    }
}

}  // namespace zntest
