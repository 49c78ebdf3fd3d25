// connect with its window: "s", "a", "m" or no letter, and --screenshot.
#pragma once
#include <string>

#include "connect/flow/connection.h"

namespace kvo::connect::ui {

// Start-up, the window and the end for the window's letters; needs a QApplication. The
// process's exit status.
int RunWindow(CConnection& conn, char16_t letter);

struct CScreenshotArgs {
    std::string strFile;
    std::string strPage = "setup";
    std::string strView = "day";  // the traffic page's view: day, month, year
    bool bCosts = false;
};
// The page names --page takes.
const char* ScreenshotPages();
// Renders one page or dialog offscreen into a PNG; false with the reason.
bool WriteScreenshot(CConnection& conn, const CScreenshotArgs& args, std::string& error);

}  // namespace kvo::connect::ui
