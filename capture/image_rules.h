// The arithmetic of the image class: which DIB a decoded pixel format becomes, row sizes,
// palette entries and the choice of an encoder by file-name extension. No Win32 here, so
// that every rule can be checked against a table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavelin {

// The codec's published pixel-format values and the bits that describe any format.
inline constexpr int32_t kPixelFormat32bppRGB = 0x00022009;
inline constexpr int32_t kPixelFormat32bppARGB = 0x0026200A;
inline constexpr int32_t kPixelFormatIndexed = 0x00010000;
inline constexpr int32_t kPixelFormatGdi = 0x00020000;
inline constexpr int32_t kPixelFormatAlpha = 0x00040000;

int BitsPerPixel(int32_t pixelFormat);
bool IsIndexedFormat(int32_t pixelFormat);

// The DIB that holds a decoded picture: its depth, whether it carries alpha, and the format
// the decoded pixels are brought into. A format GDI can hold keeps its own depth; any format
// with alpha becomes 32-bit ARGB; everything else is drawn as 32-bit RGB.
struct DibChoice {
    int bits = 32;
    bool alpha = false;
    int32_t format = kPixelFormat32bppRGB;
};
DibChoice ChooseDib(int32_t decodedFormat);

// Bytes a DIB row takes, padded to a DWORD.
int64_t DibStride(int64_t width, int bits);
// Bytes of picture in one row, without the padding.
int64_t RowBytes(int64_t width, int bits);

// Palettes of 1 to 256 entries fit a DIB's colour table.
bool PaletteCountFits(uint32_t count);

// A palette's ARGB entry as the blue, green, red and reserved bytes of a colour-table entry;
// the alpha byte is dropped and the reserved byte is 0.
struct ColorEntry {
    uint8_t blue, green, red, reserved;
};
ColorEntry ColorEntryFromArgb(uint32_t argb);

// Case-blind equality of two texts in which only ASCII letters fold.
bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

// The patterns of a list such as "*.JPG;*.JPEG;*.JPE;*.JFIF", without empty pieces.
std::vector<std::wstring> SplitPatterns(const wchar_t* patternList);

// Index of the first encoder one of whose patterns has the target's extension, or -1.
// `extensionOf` gives a name's extension as the shell finds it (from the last dot of the
// last component on, or empty).
int ChooseEncoderByExtension(const std::vector<const wchar_t*>& patternLists,
                             const std::wstring& targetExtension,
                             const std::function<std::wstring(const std::wstring&)>& extensionOf);

}  // namespace tavelin
