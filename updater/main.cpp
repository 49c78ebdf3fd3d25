// updater: checks a product's files against the update server and brings them up to date.
// Without options it opens its window; --batch runs the check (and with --yes the update) on
// the terminal, one line per text the window would show.
#include <cstdio>
#include <iostream>

#include "common/user_interface.h"
#include "platform/text.h"
#include "updater/core/program_location.h"
#include "updater/core/updater_doc.h"
#include "updater/core/updater_texts.h"
#ifdef KVO_UPDATER_WINDOW
#include "updater/ui/run_window.h"
#endif

namespace {

using namespace kvo::updater;

class CTerminalUi : public kvo::CSilentUi {
public:
    void SetStatus(const std::u16string& text) override { Print(text); }
    static void Print(std::u16string_view text) { std::cout << ce::ToUtf8(text) << std::endl; }
};

int Usage() {
    std::cerr << "usage: updater /app=TAG \"/path=DIR\"\n"
                 "       updater --batch [--yes] /app=TAG \"/path=DIR\"\n"
                 "       updater --screenshot FILE.png [--view NAME] [/app=TAG \"/path=DIR\"]\n"
                 "  --batch       checks without a window; --yes also updates\n"
                 "  --screenshot  draws a view offscreen into FILE.png and ends\n"
                 "  --view        main, files, error, app-running, no-updates, done, done-reset,\n"
                 "                wait, progress or install\n";
    return 2;
}

int Failed(const CUpdaterDoc& doc) {
    CTerminalUi::Print(doc.Message());
    if (!doc.Detail().empty())
        std::cerr << "updater: " << doc.Detail() << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::u16string line = JoinCommandLine(argc, argv);
    bool batch = false, yes = false;
    std::string screenshot, view;
    for (;;) {
        size_t end = line.find(u' ');
        std::u16string_view word = std::u16string_view(line).substr(0, end);
        std::u16string value;
        if (word == u"--screenshot" || word == u"--view") {
            size_t next = end == std::u16string::npos ? end : line.find(u' ', end + 1);
            if (end == std::u16string::npos) {
                std::cerr << "updater: " << ce::ToUtf8(word) << " needs a value\n";
                return Usage();
            }
            value = line.substr(end + 1, next == std::u16string::npos ? next : next - end - 1);
            (word == u"--view" ? view : screenshot) = ce::ToUtf8(value);
            end = next;
        } else if (word == u"--batch") {
            batch = true;
        } else if (word == u"--yes") {
            yes = true;
        } else if (word == u"--help" || word == u"-h") {
            Usage();
            return 0;
        } else {
            break;
        }
        line.erase(0, end == std::u16string::npos ? line.size() : end + 1);
    }
    if (!batch) {
        if (yes) {
            std::cerr << "updater: --yes goes with --batch\n";
            return Usage();
        }
#ifdef KVO_UPDATER_WINDOW
        if (!view.empty() && !kvo::updater::ui::IsScreenshotView(view)) {
            std::cerr << "updater: unknown view \"" << view << "\"\n";
            return Usage();
        }
        if (!view.empty() && screenshot.empty()) {
            std::cerr << "updater: --view goes with --screenshot\n";
            return Usage();
        }
        return kvo::updater::ui::RunWindow(argc, argv, ProgramFolder(argv[0]), line, screenshot,
                                           view);
#else
        std::cerr << "updater: this build has no window (Qt 6 was not found); run it with "
                     "--batch\n";
        return 2;
#endif
    }
    CTerminalUi ui;
    CUpdaterDoc doc(ui);
    doc.m_nSelfUpdatePauseMs = 0;  // nobody needs time to read a terminal line
    std::string error;
    if (!doc.StartUp(ProgramFolder(argv[0]), line, error)) {
        std::cerr << "updater: " << error << "\n";
        return doc.AnotherRunning() ? 1 : Usage();
    }
    switch (doc.Check()) {
        case UpdaterEnd::Error:
            return Failed(doc);
        case UpdaterEnd::Cancelled:
            return 1;
        case UpdaterEnd::AppRunning:
            CTerminalUi::Print(kAppRunningText);
            return 1;
        case UpdaterEnd::NoUpdates:
            CTerminalUi::Print(kNoUpdatesText);
            return 0;
        case UpdaterEnd::SelfUpdate:
            if (!yes) {
                std::cerr << "updater: run with --yes to install the new updater\n";
                return 0;
            }
            // The restarted updater goes on in batch mode with the product from "self.tmp".
            if (doc.SelfUpdate(u"--batch --yes") != UpdaterEnd::Done)
                return Failed(doc);
            return 0;
        case UpdaterEnd::FilesAvailable:
            break;
        case UpdaterEnd::Done:
            return 0;
    }
    const CItemList& list = doc.Items();
    for (size_t g = 0; g < list.groups.size(); ++g) {
        bool any = false;
        for (const CDownloadItem& item : list.items) any = any || item.nGroup == int(g);
        if (any)
            std::cout << ce::ToUtf8(list.groups[g].strLabel) << "\t" << list.groups[g].nTotal / 1024
                      << " kb\n";
    }
    std::cout << ce::ToUtf8(kTotalSizeText) << " " << doc.TotalSize() / 1024 << " kb" << std::endl;
    if (!yes)
        return 0;
    if (doc.Update() != UpdaterEnd::Done)
        return Failed(doc);
    CTerminalUi::Print(doc.Message());
    return 0;
}
