// A UDP socket that sends datagrams to one destination, resolved once when it opens: one host,
// a multicast group (out of a chosen interface) or a broadcast address.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include <sys/socket.h>

#include "zrparser/ZrExport.h"

namespace zrshow {

// How datagrams leave: the interface (a name or one of its addresses) for multicast and
// broadcast, and whether the destination is a broadcast address.
struct UdpRoute {
    std::string interfaceName; // empty: as the routing table says
    bool broadcast = false;
};

class ZR_API UdpSocket {
public:
    // Multicast leaves with a small TTL, and loops back, so a receiver on this machine hears it.
    static constexpr int MULTICAST_TTL = 1;

    // Resolves `host` (a name or an IPv4 or IPv6 address) and opens a socket for it: multicast
    // groups go out of `route.interfaceName` when it names one, broadcast is allowed with
    // `route.broadcast`. Throws InputError naming the destination when any of it fails.
    UdpSocket(const std::string& host, std::uint16_t port, const UdpRoute& route = {});
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Sends one datagram: 0 when it went, else the errno of the refusal (no route, no buffer
    // space). It may block for as long as the network stack holds it, so call it off the frame loop.
    int send(std::span<const std::uint8_t> datagram) const;

    // "HOST:PORT", with " on INTERFACE" when one is named.
    const std::string& destination() const { return destination_; }

private:
    int fd_ = -1;
    sockaddr_storage address_{};
    socklen_t addressLength_ = 0;
    std::string destination_;
};

} // namespace zrshow
