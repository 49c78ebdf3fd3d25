#include "telmio/ui/screenshot.h"

#include <QApplication>
#include <memory>

#include "telmio/ui/folders_dlg.h"
#include "telmio/ui/main_frame.h"
#include "telmio/ui/options_dlg.h"
#include "telmio/ui/select_number_dlg.h"
#include "telmio/ui/sms_editor.h"

namespace kvo::ui {

namespace {

// A sample message, so that the editor shows its counters at work.
const char kSampleText[] = "See you at the station at 7. Bring the tickets, please!";

std::unique_ptr<QWidget> MakeDialog(CMainFrame& frame, const std::string& name,
                                    CBoxUi& boxUi, std::string& error) {
    CTelmioDoc& doc = frame.Doc();
    if (name == "editor") {
        auto dlg = std::make_unique<CSmsEditorDlg>(doc, EDIT_NEW, nullptr, &frame);
        dlg->SetRecipients("+491711234567");
        dlg->SetText(kSampleText);
        return dlg;
    }
    if (name == "options") return std::make_unique<COptionsDlg>(doc, boxUi, &frame);
    if (name == "folders") return std::make_unique<CFoldersDlg>(doc.Store(), boxUi, &frame);
    if (name == "select-number") return std::make_unique<CSelectNumberDlg>(doc, &frame);
    error = "the dialog \"" + name + "\" is not part of this build";
    return nullptr;
}

}  // namespace

const std::vector<std::string>& ScreenshotDialogs() {
    static const std::vector<std::string> names = {
        "editor", "options", "folders", "phonebook", "phonebook-entry", "select-number",
        "select-contacts", "groups", "define-group", "sms-service"};
    return names;
}

bool IsScreenshotDialog(const std::string& name) {
    for (const auto& n : ScreenshotDialogs())
        if (n == name) return true;
    return false;
}

bool GrabWindow(CMainFrame& frame, const std::string& folder, const std::string& dialog,
                QPixmap& out, std::string& error) {
    if (!folder.empty() && !frame.SelectFolder(QString::fromStdString(folder))) {
        error = "no folder \"" + folder + "\" in the drop-down";
        return false;
    }
    frame.show();
    QApplication::processEvents();
    if (dialog.empty()) {
        out = frame.grab();
        return true;
    }
    CBoxUi boxUi(&frame);
    std::unique_ptr<QWidget> dlg = MakeDialog(frame, dialog, boxUi, error);
    if (!dlg) return false;
    dlg->show();
    QApplication::processEvents();
    out = dlg->grab();
    return true;
}

bool WriteScreenshot(CMainFrame& frame, const std::string& folder, const std::string& dialog,
                     const std::string& file, std::string& error) {
    QPixmap pm;
    if (!GrabWindow(frame, folder, dialog, pm, error)) return false;
    if (!pm.save(QString::fromStdString(file), "PNG")) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

}  // namespace kvo::ui
