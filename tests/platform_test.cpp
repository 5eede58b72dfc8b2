// The portable platform layer: truncations, random numbers and class id texts.
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "zrparser/ZrCom.h"
#include "zrparser/ZrPlatform.h"

namespace {

TEST(Platform, Int32TruncationBehavesLikeTheHardwareConversion)
{
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double in;
        std::int32_t out;
    } cases[] = {
        {2.9, 2},           {-2.9, -2},          {0.0, 0},           {-0.0, 0},
        {2147483647.9, 2147483647}, {2147483648.0, kMin}, {-2147483648.9, kMin}, {-2147483649.0, kMin},
        {zr::nan(), kMin},  {inf, kMin},         {-inf, kMin},       {1e300, kMin},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zr::truncToInt32(c.in), c.out) << c.in;
}

TEST(Platform, UInt32TruncationKeepsTheLowBitsOfTheWideConversion)
{
    EXPECT_EQ(zr::truncToUInt32(4294967295.5), 4294967295u);
    EXPECT_EQ(zr::truncToUInt32(4294967296.0), 0u);
    EXPECT_EQ(zr::truncToUInt32(-1.0), 4294967295u);
    EXPECT_EQ(zr::truncToUInt32(zr::nan()), 0u);
}

TEST(Platform, RandomNumbersStayWithinFifteenBits)
{
    std::srand(7);
    for (int i = 0; i < 10000; ++i) {
        int r = zr::rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

TEST(Platform, GuidTextRoundTrip)
{
    const zr::GUID g{0x3B7E2A14, 0x5C9D, 0x4F60, {0x8E, 0x21, 0x7A, 0x4D, 0x6B, 0x0C, 0x9F, 0x31}};
    EXPECT_EQ(zr::guidToString(g), L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}");
    auto parsed = zr::guidFromString(L"{3b7e2a14-5c9d-4f60-8e21-7a4d6b0c9f31}");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, g);
    for (const wchar_t* bad : {L"", L"3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31", L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F3G}",
                               L"{3B7E2A14+5C9D-4F60-8E21-7A4D6B0C9F31}", L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}x",
                               L"ZrSignalPlugin.SignalPlugin"})
        EXPECT_FALSE(zr::guidFromString(bad).has_value()) << bad;
    EXPECT_FALSE(zr::guidFromString(nullptr).has_value());
}

} // namespace
