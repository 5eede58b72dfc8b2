// Outputs that build a protocol's packet in place (SacnPacket, ArtNetPacket) and send it to one
// destination as one UDP datagram per frame; and the synchronization packets (SacnSyncPacket,
// ArtSyncPacket) that follow a frame's data packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "zrshow/outputs/DmxOutput.h"
#include "zrshow/outputs/UdpSocket.h"

namespace zrshow {

// The socket and the reason of its last refusal.
class UdpSender : public DmxOutput {
public:
    // `what` names the output ("sacn output for universe 1"); the destination is added to it.
    UdpSender(const std::string& what, const std::string& host, std::uint16_t port, const UdpRoute& route)
        : socket_(host, port, route)
    {
        name_ = what + " (" + socket_.destination() + ")";
    }

    std::string lastFailure() const override { return std::strerror(lastError_); }
    bool mayWaitOnPeer() const override { return false; }

protected:
    bool sendBytes(std::span<const std::uint8_t> datagram)
    {
        const int error = socket_.send(datagram);
        if (error != 0)
            lastError_ = error;
        return error == 0;
    }

private:
    UdpSocket socket_;
    int lastError_ = 0;
};

template <class Packet>
class UdpOutput final : public UdpSender {
public:
    // Stream termination: packets marked as the end of the stream that a terminating output
    // sends after its last frame.
    static constexpr int TERMINATION_PACKETS = 3;

    // Sends the universe at `universeIndex` of each frame to `host`:`port`; with `terminate`,
    // ends the stream at the end of the show (packets that can say so, sACN's). Throws
    // InputError when the destination cannot be resolved.
    UdpOutput(const std::string& what, const std::string& host, std::uint16_t port, const UdpRoute& route,
              std::size_t universeIndex, Packet packet, bool terminate = false)
        : UdpSender(what, host, port, route), packet_(std::move(packet)), universeIndex_(universeIndex),
          terminate_(terminate)
    {
    }

    bool send(const DmxFrame& frame) override
    {
        packet_.setFrame(frame.universes[universeIndex_]);
        sentAny_ = true;
        return sendBytes(packet_.bytes());
    }

    // The last frame's slots again, marked as the end of the stream, with the next sequence numbers.
    std::optional<bool> end() override
    {
        if constexpr (requires(Packet& p) { p.setTerminated(true); }) {
            if (!terminate_ || !sentAny_)
                return std::nullopt;
            packet_.setTerminated(true);
            bool all = true;
            for (int i = 0; i < TERMINATION_PACKETS; ++i) {
                packet_.advance();
                all = sendBytes(packet_.bytes()) && all;
            }
            return all;
        }
        return std::nullopt;
    }

private:
    Packet packet_;
    std::size_t universeIndex_;
    bool terminate_;
    bool sentAny_ = false;
};

// Sends a synchronization packet with each frame; placed after the frame's data outputs on
// their sender thread, so it follows them.
template <class SyncPacket>
class UdpSyncOutput final : public UdpSender {
public:
    UdpSyncOutput(const std::string& what, const std::string& host, std::uint16_t port, const UdpRoute& route,
                  SyncPacket packet)
        : UdpSender(what, host, port, route), packet_(std::move(packet))
    {
    }

    bool send(const DmxFrame&) override
    {
        packet_.advance();
        return sendBytes(packet_.bytes());
    }

private:
    SyncPacket packet_;
};

} // namespace zrshow
