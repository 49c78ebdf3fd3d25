#include "telmio/contacts/address_book.h"

#include "kvocomm/kvocomm.h"
#include "platform/file.h"
#include "platform/trace.h"
#include "telmio/session/telmio_doc.h"

namespace kvo {
namespace {

const char16_t kLockBusy[] =
    u"Please first stop the Internet connection and try to synchronize again.";
const char16_t kPortFailed[] =
    u"Kommunikationsport konnte nicht ge\u00f6ffnet werden.\nKontrollieren Sie Ihr Handy und "
    u"Beenden Sie den SMS Client.";
const char16_t kConfigError[] = u"Error in configuration";
const char16_t kImeiError[] = u"Error checking IMEI";

}  // namespace

CAddressBook::CAddressBook(CTelmioDoc& doc, IUserInterface& ui) : m_doc(doc), m_ui(ui) {}

std::u16string CAddressBook::PhoneId() const {
    return m_doc.Settings().m_pb.m_strName;
}
uint32_t CAddressBook::Storages() const {
    return m_doc.Settings().m_pb.m_nStorages;
}
const std::u16string& CAddressBook::AppDir() const {
    return m_doc.AppDir();
}
std::u16string CAddressBook::PhonebookFile() const {
    return PhonebookPath(AppDir(), PhoneId());
}
std::u16string CAddressBook::GroupsFolder() const {
    return AppDir() + u"groups";
}

void CAddressBook::LoadPhonebook() {
    std::string error;
    if (!LoadPhonebookFile(PhonebookFile(), m_phonebook, &error) && ce::FileExists(PhonebookFile()))
        ce::Trace("phonebook file unreadable: " + error);
}

bool CAddressBook::SavePhonebook() {
    return SavePhonebookFile(PhonebookFile(), m_phonebook);
}

bool CAddressBook::Exchange(const std::string& command, std::u16string& reply, int timeout) {
    return m_doc.Comm().SendAndReceive(command.c_str(), reply, CKvoComm::MODE_PROMPT, timeout) != 0;
}

void CAddressBook::SwitchPhone(const std::u16string& serial) {
    if (PhoneId() != u"0") {
        SavePhonebook();
        m_phonebook.m_entries.clear();
        m_doc.Settings().m_pb.m_strName = serial;
        LoadPhonebook();
    }
    m_doc.Settings().m_pb.m_strName = serial;
    m_doc.Settings().SaveSettings();
    SavePhonebook();
}

bool CAddressBook::IdentifyPhone() {
    std::u16string serial;
    if (!Exchange("AT+CGSN", serial, 10))
        return false;
    // The engine hands the payload; a serial number never spans lines or carries blanks.
    serial = TrimWhite(serial);
    if (serial.empty() || serial.find_first_of(u"\\/:*?\"<>|\r\n") != std::u16string::npos)
        return false;
    if (serial != PhoneId())
        SwitchPhone(serial);
    return true;
}

std::u16string CAddressBook::SynchronizePhonebook() {
    ce::File lock = ce::File::Open(AppDir() + u"kvo.lock", ce::GENERIC_WRITE, ce::FILE_SHARE_NONE,
                                   ce::CREATE_ALWAYS);
    if (!lock) {
        m_ui.MessageBox(kLockBusy);
        return kPhonebookSyncFailed;
    }
    m_ui.SetStatus(u"Synchronizing...");
    CKvoComm& comm = m_doc.Comm();
    comm.StartSAR();
    bool ok = true;
    auto finish = [&](bool result) {
        comm.ClosePort();
        comm.StopSAR();
        m_ui.SetStatus(u"");
        m_doc.Errors().Take();  // the opening steps collect their own texts; ours are shown
        return result ? std::u16string(kSyncCompleted) : std::u16string(kPhonebookSyncFailed);
    };
    if (!m_doc.OpenPhone()) {
        m_ui.MessageBox(kPortFailed);
        return finish(false);
    }
    if (!m_doc.IdentifyPhone()) {
        m_ui.MessageBox(kConfigError);
        return finish(false);
    }
    CPhonebookReader reader(
        m_phonebook,
        [this](const std::string& c, std::u16string& r, int t) { return Exchange(c, r, t); },
        Storages());
    reader.m_nReadTimeout = m_nReadTimeout;
    if (!IdentifyPhone()) {
        m_ui.MessageBox(kImeiError);
        return finish(false);
    }
    if (!reader.SelectCharacterSet()) {
        ce::Trace(" AT+CSCS=\"GSM\" failed");
        return finish(false);
    }
    m_phonebook.m_nStorageCount = 0;
    const uint32_t flags[2] = {STORAGE_SIM, STORAGE_PHONE};
    for (int slot = 0; slot < 2; ++slot) {
        if (!(Storages() & flags[slot]))
            continue;
        if (!reader.SmartRead(flags[slot], slot))
            ok = false;
        if (!reader.Absent())
            ++m_phonebook.m_nStorageCount;
        if (!SavePhonebook())
            ok = false;
    }
    return finish(ok);
}

std::u16string CAddressBook::ResolveMember(const CGroupMember& member) const {
    std::u16string number;
    if (member.m_strSource == kContactsSource) {
        number = FindEntryNumber(m_contacts, member.m_strName, member.m_nId);
    } else if (member.m_strSource == PhoneId()) {
        number = FindEntryNumber(m_phonebook.m_entries, member.m_strName, member.m_nId);
    } else if (!member.m_strSource.empty() &&
               member.m_strSource.find_first_of(u"\\/:*?\"<>|") == std::u16string::npos) {
        // Another phone's phonebook, as it was stored when that phone was last attached.
        CPhonebook other;
        if (LoadPhonebookFile(PhonebookPath(AppDir(), member.m_strSource), other))
            number = FindEntryNumber(other.m_entries, member.m_strName, member.m_nId);
    }
    CleanNumber(number);
    return number;
}

bool CAddressBook::ExpandGroup(const std::u16string& name,
                               std::vector<std::u16string>& numbers) const {
    CGroupMemberList members;
    if (!ReadGroup(members, GroupPath(AppDir(), name)))
        return false;
    for (const auto& m : members) {
        std::u16string n = ResolveMember(*m);
        if (!n.empty())
            numbers.push_back(n);
    }
    return true;
}

}  // namespace kvo
