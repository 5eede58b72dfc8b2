// The choice of output by protocol.
#include "zrshow/OpenOutput.h"

#include "zrshow/outputs/ArtNetPacket.h"
#include "zrshow/outputs/OlaOutput.h"
#include "zrshow/outputs/UdpOutput.h"

namespace zrshow {

std::unique_ptr<DmxOutput> openOutput(const ShowOutput& output, std::size_t universeIndex, const OutputIdentity& identity)
{
    switch (output.protocol) {
    case Protocol::Sacn: {
        const std::string& source = output.source.empty() ? identity.sourceName : output.source;
        return std::make_unique<UdpOutput<SacnPacket>>(
            output.address, output.port, universeIndex,
            SacnPacket(identity.cid, source, output.priority, static_cast<std::uint16_t>(output.universe)));
    }
    case Protocol::ArtNet:
        return std::make_unique<UdpOutput<ArtNetPacket>>(output.address, output.port, universeIndex,
                                                         ArtNetPacket(static_cast<std::uint16_t>(output.universe)));
    case Protocol::Ola:
        break;
    }
    return std::make_unique<OlaOutput>(output.address, output.port, output.universe, output.priority, universeIndex);
}

} // namespace zrshow
