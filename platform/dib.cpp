#include "dib.h"

#include <algorithm>
#include <memory>

#include "error.h"
#include "file.h"

namespace ce {
namespace {

constexpr int32_t kMaxSide = 4096;
constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;

uint32_t U32(std::string_view b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t U16(std::string_view b, size_t at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

}  // namespace

bool ParseDib(std::string_view b, Bitmap& out, std::string& error) {
    if (b.size() < 14 + 40 || b[0] != 'B' || b[1] != 'M') {
        error = "not a bitmap file";
        return false;
    }
    const uint32_t offBits = U32(b, 10), headerSize = U32(b, 14);
    if (headerSize < 40 || headerSize > b.size() - 14) {
        error = "bitmap header too short";
        return false;
    }
    const int32_t width = int32_t(U32(b, 18)), rawHeight = int32_t(U32(b, 22));
    const uint16_t planes = U16(b, 26), bpp = U16(b, 28);
    const uint32_t compression = U32(b, 30), clrUsed = U32(b, 46);
    if (width <= 0 || width > kMaxSide || rawHeight == 0 || rawHeight < -kMaxSide ||
        rawHeight > kMaxSide || planes != 1) {
        error = "bitmap size out of range";
        return false;
    }
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    const bool bitfields = compression == kBiBitfields && bpp == 32;
    if (!(compression == kBiRgb || bitfields) ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) {
        error = "unsupported bitmap kind (compressed or " + std::to_string(bpp) + " bits)";
        return false;
    }
    if (bitfields) {
        // Only the layout every writer uses: masks right after the 40-byte header.
        size_t masks = 14 + 40;
        if (b.size() < masks + 12 || U32(b, masks) != 0xFF0000 || U32(b, masks + 4) != 0xFF00 ||
            U32(b, masks + 8) != 0xFF) {
            error = "unsupported bit fields";
            return false;
        }
    }
    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        uint32_t entries = clrUsed ? clrUsed : 1u << bpp;
        size_t at = 14 + size_t(headerSize);
        if (entries > (1u << bpp) || at + size_t(entries) * 4 > b.size()) {
            error = "bitmap palette out of range";
            return false;
        }
        for (uint32_t i = 0; i < entries; ++i) palette.push_back(U32(b, at + 4 * i) & 0xFFFFFF);
    }
    const size_t stride = (size_t(width) * bpp + 31) / 32 * 4;
    if (offBits > b.size() || stride * size_t(height) > b.size() - offBits) {
        error = "bitmap file shorter than its pixels";
        return false;
    }
    Bitmap bm;
    bm.nWidth = width;
    bm.nHeight = height;
    bm.pixels.resize(size_t(width) * height);
    for (int32_t row = 0; row < height; ++row) {
        const size_t src = offBits + stride * size_t(topDown ? row : height - 1 - row);
        uint32_t* dst = &bm.pixels[size_t(row) * width];
        for (int32_t x = 0; x < width; ++x) {
            uint32_t px;
            if (bpp >= 24) {
                size_t at = src + size_t(x) * (bpp / 8);
                px = uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 1])) << 8 |
                     uint8_t(b[at]);
            } else {
                size_t bit = size_t(x) * bpp;
                uint8_t byte = uint8_t(b[src + bit / 8]);
                uint32_t index = (byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                if (index >= palette.size()) {
                    error = "bitmap pixel outside its palette";
                    return false;
                }
                px = palette[index];
            }
            dst[x] = px;
        }
    }
    out = std::move(bm);
    return true;
}

HBITMAP SHLoadDIBitmap(std::u16string_view path) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return nullptr;
    auto bm = std::make_unique<Bitmap>();
    std::string error;
    if (!ParseDib(bytes, *bm, error)) {
        SetLastErrorWith(ERROR_BAD_FORMAT, error);
        return nullptr;
    }
    return bm.release();
}

bool DeleteObject(HBITMAP hbm) {
    delete hbm;
    return hbm != nullptr;
}

bool TransparentBlt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, const Bitmap& src,
                    int32_t sx, int32_t sy, int32_t sw, int32_t sh, COLORREF transparent) {
    if (!hdc || !hdc->pBits || width < 0 || height < 0 || sw < 0 || sh < 0)
        return false;
    // The context stores 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
    const uint32_t key =
        (transparent & 0xFF) << 16 | (transparent & 0xFF00) | (transparent >> 16 & 0xFF);
    const int32_t w = std::min(width, sw), h = std::min(height, sh);
    for (int32_t j = 0; j < h; ++j) {
        int32_t srcY = sy + j, dstY = hdc->nOriginY + y + j;
        if (srcY < 0 || srcY >= src.nHeight || dstY < 0 || dstY >= hdc->nHeight)
            continue;
        for (int32_t i = 0; i < w; ++i) {
            int32_t srcX = sx + i, dstX = hdc->nOriginX + x + i;
            if (srcX < 0 || srcX >= src.nWidth || dstX < 0 || dstX >= hdc->nWidth)
                continue;
            uint32_t px = src.pixels[size_t(srcY) * src.nWidth + srcX];
            if (px != key)
                hdc->pBits[size_t(dstY) * hdc->nStride + dstX] = px | 0xFF000000u;
        }
    }
    return true;
}

}  // namespace ce
