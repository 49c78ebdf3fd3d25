// Pictures of each view and dialog, drawn offscreen, for the README and for checking the look.
#pragma once
#include <QPixmap>
#include <string>
#include <vector>

namespace kvo::updater::ui {

class CMainFrame;

const std::vector<std::string>& ScreenshotViews();
// Puts `view` on the frame (sample contents where it needs them) and draws it.
bool GrabView(CMainFrame& frame, const std::string& view, QPixmap& out, std::string& error);
bool WriteScreenshot(CMainFrame& frame, const std::string& view, const std::string& file,
                     std::string& error);

}  // namespace kvo::updater::ui
