// An Art-Net ArtDmx packet for one universe of 512 slots, built in place: the header is
// written once, each frame only the sequence number and the slot values change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zrsignal {

class ArtNetPacket {
public:
    static constexpr std::size_t SIZE = 18 + 512;
    static constexpr std::uint16_t PORT = 6454;

    // `portAddress` is the 15-bit universe: Net (bits 14-8), Sub-Net and Universe (bits 7-0).
    explicit ArtNetPacket(std::uint16_t portAddress);

    // Copies the slot values and stamps the next sequence number: 1 to 255, then 1 again
    // (0 would tell the receiver to ignore the order).
    void setFrame(std::span<const std::uint8_t, 512> slots);

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, SIZE> bytes_{};
    std::uint8_t nextSequence_ = 1;
};

} // namespace zrsignal
