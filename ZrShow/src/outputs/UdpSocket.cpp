// getaddrinfo resolution and sendto on a socket owned for the life of the object.
#include "zrshow/outputs/UdpSocket.h"

#include <cstring>
#include <memory>

#include <netdb.h>
#include <unistd.h>

#include "zrhost/InputError.h"

namespace zrshow {

UdpSocket::UdpSocket(const std::string& host, std::uint16_t port) : destination_(host + ":" + std::to_string(port))
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
}

UdpSocket::~UdpSocket()
{
    if (fd_ >= 0)
        close(fd_);
}

bool UdpSocket::send(std::span<const std::uint8_t> datagram) const
{
    const auto sent = sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address_),
                             addressLength_);
    return sent == static_cast<ssize_t>(datagram.size());
}

} // namespace zrshow
