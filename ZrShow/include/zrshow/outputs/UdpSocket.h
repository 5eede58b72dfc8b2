// A UDP socket that sends datagrams to one destination, resolved once when it opens.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include <sys/socket.h>

#include "zrparser/ZrExport.h"

namespace zrshow {

class ZR_API UdpSocket {
public:
    // Resolves `host` (a name or an IPv4 or IPv6 address) and opens a socket for it. Throws
    // InputError naming the destination when either fails.
    UdpSocket(const std::string& host, std::uint16_t port);
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Sends one datagram. False when the system refuses it (no route, no buffer space);
    // it may block for as long as the network stack holds it, so call it off the frame loop.
    bool send(std::span<const std::uint8_t> datagram) const;

    // "HOST:PORT" as given.
    const std::string& destination() const { return destination_; }

private:
    int fd_ = -1;
    sockaddr_storage address_{};
    socklen_t addressLength_ = 0;
    std::string destination_;
};

} // namespace zrshow
