// Bitmap files (the Today picture): a picture of the size its header gives, or an error.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ce::Bitmap bm;
    std::string error;
    if (!ce::ParseDib(std::string_view(reinterpret_cast<const char*>(data), size), bm, error)) {
        if (error.empty() || !bm.pixels.empty())
            std::abort();
        return 0;
    }
    if (bm.nWidth <= 0 || bm.nHeight <= 0 || bm.pixels.size() != size_t(bm.nWidth) * bm.nHeight)
        std::abort();
    // Copying it onto a small context must stay inside both.
    uint32_t pixels[40 * 12] = {};
    ce::DeviceContext dc{pixels, 40, 12, 40, -3, 5};
    ce::TransparentBlt(&dc, 0, 0, 240, 36, bm, 0, 0, 240, 36, ce::RGB(252, 2, 132));
    return 0;
}
