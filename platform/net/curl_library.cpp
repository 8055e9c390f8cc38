// libcurl is loaded when the first request is made, not with the program:
// with its own libraries (TLS, Kerberos, LDAP, SSH...) it would be some thirty
// more libraries to map and bind at every start, for a feature most sessions
// never use. These are the library's functions that the HTTP client calls;
// each forwards to the loaded library. When the library cannot be loaded, no
// handle is made and a request fails with a message that says so.
#define CURL_DISABLE_TYPECHECK 1
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>
#include <mutex>

namespace {

struct Curl {
    CURLcode (*global_init)(long);
    CURL* (*easy_init)();
    void (*easy_cleanup)(CURL*);
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    const char* (*easy_strerror)(CURLcode);
    CURLM* (*multi_init)();
    CURLMcode (*multi_cleanup)(CURLM*);
    CURLMcode (*multi_add_handle)(CURLM*, CURL*);
    CURLMcode (*multi_remove_handle)(CURLM*, CURL*);
    CURLMcode (*multi_perform)(CURLM*, int*);
    CURLMcode (*multi_poll)(CURLM*, curl_waitfd*, unsigned, int, int*);
    CURLMsg* (*multi_info_read)(CURLM*, int*);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
    bool loaded;
};

template <typename F>
bool Bind(void* library, const char* name, F* function) {
    *function = reinterpret_cast<F>(dlsym(library, name));
    return *function != nullptr;
}

const Curl& Library() {
    static Curl curl{};
    static std::once_flag once;
    std::call_once(once, [] {
        void* l = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!l) return;
        Curl c{};
        c.loaded = Bind(l, "curl_global_init", &c.global_init) &&
                   Bind(l, "curl_easy_init", &c.easy_init) &&
                   Bind(l, "curl_easy_cleanup", &c.easy_cleanup) &&
                   Bind(l, "curl_easy_setopt", &c.easy_setopt) &&
                   Bind(l, "curl_easy_getinfo", &c.easy_getinfo) &&
                   Bind(l, "curl_easy_strerror", &c.easy_strerror) &&
                   Bind(l, "curl_multi_init", &c.multi_init) &&
                   Bind(l, "curl_multi_cleanup", &c.multi_cleanup) &&
                   Bind(l, "curl_multi_add_handle", &c.multi_add_handle) &&
                   Bind(l, "curl_multi_remove_handle", &c.multi_remove_handle) &&
                   Bind(l, "curl_multi_perform", &c.multi_perform) &&
                   Bind(l, "curl_multi_poll", &c.multi_poll) &&
                   Bind(l, "curl_multi_info_read", &c.multi_info_read) &&
                   Bind(l, "curl_slist_append", &c.slist_append) &&
                   Bind(l, "curl_slist_free_all", &c.slist_free_all);
        if (c.loaded) curl = c;
    });
    return curl;
}

}  // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
    const Curl& c = Library();
    return c.loaded ? c.global_init(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
    const Curl& c = Library();
    return c.loaded ? c.easy_init() : nullptr;
}

void curl_easy_cleanup(CURL* easy) {
    const Curl& c = Library();
    if (c.loaded && easy) c.easy_cleanup(easy);
}

// The option's number says what its one argument is.
CURLcode curl_easy_setopt(CURL* easy, CURLoption option, ...) {
    const Curl& c = Library();
    if (!c.loaded) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = c.easy_setopt(easy, option, va_arg(args, long));
    else if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB)
        result = c.easy_setopt(easy, option, va_arg(args, curl_off_t));
    else
        result = c.easy_setopt(easy, option, va_arg(args, void*));
    va_end(args);
    return result;
}

// Every query takes one pointer to its answer.
CURLcode curl_easy_getinfo(CURL* easy, CURLINFO info, ...) {
    const Curl& c = Library();
    if (!c.loaded) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, info);
    void* answer = va_arg(args, void*);
    va_end(args);
    return c.easy_getinfo(easy, info, answer);
}

const char* curl_easy_strerror(CURLcode code) {
    const Curl& c = Library();
    return c.loaded ? c.easy_strerror(code) : "The network library (libcurl.so.4) could not be loaded";
}

CURLM* curl_multi_init() {
    const Curl& c = Library();
    return c.loaded ? c.multi_init() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    const Curl& c = Library();
    return c.loaded ? c.multi_cleanup(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
    const Curl& c = Library();
    return c.loaded ? c.multi_add_handle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) {
    const Curl& c = Library();
    return c.loaded ? c.multi_remove_handle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    const Curl& c = Library();
    return c.loaded ? c.multi_perform(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd* extra, unsigned count, int timeoutMs,
                          int* ready) {
    const Curl& c = Library();
    return c.loaded ? c.multi_poll(multi, extra, count, timeoutMs, ready) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    const Curl& c = Library();
    return c.loaded ? c.multi_info_read(multi, left) : nullptr;
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    const Curl& c = Library();
    return c.loaded ? c.slist_append(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
    const Curl& c = Library();
    if (c.loaded) c.slist_free_all(list);
}

}  // extern "C"
