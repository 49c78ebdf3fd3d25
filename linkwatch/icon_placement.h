// Where the graph goes on the taskbar: left of the first thing drawn in the band that the
// shell's own icons use.
#pragma once
#include <cstdint>
#include <functional>

namespace kvo::linkwatch {

// The colour of a taskbar pixel.
using TaskbarPixel = std::function<uint32_t(int x, int y)>;

// 96 on an empty taskbar.
int AutomaticIconX(const TaskbarPixel& pixel);

}  // namespace kvo::linkwatch
