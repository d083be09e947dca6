#include <gtest/gtest.h>

#include "capture/bmp_layout.h"

namespace tavelin {
namespace {

TEST(BmpLayout, DepthRisesToTheNextStandardDepth) {
    const struct {
        uint32_t product;
        uint16_t bits;
    } cases[] = {{0, 4},   {1, 1},   {2, 4},   {3, 4},   {4, 4},   {5, 8},  {8, 8},
                 {9, 16},  {15, 16}, {16, 16}, {17, 24}, {24, 24}, {25, 32}, {32, 32},
                 {48, 32}, {64, 32}};
    for (const auto& c : cases) EXPECT_EQ(StandardDepth(c.product), c.bits) << c.product;
}

// Sizes of the files a screen capture becomes, including the rows' padding and the surplus
// after the last row that the size formula leaves when the width is no multiple of 8.
TEST(BmpLayout, SizesOfKnownScreens) {
    const struct {
        int32_t width, height;
        uint16_t bitsPerPixel;
        uint32_t tableEntries, sizeImage, offBits, fileSize;
    } cases[] = {
        {1366, 768, 32, 0, 4202496, 54, 4202550},
        {1920, 1080, 32, 0, 8294400, 54, 8294454},
        {1366, 768, 24, 0, 3151872, 54, 3151926},
        {8, 1, 1, 2, 4, 62, 66},            // 1 bit: the aligned row, not the formula's 1 byte
        {33, 2, 1, 2, 16, 62, 78},          // formula 10, aligned 8 bytes a row: 16
        {640, 480, 8, 256, 307200, 1078, 308278},
        {3, 3, 4, 16, 12, 118, 130},        // formula 1 x 3 x 4 = 12, aligned 4 x 3 = 12
        {1366, 768, 16, 65536, 2101248, 262198, 2363446},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "@" << c.bitsPerPixel);
        const BmpPlan plan = PlanBmp(c.width, c.height, 1, c.bitsPerPixel);
        ASSERT_TRUE(plan.fits);
        EXPECT_EQ(plan.tableEntries, c.tableEntries);
        EXPECT_EQ(plan.infoBytes, 40 + 4 * c.tableEntries);
        EXPECT_EQ(plan.imageBytes, c.sizeImage);
        const auto header = EncodeFileHeader(plan.tableEntries, plan.imageBytes);
        EXPECT_EQ(header[0], 'B');
        EXPECT_EQ(header[1], 'M');
        const uint32_t fileSize = header[2] | header[3] << 8 | header[4] << 16 | uint32_t{header[5]} << 24;
        const uint32_t offBits = header[10] | header[11] << 8 | header[12] << 16 | uint32_t{header[13]} << 24;
        EXPECT_EQ(fileSize, c.fileSize);
        EXPECT_EQ(offBits, c.offBits);
        for (int i = 6; i < 10; ++i) EXPECT_EQ(header[i], 0) << "reserved byte " << i;
    }
}

TEST(BmpLayout, PlanesMultiplyIntoTheDepth) {
    const BmpPlan plan = PlanBmp(16, 16, 4, 1);  // a four-plane 16-colour bitmap
    EXPECT_EQ(plan.bits, 4);
    EXPECT_EQ(plan.tableEntries, 16u);
}

TEST(BmpLayout, BitmapsTooLargeForTheFormatDoNotFit) {
    // 32768 x 32768 at 32 bits is 4 GiB of pixels: a 32-bit size field cannot hold it, and a
    // 32-bit product of the same numbers would wrap around to a tiny buffer.
    EXPECT_FALSE(PlanBmp(32768, 32768, 1, 32).fits);
    EXPECT_FALSE(PlanBmp(65536, 65536, 1, 24).fits);
    EXPECT_FALSE(PlanBmp(0x7FFFFFFF, 1, 1, 32).fits);
    // The largest square that still fits at 32 bits.
    EXPECT_TRUE(PlanBmp(32767, 32767, 1, 32).fits);
    EXPECT_FALSE(PlanBmp(0, 10, 1, 32).fits);
    EXPECT_FALSE(PlanBmp(10, -1, 1, 32).fits);
}

TEST(BmpLayout, WhatTheReadLeavesDecidesTheFileWithinTheBlocks) {
    const BmpPlan eight = PlanBmp(1366, 768, 1, 8);
    // The read kept the writer's values.
    EXPECT_EQ(SettleAfterRead(eight, 256, eight.imageBytes).clrUsed, 256u);
    // Wine resets the count to 0 and the size to the aligned rows: the table still goes in.
    const BmpContent wine = SettleAfterRead(eight, 0, 1368 * 768);
    EXPECT_EQ(wine.clrUsed, 256u);
    EXPECT_EQ(wine.sizeImage, 1368u * 768);
    // A smaller table that the read reports is kept as it is.
    EXPECT_EQ(SettleAfterRead(eight, 16, eight.imageBytes).clrUsed, 16u);
    // Never more than the blocks hold.
    EXPECT_EQ(SettleAfterRead(eight, 70000, eight.imageBytes + 100).clrUsed, 256u);
    EXPECT_EQ(SettleAfterRead(eight, 256, eight.imageBytes + 100).sizeImage, eight.imageBytes);
    EXPECT_EQ(SettleAfterRead(eight, 256, 0).sizeImage, eight.imageBytes);

    const BmpPlan thirtyTwo = PlanBmp(1366, 768, 1, 32);
    EXPECT_EQ(SettleAfterRead(thirtyTwo, 0, 5464 * 768).clrUsed, 0u);
    EXPECT_EQ(SettleAfterRead(thirtyTwo, 12, 5464 * 768).clrUsed, 0u);  // no room for a table
    EXPECT_EQ(SettleAfterRead(thirtyTwo, 0, 5464 * 768).sizeImage, 5464u * 768);

    // At 16 bits the table is the writer's choice, so the read's word stands.
    const BmpPlan sixteen = PlanBmp(100, 100, 1, 16);
    EXPECT_EQ(SettleAfterRead(sixteen, 0, 200 * 100).clrUsed, 0u);
    EXPECT_EQ(SettleAfterRead(sixteen, 65536, sixteen.imageBytes).clrUsed, 65536u);
}

}  // namespace
}  // namespace tavelin
