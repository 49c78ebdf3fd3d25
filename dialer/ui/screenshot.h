// A picture of the dialer's window, drawn offscreen.
#pragma once
#include <string>

namespace kvo::dialer {

class CDialerWindow;

// Types a sample number, shows one key held down and writes the window as PNG.
bool WriteDialerScreenshot(CDialerWindow& window, const std::string& file, std::string& error);

}  // namespace kvo::dialer
