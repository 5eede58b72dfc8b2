// Which requests the studio server answers. It listens on one address; a request must name
// that address (or, on loopback, "localhost") and its port in Host, and a page that sends it
// must have come from there (Origin), so that no other web site, and no name rebound to this
// machine by DNS, can use the server through the user's browser. Bodies are limited per path.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zrsignal {

class RequestGuard {
public:
    // Audio files are the largest bodies; everything else is form fields.
    static constexpr std::size_t MAX_UPLOAD_BYTES = 32u << 20;
    static constexpr std::size_t MAX_FORM_BYTES = 2u << 20;

    // `address` is the one the server listens on (an IPv4 or IPv6 address), `port` its port.
    RequestGuard(const std::string& address, int port);

    // Why a request with these Host and Origin headers (empty: absent) is refused, or nothing.
    std::optional<std::string> refusal(std::string_view host, std::string_view origin) const;

    // The most a request to `path` may send.
    static std::size_t bodyLimit(std::string_view path);

    // "http://127.0.0.1:8040": the address the page is served from.
    const std::string& origin() const { return origin_; }

private:
    std::vector<std::string> hosts_; // "127.0.0.1:8040", "localhost:8040"
    std::string origin_;
};

// Whether `address` is one that stands for every interface ("0.0.0.0", "::"), which a Host
// header can never name.
bool isWildcardAddress(std::string_view address);

} // namespace zrsignal
