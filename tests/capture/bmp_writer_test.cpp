#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/screen_capture.h"
#include "framework/message_box.h"
#include "framework/unique_handles.h"
#include "tests/support/gdiplus_decoder.h"
#include "tests/support/held_resources.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace tavelin {
namespace {

void ExpectNothingHeld() { EXPECT_EQ(test::HeldResources(), ""); }

// A DIB section with a known picture (and, below 16 bits, a known colour table), selected
// into a memory device context as the capture pipeline hands its bitmap over.
struct SourceBitmap {
    SourceBitmap(int width, int height, int bits) : width(width), height(height), bits(bits) {
        test::DibInfo info(width, height, bits);
        if (bits <= 8) {
            info.header.biClrUsed = 1u << bits;
            for (unsigned i = 0; i < info.header.biClrUsed; ++i) {
                const RGBQUAD entry{static_cast<BYTE>(i * 53 + 7), static_cast<BYTE>(i * 91 + 3),
                                    static_cast<BYTE>(i * 37 + 11), 0};
                info.table[i] = entry;
                table.push_back(entry);
            }
        }
        dc = unique_hdc(::CreateCompatibleDC(nullptr));
        void* rawBits = nullptr;
        bitmap = unique_hbitmap(::CreateDIBSection(dc.get(), info.get(),
                                                   DIB_RGB_COLORS, &rawBits, nullptr, 0));
        pixels = static_cast<uint8_t*>(rawBits);
        stride = (width * bits + 31) / 32 * 4;
        // A picture where neighbouring pixels differ, so that a shifted or flipped row shows.
        uint32_t seed = 12345u + static_cast<uint32_t>(bits);
        for (int y = 0; y < height; ++y) {
            for (int i = 0; i < stride; ++i) {
                seed = seed * 1103515245u + 12345u;
                uint8_t value = static_cast<uint8_t>(seed >> 16);
                if (bits == 16 && i % 2 == 1) value &= 0x7F;  // 5-5-5: the top bit is unused
                if (bits == 32 && i % 4 == 3) value = 0;      // no alpha in a screen bitmap
                pixels[y * stride + i] = value;
            }
        }
        ::GdiFlush();
        select = unique_select(dc.get(), bitmap.get());
    }

    // The colour of pixel (x, y), counting rows from the top, as 0xRRGGBB.
    uint32_t Color(int x, int y) const {
        const uint8_t* row = pixels + (height - 1 - y) * stride;  // bottom-up
        auto fromQuad = [](const RGBQUAD& q) { return uint32_t{q.rgbRed} << 16 | q.rgbGreen << 8 | q.rgbBlue; };
        switch (bits) {
            case 1: return fromQuad(table[(row[x / 8] >> (7 - x % 8)) & 1]);
            case 4: return fromQuad(table[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15]);
            case 8: return fromQuad(table[row[x]]);
            case 16: {
                const unsigned v = row[2 * x] | row[2 * x + 1] << 8;
                auto expand = [](unsigned c) { return (c << 3) | (c >> 2); };
                return expand((v >> 10) & 31) << 16 | expand((v >> 5) & 31) << 8 | expand(v & 31);
            }
            case 24: return uint32_t{row[3 * x + 2]} << 16 | row[3 * x + 1] << 8 | row[3 * x];
            default: return uint32_t{row[4 * x + 2]} << 16 | row[4 * x + 1] << 8 | row[4 * x];
        }
    }

    int width, height, bits, stride = 0;
    std::vector<RGBQUAD> table;
    unique_hdc dc;
    unique_hbitmap bitmap;
    unique_select select;
    uint8_t* pixels = nullptr;
};

class BmpWriterDepth : public testing::TestWithParam<int> {};

TEST_P(BmpWriterDepth, FileHoldsTheBitmapExactly) {
    const int bits = GetParam();
    // An odd width for the direct-colour depths, so that rows need padding.
    const int width = bits >= 16 ? 37 : 40;
    const int height = 23;
    test::TempFolder folder;
    const std::wstring path = folder.File(L"Shot-1.bmp");
    {
        SourceBitmap source(width, height, bits);
        ASSERT_TRUE(source.bitmap) << "no DIB section at " << bits << " bits";
        test::MessageBoxWatcher boxes;
        CScreenCapture().writeBMP(source.bitmap.get(), source.dc.get(), path.c_str());
        EXPECT_TRUE(boxes.Boxes().empty()) << "a successful write shows no message";

        const std::vector<uint8_t> file = test::ReadBytes(path);
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(test::Le32(file, 2), file.size()) << "bfSize is the file's size";
        EXPECT_EQ(test::Le32(file, 6), 0u) << "reserved words";
        EXPECT_EQ(test::Le32(file, 14), 40u);
        EXPECT_EQ(static_cast<int32_t>(test::Le32(file, 18)), width);
        EXPECT_EQ(static_cast<int32_t>(test::Le32(file, 22)), height) << "bottom-up";
        EXPECT_EQ(test::Le16(file, 26), 1);
        EXPECT_EQ(test::Le16(file, 28), bits);
        EXPECT_EQ(test::Le32(file, 30), 0u) << "BI_RGB";

        const uint32_t clrUsed = test::Le32(file, 46);
        if (bits <= 8) {
            EXPECT_EQ(clrUsed, 1u << bits) << "an indexed picture carries its whole table";
        } else if (bits >= 24) {
            EXPECT_EQ(clrUsed, 0u);
        }
        const uint32_t offBits = test::Le32(file, 10);
        EXPECT_EQ(offBits, 54 + 4 * clrUsed);
        const uint32_t sizeImage = test::Le32(file, 34);
        const uint32_t stride = static_cast<uint32_t>(source.stride);
        EXPECT_GE(sizeImage, stride * height);
        EXPECT_EQ(file.size(), offBits + sizeImage);

        for (size_t i = 0; i < source.table.size() && 54 + 4 * i + 3 < file.size(); ++i) {
            EXPECT_EQ(std::memcmp(&file[54 + 4 * i], &source.table[i], 4), 0) << "table entry " << i;
        }
        for (int y = 0; y < height; ++y) {
            EXPECT_EQ(std::memcmp(&file[offBits + y * stride], source.pixels + y * stride,
                                  (width * bits + 7) / 8), 0)
                << "stored row " << y;
        }

        // Read back by a decoder that is not ours.
        const test::DecodedImage decoded = test::DecodeWithGdiplus(path);
        ASSERT_TRUE(decoded.ok);
        ASSERT_EQ(decoded.width, static_cast<unsigned>(width));
        ASSERT_EQ(decoded.height, static_cast<unsigned>(height));
        int worst = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                worst = std::max(worst, test::ChannelDistance(decoded.At(x, y) & 0xFFFFFF, source.Color(x, y)));
        EXPECT_LE(worst, bits == 16 ? 8 : 0) << "largest colour difference of a channel";
    }
    ExpectNothingHeld();
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, BmpWriterDepth, testing::Values(1, 4, 8, 16, 24, 32),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "bits";
                         });

TEST(BmpWriter, ScreenSizedBitmapFollowsWhatTheReadReports) {
    test::TempFolder folder;
    const std::wstring path = folder.File(L"screen.bmp");
    {
        SourceBitmap source(1366, 768, 32);
        CScreenCapture().writeBMP(source.bitmap.get(), source.dc.get(), path.c_str());
    }
    const std::vector<uint8_t> file = test::ReadBytes(path);
    ASSERT_GE(file.size(), 54u);
    const uint32_t sizeImage = test::Le32(file, 34);
    // Windows keeps the writer's 4202496; Wine's read rewrites it to the rows' 5464 x 768.
    EXPECT_TRUE(sizeImage == 4202496u || sizeImage == 5464u * 768) << sizeImage;
    EXPECT_EQ(test::Le32(file, 10), 54u);
    EXPECT_EQ(test::Le32(file, 2), 54u + sizeImage);
    EXPECT_EQ(file.size(), 54u + sizeImage);
    ExpectNothingHeld();
}

TEST(BmpWriter, FolderThatDoesNotExist) {
    test::TempFolder folder;
    const std::wstring path = folder.File(L"missing\\Shot-1.bmp");
    test::MessageBoxWatcher boxes;
    {
        SourceBitmap source(64, 32, 32);
        CScreenCapture().writeBMP(source.bitmap.get(), source.dc.get(), path.c_str());
    }
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Could not create file for writing");
    EXPECT_EQ(seen[0].caption, ApplicationTitle());
    EXPECT_TRUE(seen[0].exclamationIcon);
    EXPECT_TRUE(folder.Names().empty()) << "nothing is written";
    ExpectNothingHeld();
}

TEST(BmpWriter, BitmapThatCannotBeDescribed) {
    test::TempFolder folder;
    const std::wstring path = folder.File(L"Shot-1.bmp");
    test::MessageBoxWatcher boxes;
    HBITMAP gone = ::CreateBitmap(8, 8, 1, 32, nullptr);
    ::DeleteObject(gone);
    const unique_hdc dc(::CreateCompatibleDC(nullptr));
    CScreenCapture().writeBMP(gone, dc.get(), path.c_str());
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Could not retrieve bitmap info");
    EXPECT_FALSE(test::Exists(path));
}

TEST(BmpWriter, PixelsThatCannotBeRead) {
    test::TempFolder folder;
    const std::wstring path = folder.File(L"Shot-1.bmp");
    test::MessageBoxWatcher boxes;
    {
        SourceBitmap source(16, 16, 32);
        HDC gone = ::CreateCompatibleDC(nullptr);
        ::DeleteDC(gone);
        CScreenCapture().writeBMP(source.bitmap.get(), gone, path.c_str());
    }
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"writeBMP::GetDIB error");
    EXPECT_FALSE(test::Exists(path));
    ExpectNothingHeld();
}

}  // namespace
}  // namespace tavelin
