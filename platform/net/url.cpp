#include "platform/net/url.h"

#include <cctype>

namespace net {
namespace {

bool IsHostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

bool IsObjectChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && c != '#';
}

}  // namespace

std::string Url::ToString() const {
    std::string s = scheme + "://" + (ipv6 ? "[" + host + "]" : host);
    if (port != (scheme == "https" ? 443 : 80)) s += ":" + std::to_string(port);
    return s + object;
}

std::optional<Url> ParseUrl(std::string_view text) {
    Url u;
    const size_t colon = text.find("://");
    if (colon == std::string_view::npos) return std::nullopt;
    std::string scheme(text.substr(0, colon));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "http" && scheme != "https") return std::nullopt;
    u.scheme = scheme;
    u.port = scheme == "https" ? 443 : 80;
    std::string_view rest = text.substr(colon + 3);
    const size_t slash = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, slash);
    std::string_view object = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);
    if (authority.empty() || authority.find('@') != std::string_view::npos) return std::nullopt;
    std::string_view portText;
    if (authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos || close < 3) return std::nullopt;
        u.host = std::string(authority.substr(1, close - 1));
        for (char c : u.host)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return std::nullopt;
        u.ipv6 = true;
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
            if (portText.empty()) return std::nullopt;
        }
    } else {
        const size_t c = authority.find(':');
        u.host = std::string(authority.substr(0, c));
        if (c != std::string_view::npos) {
            portText = authority.substr(c + 1);
            if (portText.empty()) return std::nullopt;
        }
        if (u.host.empty() || u.host.front() == '.' || u.host.front() == '-') return std::nullopt;
        for (char ch : u.host)
            if (!IsHostChar(ch)) return std::nullopt;
    }
    if (!portText.empty()) {
        if (portText.size() > 5) return std::nullopt;
        int port = 0;
        for (char ch : portText) {
            if (!std::isdigit(static_cast<unsigned char>(ch))) return std::nullopt;
            port = port * 10 + (ch - '0');
        }
        if (port < 1 || port > 65535) return std::nullopt;
        u.port = port;
    }
    if (object.front() == '?') u.object = "/" + std::string(object);
    else u.object = std::string(object);
    for (char ch : u.object)
        if (!IsObjectChar(ch)) return std::nullopt;
    return u;
}

}  // namespace net
