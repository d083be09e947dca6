// Decodes an image file with GDI+, a decoder independent of the code under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavelin::test {

struct DecodedImage {
    bool ok = false;
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint32_t> argb;  // top row first
    uint32_t At(unsigned x, unsigned y) const { return argb[size_t{y} * width + x]; }
};

DecodedImage DecodeWithGdiplus(const std::wstring& path);

// The largest difference of one colour channel between two 0xRRGGBB colours.
int ChannelDistance(uint32_t a, uint32_t b);

}  // namespace tavelin::test
