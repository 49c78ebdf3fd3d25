#include "linkwatch/icon_placement.h"

namespace kvo::linkwatch {

int AutomaticIconX(const TaskbarPixel& pixel) {
    int edge = 114;
    for (int x = 136; x >= 101; --x) {
        const uint32_t ground = pixel(x, 1);
        bool used = false;
        for (int y = 3; y <= 7 && !used; ++y) used = pixel(x, y) != ground;
        for (int y = 19; y <= 23 && !used; ++y) used = pixel(x, y) != ground;
        if (used)
            edge = x - 22;
    }
    return edge - 18;
}

}  // namespace kvo::linkwatch
