// Size arithmetic of the uncompressed BMP files a capture is written as. No Win32 here, so
// that every rule can be checked against a table of known sizes.
#pragma once

#include <array>
#include <cstdint>

namespace tavelin {

inline constexpr uint32_t kInfoHeaderBytes = 40;  // BITMAPINFOHEADER
inline constexpr uint32_t kFileHeaderBytes = 14;  // BITMAPFILEHEADER

// Raises planes x bits per pixel to the next depth a BMP can hold: 1, 4, 8, 16, 24 or 32.
uint16_t StandardDepth(uint32_t planesTimesBits);

// Colour-table entries a depth takes: 2^bits below 24 bits, none at 24 and 32.
uint32_t ColorTableEntries(uint16_t bits);

// What the writer asks for before it reads the pixels.
struct BmpPlan {
    bool fits = false;         // false: no 32-bit BMP size field can describe this bitmap
    uint16_t bits = 0;         // standard depth
    uint32_t tableEntries = 0; // room in the info block for colour-table entries
    uint32_t infoBytes = 0;    // header plus colour table
    uint32_t imageBytes = 0;   // pixel buffer: the larger of ceil(width / 8) x bits x height
                               // and the DWORD-aligned rows, so that every row fits
};
BmpPlan PlanBmp(int32_t width, int32_t height, uint16_t planes, uint16_t bitsPerPixel);

// The colour-table entries and pixel bytes that go into the file, from what the pixel read
// left in the header. The file never claims more than the writer's blocks hold, and an
// indexed picture always carries its full table, or its colours would be lost: also where the
// read left a count of 0 (Wine: see docs/testing.md, What Wine does differently).
struct BmpContent {
    uint32_t clrUsed = 0;
    uint32_t sizeImage = 0;
};
BmpContent SettleAfterRead(const BmpPlan& plan, uint32_t clrUsedAfterRead,
                           uint32_t sizeImageAfterRead);

// The 14-byte file header, little-endian: "BM", file size, two reserved words, pixel offset.
std::array<uint8_t, kFileHeaderBytes> EncodeFileHeader(uint32_t clrUsed, uint32_t sizeImage);

}  // namespace tavelin
