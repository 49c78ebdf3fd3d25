// Device-independent bitmap files (".bmp", the Today picture) as the shell's bitmap loader
// reads them, and the transparent copy onto a device context.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace ce {

struct Bitmap {
    int32_t nWidth = 0, nHeight = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
};
using HBITMAP = Bitmap*;

// Uncompressed 1, 4, 8, 24 and 32 bits a pixel (32 also as standard bit fields), bottom-up
// or top-down, at most 4096 pixels a side. False with the reason for anything else.
bool ParseDib(std::string_view bytes, Bitmap& out, std::string& error);

// nullptr (with GetLastError) when the file is missing or no bitmap of the kinds above.
HBITMAP SHLoadDIBitmap(std::u16string_view path);
bool DeleteObject(HBITMAP hbm);

// Copies the source rectangle onto the destination one (no stretching beyond the smaller of
// the two sizes), leaving out pixels of the transparent colour.
bool TransparentBlt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, const Bitmap& src,
                    int32_t sx, int32_t sy, int32_t sw, int32_t sh, COLORREF transparent);

}  // namespace ce
