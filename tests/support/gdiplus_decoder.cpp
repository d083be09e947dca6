#include "tests/support/gdiplus_decoder.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

// The few entries of GDI+'s flat interface the decoder needs, as gdiplus.dll exports them.
extern "C" {
struct TestGdiplusStartupInput {
    UINT32 version;
    void* debugCallback;
    BOOL suppressBackgroundThread;
    BOOL suppressExternalCodecs;
};
struct TestGpRect {
    INT x, y, width, height;
};
struct TestBitmapData {
    UINT width, height;
    INT stride;
    INT pixelFormat;
    void* scan0;
    UINT_PTR reserved;
};
int WINAPI GdiplusStartup(ULONG_PTR* token, const TestGdiplusStartupInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipCreateBitmapFromFile(const WCHAR* file, void** bitmap);
int WINAPI GdipGetImageWidth(void* image, UINT* width);
int WINAPI GdipGetImageHeight(void* image, UINT* height);
int WINAPI GdipBitmapLockBits(void* bitmap, const TestGpRect* rect, UINT flags, INT format,
                              TestBitmapData* data);
int WINAPI GdipBitmapUnlockBits(void* bitmap, TestBitmapData* data);
int WINAPI GdipDisposeImage(void* image);
}

namespace tavelin::test {

int ChannelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int channelA = static_cast<int>((a >> shift) & 255);
        const int channelB = static_cast<int>((b >> shift) & 255);
        worst = std::max(worst, channelA > channelB ? channelA - channelB : channelB - channelA);
    }
    return worst;
}

DecodedImage DecodeWithGdiplus(const std::wstring& path) {
    constexpr INT kPixelFormat32bppARGB = 0x0026200A;
    constexpr UINT kImageLockModeRead = 1;
    DecodedImage image;
    ULONG_PTR token = 0;
    const TestGdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    if (GdiplusStartup(&token, &input, nullptr) != 0) return image;
    void* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(path.c_str(), &bitmap) == 0) {
        GdipGetImageWidth(bitmap, &image.width);
        GdipGetImageHeight(bitmap, &image.height);
        const TestGpRect rect{0, 0, static_cast<INT>(image.width), static_cast<INT>(image.height)};
        TestBitmapData data{};
        if (GdipBitmapLockBits(bitmap, &rect, kImageLockModeRead, kPixelFormat32bppARGB, &data) == 0) {
            image.argb.resize(size_t{image.width} * image.height);
            for (unsigned y = 0; y < image.height; ++y) {
                std::memcpy(&image.argb[size_t{y} * image.width],
                            static_cast<const uint8_t*>(data.scan0) + static_cast<ptrdiff_t>(y) * data.stride,
                            size_t{image.width} * 4);
            }
            GdipBitmapUnlockBits(bitmap, &data);
            image.ok = true;
        }
        GdipDisposeImage(bitmap);
    }
    GdiplusShutdown(token);
    return image;
}

}  // namespace tavelin::test
