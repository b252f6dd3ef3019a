// Register field masks: the closed forms against the device's bit-by-bit construction.
#include <gtest/gtest.h>

#include <cstdint>

#include "lineio/RegisterField.h"

namespace {

using tamra::lineio::readFieldMask;
using tamra::lineio::replaceField;
using tamra::lineio::writeFieldMask;

std::uint32_t rotateOne(std::uint32_t bit) {
    return (bit << 1) | (bit >> 31);
}

// The device's own construction: a single bit added and rotated `width` times.
std::uint32_t bitByBitReadMask(std::uint32_t width) {
    std::uint32_t mask = 0;
    std::uint32_t bit = 1;
    for (std::uint32_t i = 0; i < width; ++i, bit = rotateOne(bit)) mask |= bit;
    return mask;
}

std::uint32_t bitByBitWriteMask(std::uint32_t shift, std::uint32_t width) {
    std::uint32_t mask = 0;
    std::uint32_t bit = std::uint32_t{1} << (shift % 32);
    const std::uint32_t end = shift + width;
    if (shift < end)
        for (std::uint32_t i = 0; i < width; ++i, bit = rotateOne(bit)) mask |= bit;
    return mask;
}

TEST(RegisterFieldMask, ReadMaskMatchesTheRotatingConstruction) {
    for (std::uint32_t width = 0; width <= 80; ++width)
        ASSERT_EQ(readFieldMask(width), bitByBitReadMask(width)) << "width " << width;
    EXPECT_EQ(readFieldMask(0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(RegisterFieldMask, WriteMaskMatchesTheRotatingConstruction) {
    const std::uint32_t shifts[] = {0,           1,           7,           16,         24, 28,
                                    31,          32,          33,          60,         63, 64,
                                    0xFFFFFFE0u, 0xFFFFFFF0u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (std::uint32_t shift : shifts)
        for (std::uint32_t width = 0; width <= 70; ++width)
            ASSERT_EQ(writeFieldMask(shift, width), bitByBitWriteMask(shift, width))
                << "shift " << shift << " width " << width;
}

TEST(RegisterFieldMask, HugeWidthsNeedNoLoop) {
    EXPECT_EQ(writeFieldMask(0, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(writeFieldMask(1, 0xFFFFFFFFu), 0u);  // 1 + width wraps to 0
    EXPECT_EQ(writeFieldMask(3, 0x80000000u), 0xFFFFFFFFu);
}

TEST(RegisterFieldMask, ReplacementKeepsTheBitsOutsideTheField) {
    EXPECT_EQ(replaceField(0xFFFFFFFFu, 8, 8, 0), 0xFFFF00FFu);
    EXPECT_EQ(replaceField(0, 8, 8, 0x1FF), 0x0000FF00u);
    EXPECT_EQ(replaceField(0x12345678u, 31, 1, 1), 0x92345678u);
    EXPECT_EQ(replaceField(0x1234567Bu, 30, 4, 0xF), 0xD2345678u);  // bits 0, 1 get zeros
}

}  // namespace
