// E1.31 data packet layout: root layer, framing layer, DMP layer, all fields big-endian.
#include "zrshow/outputs/SacnPacket.h"

#include <algorithm>

namespace zrshow {

namespace {

// Octet offsets of the fields written here.
constexpr std::size_t PREAMBLE = 0;
constexpr std::size_t PACKET_IDENTIFIER = 4;
constexpr std::size_t ROOT_FLAGS_LENGTH = 16;
constexpr std::size_t ROOT_VECTOR = 18;
constexpr std::size_t CID = 22;
constexpr std::size_t FRAMING_FLAGS_LENGTH = 38;
constexpr std::size_t FRAMING_VECTOR = 40;
constexpr std::size_t SOURCE_NAME = 44;
constexpr std::size_t PRIORITY = 108;
constexpr std::size_t SYNC_ADDRESS = 109;
constexpr std::size_t SEQUENCE = 111;
constexpr std::size_t OPTIONS = 112;
constexpr std::size_t UNIVERSE = 113;
constexpr std::size_t DMP_FLAGS_LENGTH = 115;
constexpr std::size_t DMP_VECTOR = 117;
constexpr std::size_t ADDRESS_AND_DATA_TYPE = 118;
constexpr std::size_t ADDRESS_INCREMENT = 121;
constexpr std::size_t PROPERTY_COUNT = 123;
constexpr std::size_t START_CODE = 125;
constexpr std::size_t SLOTS = 126;

// The synchronization packet: its sequence number and universe follow the framing vector.
constexpr std::size_t SYNC_SEQUENCE = 44;
constexpr std::size_t SYNC_UNIVERSE = 45;

constexpr std::uint32_t VECTOR_ROOT_E131_DATA = 0x00000004;
constexpr std::uint32_t VECTOR_ROOT_E131_EXTENDED = 0x00000008;
constexpr std::uint32_t VECTOR_E131_DATA_PACKET = 0x00000002;
constexpr std::uint32_t VECTOR_E131_EXTENDED_SYNCHRONIZATION = 0x00000001;
constexpr std::uint8_t VECTOR_DMP_SET_PROPERTY = 0x02;
constexpr std::uint8_t OPTION_STREAM_TERMINATED = 0x40;

void put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

void put32(std::uint8_t* at, std::uint32_t value)
{
    put16(at, static_cast<std::uint16_t>(value >> 16));
    put16(at + 2, static_cast<std::uint16_t>(value));
}

// A PDU's flags (0x7) and the length from `offset` to the end of a packet of `size` octets.
void putFlagsAndLength(std::uint8_t* packet, std::size_t offset, std::size_t size = SacnPacket::SIZE)
{
    put16(packet + offset, static_cast<std::uint16_t>(0x7000 | (size - offset)));
}

// The root layer's preamble and identifier, which every E1.31 packet begins with.
void putPreamble(std::uint8_t* p)
{
    put16(p + PREAMBLE, 0x0010);
    constexpr char IDENTIFIER[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
    std::copy(std::begin(IDENTIFIER), std::end(IDENTIFIER), p + PACKET_IDENTIFIER);
}

} // namespace

SacnPacket::SacnPacket(const SacnCid& cid, std::string_view source, std::uint8_t priority, std::uint16_t universe)
{
    std::uint8_t* p = bytes_.data();
    putPreamble(p);
    putFlagsAndLength(p, ROOT_FLAGS_LENGTH);
    put32(p + ROOT_VECTOR, VECTOR_ROOT_E131_DATA);
    std::copy(cid.begin(), cid.end(), p + CID);

    putFlagsAndLength(p, FRAMING_FLAGS_LENGTH);
    put32(p + FRAMING_VECTOR, VECTOR_E131_DATA_PACKET);
    // The name field ends with a zero byte.
    source = source.substr(0, LONGEST_SOURCE_NAME);
    std::copy(source.begin(), source.end(), p + SOURCE_NAME);
    p[PRIORITY] = priority;
    put16(p + UNIVERSE, universe);

    putFlagsAndLength(p, DMP_FLAGS_LENGTH);
    p[DMP_VECTOR] = VECTOR_DMP_SET_PROPERTY;
    p[ADDRESS_AND_DATA_TYPE] = 0xA1; // relative addresses of one-octet data
    put16(p + ADDRESS_INCREMENT, 1);
    put16(p + PROPERTY_COUNT, 1 + DMX_SLOT_COUNT); // the start code and the slots
    p[START_CODE] = 0;
}

void SacnPacket::setFrame(std::span<const std::uint8_t, DMX_SLOT_COUNT> slots)
{
    advance();
    std::copy(slots.begin(), slots.end(), bytes_.begin() + SLOTS);
}

void SacnPacket::advance()
{
    bytes_[SEQUENCE] = nextSequence_++;
}

void SacnPacket::setSyncAddress(std::uint16_t syncUniverse)
{
    put16(bytes_.data() + SYNC_ADDRESS, syncUniverse);
}

void SacnPacket::setTerminated(bool terminated)
{
    bytes_[OPTIONS] = static_cast<std::uint8_t>(terminated ? bytes_[OPTIONS] | OPTION_STREAM_TERMINATED
                                                           : bytes_[OPTIONS] & ~OPTION_STREAM_TERMINATED);
}

SacnSyncPacket::SacnSyncPacket(const SacnCid& cid, std::uint16_t syncUniverse)
{
    std::uint8_t* p = bytes_.data();
    putPreamble(p);
    putFlagsAndLength(p, ROOT_FLAGS_LENGTH, SIZE);
    put32(p + ROOT_VECTOR, VECTOR_ROOT_E131_EXTENDED);
    std::copy(cid.begin(), cid.end(), p + CID);
    putFlagsAndLength(p, FRAMING_FLAGS_LENGTH, SIZE);
    put32(p + FRAMING_VECTOR, VECTOR_E131_EXTENDED_SYNCHRONIZATION);
    put16(p + SYNC_UNIVERSE, syncUniverse);
    // The two reserved octets after it stay 0.
}

void SacnSyncPacket::advance()
{
    bytes_[SYNC_SEQUENCE] = nextSequence_++;
}

SacnCid cidForShow(std::string_view absolutePath)
{
    // Two 64-bit FNV-1a hashes with different starting values make the 128 bits.
    auto hash = [absolutePath](std::uint64_t value) {
        for (char c : absolutePath) {
            value ^= static_cast<unsigned char>(c);
            value *= 0x100000001B3ull;
        }
        return value;
    };
    const std::uint64_t halves[2] = {hash(0xCBF29CE484222325ull), hash(0x84222325CBF29CE4ull)};
    SacnCid cid{};
    for (std::size_t i = 0; i < cid.size(); ++i)
        cid[i] = static_cast<std::uint8_t>(halves[i / 8] >> (8 * (7 - i % 8)));
    // Marked as a custom-made (version 8) identifier of the usual variant.
    cid[6] = static_cast<std::uint8_t>((cid[6] & 0x0F) | 0x80);
    cid[8] = static_cast<std::uint8_t>((cid[8] & 0x3F) | 0x80);
    return cid;
}

} // namespace zrshow
