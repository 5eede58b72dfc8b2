// Which requests the studio server answers. It listens on one address; a request must name
// that address (or, on loopback, "localhost") and its port in Host, and a page that sends it
// must have come from there (Origin), so that no other web site, and no name rebound to this
// machine by DNS, can use the server through the user's browser. Bodies are limited per path.
// Beyond loopback, other machines reach it too: there every request must also carry a token
// that only the URL serve prints knows, in a cookie after the first visit.
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
    // An address other than loopback gets a fresh random token (throws InputError when the
    // system gives no random bytes).
    RequestGuard(const std::string& address, int port);

    // Why a request with these Host and Origin headers (empty: absent) is refused, or nothing.
    std::optional<std::string> refusal(std::string_view host, std::string_view origin) const;

    // What the token of a request allows: `cookies` is its Cookie header, `urlToken` the token
    // parameter of its URL (empty: none). FromUrl: the URL carries the token, so the answer sets
    // the cookie; Passed: the cookie (or, on loopback, nothing) lets it in; Refused: neither.
    enum class TokenCheck { Passed, FromUrl, Refused };
    TokenCheck checkToken(std::string_view cookies, std::string_view urlToken) const;
    bool needsToken() const { return !token_.empty(); }
    // "NAME=TOKEN; Path=/; HttpOnly; SameSite=Strict": keeps the token in the browser, out of
    // the page's scripts and away from requests that other sites start.
    std::string tokenCookie() const;

    // The URL to open: the origin, with the token when one is needed.
    std::string startUrl() const;

    // The most a request to `path` may send.
    static std::size_t bodyLimit(std::string_view path);

    // "http://127.0.0.1:8040": the address the page is served from.
    const std::string& origin() const { return origin_; }

private:
    bool isToken(std::string_view given) const;

    std::vector<std::string> hosts_; // "127.0.0.1:8040", "localhost:8040"
    std::string origin_;
    std::string token_;       // 64 hexadecimal digits; empty on loopback
    std::string cookieName_;  // per port: two servers on one machine keep their own
};

// Whether `address` is one that stands for every interface ("0.0.0.0", "::"), which a Host
// header can never name.
bool isWildcardAddress(std::string_view address);

} // namespace zrsignal
