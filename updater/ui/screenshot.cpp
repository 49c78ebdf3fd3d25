#include "updater/ui/screenshot.h"

#include <QApplication>

#include "updater/core/updater_texts.h"
#include "updater/ui/main_frame.h"

namespace kvo::updater::ui {
namespace {

// What a check of the suite typically offers.
CItemList SampleList() {
    CItemList list;
    list.groups = {{u"Program Files", KIND_BIN, true, 412 * 1024},
                   {u"Connection database", KIND_CFG, true, 96 * 1024},
                   {u"Help pages", KIND_USR, false, 0}};
    for (int g = 0; g < 3; ++g) {
        CDownloadItem item;
        item.nGroup = g;
        list.items.push_back(item);
    }
    return list;
}

}  // namespace

const std::vector<std::string>& ScreenshotViews() {
    static const std::vector<std::string> names = {
        "main", "files",      "error", "app-running", "no-updates",
        "done", "done-reset", "wait",  "progress",    "install"};
    return names;
}

bool GrabView(CMainFrame& frame, const std::string& view, QPixmap& out, std::string& error) {
    frame.show();
    CWorkDlg* dlg = frame.WorkDlg();
    if (view == "main") {
        frame.ShowEnd(UpdaterEnd::Cancelled);
    } else if (view == "files") {
        CItemList list = SampleList();
        frame.FilesView()->Fill(list, 508 * 1024);
        frame.ShowView(frame.FilesView());
    } else if (view == "error") {
        frame.ShowEnd(UpdaterEnd::Error);
        frame.ErrorView()->SetText(QString::fromUtf16(LoadText(IDS_NO_SERVER).c_str()));
    } else if (view == "app-running") {
        frame.ShowEnd(UpdaterEnd::AppRunning);
    } else if (view == "no-updates") {
        frame.ShowEnd(UpdaterEnd::NoUpdates);
    } else if (view == "done" || view == "done-reset") {
        frame.ShowEnd(UpdaterEnd::Done);
        bool reset = view == "done-reset";
        frame.DoneView()->SetText(
            QString::fromUtf16(LoadText(reset ? IDS_UPDATED_RESET : IDS_UPDATED).c_str()));
        frame.DoneView()->SecondButton()->setVisible(reset);
    } else if (view == "wait" || view == "progress" || view == "install") {
        frame.ShowEnd(UpdaterEnd::Cancelled);
        dlg->SetMode(view == "wait"       ? CWorkDlg::WAIT
                     : view == "progress" ? CWorkDlg::PROGRESS
                                          : CWorkDlg::INSTALL);
        if (view == "progress") {
            dlg->SetProduct(frame.MainView()->Product()->text());
            dlg->SetStatus("Download: Program Files");
            dlg->SetPercent(40);
        }
        dlg->show();
        QApplication::processEvents();
        out = dlg->grab();
        return true;
    } else {
        error = "unknown view \"" + view + "\"";
        return false;
    }
    QApplication::processEvents();
    out = frame.grab();
    return true;
}

bool WriteScreenshot(CMainFrame& frame, const std::string& view, const std::string& file,
                     std::string& error) {
    QPixmap pm;
    if (!GrabView(frame, view, pm, error))
        return false;
    if (!pm.save(QString::fromStdString(file), "PNG")) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

}  // namespace kvo::updater::ui
