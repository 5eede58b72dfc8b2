// getaddrinfo resolution, the multicast and broadcast socket options, and sendto on a socket
// owned for the life of the object.
#include "zrshow/outputs/UdpSocket.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include "zrhost/InputError.h"
#include "zrshow/outputs/NetworkAddress.h"

namespace zrshow {

UdpSocket::UdpSocket(const std::string& host, std::uint16_t port, const UdpRoute& route)
    : destination_(host + ":" + std::to_string(port) + (route.interfaceName.empty() ? "" : " on " + route.interfaceName))
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0)
        throw zrhost::InputError("cannot resolve " + host + ": " + gai_strerror(status));
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> results(found, &freeaddrinfo);
    fd_ = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd_ < 0)
        throw zrhost::InputError("cannot open a UDP socket for " + destination_ + ": " + std::strerror(errno));
    std::memcpy(&address_, found->ai_addr, found->ai_addrlen);
    addressLength_ = found->ai_addrlen;

    auto option = [this](int level, int name, const void* value, socklen_t size, const char* what) {
        if (setsockopt(fd_, level, name, value, size) != 0) {
            const std::string reason = std::strerror(errno);
            close(fd_);
            fd_ = -1;
            throw zrhost::InputError("cannot " + std::string(what) + " for " + destination_ + ": " + reason);
        }
    };
    std::optional<LocalInterface> outOf;
    if (!route.interfaceName.empty()) {
        outOf = findInterface(route.interfaceName);
        if (!outOf)
            throw zrhost::InputError("cannot send to " + destination_ + ": this machine has no interface " +
                                     route.interfaceName + " with an IPv4 address");
    }
    if (found->ai_family == AF_INET &&
        isMulticast(ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr))) {
        const int ttl = MULTICAST_TTL;
        option(IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl, "set the multicast TTL");
        const int loop = 1;
        option(IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop, "loop multicast back");
        if (outOf) {
            ip_mreqn request{};
            request.imr_ifindex = static_cast<int>(outOf->index);
            request.imr_address.s_addr = htonl(outOf->address);
            option(IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request, "choose the multicast interface");
        }
    }
    if (route.broadcast) {
        const int on = 1;
        option(SOL_SOCKET, SO_BROADCAST, &on, sizeof on, "allow broadcast");
    }
}

UdpSocket::~UdpSocket()
{
    if (fd_ >= 0)
        close(fd_);
}

int UdpSocket::send(std::span<const std::uint8_t> datagram) const
{
    const auto sent = sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address_),
                             addressLength_);
    if (sent == static_cast<ssize_t>(datagram.size()))
        return 0;
    return sent < 0 ? errno : EMSGSIZE;
}

} // namespace zrshow
