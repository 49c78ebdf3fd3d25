// Pictures of the window and its dialogs, drawn offscreen, for the README and for checking
// the look.
#pragma once
#include <QPixmap>
#include <string>
#include <vector>

namespace kvo::ui {

class CMainFrame;

const std::vector<std::string>& ScreenshotDialogs();
bool IsScreenshotDialog(const std::string& name);
// Shows `folder` (its drop-down name; empty for Inbox), opens `dialog` (empty for the main
// window) and draws it.
bool GrabWindow(CMainFrame& frame, const std::string& folder, const std::string& dialog,
                QPixmap& out, std::string& error);
bool WriteScreenshot(CMainFrame& frame, const std::string& folder, const std::string& dialog,
                     const std::string& file, std::string& error);

}  // namespace kvo::ui
