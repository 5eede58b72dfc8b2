// An sACN (E1.31) data packet for one universe of 512 slots, built in place: the fixed layers
// are written once, each frame only the sequence number and the slot values change. With the
// facts of the protocol that a show file is checked against.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "zrparser/ZrExport.h"
#include "zrshow/outputs/DmxLevels.h"

namespace zrshow {

using SacnCid = std::array<std::uint8_t, 16>;

class ZR_API SacnPacket {
public:
    static constexpr std::size_t SIZE = 126 + DMX_SLOT_COUNT; // root 38 + framing 77 + DMP 11 octets, then the slots
    static constexpr std::uint16_t PORT = 5568;
    static constexpr std::uint32_t LOWEST_UNIVERSE = 1;
    static constexpr std::uint32_t HIGHEST_UNIVERSE = 63999;
    static constexpr std::uint8_t HIGHEST_PRIORITY = 200;
    static constexpr std::uint8_t DEFAULT_PRIORITY = 100;
    // The source name field: 64 bytes, the last one zero.
    static constexpr std::size_t SOURCE_NAME_FIELD = 64;
    static constexpr std::size_t LONGEST_SOURCE_NAME = SOURCE_NAME_FIELD - 1;

    // `source` is cut to LONGEST_SOURCE_NAME bytes; `priority` is 0-200; `universe` 1-63999.
    SacnPacket(const SacnCid& cid, std::string_view source, std::uint8_t priority, std::uint16_t universe);

    // Copies the slot values (start code 0) and stamps the next sequence number: 0 for the
    // first packet, then one more per packet, wrapping after 255.
    void setFrame(std::span<const std::uint8_t, DMX_SLOT_COUNT> slots);
    // Stamps the next sequence number and keeps the slot values: the same frame sent again.
    void advance();

    // The universe whose synchronization packets the receivers wait for before they show the
    // data; 0 (the default): none, the data is shown at once.
    void setSyncAddress(std::uint16_t syncUniverse);
    // Marks the packets from now on as the end of the stream (the Stream_Terminated option):
    // receivers drop this source at once instead of waiting for its data to time out.
    void setTerminated(bool terminated);

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, SIZE> bytes_{};
    std::uint8_t nextSequence_ = 0;
};

// An E1.31 synchronization packet: sent after the data packets of a frame that carry its
// universe as their synchronization address, it tells the receivers to show them together.
class ZR_API SacnSyncPacket {
public:
    static constexpr std::size_t SIZE = 49; // root 38 + framing 11 octets

    SacnSyncPacket(const SacnCid& cid, std::uint16_t syncUniverse);

    // Stamps the next sequence number: 0 for the first packet, wrapping after 255.
    void advance();

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, SIZE> bytes_{};
    std::uint8_t nextSequence_ = 0;
};

// A CID that stays the same for one show file: a name-based identifier from its absolute
// path, so receivers see one source across restarts of the same show.
ZR_API SacnCid cidForShow(std::string_view absolutePath);

} // namespace zrshow
