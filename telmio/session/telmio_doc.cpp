#include "telmio_doc.h"

#include <algorithm>
#include <cstdio>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "connect/data/data_conversions.h"
#include "connect/data/data_reader.h"
#include "connect/data/identification.h"
#include "common/recipients.h"
#include "kvocomm/kvocomm.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/text.h"
#include "telmio/session/handoff.h"
#include "telmio/sms/cmgl_listing.h"
#include "telmio/sms/sms_pdu.h"
#include "telmio/sms/sms_rejoin.h"

namespace kvo {
namespace {

const char16_t kNoPort[] =
    u"Unknown connection method\nMove into setup an choose for Hardware 'Generic IrDA-modem'.";
const char16_t kCannotOpen[] =
    u"No connection to mobile phone possible. Close an open internet connection and try to "
    u"synchronize again.";
const char16_t kNoConnection[] =
    u"There is no connection possible to your device. Please check the 'Hardware' settings in "
    u"setup and try again.";
const char16_t kPhoneNotFound[] = u"Mobile Phone not found in database.";
const char16_t kUnknownIsp[] = u"Unknown ISP.";
const char16_t kLockHeld[] = u"Please first stop the Internet connection and try to synchronize again.";
const char16_t kSyncFailed[] = u"Synchronization failed.";
const char16_t kCommError[] = u"Error during communication with mobile phone.";
const char16_t kReadError[] = u"Error reading datafile.";
const char16_t kSaveFailed[] = u"Save failed.";
const char16_t kCannotCreate[] = u"Can not create SMS message";

std::string Format(const char* fmt, int value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, value);
    return buf;
}

bool SameState(int32_t a, int32_t b) {
    if (a == b) return true;
    if (a == SMS_DELETED || b == SMS_DELETED || a == SMS_USER_FOLDER || b == SMS_USER_FOLDER)
        return true;
    // A part already joined into its long message is still the message in that slot.
    if (a == SMS_JOINED_PART || b == SMS_JOINED_PART)
        return true;
    return (a == SMS_UNREAD && b == SMS_READ) || (a == SMS_READ && b == SMS_UNREAD);
}

// A message the user wrote, not on the phone.
std::unique_ptr<CSmsMessage> NewMessage(int32_t state, const std::u16string& number,
                                        const std::u16string& text, bool bFlash) {
    auto msg = std::make_unique<CSmsMessage>();
    msg->m_nState = state;
    msg->m_strNumber = number;
    msg->m_strText = text;
    msg->m_time = ce::OleDate::FromSystemTime(ce::GetLocalTime());
    msg->m_bFlash = bFlash;
    return msg;
}

// Holds "kvo.lock" for the life of a session.
ce::File TakeSessionLock(const std::u16string& appDir) {
    return ce::File::Open(appDir + u"kvo.lock", ce::GENERIC_WRITE, ce::FILE_SHARE_NONE,
                          ce::CREATE_ALWAYS);
}

}  // namespace

CTelmioDoc::CTelmioDoc(IUserInterface& ui, std::u16string appDir, CKvoComm* comm)
    : m_ui(ui),
      m_strAppDir(appDir.empty() ? GetInstallDir() : std::move(appDir)),
      m_comm(comm ? *comm : GetKvoComm()),
      m_settings(m_strAppDir),
      m_store(ui, m_strAppDir),
      m_phone(connect::DefaultPhoneModel()) {}

CTelmioDoc::~CTelmioDoc() { StopAutoSync(); }

bool CTelmioDoc::OnNewDocument(bool bAllowAutoSync) {
    const int steps = 4;
    m_ui.SetStatus(u"Load Settings");
    // Settings that could not be read are no defaults: a session on them would use the wrong
    // port, centre and deletion rule.
    if (!m_settings.LoadSettings() && m_settings.State() == SettingsState::unreadable) {
        m_ui.MessageBox(ce::FromUtf8(m_settings.Error()));
        return false;
    }
    m_ui.SetProgress(1, steps);

    m_ui.SetStatus(u"Load SMS Messages");
    {
        std::lock_guard lock(m_storeMutex);
        m_store.LoadStore();
    }
    m_ui.SetProgress(2, steps);

    m_ui.SetStatus(u"Initialisation...");
    connect::CDataLoadResult data =
        connect::LoadConnectionData(m_data, connect::EDataReader::Telmio, m_strAppDir);
    if (!data.Ok() && !data.Message().empty()) m_ui.MessageBox(data.Message());
    SmsInfoResult info = LoadSmsInfo(m_smsInfo);
    m_bSmsInfo = info == SmsInfoResult::loaded;
    if (info == SmsInfoResult::corrupted) m_ui.MessageBox(kSmsInfoCorrupted);
    m_ui.SetProgress(3, steps);

    if (!EnumerateModemDevices(m_ui, m_devices)) return false;
    m_ui.SetProgress(4, steps);
    if (bAllowAutoSync && m_settings.m_ini.m_bAutoSync) StartAutoSync();
    m_ui.SetStatus(u"");
    return true;
}

// --- opening and identifying ---------------------------------------------------------------

bool CTelmioDoc::Exchange(const std::string& command, std::u16string& reply, int mode,
                          int timeout) {
    return m_comm.SendAndReceive(command.c_str(), reply, mode, timeout) != 0;
}

bool CTelmioDoc::OpenPhone() {
    PortChoice port = ChoosePort(m_settings.m_bUserPort, m_settings.m_strUserPort,
                                 m_settings.m_ini.m_strModemDevice, m_devices);
    m_nBaudRate = 9600;
    m_nParity = 0;
    m_nDataBits = 8;
    m_nStopBits = 0;
    if (port.strPort.empty()) {
        m_ui.MessageBox(kNoPort);
        return false;
    }
    if (!m_comm.OpenPort(port.strPort)) {
        {
            std::lock_guard lock(m_portMutex);
            m_portProblem = {port.strPort, ce::GetLastError()};
        }
        AddError(kCannotOpen);
        return false;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_comm.SetParams(m_nBaudRate, m_nParity, m_nDataBits, m_nStopBits);
        std::u16string reply;
        if (Exchange("AT", reply) && reply.empty()) {
            PreparePhone();
            return true;
        }
    }
    AddError(kNoConnection);
    return false;
}

void CTelmioDoc::PreparePhone() {
    // Another phone may be attached now: it gets its own chance to list.
    m_bListing = true;
    // Another program may have left the phone in text mode or in UCS2; every message and
    // operator exchange here expects PDU mode and plain text. Phones that refuse either
    // command work without it.
    std::u16string ignored;
    Exchange("AT+CMGF=0", ignored);
    Exchange("AT+CSCS=\"GSM\"", ignored);
    // Just after power-on or the PIN many phones answer "SIM busy" for some seconds.
    constexpr int kSimBusyTries = 30;
    for (int attempt = 0; attempt < kSimBusyTries; ++attempt) {
        std::u16string reply;
        if (!Exchange("AT+CPMS?", reply)) return;
        std::u16string error = m_comm.LastErrorReply();
        bool busy = error.find(u"+CMS ERROR: 314") != std::u16string::npos ||
                    error.find(u"+CME ERROR: 14") != std::u16string::npos ||
                    error.find(u"SIM busy") != std::u16string::npos;
        if (!busy) return;
        ce::Sleep(500);
    }
}

bool CTelmioDoc::IdentifyPhone() {
    const CKvoIni& ini = m_settings.m_ini;
    bool storedPhone = !ini.m_strPhoneModel.empty();
    bool storedOperator = !ini.m_strOperator.empty();
    std::u16string maker, model;
    if (!(storedPhone && storedOperator && !m_settings.m_bUserPort)) {
        bool good = false;
        for (int attempt = 0; attempt < 3 && !good; ++attempt) {
            std::u16string reply;
            if (!Exchange("AT", reply) || !reply.empty()) continue;
            if (!storedPhone && !(Exchange("AT+CGMI", maker) && Exchange("AT+CGMM", model)))
                continue;
            if (!storedOperator && !ini.m_bOwnCentre) {
                std::u16string r;
                if (Exchange("AT+COPS?", r)) m_strCopsReply = r;
                if (Exchange("AT+CSCA?", r)) m_strCscaReply = r;
            }
            good = true;
        }
        if (!good) {
            m_comm.ClosePort();
            AddError(kNoConnection);
            return false;
        }
    }
    if (storedPhone) {
        const connect::CPhoneModel* p = m_data.FindPhoneByName(ini.m_strPhoneModel);
        if (!p) {
            AddError(kPhoneNotFound);
            return false;
        }
        m_phone = *p;
    } else {
        const connect::CPhoneModel* p =
            connect::IdentifyPhone(m_data, maker, model, connect::EDataReader::Telmio);
        m_phone = p ? *p : connect::DefaultPhoneModel();
    }
    return IdentifyOperator();
}

bool CTelmioDoc::IdentifyOperator() {
    const CKvoIni& ini = m_settings.m_ini;
    if (ini.m_bOwnCentre) {
        m_strCentre = ini.m_strCentreNumber;
        return true;
    }
    const connect::CIspEntry* isp = nullptr;
    if (!ini.m_strOperator.empty()) {
        isp = m_data.FindIspByName(ini.m_strOperator);
    } else {
        switch (connect::IdentifyOperator(m_data, m_strCopsReply, m_strCscaReply,
                                          connect::EDataReader::Telmio, &isp)) {
        case connect::EOperatorResult::Found: break;
        case connect::EOperatorResult::NoReplies:
            m_ui.MessageBox(u"ISP autodetect failed.");
            break;
        case connect::EOperatorResult::NotFound:
            m_ui.MessageBox(u"Detected ISP not found in database");
            break;
        }
    }
    if (!isp) {
        AddError(kUnknownIsp);
        return false;
    }
    m_operator = *isp;
    m_strCentre = isp->m_strSmsCentre;
    return true;
}

// --- sending ---------------------------------------------------------------------------------

int CTelmioDoc::BuildPart(const std::u16string& number, const std::u16string& text,
                          bool bFlash, std::string& hex) const {
    CSmsPdu pdu;
    if (!pdu.FitsGsm(text))
        return pdu.EncodeSubmitUcs2(hex, text, Narrow(number), Narrow(m_strCentre), bFlash);
    std::u16string gsm = text;
    pdu.UnicodeToSeptets(gsm);
    return pdu.EncodeSubmit(hex, Narrow(gsm), Narrow(number), Narrow(m_strCentre), bFlash);
}

bool CTelmioDoc::CanSend(const std::u16string& number, const std::u16string& text,
                         bool bFlash) const {
    std::string hex;
    for (const auto& part : SplitMessage(text))
        if (BuildPart(number, part, bFlash, hex) < 0) return false;
    return true;
}

bool CTelmioDoc::SendPart(const std::string& hex, int length) {
    std::u16string reply;
    if (!Exchange(Format("AT+CMGS=%i", length), reply) || reply != u">") return false;
    if (!Exchange(hex + '\x1a', reply, 1, 15) || reply.find(u"CMGS") == std::u16string::npos) {
        AddError(u"Error sending. Message not sent.");
        return false;
    }
    return true;
}

bool CTelmioDoc::SendMessage(const std::u16string& number, const std::u16string& text,
                             bool bFlash) {
    // Every part is built before the first goes out: a part that cannot be built (from the
    // 100th part on the header makes it longer than 160 characters) would otherwise leave
    // the message half sent, and the next session would send and bill the same parts again.
    std::vector<std::pair<std::string, int>> parts;
    for (const auto& part : SplitMessage(text)) {
        std::string hex;
        int length = BuildPart(number, part, bFlash, hex);
        if (length < 0) {
            AddError(kCannotCreate);
            return false;
        }
        parts.emplace_back(std::move(hex), length);
    }
    for (const auto& [hex, length] : parts)
        if (!SendPart(hex, length)) return false;
    return true;
}

int CTelmioDoc::QueueMessage(const std::u16string& recipients, const std::u16string& text,
                             bool bFlash) {
    int queued = 0;
    std::lock_guard lock(m_storeMutex);
    for (const auto& number : SplitRecipients(recipients)) {
        if (!CanSend(number, text, bFlash)) {
            m_ui.MessageBox(kCannotCreate);
            continue;
        }
        CSmsMessage& msg = m_store.AddMessage(
            NewMessage(bFlash ? SMS_OUTBOX_FLASH : SMS_OUTBOX, number, text, bFlash));
        if (msg.m_nFilePos >= 0) ++queued;
    }
    return queued;
}

std::u16string CTelmioDoc::SendNow(const std::u16string& recipients, const std::u16string& text,
                                   bool bFlash) {
    bool ok = m_store.Loaded();
    if (!ok) AddError(kReadError);
    for (const auto& number : ok ? SplitRecipients(recipients) : std::vector<std::u16string>{}) {
        ce::File lock = TakeSessionLock(m_strAppDir);
        if (!lock) {
            m_ui.MessageBox(kLockHeld);
            ok = false;
            break;
        }
        m_comm.StartSAR();
        if (!OpenPhone()) {
            m_comm.StopSAR();
            m_comm.ClosePort();
            ok = false;
            break;
        }
        bool sent = SendMessage(number, text, bFlash);
        m_comm.ClosePort();
        m_comm.StopSAR();
        if (!sent) {
            ok = false;
            break;
        }
        std::lock_guard guard(m_storeMutex);
        // Sent either way; a record that could not be written is said, not hidden.
        if (m_store.AddMessage(NewMessage(SMS_SENT, number, text, bFlash)).m_nFilePos < 0)
            AddError(kSaveFailed);
    }
    return ok ? u"SMS was sent successfully."
              : u"Error during sending SMS\nPlease close an active internet connection and try again.";
}

// --- reading and deleting --------------------------------------------------------------------

bool CTelmioDoc::SelectStorage(const char* storage, std::u16string& reply) {
    return Exchange(std::string("AT+CPMS=\"") + storage + "\"", reply);
}

bool CTelmioDoc::StorageSize(const std::u16string& reply, int& count) {
    // "+CPMS:3,20", four numbers or six: only the first storage's pair counts.
    int used = 0;
    if (!ParseCpmsCounts(reply, used, count)) {
        AddError(u"Bad response from device -5-");
        return false;
    }
    if (count == 0) count = m_phone.m_nMemoryFallback;
    if (count <= 0) {
        AddError(u"Can not get phone's memory size.");
        return false;
    }
    return true;
}

bool CTelmioDoc::ListStorage(int used, int count, std::vector<CListedSlot>& listed) {
    listed.clear();
    if (!m_bListing)
        return false;
    // The listing arrives at line speed: a full PDU line takes some 0.4 s at 9600 baud. No
    // real storage holds more than 1000 messages, whatever a damaged count says.
    const int timeout = 10 + std::min(used, 1000) * 2 / 5;
    std::u16string reply;
    bool answered = Exchange("AT+CMGL=4", reply, 0, timeout);
    bool refused = answered && !m_comm.LastErrorReply().empty();
    bool ok = answered && !refused && ParseCmglListing(reply, listed) &&
              static_cast<int>(listed.size()) >= used;
    for (const CListedSlot& slot : listed)
        ok = ok && slot.m_nIndex <= count;
    if (!ok && !refused) {
        // A listing cut short may still be arriving: the rest must not become the replies
        // of the slot reads, where each would be taken for the next slot's.
        m_comm.SetParams(m_nBaudRate, m_nParity, m_nDataBits, m_nStopBits);
    }
    if (!ok) {
        // A phone that refuses or garbles one listing does so for the other storage too.
        m_bListing = false;
        listed.clear();
        return false;
    }
    // The order of the slot-by-slot read: 1 upwards, a slot 0 last.
    std::stable_sort(listed.begin(), listed.end(), [](const CListedSlot& a, const CListedSlot& b) {
        return (a.m_nIndex == 0 ? kMaxListedIndex + 1 : a.m_nIndex) <
               (b.m_nIndex == 0 ? kMaxListedIndex + 1 : b.m_nIndex);
    });
    return true;
}

bool CTelmioDoc::TakeSlot(const char* storage, int index, const std::u16string& slot,
                          bool bDeleteAfter) {
    if (slot.empty())
        return false;
    bool stored, found;
    {
        std::lock_guard lock(m_storeMutex);
        m_bStoreEachImport = bDeleteAfter;
        m_bSlotStored = false;
        CSmsPdu pdu;
        int parsed = pdu.ParseCmgrReply(slot, Widen(storage), index, CMGR_IMPORT, this, nullptr);
        found = parsed != CMGR_EMPTY_SLOT && parsed != CMGR_NOT_CMGR;
        m_bStoreEachImport = false;
        stored = m_bSlotStored;
    }
    // A slot is deleted only once its message is durably in the store: a read that fails
    // later, or a kill, must not lose what is already gone from the phone. A slot whose
    // message is not imported (a stored unsent one, one that does not parse) stays on the
    // phone.
    if (bDeleteAfter && stored) {
        std::u16string ignored;
        Exchange(Format("AT+CMGD=%i", index), ignored);
    }
    return found;
}

bool CTelmioDoc::ReadAll(bool bShowProgress, bool bDeleteAfter) {
    for (const char* storage : {"ME", "SM"}) {
        std::u16string reply;
        if (!SelectStorage(storage, reply)) {
            AddError(kCommError);
            m_comm.ClosePort();
            return false;
        }
        if (reply.substr(0, 6) != u"+CPMS:") {
            if (std::string(storage) == "SM") break;
            continue;
        }
        int count = 0, used = 0, found = 0, total = 0;
        if (!StorageSize(reply, count)) return false;
        ParseCpmsCounts(reply, used, total);
        // One listing instead of a round trip per slot, where the phone lists all it holds.
        std::vector<CListedSlot> listed;
        if (ListStorage(used, count, listed)) {
            if (bShowProgress) m_ui.SetProgress(0, static_cast<int>(listed.size()));
            int done = 0;
            for (const CListedSlot& slot : listed) {
                if (bShowProgress) m_ui.SetProgress(++done, static_cast<int>(listed.size()));
                TakeSlot(storage, slot.m_nIndex, slot.m_strReply, bDeleteAfter);
            }
            continue;
        }
        if (bShowProgress) m_ui.SetProgress(0, count);
        for (int n = 1; n <= count + 1; ++n) {
            // Phones that number their slots from 0: slot 0 comes last, read only when the
            // slots 1..count held fewer messages than the phone reported.
            if (n > count && found >= used) break;
            const int i = n <= count ? n : 0;
            if (bShowProgress) m_ui.SetProgress(i, count);
            std::u16string slot;
            if (!Exchange(Format("AT+CMGR=%i", i), slot)) {
                AddError(kCommError);
                m_comm.ClosePort();
                return false;
            }
            if (TakeSlot(storage, i, slot, bDeleteAfter)) ++found;
        }
    }
    {
        // Long messages whose parts have all arrived, in this read or earlier ones.
        std::lock_guard lock(m_storeMutex);
        for (CSmsMessage* m : RejoinParts(m_store.Messages()))
            if (bDeleteAfter && !m_store.WriteMessage(*m)) AddError(kSaveFailed);
    }
    if (bShowProgress) m_ui.SetProgress(0, 0);
    return true;
}

void CTelmioDoc::ImportMessage(const std::u16string& number, const std::string& timestamp,
                               const std::u16string& text, char status,
                               const std::u16string& storage, int index) {
    ImportPart(number, timestamp, text, status, storage, index, CSmsPart{});
}

void CTelmioDoc::ImportPart(const std::u16string& number, const std::string& timestamp,
                            const std::u16string& text, char status,
                            const std::u16string& storage, int index, const CSmsPart& part) {
    auto msg = std::make_unique<CSmsMessage>();
    msg->m_part = part;
    msg->m_nState = StateFromStatus(status);
    msg->m_strNumber = number;
    msg->m_strText = text;
    msg->m_time = TimeFromStamp(timestamp);
    msg->m_nStorage = StorageCode(storage);
    msg->m_nIndex = index;
    std::lock_guard lock(m_storeMutex);
    for (const auto& m : m_store.Messages()) {
        if (m->m_nStorage != STORAGE_NONE && m->m_strNumber == msg->m_strNumber &&
            m->m_strText == msg->m_strText && m->m_nStorage == msg->m_nStorage &&
            m->m_nIndex == msg->m_nIndex && SameState(m->m_nState, msg->m_nState)) {
            if (m_bStoreEachImport)
                m_bSlotStored = m->m_nFilePos >= 0 || m_store.WriteMessage(*m);
            return;
        }
    }
    // Its record is written with the store at the end of the session, or now when the
    // phone's copy is about to be deleted.
    CSmsMessage& added = *m_store.Messages().emplace_back(std::move(msg));
    if (m_bStoreEachImport) {
        m_bSlotStored = m_store.WriteMessage(added);
        if (!m_bSlotStored) AddError(kSaveFailed);
    }
}

bool CTelmioDoc::DeleteOnPhone(CSmsMessage& msg) {
    const char* storage = msg.m_nStorage == STORAGE_SM ? "SM" : "ME";
    bool error = false;
    bool same = false;
    std::u16string reply;
    if (!SelectStorage(storage, reply)) {
        AddError(u"Error reading from mobile phone");
        error = true;
    } else if (!Exchange(Format("AT+CMGR=%i", msg.m_nIndex), reply)) {
        error = true;
    } else if (!reply.empty()) {
        CSmsPdu pdu;
        CSmsMessage onPhone;
        if (pdu.ParseCmgrReply(reply, Widen(storage), msg.m_nIndex, CMGR_COMPARE, nullptr,
                               &onPhone) == CMGR_DONE)
            same = onPhone.m_strNumber == msg.m_strNumber && onPhone.m_strText == msg.m_strText &&
                   onPhone.m_nStorage == msg.m_nStorage && onPhone.m_nIndex == msg.m_nIndex;
    }
    bool deleted = true;
    if (same) {
        deleted = SelectStorage(storage, reply) &&
                  Exchange(Format("AT+CMGD=%i", msg.m_nIndex), reply);
    }
    std::lock_guard lock(m_storeMutex);
    // A part's copy stood for the long message the user deleted: it leaves no trace.
    msg.m_nState = msg.m_part.IsPart() && msg.m_part.m_nSeq > 0 ? SMS_PURGED : SMS_DELETED;
    if (!m_store.WriteMessage(msg)) AddError(kSaveFailed);
    return !error && deleted;
}

bool CTelmioDoc::DeleteAllInStorage(const char* storage) {
    std::u16string reply;
    if (!SelectStorage(storage, reply)) {
        AddError(kCommError);
        return false;
    }
    if (reply.substr(0, 6) != u"+CPMS:") return true;
    int count = 0;
    if (!StorageSize(reply, count)) return false;
    for (int i = 1; i <= count; ++i) {
        if (!Exchange(Format("AT+CMGD=%i", i), reply)) {
            AddError(kCommError);
            return false;
        }
    }
    return true;
}

void CTelmioDoc::RequestDeleteAll(bool bSim) { (bSim ? m_bDeleteAllSim : m_bDeleteAllPhone) = true; }

bool CTelmioDoc::DeleteMessage(CSmsMessage& msg, int where) {
    std::lock_guard lock(m_storeMutex);
    bool ok = true;
    if (where == 1 || where == 2) {
        // A long message lives in the slots of its parts: each gets its copy.
        std::vector<CSmsMessage*> slots = PartsOf(m_store.Messages(), msg);
        if (slots.empty())
            slots.push_back(&msg);
        std::vector<std::unique_ptr<CSmsMessage>> copies;
        for (CSmsMessage* m : slots) {
            auto copy = std::make_unique<CSmsMessage>(*m);
            copy->m_nState = SMS_DELETE_ON_PHONE;
            copy->m_nFilePos = -1;
            copy->m_bMarked = false;
            copies.push_back(std::move(copy));
        }
        for (auto& copy : copies) m_store.AddMessage(std::move(copy));
    }
    if (where == 0 || where == 2) ok = m_store.DeleteMessage(msg);
    return ok;
}

// --- the session -----------------------------------------------------------------------------

void CTelmioDoc::SynchronizeSms() {
    m_errors.Clear();
    // The session ends by writing the whole store; from a list that was never read that
    // would replace the messages on file.
    if (!m_store.Loaded()) {
        AddError(kReadError);
        AddError(kSyncFailed);
        return;
    }
    ce::File lock = TakeSessionLock(m_strAppDir);
    if (!lock) {
        AddError(kLockHeld);
        return;
    }
    m_ui.SetStatus(u"Synchronizing...");
    m_comm.StartSAR();
    if (!OpenPhone()) {
        m_comm.StopSAR();
        m_comm.ClosePort();
        AddError(kSyncFailed);
        return;
    }
    if (!IdentifyPhone()) {
        m_comm.StopSAR();
        m_comm.ClosePort();
        return;
    }

    std::vector<CSmsMessage*> work;
    {
        std::lock_guard guard(m_storeMutex);
        // What other programs queued or deleted since the list was read counts now.
        m_store.Refresh();
        for (const auto& m : m_store.Messages())
            if (m->m_nState == SMS_DELETE_ON_PHONE || m->m_nState == SMS_OUTBOX ||
                m->m_nState == SMS_OUTBOX_FLASH)
                work.push_back(m.get());
    }
    for (CSmsMessage* m : work) {
        if (m->m_nState == SMS_DELETE_ON_PHONE) {
            if (!DeleteOnPhone(*m)) AddError(u"Error deleting SMS message.");
            continue;
        }
        if (SendMessage(m->m_strNumber, m->m_strText, m->m_nState == SMS_OUTBOX_FLASH)) {
            std::lock_guard guard(m_storeMutex);
            m->m_nState = SMS_SENT;
            if (!m_store.WriteMessage(*m)) AddError(kSaveFailed);
        } else {
            AddError(u"Error sending SMS message.");
        }
    }

    if (m_bDeleteAllPhone.exchange(false) && !DeleteAllInStorage("ME"))
        AddError(u"Deleting ALL SMS messages from Phone - failed.");
    if (m_bDeleteAllSim.exchange(false) && !DeleteAllInStorage("SM"))
        AddError(u"Deleting ALL SMS messages from SIM - failed.");

    bool read = ReadAll(true, m_settings.m_ini.m_bDeleteAfterSync);
    m_comm.ClosePort();
    m_comm.StopSAR();
    if (read) {
        std::lock_guard guard(m_storeMutex);
        if (!m_store.SaveStore()) AddError(kSaveFailed);
        m_ui.SetStatus(u"");
    } else {
        AddError(kSyncFailed);
    }
}

void CTelmioDoc::StartAutoSync() {
    if (!m_pAutoSync)
        m_pAutoSync = std::make_unique<CAutoSyncWorker>(
            m_flags, [this] { SynchronizeSms(); },
            [this](const std::u16string& s) { m_ui.SetStatus(s); });
    m_pAutoSync->StartAutoSync(m_settings.m_ini.m_nInterval);
}

void CTelmioDoc::StopAutoSync() {
    if (m_pAutoSync) m_pAutoSync->StopAutoSync();
}

void CTelmioDoc::RestartCountdown() {
    if (m_pAutoSync) {
        m_pAutoSync->SetInterval(m_settings.m_ini.m_nInterval);
        m_pAutoSync->RestartCountdown();
    }
}

bool CTelmioDoc::StartConnect() {
    if (m_flags.m_bBusy) return false;
    // No automatic session may start while connect comes up and takes the phone.
    m_flags.m_bIdle = false;
    bool ok = LaunchConnect(m_strAppDir);
    m_flags.m_bIdle = true;
    return ok;
}

CTelmioDoc::PortProblem CTelmioDoc::LastPortProblem() const {
    std::lock_guard lock(m_portMutex);
    return m_portProblem;
}

bool CTelmioDoc::StartDialer() { return LaunchDialer(m_strAppDir); }

std::optional<std::u16string> CTelmioDoc::TakeHandoff() {
    std::u16string recipients;
    if (!TakeHandoffFile(m_strAppDir, recipients)) return std::nullopt;
    if (m_flags.m_bBusy) {
        m_ui.MessageBox(
            u"New SMS could not be created, because of the synchronization is still in progress.");
        return std::nullopt;
    }
    return recipients;
}

}  // namespace kvo
