#include "capture/image_rules.h"

namespace tavelin {

int BitsPerPixel(int32_t pixelFormat) { return (pixelFormat >> 8) & 0xFF; }

bool IsIndexedFormat(int32_t pixelFormat) { return (pixelFormat & kPixelFormatIndexed) != 0; }

DibChoice ChooseDib(int32_t decodedFormat) {
    DibChoice choice;
    if (decodedFormat & kPixelFormatGdi) {
        choice.bits = BitsPerPixel(decodedFormat);
        choice.format = decodedFormat;
    }
    if (decodedFormat & kPixelFormatAlpha) {
        choice.bits = 32;
        choice.alpha = true;
        choice.format = kPixelFormat32bppARGB;
    }
    return choice;
}

int64_t DibStride(int64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

int64_t RowBytes(int64_t width, int bits) { return (width * bits + 7) / 8; }

bool PaletteCountFits(uint32_t count) { return count >= 1 && count <= 256; }

ColorEntry ColorEntryFromArgb(uint32_t argb) {
    return ColorEntry{static_cast<uint8_t>(argb), static_cast<uint8_t>(argb >> 8),
                      static_cast<uint8_t>(argb >> 16), 0};
}

bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

std::vector<std::wstring> SplitPatterns(const wchar_t* patternList) {
    std::vector<std::wstring> patterns;
    if (!patternList) return patterns;
    std::wstring piece;
    for (const wchar_t* c = patternList;; ++c) {
        if (*c == L';' || *c == L'\0') {
            if (!piece.empty()) patterns.push_back(piece);
            piece.clear();
            if (*c == L'\0') break;
        } else {
            piece += *c;
        }
    }
    return patterns;
}

int ChooseEncoderByExtension(const std::vector<const wchar_t*>& patternLists,
                             const std::wstring& targetExtension,
                             const std::function<std::wstring(const std::wstring&)>& extensionOf) {
    for (size_t i = 0; i < patternLists.size(); ++i) {
        for (const std::wstring& pattern : SplitPatterns(patternLists[i])) {
            if (EqualIgnoringAsciiCase(extensionOf(pattern), targetExtension)) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

}  // namespace tavelin
