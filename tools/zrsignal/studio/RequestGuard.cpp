// Host and Origin checks against the served address, and body limits by path.
#include "studio/RequestGuard.h"

#include <algorithm>

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
