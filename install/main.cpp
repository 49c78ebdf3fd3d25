// install: the desktop installer. It waits for the attached handheld and runs the packages
// for its operating system that lie next to it.
//   install [--device DIR] [--language NAME]
//   install [--device DIR] --batch [--language NAME]
//   install --screenshot FILE.png [--page NAME] [--language NAME]
#include <filesystem>
#include <iostream>
#include <string>

#include "install/core/connection_wait.h"
#include "install/core/installer.h"
#include "platform/device.h"
#include "platform/text.h"
#ifdef KVO_INSTALL_WINDOW
#include "install/ui/run_window.h"
#endif

namespace fs = std::filesystem;
using namespace kvo::install;

namespace {

const char kUsage[] =
    "usage: install [--device DIR] [--language NAME]\n"
    "       install [--device DIR] --batch [--language NAME]\n"
    "       install --screenshot FILE.png [--page language|info|licence|wait] [--language NAME]\n"
    "  --language  german, english, french, italian or dutch (default english)\n"
    "  --batch     runs the steps on the terminal: waits for `kvo-device attach`, then runs\n"
    "              the packages\n";

int Usage(const std::string& why) {
    std::cerr << "install: " << why << "\n" << kUsage;
    return 2;
}

// The terminal's boxes: texts one a line; the question is read from standard input.
class CTerminalUi : public kvo::IUserInterface {
public:
    void MessageBox(const std::u16string& text, const std::u16string& = {}) override {
        std::cout << ce::ToUtf8(text) << std::endl;
    }
    bool Ask(const std::u16string& question) override {
        std::cout << ce::ToUtf8(question) << " [y/n] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer))
            return false;  // nobody there to say yes
        return !answer.empty() &&
               (answer[0] == 'y' || answer[0] == 'Y' || answer[0] == 'j' || answer[0] == 'J' ||
                answer[0] == 'o' || answer[0] == 'O' || answer[0] == 's' || answer[0] == 'S');
    }
    void SetStatus(const std::u16string& text) override {
        if (text != m_last)
            std::cout << ce::ToUtf8(text) << std::endl;
        m_last = text;
    }
    void SetProgress(int, int) override {}

private:
    std::u16string m_last;
};

int RunBatch(const fs::path& dir, Language language) {
    CTerminalUi ui;
    CSystemClock clock;
    CConnectionWait wait(ui, language);
    CConnectionWait::State state = wait.Begin();
    while (state == CConnectionWait::State::Waiting) {
        clock.SleepMs(CConnectionWait::kTickMs);
        state = wait.Tick();
    }
    if (state != CConnectionWait::State::Connected)
        return 1;
    CInstaller installer(ui, clock, dir, language);
    switch (installer.Run()) {
        case InstallOutcome::Installed:
            return 0;
        case InstallOutcome::Unsupported:
            std::cerr << "install: the handheld's operating system is neither version 3 nor 4; "
                         "nothing was installed\n";
            return 1;
        default:
            return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool batch = false;
    std::string device, screenshot, page;
    Language language = kDefaultLanguage;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string name;
        if (a == "--batch") {
            batch = true;
        } else if (a == "--device") {
            if (!value(device))
                return Usage("--device needs a folder");
        } else if (a == "--language") {
            if (!value(name))
                return Usage("--language needs a name");
            std::optional<Language> l = ParseLanguage(name);
            if (!l)
                return Usage("unknown language \"" + name + "\"");
            language = *l;
        } else if (a == "--screenshot") {
            if (!value(screenshot))
                return Usage("--screenshot needs a file name");
        } else if (a == "--page") {
            if (!value(page))
                return Usage("--page needs a page name");
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            return Usage("unexpected \"" + a + "\"");
        }
    }
    if (!device.empty())
        ce::SetDeviceRoot(device);
    std::error_code ec;
    // The packages lie next to the installer.
    fs::path dir = fs::canonical("/proc/self/exe", ec).parent_path();
    if (ec)
        dir = fs::absolute(argv[0]).parent_path();
    if (batch) {
        if (!screenshot.empty() || !page.empty())
            return Usage("--screenshot and --page do not go with --batch");
        return RunBatch(dir, language);
    }
#ifdef KVO_INSTALL_WINDOW
    if (!page.empty() && (screenshot.empty() || !kvo::install::ui::IsScreenshotPage(page)))
        return Usage("--page names language, info, licence or wait, with --screenshot");
    return kvo::install::ui::RunWindow(argc, argv, dir, language, screenshot, page);
#else
    return Usage("this build has no window (Qt 6 was not found); use --batch");
#endif
}
