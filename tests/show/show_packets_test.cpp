// Byte-level checks of the sACN and Art-Net packets against the protocols' field offsets, and
// of the percent-to-slot conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "zrshow/outputs/ArtNetPacket.h"
#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/outputs/SacnPacket.h"

using namespace zrshow;

namespace {

struct Field {
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    const char* name;
};

void expectFields(std::span<const std::uint8_t> packet, const std::vector<Field>& fields)
{
    for (const Field& field : fields) {
        const std::vector<std::uint8_t> actual(packet.begin() + field.offset,
                                               packet.begin() + field.offset + field.bytes.size());
        EXPECT_EQ(actual, field.bytes) << field.name << " at octet " << field.offset;
    }
}

DmxSlots rampSlots()
{
    DmxSlots slots{};
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return slots;
}

TEST(SacnPacket, DataPacketLayout)
{
    SacnCid cid{};
    for (std::size_t i = 0; i < cid.size(); ++i)
        cid[i] = static_cast<std::uint8_t>(0xA0 + i);
    SacnPacket packet(cid, "zr", 150, 0x1234);
    const DmxSlots slots = rampSlots();
    packet.setFrame(slots);
    ASSERT_EQ(packet.bytes().size(), 638u);
    expectFields(packet.bytes(),
                 {{0, {0x00, 0x10}, "preamble size"},
                  {2, {0x00, 0x00}, "postamble size"},
                  {4, {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0}, "ACN packet identifier"},
                  {16, {0x72, 0x6E}, "root flags and length (622)"},
                  {18, {0x00, 0x00, 0x00, 0x04}, "root vector: E1.31 data"},
                  {22, std::vector<std::uint8_t>(cid.begin(), cid.end()), "CID"},
                  {38, {0x72, 0x58}, "framing flags and length (600)"},
                  {40, {0x00, 0x00, 0x00, 0x02}, "framing vector: data packet"},
                  {44, {'z', 'r', 0, 0}, "source name, zero-padded"},
                  {108, {150}, "priority"},
                  {109, {0x00, 0x00}, "synchronization address"},
                  {111, {0}, "first sequence number"},
                  {112, {0}, "options"},
                  {113, {0x12, 0x34}, "universe, big-endian"},
                  {115, {0x72, 0x0B}, "DMP flags and length (523)"},
                  {117, {0x02}, "DMP vector: set property"},
                  {118, {0xA1}, "address and data type"},
                  {119, {0x00, 0x00}, "first property address"},
                  {121, {0x00, 0x01}, "address increment"},
                  {123, {0x02, 0x01}, "property value count: start code and 512 slots"},
                  {125, {0x00}, "start code"}});
    EXPECT_TRUE(std::equal(slots.begin(), slots.end(), packet.bytes().begin() + 126));
}

TEST(SacnPacket, SequenceCountsEveryPacketAndWraps)
{
    SacnPacket packet(SacnCid{}, "zr", 100, 1);
    const DmxSlots slots{};
    for (int i = 0; i < 258; ++i) {
        packet.setFrame(slots);
        ASSERT_EQ(packet.bytes()[111], static_cast<std::uint8_t>(i)) << "packet " << i;
    }
}

TEST(SacnPacket, LongSourceNameKeepsItsTerminatingZero)
{
    const std::string name(80, 'n');
    SacnPacket packet(SacnCid{}, name, 100, 1);
    EXPECT_EQ(packet.bytes()[44 + 62], 'n');
    EXPECT_EQ(packet.bytes()[44 + 63], 0);
    EXPECT_EQ(packet.bytes()[108], 100) << "the name must not run into the priority";
}

TEST(SacnPacket, CidIsStablePerShowAndDiffersBetweenShows)
{
    EXPECT_EQ(cidForShow("/shows/a.toml"), cidForShow("/shows/a.toml"));
    EXPECT_NE(cidForShow("/shows/a.toml"), cidForShow("/shows/b.toml"));
}

TEST(ArtNetPacket, ArtDmxLayout)
{
    ArtNetPacket packet(0x1234 & 0x7FFF);
    const DmxSlots slots = rampSlots();
    packet.setFrame(slots);
    ASSERT_EQ(packet.bytes().size(), 530u);
    expectFields(packet.bytes(), {{0, {'A', 'r', 't', '-', 'N', 'e', 't', 0}, "identifier"},
                                  {8, {0x00, 0x50}, "OpDmx, little-endian"},
                                  {10, {0x00, 0x0E}, "protocol version 14, big-endian"},
                                  {12, {1}, "first sequence number"},
                                  {13, {0}, "physical port"},
                                  {14, {0x34}, "SubUni: sub-net and universe"},
                                  {15, {0x12}, "Net"},
                                  {16, {0x02, 0x00}, "length 512, big-endian"}});
    EXPECT_TRUE(std::equal(slots.begin(), slots.end(), packet.bytes().begin() + 18));
}

TEST(ArtNetPacket, SequenceRunsFromOneTo255AndNeverZero)
{
    ArtNetPacket packet(1);
    const DmxSlots slots{};
    for (int i = 0; i < 300; ++i) {
        packet.setFrame(slots);
        ASSERT_EQ(packet.bytes()[12], i % 255 + 1) << "packet " << i;
    }
}

TEST(DmxLevels, PercentToSlots)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        unsigned width;
        double percent;
        std::vector<std::uint8_t> slots;
    };
    const Case cases[] = {
        {8, 0, {0}},          {8, 100, {255}},           {8, 50, {128}},        {8, 0.196, {0}},
        {8, 0.2, {1}},        {8, 99.9, {255}},          {8, -5, {0}},          {8, 150, {255}},
        {8, inf, {255}},      {8, -inf, {0}},            {16, 50, {0x80, 0x00}}, {16, 25, {0x40, 0x00}},
        {16, 100, {0xFF, 0xFF}}, {16, 0.0015, {0x00, 0x01}}, {16, 1e9, {0xFF, 0xFF}}, {16, -1, {0x00, 0x00}},
    };
    for (const Case& c : cases) {
        std::uint8_t slots[3] = {7, 7, 7};
        writeLevel(slots, c.width, c.percent);
        EXPECT_EQ(std::vector<std::uint8_t>(slots, slots + c.slots.size()), c.slots)
            << c.width << "-bit " << c.percent << "%";
        EXPECT_EQ(slots[c.slots.size()], 7) << "writes past its slots";
    }
}

TEST(DmxLevels, NanHoldsTheLastValue)
{
    std::uint8_t slots[2] = {0x12, 0x34};
    writeLevel(slots, 16, std::nan(""));
    EXPECT_EQ(slots[0], 0x12);
    EXPECT_EQ(slots[1], 0x34);
}

} // namespace
