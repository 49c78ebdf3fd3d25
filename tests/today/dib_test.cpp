// The banner's bitmap loader: row order, palettes, and the transparent copy's clipping.
#include <gtest/gtest.h>

#include "platform/dib.h"

namespace ce {
namespace {

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char(v >> (8 * i) & 0xFF);
}
void Put16(std::string& s, uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}

// A file of `bpp` bits with the given rows (as stored) and palette.
std::string Dib(int32_t w, int32_t h, uint16_t bpp, const std::string& rows,
                const std::vector<uint32_t>& palette = {}) {
    std::string info;
    Put32(info, 40);
    Put32(info, uint32_t(w));
    Put32(info, uint32_t(h));
    Put16(info, 1);
    Put16(info, bpp);
    Put32(info, 0);
    Put32(info, uint32_t(rows.size()));
    Put32(info, 0);
    Put32(info, 0);
    Put32(info, uint32_t(palette.size()));
    Put32(info, 0);
    for (uint32_t c : palette) Put32(info, c);
    std::string f = "BM";
    Put32(f, uint32_t(14 + info.size() + rows.size()));
    Put32(f, 0);
    Put32(f, uint32_t(14 + info.size()));
    return f + info + rows;
}

TEST(Dib, BottomUpRowsComeOutTopFirst) {
    // 24 bits, 1 x 2: stored bottom row first, each row padded to 4 bytes (BGR order).
    std::string rows = std::string("\x00\x00\xff\x00", 4) + std::string("\xff\x00\x00\x00", 4);
    Bitmap bm;
    std::string error;
    ASSERT_TRUE(ParseDib(Dib(1, 2, 24, rows), bm, error)) << error;
    EXPECT_EQ(bm.pixels, (std::vector<uint32_t>{0x0000FF, 0xFF0000}));  // top blue, bottom red
}

TEST(Dib, PalettedTopDownAndItsLimits) {
    Bitmap bm;
    std::string error;
    std::string rows = std::string("\x10\x00\x00\x00", 4);  // 4 bits: indexes 1, 0
    ASSERT_TRUE(ParseDib(Dib(2, -1, 4, rows, {0x00112233, 0x00445566}), bm, error)) << error;
    EXPECT_EQ(bm.pixels, (std::vector<uint32_t>{0x445566, 0x112233}));
    // An index beyond a short palette, too few pixel bytes, a compressed file.
    EXPECT_FALSE(ParseDib(Dib(2, 1, 4, std::string("\x20\x00\x00\x00", 4), {0, 0}), bm, error));
    EXPECT_FALSE(ParseDib(Dib(4, 4, 24, std::string(10, '\0')), bm, error));
    std::string rle = Dib(1, 1, 8, std::string(4, '\0'), {0});
    rle[14 + 16] = 1;
    EXPECT_FALSE(ParseDib(rle, bm, error));
    EXPECT_FALSE(ParseDib(Dib(5000, 1, 24, std::string(15000, '\0')), bm, error));
}

TEST(Dib, TransparentCopyLeavesTheKeyOutAndStaysInside) {
    Bitmap bm{3, 1, {0x00FF00, 0xFC0284, 0x0000FF}};  // green, (252, 2, 132), blue
    uint32_t px[2 * 2] = {1, 1, 1, 1};
    DeviceContext dc{px, 2, 2, 2, 0, 1};  // the window's row 0 is the context's row 1
    ASSERT_TRUE(TransparentBlt(&dc, 0, 0, 3, 1, bm, 0, 0, 3, 1, RGB(252, 2, 132)));
    // Green lands, the key colour is left out, blue falls outside the context.
    EXPECT_EQ(px[0], 1u);
    EXPECT_EQ(px[1], 1u);
    EXPECT_EQ(px[2], 0xFF00FF00u);
    EXPECT_EQ(px[3], 1u);
    dc.nOriginX = -2;  // only blue is inside now
    ASSERT_TRUE(TransparentBlt(&dc, 0, 0, 3, 1, bm, 0, 0, 3, 1, RGB(252, 2, 132)));
    EXPECT_EQ(px[2], 0xFF0000FFu);
}

}  // namespace
}  // namespace ce
