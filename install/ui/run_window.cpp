#include "install/ui/run_window.h"

#include <QApplication>
#include <iostream>

#include "install/ui/install_dlg.h"

namespace kvo::install::ui {
namespace {
const char* const kPages[] = {"language", "info", "licence", "wait"};
}

bool IsScreenshotPage(const std::string& page) {
    for (const char* p : kPages)
        if (page == p)
            return true;
    return false;
}

int RunWindow(int argc, char** argv, const std::filesystem::path& installerDir, Language language,
              const std::string& screenshot, const std::string& page) {
    if (screenshot.empty() && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        std::cerr << "install: no display (DISPLAY or WAYLAND_DISPLAY); use --batch on a "
                     "terminal, or --screenshot\n";
        return 1;
    }
    if (!screenshot.empty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("install");
    CEventLoopClock clock;
    CInstallDlg dlg(installerDir, clock, language);
    if (!screenshot.empty()) {
        int index = 0;
        for (int i = 0; i < 4; ++i)
            if (page == kPages[i])
                index = i;
        dlg.ShowPage(CInstallDlg::Page(index));
        dlg.show();
        QApplication::processEvents();
        if (!dlg.grab().save(QString::fromStdString(screenshot), "PNG")) {
            std::cerr << "install: cannot write " << screenshot << "\n";
            return 1;
        }
        return 0;
    }
    dlg.show();
    int result = dlg.exec();
    return result == QDialog::Accepted ? 0 : 1;
}

}  // namespace kvo::install::ui
