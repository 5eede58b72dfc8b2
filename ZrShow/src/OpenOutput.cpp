// The choice of output by protocol, and of where each one's packets go.
#include "zrshow/OpenOutput.h"

#include <set>

#include "zrshow/outputs/ArtNetPacket.h"
#include "zrshow/outputs/NetworkAddress.h"
#include "zrshow/outputs/OlaOutput.h"
#include "zrshow/outputs/UdpOutput.h"

namespace zrshow {

namespace {

// Where an output's packets go: its address; sACN without one the multicast group of
// `universe`; Art-Net without one the broadcast address of its interface.
struct Destination {
    std::string host;
    UdpRoute route;
};

Destination destinationOf(const ShowOutput& output, std::uint32_t universe)
{
    Destination to{output.address, {output.interfaceName, output.broadcast}};
    if (!to.host.empty())
        return to;
    if (output.protocol == Protocol::Sacn) {
        to.host = ipv4Text(sacnMulticastGroup(static_cast<std::uint16_t>(universe)));
    } else if (const auto local = findInterface(output.interfaceName)) {
        to.host = ipv4Text(local->broadcast);
    }
    return to;
}

bool syncsSacn(const ShowOutput& output, const OutputIdentity& identity)
{
    return output.protocol == Protocol::Sacn && output.sync && identity.syncUniverse != 0;
}

} // namespace

std::vector<ShowOutput> outputsAsSent(const ShowFile& show)
{
    std::vector<ShowOutput> outputs = show.outputs;
    for (ShowOutput& output : outputs) {
        if (output.protocol == Protocol::Sacn && show.syncUniverse != 0)
            output.sync = true;
    }
    return outputs;
}

std::uint16_t sacnSyncUniverse(const ShowFile& show)
{
    if (show.syncUniverse != 0)
        return show.syncUniverse;
    std::uint16_t lowest = 0;
    for (const ShowOutput& output : show.outputs) {
        if (output.protocol == Protocol::Sacn && output.sync && (lowest == 0 || output.universe < lowest))
            lowest = static_cast<std::uint16_t>(output.universe);
    }
    return lowest;
}

std::unique_ptr<DmxOutput> openOutput(const ShowOutput& output, std::size_t universeIndex, const OutputIdentity& identity)
{
    const std::string what = std::string(protocolName(output.protocol)) + " output for universe " +
                             std::to_string(output.universe);
    switch (output.protocol) {
    case Protocol::Sacn: {
        const std::string& source = output.source.empty() ? identity.sourceName : output.source;
        SacnPacket packet(identity.cid, source, output.priority, static_cast<std::uint16_t>(output.universe));
        if (syncsSacn(output, identity))
            packet.setSyncAddress(identity.syncUniverse);
        const Destination to = destinationOf(output, output.universe);
        return std::make_unique<UdpOutput<SacnPacket>>(what, to.host, output.port, to.route, universeIndex,
                                                       std::move(packet), identity.onExit != ShowExit::Hold);
    }
    case Protocol::ArtNet: {
        const Destination to = destinationOf(output, output.universe);
        return std::make_unique<UdpOutput<ArtNetPacket>>(what, to.host, output.port, to.route, universeIndex,
                                                         ArtNetPacket(static_cast<std::uint16_t>(output.universe)));
    }
    case Protocol::Ola:
        break;
    }
    return std::make_unique<OlaOutput>(output.address, output.port, output.universe, output.priority, universeIndex);
}

std::vector<std::unique_ptr<DmxOutput>> openSyncOutputs(const std::vector<ShowOutput>& outputs,
                                                        const OutputIdentity& identity)
{
    std::vector<std::unique_ptr<DmxOutput>> opened;
    std::set<std::string> destinations;
    for (const ShowOutput& output : outputs) {
        const bool sacn = syncsSacn(output, identity);
        if (!sacn && !(output.protocol == Protocol::ArtNet && output.sync))
            continue;
        // Multicast sync packets go to the sync universe's own group.
        const Destination to = destinationOf(output, sacn ? identity.syncUniverse : output.universe);
        const std::string key = std::string(protocolName(output.protocol)) + " " + to.host + ":" +
                                std::to_string(output.port) + " " + to.route.interfaceName;
        if (!destinations.insert(key).second)
            continue;
        if (sacn)
            opened.push_back(std::make_unique<UdpSyncOutput<SacnSyncPacket>>(
                "sacn synchronization of universe " + std::to_string(identity.syncUniverse), to.host, output.port,
                to.route, SacnSyncPacket(identity.cid, identity.syncUniverse)));
        else
            opened.push_back(std::make_unique<UdpSyncOutput<ArtSyncPacket>>("artnet synchronization", to.host,
                                                                            output.port, to.route, ArtSyncPacket()));
    }
    return opened;
}

} // namespace zrshow
