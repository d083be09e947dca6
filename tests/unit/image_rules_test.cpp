#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/image_rules.h"

namespace tavelin {
namespace {

TEST(ImageRules, DecodedFormatChoosesTheDib) {
    struct Row {
        const char* name;
        int32_t decoded;
        int bits;
        bool alpha;
        int32_t format;
    };
    const Row rows[] = {
        // Formats GDI can hold keep their depth and are copied as they are.
        {"1bppIndexed", 0x00030101, 1, false, 0x00030101},
        {"4bppIndexed", 0x00030402, 4, false, 0x00030402},
        {"8bppIndexed", 0x00030803, 8, false, 0x00030803},
        {"16bppRGB555", 0x00021005, 16, false, 0x00021005},
        {"16bppRGB565", 0x00021006, 16, false, 0x00021006},
        {"24bppRGB", 0x00021808, 24, false, 0x00021808},
        {"32bppRGB", 0x00022009, 32, false, 0x00022009},
        // Alpha always becomes 32-bit ARGB, whatever GDI could hold.
        {"32bppARGB", 0x0026200A, 32, true, 0x0026200A},
        {"32bppPARGB", 0x000E200B, 32, true, 0x0026200A},
        {"16bppARGB1555", 0x00061007, 32, true, 0x0026200A},
        {"64bppARGB", 0x0034400D, 32, true, 0x0026200A},
        // Everything else is drawn as 32-bit RGB.
        {"16bppGrayScale", 0x00101004, 32, false, 0x00022009},
        {"48bppRGB", 0x0010300C, 32, false, 0x00022009},
        {"undefined", 0, 32, false, 0x00022009},
    };
    for (const Row& row : rows) {
        const DibChoice choice = ChooseDib(row.decoded);
        EXPECT_EQ(choice.bits, row.bits) << row.name;
        EXPECT_EQ(choice.alpha, row.alpha) << row.name;
        EXPECT_EQ(choice.format, row.format) << row.name;
    }
    EXPECT_TRUE(IsIndexedFormat(0x00030803));
    EXPECT_FALSE(IsIndexedFormat(0x00022009));
}

TEST(ImageRules, RowSizes) {
    // The screen: 1366 x 32 bits is 5464 bytes, already DWORD-aligned.
    EXPECT_EQ(DibStride(1366, 32), 5464);
    EXPECT_EQ(RowBytes(1366, 32), 5464);
    EXPECT_EQ(DibStride(301, 24), 904);
    EXPECT_EQ(RowBytes(301, 24), 903);
    EXPECT_EQ(DibStride(301, 16), 604);
    EXPECT_EQ(RowBytes(301, 8), 301);
    EXPECT_EQ(DibStride(13, 1), 4);
    EXPECT_EQ(RowBytes(13, 1), 2);
    EXPECT_EQ(RowBytes(3, 4), 2);
    // Wider than a 32-bit product: the arithmetic must not wrap.
    EXPECT_EQ(DibStride(0x7FFFFFFF, 32), int64_t{0x7FFFFFFF} * 4);
}

TEST(ImageRules, PaletteEntries) {
    EXPECT_FALSE(PaletteCountFits(0));
    EXPECT_TRUE(PaletteCountFits(1));
    EXPECT_TRUE(PaletteCountFits(256));
    EXPECT_FALSE(PaletteCountFits(257));
    const ColorEntry entry = ColorEntryFromArgb(0xFF102030);
    EXPECT_EQ(entry.blue, 0x30);
    EXPECT_EQ(entry.green, 0x20);
    EXPECT_EQ(entry.red, 0x10);
    EXPECT_EQ(entry.reserved, 0) << "the alpha byte does not reach the colour table";
}

TEST(ImageRules, PatternsAndCaseBlindComparison) {
    EXPECT_EQ(SplitPatterns(L"*.JPG;*.JPEG;*.JPE;*.JFIF"),
              (std::vector<std::wstring>{L"*.JPG", L"*.JPEG", L"*.JPE", L"*.JFIF"}));
    EXPECT_EQ(SplitPatterns(L";;*.PNG;"), std::vector<std::wstring>{L"*.PNG"});
    EXPECT_TRUE(SplitPatterns(L"").empty());
    EXPECT_TRUE(SplitPatterns(nullptr).empty());

    EXPECT_TRUE(EqualIgnoringAsciiCase(L".jpg", L".JPG"));
    EXPECT_TRUE(EqualIgnoringAsciiCase(L".Jpg", L".jPG"));
    EXPECT_TRUE(EqualIgnoringAsciiCase(L"", L""));
    EXPECT_FALSE(EqualIgnoringAsciiCase(L".jpg", L".jpeg"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(L".jp", L".jpg"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(L"[", L"{")) << "only letters fold";
    EXPECT_FALSE(EqualIgnoringAsciiCase(L"\x00e9", L"\x00c9")) << "only ASCII letters fold";
}

}  // namespace
}  // namespace tavelin
