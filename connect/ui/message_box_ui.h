// Questions and messages of the window-less commands as message boxes, for a user at a
// display; the status line is the notification, so it is not repeated here.
#pragma once
#include <memory>

#include "common/user_interface.h"

namespace kvo::connect {

// True when a display server answers: $WAYLAND_DISPLAY's or $DISPLAY's socket is there.
bool DisplayAvailable();

// Made after DisplayAvailable(); owns the application object the boxes need.
std::unique_ptr<IUserInterface> MakeMessageBoxUi(int& argc, char** argv);

}  // namespace kvo::connect
