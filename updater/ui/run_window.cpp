#include "updater/ui/run_window.h"

#include <QApplication>
#include <iostream>

#include "updater/ui/main_frame.h"
#include "updater/ui/screenshot.h"

namespace kvo::updater::ui {

bool IsScreenshotView(const std::string& view) {
    for (const std::string& v : ScreenshotViews())
        if (v == view)
            return true;
    return false;
}

int RunWindow(int argc, char** argv, const std::u16string& updaterDir,
              const std::u16string& commandLine, const std::string& screenshot,
              const std::string& view) {
    if (screenshot.empty() && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        std::cerr << "updater: no display (DISPLAY or WAYLAND_DISPLAY); use --batch on a "
                     "terminal, or --screenshot\n";
        return 1;
    }
    if (!screenshot.empty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CStatusUi status;
    CUpdaterDoc doc(status);
    if (screenshot.empty()) {
        std::string error;
        if (!doc.StartUp(updaterDir, commandLine, error)) {
            std::cerr << "updater: " << error << "\n";
            if (doc.AnotherRunning())
                return 1;
            std::cerr << "usage: updater /app=TAG \"/path=DIR\"\n";
            return 2;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("updater");
    CMainFrame frame(doc, status);
    if (!screenshot.empty()) {
        // A picture touches nothing on the device: the product comes from the command line
        // alone.
        std::u16string tag = u"WM2003_kvopro_Eng_300", dir;
        ParseUpdaterCommandLine(commandLine, tag, dir);
        frame.MainView()->SetProduct(QString::fromUtf16(tag.data(), qsizetype(tag.size())));
        std::string error;
        if (!WriteScreenshot(frame, view.empty() ? "main" : view, screenshot, error)) {
            std::cerr << "updater: " << error << "\n";
            return 1;
        }
        return 0;
    }
    frame.show();
    frame.Start();
    return app.exec();
}

}  // namespace kvo::updater::ui
