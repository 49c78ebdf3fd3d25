#include "dialer/ui/screenshot.h"

#include <QPixmap>

#include "dialer/ui/dialer_window.h"

namespace kvo::dialer {

bool WriteDialerScreenshot(CDialerWindow& window, const std::string& file, std::string& error) {
    window.Keypad()->SetPressed("key5");
    window.adjustSize();
    window.ensurePolished();
    QPixmap pixmap = window.grab();
    if (pixmap.isNull() || !pixmap.save(QString::fromStdString(file), "PNG")) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

}  // namespace kvo::dialer
