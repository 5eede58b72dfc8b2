// An output that builds a protocol's packet in place (SacnPacket, ArtNetPacket) and sends it to
// one destination as one UDP datagram per frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "zrshow/outputs/DmxOutput.h"
#include "zrshow/outputs/UdpSocket.h"

namespace zrshow {

template <class Packet>
class UdpOutput final : public DmxOutput {
public:
    // Sends the universe at `universeIndex` of each frame to `host`:`port`. Throws InputError
    // when the destination cannot be resolved.
    UdpOutput(const std::string& host, std::uint16_t port, std::size_t universeIndex, Packet packet)
        : socket_(host, port), packet_(std::move(packet)), universeIndex_(universeIndex)
    {
    }

    bool send(const DmxFrame& frame) override
    {
        packet_.setFrame(frame.universes[universeIndex_]);
        return socket_.send(packet_.bytes());
    }

    bool mayWaitOnPeer() const override { return false; }

private:
    UdpSocket socket_;
    Packet packet_;
    std::size_t universeIndex_;
};

} // namespace zrshow
