// cardhook: the contacts application's "new message" command. It hands the chosen contact's
// mobile number to telmio through the hand-over file and starts telmio.
#include <string>

#include "common/binio.h"
#include "common/install_dir.h"
#include "common/stored_string.h"
#include "platform/contacts.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/pim_command.h"
#include "platform/process.h"

namespace {

constexpr char16_t kNoMobile[] = u"Aucun numéro de téléphone mobile défini.";

void Error(const char16_t* text) {
    ce::MessageBox(nullptr, text, u"Error", ce::MB_OK);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) ce::HRESULT CePimCommand(ce::HWND, uint32_t,
                                                                           uint32_t count,
                                                                           const uint32_t* oids,
                                                                           void*) {
    if (count == 0)
        return ce::S_OK;
    if (!oids)
        return ce::E_INVALIDARG;
    const std::u16string dir = kvo::GetInstallDir();

    ce::ContactsFolder folder;
    if (!folder.Logon()) {
        Error(u"Logon failed");
        folder.Logoff();
        return ce::E_FAIL;
    }
    // The contacts application may pass several; the command acts on the first.
    const ce::ContactItem* contact = folder.GetItemFromOid(oids[0]);
    if (!contact) {
        Error(u"Get contacts item failed");
        folder.Logoff();
        return ce::E_FAIL;
    }
    const std::u16string number = contact->MobileTelephoneNumber;
    folder.Logoff();
    if (number.empty()) {
        ce::MessageBox(nullptr, kNoMobile, u"", ce::MB_OK | ce::MB_ICONEXCLAMATION);
        return ce::S_OK;
    }
    // As stored: telmio cleans the number when it reads the file.
    kvo::MemWriter w;
    kvo::WriteStoredString(w, number);
    ce::File f = ce::File::Create(dir + u"newsms.tmp");
    if (!f || !f.Write(w.Bytes()))
        return ce::E_FAIL;
    f.Close();
    ce::CreateProcess(dir + u"telmio.exe", u"");
    return ce::S_OK;
}
