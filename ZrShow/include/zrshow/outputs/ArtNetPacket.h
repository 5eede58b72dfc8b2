// An Art-Net ArtDmx packet for one universe of 512 slots, built in place: the header is
// written once, each frame only the sequence number and the slot values change. With the facts of
// the protocol that a show file is checked against.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxLevels.h"

namespace zrshow {

class ZR_API ArtNetPacket {
public:
    static constexpr std::size_t SIZE = 18 + DMX_SLOT_COUNT;
    static constexpr std::uint16_t PORT = 6454;
    // The universe is a 15-bit port-address.
    static constexpr std::uint32_t LOWEST_UNIVERSE = 0;
    static constexpr std::uint32_t HIGHEST_UNIVERSE = 0x7FFF;

    // `portAddress` is the 15-bit universe: Net (bits 14-8), Sub-Net and Universe (bits 7-0).
    explicit ArtNetPacket(std::uint16_t portAddress);

    // Copies the slot values and stamps the next sequence number: 1 to 255, then 1 again
    // (0 would tell the receiver to ignore the order).
    void setFrame(std::span<const std::uint8_t, DMX_SLOT_COUNT> slots);

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, SIZE> bytes_{};
    std::uint8_t nextSequence_ = 1;
};

// An ArtSync packet: sent after the ArtDmx packets of a frame, it tells the nodes to output
// them together. It carries nothing that changes.
class ZR_API ArtSyncPacket {
public:
    static constexpr std::size_t SIZE = 14;

    ArtSyncPacket();

    void advance() {}

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, SIZE> bytes_{};
};

} // namespace zrshow
