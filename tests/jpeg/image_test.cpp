#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/image.h"
#include "capture/image_rules.h"
#include "capture/screen_capture.h"
#include "framework/gdiplus_flat.h"
#include "framework/unique_handles.h"
#include "tests/support/gdiplus_decoder.h"
#include "tests/support/held_resources.h"
#include "tests/support/test_files.h"

namespace tavelin {
namespace {

void ExpectNothingHeld() {
    EXPECT_EQ(test::HeldResources(), "");
    const CodecGuardState guard = ReadCodecGuard();
    EXPECT_FALSE(guard.started) << "the codec outlived the last image object";
    EXPECT_EQ(guard.liveImages, 0);
}

// Draws a picture with smooth gradients, flat areas, hard edges and text into a bitmap of
// the given depth (8 bits with a colour cube), and writes it with the capture's BMP writer.
void WriteTestBmp(const std::wstring& path, int width, int height, int bits) {
    test::DibInfo info(width, height, 32);
    for (int i = 0; i < 216; ++i) {
        info.table[i] = RGBQUAD{static_cast<BYTE>(i % 6 * 51), static_cast<BYTE>(i / 6 % 6 * 51),
                                static_cast<BYTE>(i / 36 * 51), 0};
    }
    for (int i = 216; i < 256; ++i) {
        const BYTE grey = static_cast<BYTE>((i - 216) * 255 / 39);
        info.table[i] = RGBQUAD{grey, grey, grey, 0};
    }

    void* rawBits = nullptr;
    const unique_hbitmap picture(::CreateDIBSection(nullptr, info.get(),
                                                    DIB_RGB_COLORS, &rawBits, nullptr, 0));
    auto* pixels = static_cast<uint32_t*>(rawBits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t red = static_cast<uint32_t>(x * 255 / width);
            const uint32_t green = static_cast<uint32_t>(y * 255 / height);
            const uint32_t blue = static_cast<uint32_t>((x + y) * 255 / (width + height));
            pixels[y * width + x] = red << 16 | green << 8 | blue;
        }
    }
    const unique_hdc pictureDc(::CreateCompatibleDC(nullptr));
    const unique_select pictureSelected(pictureDc.get(), picture.get());
    const RECT block{width / 8, height / 8, width / 3, height / 2};
    const unique_hgdiobj brush(::CreateSolidBrush(RGB(230, 30, 40)));
    ::FillRect(pictureDc.get(), &block, static_cast<HBRUSH>(brush.get()));
    ::SetBkMode(pictureDc.get(), TRANSPARENT);
    ::TextOutW(pictureDc.get(), width / 2, height / 2, L"Tavelin 0123", 12);
    ::GdiFlush();

    info.header.biBitCount = static_cast<WORD>(bits);
    const unique_hdc dc(::CreateCompatibleDC(nullptr));
    const unique_hbitmap target(::CreateDIBSection(dc.get(), info.get(),
                                                   DIB_RGB_COLORS, &rawBits, nullptr, 0));
    const unique_select selected(dc.get(), target.get());
    ::BitBlt(dc.get(), 0, 0, width, height, pictureDc.get(), 0, 0, SRCCOPY);
    ::GdiFlush();
    CScreenCapture().writeBMP(target.get(), dc.get(), path.c_str());
}

// Peak signal-to-noise ratio over the red, green and blue channels, in dB.
double Psnr(const test::DecodedImage& a, const test::DecodedImage& b) {
    double squares = 0;
    for (size_t i = 0; i < a.argb.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            const double d = static_cast<double>((a.argb[i] >> shift) & 255) -
                             static_cast<double>((b.argb[i] >> shift) & 255);
            squares += d * d;
        }
    }
    const double mse = squares / (3.0 * static_cast<double>(a.argb.size()));
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

bool IsJpegFile(const std::wstring& path) {
    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    return bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

// The image's rows, from the top, hold the BMP file's pixel rows (stored bottom-up) byte for
// byte.
void ExpectRowsAsInFile(const CImage& image, const std::vector<uint8_t>& file) {
    const uint32_t offBits = test::Le32(file, 10);
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    const int64_t stride = DibStride(width, image.GetBPP());
    const size_t rowBytes = static_cast<size_t>(RowBytes(width, image.GetBPP()));
    ASSERT_GE(file.size(), offBits + stride * height);
    int differing = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* fileRow = &file[offBits + static_cast<size_t>(stride * (height - 1 - y))];
        if (std::memcmp(image.GetBits() + static_cast<ptrdiff_t>(y) * image.GetPitch(), fileRow,
                        rowBytes) != 0) {
            ++differing;
        }
    }
    EXPECT_EQ(differing, 0) << "rows of the image that differ from the file's";
}

class ImageRoundTrip : public testing::TestWithParam<int> {};

TEST_P(ImageRoundTrip, BmpBecomesAJpegOfTheSamePicture) {
    const int bits = GetParam();
    const int width = 301;  // odd, so that 8, 16 and 24-bit rows carry padding
    const int height = 203;
    test::TempFolder folder;
    const std::wstring bmp = folder.File(L"Shot-1.bmp");
    const std::wstring jpg = folder.File(L"Shot-1.jpg");
    WriteTestBmp(bmp, width, height, bits);
    const std::vector<uint8_t> file = test::ReadBytes(bmp);
    ASSERT_EQ(test::Le16(file, 28), bits);
    const test::DecodedImage source = test::DecodeWithGdiplus(bmp);
    ASSERT_TRUE(source.ok);
    {
        CImage image;
        ASSERT_EQ(image.Load(bmp.c_str()), S_OK);
        // A file GDI can hold keeps its depth and its rows exactly.
        EXPECT_EQ(image.GetWidth(), width);
        EXPECT_EQ(image.GetHeight(), height);
        EXPECT_EQ(image.GetBPP(), bits);
        EXPECT_FALSE(image.HasAlpha());
        EXPECT_EQ(image.GetPitch(), -DibStride(width, bits)) << "bottom-up";
        ExpectRowsAsInFile(image, file);
        if (bits == 8) {
            const unique_hdc dc(::CreateCompatibleDC(nullptr));
            const unique_select selected(dc.get(), image.GetHandle());
            RGBQUAD table[256];
            ASSERT_EQ(::GetDIBColorTable(dc.get(), 0, 256, table), 256u);
            // Wine reads a DIB's colour table back with reserved bytes 0 whatever was set, so
            // the reserved byte is held by the arithmetic tests; the colours are held here.
            EXPECT_EQ(std::memcmp(table, &file[54], sizeof(table)), 0)
                << "the colour table is the file's palette";
        }
        ASSERT_EQ(image.Save(jpg.c_str()), S_OK);
    }
    EXPECT_TRUE(IsJpegFile(jpg));
    const test::DecodedImage result = test::DecodeWithGdiplus(jpg);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.width, static_cast<unsigned>(width));
    EXPECT_EQ(result.height, static_cast<unsigned>(height));
    EXPECT_GT(Psnr(source, result), 30.0) << "dB against the BMP";
    ExpectNothingHeld();
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageRoundTrip, testing::Values(32, 24, 16, 8),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "bits";
                         });

TEST(Image, CapturedDesktopBecomesA32BitDibAndAJpeg) {
    test::TempFolder folder;
    const std::wstring bmp = folder.File(L"screen.bmp");
    const std::wstring jpg = folder.File(L"screen.jpg");
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    {
        const unique_hdc display(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        const unique_hdc memory(::CreateCompatibleDC(display.get()));
        const unique_hbitmap bitmap(::CreateCompatibleBitmap(display.get(), width, height));
        const unique_select selected(memory.get(), bitmap.get());
        ::BitBlt(memory.get(), 0, 0, width, height, display.get(), 0, 0, SRCCOPY);
        CScreenCapture().writeBMP(bitmap.get(), memory.get(), bmp.c_str());
    }
    const std::vector<uint8_t> file = test::ReadBytes(bmp);
    ASSERT_EQ(test::Le16(file, 28), 32) << "the test X server's depth";
    {
        CImage image;
        ASSERT_EQ(image.Load(bmp.c_str()), S_OK);
        EXPECT_EQ(image.GetWidth(), width);
        EXPECT_EQ(image.GetHeight(), height);
        EXPECT_EQ(image.GetBPP(), 32);
        EXPECT_EQ(image.GetPitch(), -width * 4);
        EXPECT_FALSE(image.HasAlpha()) << "the fourth byte of a screen pixel is no alpha";
        ExpectRowsAsInFile(image, file);
        ASSERT_EQ(image.Save(jpg.c_str(), GUID_NULL), S_OK);
    }
    const test::DecodedImage source = test::DecodeWithGdiplus(bmp);
    const test::DecodedImage result = test::DecodeWithGdiplus(jpg);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.width, static_cast<unsigned>(width));
    EXPECT_EQ(result.height, static_cast<unsigned>(height));
    EXPECT_GT(Psnr(source, result), 30.0) << "dB against the BMP";
    ExpectNothingHeld();
}

// The encoder of a file format, found by its MIME type.
CLSID EncoderFor(const wchar_t* mimeType) {
    UINT count = 0;
    UINT bytes = 0;
    ::GdipGetImageEncodersSize(&count, &bytes);
    std::vector<uint8_t> buffer(bytes);
    auto* encoders = reinterpret_cast<gdiplus::ImageCodecInfo*>(buffer.data());
    ::GdipGetImageEncoders(count, bytes, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (std::wcscmp(encoders[i].MimeType, mimeType) == 0) return encoders[i].Clsid;
    }
    ADD_FAILURE() << "no encoder for " << mimeType;
    return CLSID{};
}

// A PNG whose pixels have alpha 0, 128 and 255 side by side, made with GDI+ itself.
constexpr int kAlphaWidth = 48;
constexpr int kAlphaHeight = 20;
uint32_t AlphaPixel(int x, int y) {
    const uint32_t alpha = x < 16 ? 0 : x < 32 ? 128 : 255;
    return alpha << 24 | static_cast<uint32_t>(x * 5) << 16 | static_cast<uint32_t>(y * 12) << 8 |
           0x60;
}
void WriteAlphaPng(const std::wstring& path) {
    ULONG_PTR token = 0;
    const gdiplus::GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    ASSERT_EQ(::GdiplusStartup(&token, &input, nullptr), gdiplus::kOk);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < kAlphaHeight; ++y)
        for (int x = 0; x < kAlphaWidth; ++x) pixels.push_back(AlphaPixel(x, y));
    gdiplus::GpBitmap* raw = nullptr;
    ::GdipCreateBitmapFromScan0(kAlphaWidth, kAlphaHeight, kAlphaWidth * 4, kPixelFormat32bppARGB,
                                reinterpret_cast<BYTE*>(pixels.data()), &raw);
    {
        const unique_gpbitmap bitmap(raw);
        ASSERT_TRUE(bitmap);
        const CLSID png = EncoderFor(L"image/png");
        ASSERT_EQ(::GdipSaveImageToFile(bitmap.get(), path.c_str(), &png, nullptr), gdiplus::kOk);
    }
    ::GdiplusShutdown(token);
}

TEST(Image, PictureWithAlphaIsHeldAndSavedAsArgb) {
    test::TempFolder folder;
    const std::wstring png = folder.File(L"alpha.png");
    WriteAlphaPng(png);
    {
        CImage image;
        ASSERT_EQ(image.Load(png.c_str()), S_OK);
        EXPECT_EQ(image.GetBPP(), 32);
        EXPECT_TRUE(image.HasAlpha());
        ASSERT_EQ(image.GetWidth(), kAlphaWidth);
        ASSERT_EQ(image.GetHeight(), kAlphaHeight);
        int wrongAlpha = 0;
        for (int y = 0; y < kAlphaHeight; ++y) {
            for (int x = 0; x < kAlphaWidth; ++x) {
                const uint8_t* pixel =
                    image.GetBits() + static_cast<ptrdiff_t>(y) * image.GetPitch() + 4 * x;
                if (pixel[3] != AlphaPixel(x, y) >> 24) ++wrongAlpha;
            }
        }
        EXPECT_EQ(wrongAlpha, 0) << "pixels whose alpha the DIB does not hold";

        // Only a wrapper that reads the pixels as ARGB hands the transparency to the encoder.
        const std::wstring again = folder.File(L"again.png");
        ASSERT_EQ(image.Save(again.c_str()), S_OK);
        const test::DecodedImage saved = test::DecodeWithGdiplus(again);
        ASSERT_TRUE(saved.ok);
        EXPECT_EQ(saved.At(2, 3) >> 24, 0u);
        EXPECT_EQ(saved.At(20, 3) >> 24, 128u);
        EXPECT_EQ(saved.At(40, 3), AlphaPixel(40, 3));

        const std::wstring jpg = folder.File(L"alpha.jpg");
        ASSERT_EQ(image.Save(jpg.c_str()), S_OK);
        EXPECT_TRUE(IsJpegFile(jpg));
        const test::DecodedImage result = test::DecodeWithGdiplus(jpg);
        EXPECT_EQ(result.width, static_cast<unsigned>(kAlphaWidth));
        EXPECT_EQ(result.height, static_cast<unsigned>(kAlphaHeight));
    }
    ExpectNothingHeld();
}

TEST(Image, EncoderFollowsTheTargetsExtension) {
    test::TempFolder folder;
    const std::wstring bmp = folder.File(L"source.bmp");
    WriteTestBmp(bmp, 40, 30, 24);
    {
        CImage image;
        ASSERT_EQ(image.Load(bmp.c_str()), S_OK);
        ::DeleteFileW(bmp.c_str());
        for (const wchar_t* name : {L"a.jpg", L"b.JPG", L"c.Jpg", L"d.jpeg", L"e.bmp.jfif"}) {
            EXPECT_EQ(image.Save(folder.File(name).c_str()), S_OK) << name;
            EXPECT_TRUE(IsJpegFile(folder.File(name))) << name;
        }
        // Another extension chooses another encoder: the choice is really by extension.
        ASSERT_EQ(image.Save(folder.File(L"f.Bmp").c_str()), S_OK);
        const std::vector<uint8_t> written = test::ReadBytes(folder.File(L"f.Bmp"));
        ASSERT_GT(written.size(), 2u);
        EXPECT_EQ(written[0], 'B');
        EXPECT_EQ(written[1], 'M');

        // No encoder lists these: nothing is written.
        for (const wchar_t* name : {L"g.xyz", L"h", L"i.jpg.", L"dir.jpg\\j", L"k.jpg "}) {
            EXPECT_EQ(image.Save(folder.File(name).c_str()), E_FAIL) << name;
        }
    }
    EXPECT_EQ(folder.Names(), (std::vector<std::wstring>{L"a.jpg", L"b.JPG", L"c.Jpg", L"d.jpeg",
                                                         L"e.bmp.jfif", L"f.Bmp"}));
    ExpectNothingHeld();
}

TEST(Image, ExtensionsAgainstEncoderPatterns) {
    // As the shell finds extensions: from the last dot of the last component on.
    const auto extensionOf = [](const std::wstring& name) {
        return std::wstring(::PathFindExtensionW(name.c_str()));
    };
    const std::vector<const wchar_t*> lists = {L"*.BMP;*.DIB;*.RLE", L"*.JPG;*.JPEG;*.JPE;*.JFIF",
                                               L"*.GIF", L"*.TIFF;*.TIF", L";;*.PNG;"};
    struct Row {
        const wchar_t* target;
        int encoder;
    };
    const Row rows[] = {
        {L"C:\\a\\Shot-1.jpg", 1},
        {L"x.JPG", 1},
        {L"x.jPeG", 1},
        {L"x.jfif", 1},
        {L"x.Jpe", 1},
        {L"x.rle", 0},
        {L"x.tif", 3},
        {L"x.png", 4},
        {L"x.gif.png", 4},
        {L"x.xyz", -1},
        {L"x", -1},
        {L"C:\\a.jpg\\x", -1},
        {L"x.jp", -1},
        {L"x.jpgx", -1},
        {L".jpg", 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooseEncoderByExtension(lists, extensionOf(row.target), extensionOf),
                  row.encoder)
            << std::string(row.target, row.target + std::wcslen(row.target));
    }
    // A name without an extension matches only a pattern that has none either.
    EXPECT_EQ(
        ChooseEncoderByExtension({L"*.GIF", L"*;*.RAW"}, extensionOf(L"C:\\x\\raw"), extensionOf),
        1);
    // The first encoder that lists the extension wins.
    EXPECT_EQ(ChooseEncoderByExtension({L"*.a", L"*.JPG", L"*.jpg"}, L".jpg", extensionOf), 1);
}

TEST(Image, MissingOrNonImageSourceWritesNothing) {
    test::TempFolder folder;
    test::WriteBytes(folder.File(L"text.bmp"),
                     {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    for (const wchar_t* source : {L"missing.bmp", L"text.bmp"}) {
        const CodecGuardState before = ReadCodecGuard();
        const std::wstring jpg = folder.File(std::wstring(source) + L".jpg");
        {
            CImage image;
            EXPECT_EQ(image.Load(folder.File(source).c_str()), E_FAIL) << source;
            EXPECT_TRUE(image.IsNull());
            EXPECT_EQ(image.Save(jpg.c_str()), E_FAIL) << source;
            EXPECT_TRUE(ReadCodecGuard().started);
        }
        EXPECT_FALSE(test::Exists(jpg)) << source;
        const CodecGuardState after = ReadCodecGuard();
        EXPECT_EQ(after.startups - before.startups, 1) << "the load started the codec";
        EXPECT_EQ(after.shutdowns - before.shutdowns, 1) << "the object's end stopped it";
    }
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"text.bmp"});
    ExpectNothingHeld();
}

TEST(Image, FailedLoadLeavesNoEarlierPictureBehind) {
    test::TempFolder folder;
    const std::wstring bmp = folder.File(L"source.bmp");
    WriteTestBmp(bmp, 40, 30, 32);
    {
        CImage image;
        ASSERT_EQ(image.Load(bmp.c_str()), S_OK);
        EXPECT_EQ(unique_hbitmap::Live(), 1);
        EXPECT_EQ(image.Load(folder.File(L"missing.bmp").c_str()), E_FAIL);
        EXPECT_TRUE(image.IsNull());
        EXPECT_EQ(unique_hbitmap::Live(), 0) << "the earlier DIB is released";
        EXPECT_EQ(image.Save(folder.File(L"out.jpg").c_str()), E_FAIL);
    }
    EXPECT_FALSE(test::Exists(folder.File(L"out.jpg")));
    ExpectNothingHeld();
}

TEST(Image, CodecRunsWhileAnyImageObjectLives) {
    test::TempFolder folder;
    const std::wstring bmp = folder.File(L"source.bmp");
    WriteTestBmp(bmp, 16, 16, 24);
    const CodecGuardState start = ReadCodecGuard();
    {
        CImage unused;
        EXPECT_EQ(ReadCodecGuard().liveImages, 1);
        EXPECT_FALSE(ReadCodecGuard().started) << "construction alone starts nothing";
    }
    EXPECT_EQ(ReadCodecGuard().shutdowns, start.shutdowns) << "nothing to shut down";
    {
        auto first = std::make_unique<CImage>();
        CImage second;
        EXPECT_EQ(ReadCodecGuard().liveImages, 2);
        ASSERT_EQ(first->Load(bmp.c_str()), S_OK);
        ASSERT_EQ(second.Load(bmp.c_str()), S_OK);
        EXPECT_EQ(ReadCodecGuard().startups, start.startups + 1) << "started once";
        first.reset();
        EXPECT_TRUE(ReadCodecGuard().started) << "an image object still lives";
        EXPECT_EQ(second.Save(folder.File(L"out.jpg").c_str()), S_OK);
    }
    EXPECT_EQ(ReadCodecGuard().shutdowns, start.shutdowns + 1);
    {
        CImage empty;  // a save on its own starts the codec too
        EXPECT_EQ(empty.Save(folder.File(L"empty.jpg").c_str()), E_FAIL);
        EXPECT_TRUE(ReadCodecGuard().started);
    }
    EXPECT_EQ(ReadCodecGuard().startups, start.startups + 2);
    EXPECT_EQ(ReadCodecGuard().shutdowns, start.shutdowns + 2);
    EXPECT_FALSE(test::Exists(folder.File(L"empty.jpg")));
    ExpectNothingHeld();
}

}  // namespace
}  // namespace tavelin
