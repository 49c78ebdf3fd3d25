// The Today banner's picture: six tiles, one per tap zone, on the transparent colour.
#pragma once
#include <QImage>

namespace kvo::today {

// 240 x 36, RGB; the gaps between the tiles are RGB (252, 2, 132), which the item leaves out.
QImage DrawBanner();

}  // namespace kvo::today
