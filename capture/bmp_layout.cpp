#include "capture/bmp_layout.h"

#include <algorithm>
#include <limits>

namespace tavelin {

uint16_t StandardDepth(uint32_t planesTimesBits) {
    if (planesTimesBits == 1) return 1;
    if (planesTimesBits <= 4) return 4;
    if (planesTimesBits <= 8) return 8;
    if (planesTimesBits <= 16) return 16;
    if (planesTimesBits <= 24) return 24;
    return 32;
}

uint32_t ColorTableEntries(uint16_t bits) { return bits < 24 ? uint32_t{1} << bits : 0; }

BmpPlan PlanBmp(int32_t width, int32_t height, uint16_t planes, uint16_t bitsPerPixel) {
    BmpPlan plan;
    plan.bits = StandardDepth(uint32_t{planes} * bitsPerPixel);
    plan.tableEntries = ColorTableEntries(plan.bits);
    plan.infoBytes = kInfoHeaderBytes + 4 * plan.tableEntries;
    if (width <= 0 || height <= 0) return plan;

    // 64-bit throughout: a large 32-bit screen overflows 32-bit products long before it
    // overflows the file format.
    const uint64_t w = static_cast<uint64_t>(width);
    const uint64_t h = static_cast<uint64_t>(height);
    const uint64_t formula = (w + 7) / 8 * h * plan.bits;
    const uint64_t aligned = (w * plan.bits + 31) / 32 * 4 * h;
    const uint64_t image = std::max(formula, aligned);
    const uint64_t file = kFileHeaderBytes + uint64_t{plan.infoBytes} + image;
    if (file > std::numeric_limits<uint32_t>::max()) return plan;

    plan.imageBytes = static_cast<uint32_t>(image);
    plan.fits = true;
    return plan;
}

BmpContent SettleAfterRead(const BmpPlan& plan, uint32_t clrUsedAfterRead,
                           uint32_t sizeImageAfterRead) {
    BmpContent content;
    if (plan.bits <= 8) {
        content.clrUsed = clrUsedAfterRead == 0 ? plan.tableEntries
                                                : std::min(clrUsedAfterRead, plan.tableEntries);
    } else {
        content.clrUsed = std::min(clrUsedAfterRead, plan.tableEntries);
    }
    content.sizeImage = sizeImageAfterRead == 0 ? plan.imageBytes
                                                : std::min(sizeImageAfterRead, plan.imageBytes);
    return content;
}

std::array<uint8_t, kFileHeaderBytes> EncodeFileHeader(uint32_t clrUsed, uint32_t sizeImage) {
    const uint32_t offBits = kFileHeaderBytes + kInfoHeaderBytes + 4 * clrUsed;
    const uint32_t fileSize = offBits + sizeImage;
    std::array<uint8_t, kFileHeaderBytes> bytes{};
    auto put32 = [&bytes](size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, fileSize);
    put32(10, offBits);
    return bytes;
}

}  // namespace tavelin
