// Dotted IPv4 text, getifaddrs for the interfaces, getaddrinfo for host names.
#include "zrshow/outputs/NetworkAddress.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>

namespace zrshow {

std::optional<Ipv4> parseIpv4(std::string_view text)
{
    Ipv4 address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.')
                return std::nullopt;
            text.remove_prefix(1);
        }
        // One to three digits; no sign, no leading zeros that would read as octal elsewhere.
        std::size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
            ++digits;
        if (digits == 0 || digits > 3 || (digits > 1 && text.front() == '0'))
            return std::nullopt;
        unsigned value = 0;
        std::from_chars(text.data(), text.data() + digits, value);
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | value;
        text.remove_prefix(digits);
    }
    if (!text.empty())
        return std::nullopt;
    return address;
}

std::string ipv4Text(Ipv4 address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool looksLikeIpv4(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

bool isMulticast(Ipv4 address)
{
    return (address >> 28) == 0xE; // 224.0.0.0/4
}

Ipv4 sacnMulticastGroup(std::uint16_t universe)
{
    return (Ipv4{239} << 24) | (Ipv4{255} << 16) | universe;
}

std::vector<LocalInterface> localInterfaces()
{
    std::vector<LocalInterface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return found;
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owned(list, &freeifaddrs);
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_netmask)
            continue;
        LocalInterface local;
        local.name = entry->ifa_name;
        local.address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        const Ipv4 mask = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        // A /31 or /32 has no broadcast address.
        local.broadcast = (~mask > 1) ? (local.address | ~mask) : 0;
        local.index = if_nametoindex(entry->ifa_name);
        found.push_back(std::move(local));
    }
    return found;
}

std::optional<LocalInterface> findInterface(std::string_view nameOrAddress)
{
    const auto address = parseIpv4(nameOrAddress);
    for (LocalInterface& local : localInterfaces()) {
        if (local.name == nameOrAddress || (address && local.address == *address))
            return std::move(local);
    }
    return std::nullopt;
}

namespace {

// Where `address` is a broadcast address: "" for the limited broadcast 255.255.255.255, else the
// interface it is the broadcast address of; nothing when it is none.
std::optional<std::string> broadcastOf(Ipv4 address)
{
    if (address == 0xFFFFFFFF)
        return std::string();
    for (const LocalInterface& local : localInterfaces()) {
        if (local.broadcast != 0 && local.broadcast == address)
            return local.name;
    }
    return std::nullopt;
}

std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

} // namespace

std::vector<DestinationProblem> checkDestination(const DestinationRequest& request)
{
    std::vector<DestinationProblem> problems;
    const auto local = request.interfaceName ? findInterface(*request.interfaceName) : std::nullopt;
    if (request.interfaceName && !local) {
        std::string names;
        for (const LocalInterface& known : localInterfaces())
            names += (names.empty() ? "" : ", ") + known.name;
        problems.push_back({"interface", "this machine has no interface " + quoted(*request.interfaceName) +
                                             " with an IPv4 address (it has " + (names.empty() ? "none" : names) + ")"});
    }
    if (local && request.broadcast && !request.address && local->broadcast == 0)
        problems.push_back({"interface", "interface " + quoted(*request.interfaceName) + " (" +
                                             ipv4Text(local->address) + ") has no broadcast address"});
    if (!request.address || request.address->empty())
        return problems;
    const std::string& text = *request.address;
    std::optional<Ipv4> address;
    if (looksLikeIpv4(text)) {
        address = parseIpv4(text);
        if (!address) {
            problems.push_back({"address", quoted(text) + " is no IPv4 address (four numbers from 0 to 255)"});
            return problems;
        }
    } else {
        addrinfo hints{};
        hints.ai_family = text.find(':') != std::string::npos ? AF_INET6 : AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const int status = getaddrinfo(text.c_str(), nullptr, &hints, &found);
        if (status != 0) {
            problems.push_back({"address", "cannot resolve " + quoted(text) + ": " + gai_strerror(status)});
            return problems;
        }
        if (found->ai_family == AF_INET)
            address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
        freeaddrinfo(found);
    }
    if (!address)
        return problems; // an IPv6 host: unicast only
    const std::string shown = text == ipv4Text(*address) ? quoted(text) : quoted(text) + " (" + ipv4Text(*address) + ")";
    if (isMulticast(*address)) {
        problems.push_back({"address", shown + " is a multicast group; " +
                                           (request.sacn ? std::string("leave 'address' out to send to the universe's "
                                                                       "group 239.255.x.y, and name the 'interface'")
                                                         : std::string("Art-Net goes to one node or to a broadcast "
                                                                       "address"))});
        return problems;
    }
    const auto broadcast = broadcastOf(*address);
    const std::string which = broadcast && !broadcast->empty() ? "the broadcast address of " + *broadcast
                                                               : std::string("the broadcast address");
    if (broadcast && request.sacn)
        problems.push_back({"address", shown + " is " + which + "; sACN goes to one host, or to the universe's "
                                                                "multicast group when 'address' is left out"});
    else if (broadcast && !request.broadcast)
        problems.push_back({"address", shown + " is " + which + ": write broadcast = true to send to every node there"});
    else if (!broadcast && request.broadcast)
        problems.push_back({"broadcast", "broadcast = true, but " + shown + " is no broadcast address of this machine"});
    return problems;
}

} // namespace zrshow
