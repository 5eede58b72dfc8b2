// Host and Origin checks against the served address, the token beyond loopback, and body
// limits by path.
#include "studio/RequestGuard.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "zrhost/InputError.h"

namespace zrsignal {

namespace {

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

bool isLoopback(std::string_view address)
{
    return address.starts_with("127.") || address == "::1";
}

// 256 random bits from the kernel, as hexadecimal digits.
std::string randomToken()
{
    std::array<unsigned char, 32> bytes{};
    std::ifstream random("/dev/urandom", std::ios::binary);
    if (!random.read(reinterpret_cast<char*>(bytes.data()), bytes.size()))
        throw zrhost::InputError("cannot read /dev/urandom for the studio's token");
    static constexpr char HEX[] = "0123456789abcdef";
    std::string token;
    for (unsigned char byte : bytes) {
        token.push_back(HEX[byte >> 4]);
        token.push_back(HEX[byte & 0xF]);
    }
    return token;
}

// The value of cookie `name` in a Cookie header ("a=1; b=2"), or nothing.
std::optional<std::string_view> cookieValue(std::string_view cookies, std::string_view name)
{
    while (!cookies.empty()) {
        const std::size_t end = cookies.find(';');
        std::string_view pair = cookies.substr(0, end);
        cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
        while (!pair.empty() && pair.front() == ' ')
            pair.remove_prefix(1);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
            return pair.substr(name.size() + 1);
    }
    return std::nullopt;
}

} // namespace

bool isWildcardAddress(std::string_view address)
{
    return address.empty() || address == "0.0.0.0" || address == "::" || address == "[::]";
}

RequestGuard::RequestGuard(const std::string& address, int port)
{
    // An IPv6 address is written in brackets in URLs and Host headers.
    const std::string name = address.find(':') != std::string::npos ? "[" + address + "]" : address;
    const std::string suffix = ":" + std::to_string(port);
    hosts_.push_back(lowerCase(name) + suffix);
    if (isLoopback(address))
        hosts_.push_back("localhost" + suffix);
    // Browsers leave the default port out.
    if (port == 80) {
        const std::size_t named = hosts_.size();
        for (std::size_t i = 0; i < named; ++i)
            hosts_.push_back(hosts_[i].substr(0, hosts_[i].size() - suffix.size()));
    }
    origin_ = "http://" + hosts_.front();
    if (!isLoopback(address))
        token_ = randomToken();
    cookieName_ = "zrsignal-studio-" + std::to_string(port);
}

bool RequestGuard::isToken(std::string_view given) const
{
    // Every character compared whatever the first difference: the time taken tells nothing.
    if (given.size() != token_.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ token_[i]);
    return difference == 0;
}

RequestGuard::TokenCheck RequestGuard::checkToken(std::string_view cookies, std::string_view urlToken) const
{
    if (token_.empty())
        return TokenCheck::Passed;
    // A token in the URL first: the answer keeps it in the cookie and takes it off the address.
    if (isToken(urlToken))
        return TokenCheck::FromUrl;
    const auto cookie = cookieValue(cookies, cookieName_);
    return cookie && isToken(*cookie) ? TokenCheck::Passed : TokenCheck::Refused;
}

std::string RequestGuard::tokenCookie() const
{
    return cookieName_ + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict";
}

std::string RequestGuard::startUrl() const
{
    return origin_ + (token_.empty() ? "/" : "/?token=" + token_);
}

std::optional<std::string> RequestGuard::refusal(std::string_view host, std::string_view origin) const
{
    const std::string givenHost = lowerCase(host);
    if (std::find(hosts_.begin(), hosts_.end(), givenHost) == hosts_.end())
        return "this server answers requests for " + hosts_.front() + " only, not for '" + std::string(host) + "'";
    // A page of this server sends its own origin; requests that are not from a page send none.
    if (!origin.empty()) {
        const std::string givenOrigin = lowerCase(origin);
        const bool ours = std::any_of(hosts_.begin(), hosts_.end(),
                                      [&](const std::string& h) { return givenOrigin == "http://" + h; });
        if (!ours)
            return "requests from pages of '" + std::string(origin) + "' are refused; open " + origin_ + "/";
    }
    return std::nullopt;
}

std::size_t RequestGuard::bodyLimit(std::string_view path)
{
    return path == "/api/audio" ? MAX_UPLOAD_BYTES : MAX_FORM_BYTES;
}

} // namespace zrsignal
