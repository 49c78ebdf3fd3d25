// Under a real X server (xvfb-run): the installer's wizard maps on its language page and
// Cancel ends it. Exit status 0 on success.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <iostream>

#include "install/ui/install_dlg.h"
#include "tests/support/temp_device.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::cerr << "install_ui_smoke: needs an X display (run it under xvfb-run -a)\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    kvo::test::TempDevice device;
    QApplication app(argc, argv);
    kvo::install::CSystemClock clock;
    kvo::install::ui::CInstallDlg dlg(std::string(KVO_BINARY_DIR) + "/bin", clock,
                                      kvo::install::Language::English);
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg, 20000)) {
        std::cerr << "install_ui_smoke: the wizard never mapped\n";
        return 1;
    }
    if (dlg.windowTitle() != "Language") {
        std::cerr << "install_ui_smoke: title \"" << dlg.windowTitle().toStdString() << "\"\n";
        return 1;
    }
    QTimer::singleShot(0, &dlg, [&] { dlg.CancelButton()->click(); });
    QTimer::singleShot(20000, &dlg, [&] { dlg.done(42); });
    int rc = dlg.exec();
    if (rc != QDialog::Rejected || dlg.isVisible()) {
        std::cerr << "install_ui_smoke: Cancel did not end the wizard (" << rc << ")\n";
        return 1;
    }
    std::cout << "install_ui_smoke: the wizard mapped and Cancel ended it\n";
    return 0;
}
