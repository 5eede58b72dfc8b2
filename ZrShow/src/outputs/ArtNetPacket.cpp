// ArtDmx layout: "Art-Net" identifier, little-endian opcode, big-endian version and length.
#include "zrshow/outputs/ArtNetPacket.h"

#include <algorithm>

namespace zrshow {

namespace {

constexpr std::size_t OPCODE = 8;
constexpr std::size_t VERSION = 10;
constexpr std::size_t SEQUENCE = 12;
constexpr std::size_t PHYSICAL = 13;
constexpr std::size_t SUB_UNI = 14;
constexpr std::size_t NET = 15;
constexpr std::size_t LENGTH = 16;
constexpr std::size_t DATA = 18;

constexpr std::uint16_t OP_DMX = 0x5000;
constexpr std::uint16_t OP_SYNC = 0x5200;
constexpr std::uint16_t PROTOCOL_VERSION = 14;

// The identifier, the opcode and the protocol version, which every Art-Net packet begins with.
void putHeader(std::uint8_t* p, std::uint16_t opcode)
{
    constexpr char IDENTIFIER[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
    std::copy(std::begin(IDENTIFIER), std::end(IDENTIFIER), p);
    p[OPCODE] = static_cast<std::uint8_t>(opcode & 0xFF); // the opcode alone is little-endian
    p[OPCODE + 1] = static_cast<std::uint8_t>(opcode >> 8);
    p[VERSION] = 0;
    p[VERSION + 1] = PROTOCOL_VERSION;
}

} // namespace

ArtNetPacket::ArtNetPacket(std::uint16_t portAddress)
{
    putHeader(bytes_.data(), OP_DMX);
    bytes_[PHYSICAL] = 0;
    bytes_[SUB_UNI] = static_cast<std::uint8_t>(portAddress & 0xFF);
    bytes_[NET] = static_cast<std::uint8_t>((portAddress >> 8) & 0x7F);
    bytes_[LENGTH] = static_cast<std::uint8_t>(DMX_SLOT_COUNT >> 8);
    bytes_[LENGTH + 1] = static_cast<std::uint8_t>(DMX_SLOT_COUNT & 0xFF);
}

void ArtNetPacket::setFrame(std::span<const std::uint8_t, DMX_SLOT_COUNT> slots)
{
    bytes_[SEQUENCE] = nextSequence_;
    nextSequence_ = nextSequence_ == 255 ? 1 : static_cast<std::uint8_t>(nextSequence_ + 1);
    std::copy(slots.begin(), slots.end(), bytes_.begin() + DATA);
}

ArtSyncPacket::ArtSyncPacket()
{
    putHeader(bytes_.data(), OP_SYNC); // then Aux1 and Aux2, both 0
}

} // namespace zrshow
