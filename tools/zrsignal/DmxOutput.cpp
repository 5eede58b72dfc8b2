// sACN and Art-Net outputs over UDP, and the choice of output by protocol.
#include "DmxOutput.h"

#include "ArtNetPacket.h"
#include "OlaOutput.h"
#include "UdpSocket.h"

namespace zrsignal {

namespace {

// Builds the protocol's packet in place and sends it as one datagram.
template <class Packet>
class UdpOutput final : public DmxOutput {
public:
    UdpOutput(const ShowOutput& output, std::size_t universeIndex, Packet packet)
        : socket_(output.address, output.port), packet_(packet), universeIndex_(universeIndex)
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

} // namespace

std::unique_ptr<DmxOutput> openOutput(const ShowOutput& output, std::size_t universeIndex, const SacnCid& cid)
{
    switch (output.protocol) {
    case Protocol::Sacn:
        return std::make_unique<UdpOutput<SacnPacket>>(
            output, universeIndex,
            SacnPacket(cid, output.source, output.priority, static_cast<std::uint16_t>(output.universe)));
    case Protocol::ArtNet:
        return std::make_unique<UdpOutput<ArtNetPacket>>(output, universeIndex,
                                                         ArtNetPacket(static_cast<std::uint16_t>(output.universe)));
    case Protocol::Ola:
        break;
    }
    return std::make_unique<OlaOutput>(output, universeIndex);
}

} // namespace zrsignal
