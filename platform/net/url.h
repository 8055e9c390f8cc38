// URLs as the map-server client takes them: http or https, a host name, an
// IPv4 address or a bracketed IPv6 address, an optional port and the object
// (path and query).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace net {

struct Url {
    std::string scheme;  // "http" or "https"
    std::string host;    // as written (IPv6 without its brackets)
    int port = 0;        // 80 or 443 unless given
    std::string object;  // path and query, "/" when absent
    bool ipv6 = false;

    // scheme://host[:port]object, with brackets for IPv6.
    std::string ToString() const;
};

// Nothing for another scheme, a missing or malformed host, a port outside
// 1-65535, user information, a fragment or blanks.
std::optional<Url> ParseUrl(std::string_view text);

}  // namespace net
