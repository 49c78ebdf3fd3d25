#include "message_box_ui.h"

#include <sys/stat.h>

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <string>

namespace kvo::connect {
namespace {

QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

const char kCaption[] = "kvonet pro";

class CMessageBoxUi : public IUserInterface {
public:
    CMessageBoxUi(int& argc, char** argv) : m_app(argc, argv) {}
    void MessageBox(const std::u16string& text, const std::u16string& caption) override {
        QMessageBox::information(nullptr, caption.empty() ? QString(kCaption) : Q(caption),
                                 Q(text));
    }
    bool Ask(const std::u16string& question) override {
        return QMessageBox::question(nullptr, kCaption, Q(question),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    bool OkCancel(const std::u16string& text, const std::u16string& caption) override {
        return QMessageBox::question(nullptr, caption.empty() ? QString(kCaption) : Q(caption),
                                     Q(text),
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}

private:
    QApplication m_app;
};

bool SocketExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    // Offscreen boxes would wait for a click nobody can give.
    if (platform && std::string(platform).rfind("offscreen", 0) == 0)
        return false;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland) {
        std::string w = wayland;
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (w[0] == '/' ? SocketExists(w) : runtime && SocketExists(std::string(runtime) + "/" + w))
            return true;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || display[0] != ':')
        return false;  // remote displays are not probed
    std::string number = display + 1;
    number = number.substr(0, number.find('.'));
    return SocketExists("/tmp/.X11-unix/X" + number);
}

std::unique_ptr<IUserInterface> MakeMessageBoxUi(int& argc, char** argv) {
    return std::make_unique<CMessageBoxUi>(argc, argv);
}

}  // namespace kvo::connect
