// An sACN (E1.31) data packet for one universe of 512 slots, built in place: the fixed layers
// are written once, each frame only the sequence number and the slot values change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zrsignal {

using SacnCid = std::array<std::uint8_t, 16>;

class SacnPacket {
public:
    static constexpr std::size_t SIZE = 638; // root 38 + framing 77 + DMP 523 octets
    static constexpr std::uint16_t PORT = 5568;

    // `source` is cut to 63 bytes; `priority` is 0-200; `universe` 1-63999.
    SacnPacket(const SacnCid& cid, std::string_view source, std::uint8_t priority, std::uint16_t universe);

    // Copies the slot values (start code 0) and stamps the next sequence number: 0 for the
    // first packet, then one more per packet, wrapping after 255.
    void setFrame(std::span<const std::uint8_t, 512> slots);

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, SIZE> bytes_{};
    std::uint8_t nextSequence_ = 0;
};

// A CID that stays the same for one show file: a name-based identifier from its absolute
// path, so receivers see one source across restarts of the same show.
SacnCid cidForShow(std::string_view absolutePath);

} // namespace zrsignal
