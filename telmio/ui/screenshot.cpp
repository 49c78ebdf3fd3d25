#include "telmio/ui/screenshot.h"

#include <QApplication>
#include <memory>

#include "telmio/contacts/groups.h"

#include "telmio/ui/folders_dlg.h"
#include "telmio/ui/groups_dlg.h"
#include "telmio/ui/phonebook_dlg.h"
#include "telmio/ui/select_contacts_dlg.h"
#include "telmio/ui/sms_service_dlg.h"
#include "telmio/ui/main_frame.h"
#include "telmio/ui/options_dlg.h"
#include "telmio/ui/select_number_dlg.h"
#include "telmio/ui/sms_editor.h"

namespace kvo::ui {

namespace {

// A sample message, so that the editor shows its counters at work.
const char kSampleText[] = "See you at the station at 7. Bring the tickets, please!";

// What a dialog works on that must outlive it.
struct DialogData {
    std::unique_ptr<CAddressBook> pBook;
    CBookList contacts;
};

std::unique_ptr<QWidget> MakeDialog(CMainFrame& frame, const std::string& name, CBoxUi& boxUi,
                                    DialogData& data, std::string& error) {
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
    if (name == "phonebook") return std::make_unique<CPhonebookDlg>(doc, &frame);
    if (name == "phonebook-entry") {
        // A new entry on the stored phonebook.
        data.pBook = std::make_unique<CAddressBook>(doc, boxUi);
        data.pBook->LoadPhonebook();
        auto dlg = std::make_unique<CPhonebookEntryDlg>(data.pBook->m_phonebook,
                                                        data.pBook->Storages(), nullptr, &frame);
        dlg->NameBox()->setText("Anna Miller");
        dlg->NumberBox()->setText("+491711234567");
        return dlg;
    }
    if (name == "select-contacts")
        return std::make_unique<CSelectContactsDlg>(data.contacts,
                                                    doc.Settings().m_pb.m_nStorages, &frame);
    if (name == "groups") return std::make_unique<CGroupsDlg>(doc, &frame);
    if (name == "define-group") {
        // The first group: the dialog stores its members when it goes, so a picture must
        // not make up a group of its own.
        data.pBook = std::make_unique<CAddressBook>(doc, boxUi);
        data.pBook->LoadPhonebook();
        LoadGroupNames(data.pBook->m_groups, data.pBook->GroupsFolder());
        if (data.pBook->m_groups.empty()) {
            error = "this device has no group to show (make one with Define SMS Groups)";
            return nullptr;
        }
        return std::make_unique<CDefineGroupDlg>(*data.pBook,
                                                 data.pBook->m_groups.front().m_strName, &frame);
    }
    if (name == "sms-service") {
        if (!doc.HasSmsService()) {
            error = "this device has no SMS services (\\windows\\smsinfo.dat)";
            return nullptr;
        }
        return std::make_unique<CSmsServiceDlg>(doc, &frame);
    }
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
    DialogData data;
    std::unique_ptr<QWidget> dlg = MakeDialog(frame, dialog, boxUi, data, error);
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
