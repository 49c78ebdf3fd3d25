// The messaging client's document without its window: start-up, the phone session and its
// parts (opening, identifying, sending, reading, deleting), synchronisation and the
// automatic worker. The window, the kvo command line and the tests drive it alike.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "connect/data/connection_data.h"
#include "connect/data/phone_model.h"
#include "connect/data/isp_entry.h"
#include "telmio/session/auto_sync.h"
#include "telmio/session/error_texts.h"
#include "telmio/session/modem_devices.h"
#include "telmio/session/sms_info.h"
#include "telmio/settings/client_settings.h"
#include "telmio/sms/cmgl_listing.h"
#include "telmio/sms/cmgr_reply.h"
#include "telmio/sms/message_store.h"

class CKvoComm;

namespace kvo {

class CTelmioDoc : public ISmsImport {
public:
    // `appDir` holds the program's files, with its trailing backslash; empty means the
    // installation directory. The engine is the process's shared one unless one is given.
    CTelmioDoc(IUserInterface& ui, std::u16string appDir = {}, CKvoComm* comm = nullptr);
    ~CTelmioDoc() override;

    // Start-up: settings, store, data file, service list, modem devices, automatic
    // synchronisation (unless told not to: the command line runs one session and ends). False
    // when the program must end.
    bool OnNewDocument(bool bAllowAutoSync = true);

    // One synchronisation session on the calling thread; the outcome is in Errors().
    void SynchronizeSms();
    void StartAutoSync();
    void StopAutoSync();
    void RestartCountdown();

    // Editor "Send": one outbox entry per recipient. Returns how many were queued, that is
    // written to the store; a text no phone can take (CanSend) queues nothing.
    int QueueMessage(const std::u16string& recipients, const std::u16string& text, bool bFlash);
    // Whether every part of the text can be built into a PDU for this number: checked before
    // queueing and before the first part goes out, so no message is sent only in part.
    bool CanSend(const std::u16string& number, const std::u16string& text, bool bFlash) const;
    // Editor "Send now": sends to each recipient in turn, stopping at the first failure; the
    // result text the editor shows.
    std::u16string SendNow(const std::u16string& recipients, const std::u16string& text,
                           bool bFlash);

    // Hand-off: a recipients text from "newsms.tmp" or the command line, cleaned; empty
    // optional when there is none or it was dropped (a synchronisation runs).
    std::optional<std::u16string> TakeHandoff();

    // Menu commands that start the other programs: "connect.exe s" (ignored while a
    // synchronisation runs) and "dialer.exe".
    bool StartConnect();
    bool StartDialer();

    // Requests carried out at the next session.
    void RequestDeleteAll(bool bSim);
    // Delete command: 0 Pocket PC only, 1 mobile phone only, 2 both.
    bool DeleteMessage(CSmsMessage& msg, int where);

    // ISmsImport: builds the message and drops duplicates.
    void ImportMessage(const std::u16string& number, const std::string& timestamp,
                       const std::u16string& text, char status, const std::u16string& storage,
                       int index) override;
    // A part of a long message; rejoined with the others at the end of the read.
    void ImportPart(const std::u16string& number, const std::string& timestamp,
                    const std::u16string& text, char status, const std::u16string& storage,
                    int index, const CSmsPart& part) override;

    // Parts of a session, for the sessions of other features (phonebook) and the tests.
    bool OpenPhone();
    bool IdentifyPhone();
    bool SendMessage(const std::u16string& number, const std::u16string& text, bool bFlash);
    bool ReadAll(bool bShowProgress, bool bDeleteAfter);
    bool DeleteOnPhone(CSmsMessage& msg);
    bool DeleteAllInStorage(const char* storage);

    CSmsStore& Store() { return m_store; }
    CClientSettings& Settings() { return m_settings; }
    const connect::CConnectionData& Data() const { return m_data; }
    const std::vector<CModemDevice>& Devices() const { return m_devices; }
    CErrorTexts& Errors() { return m_errors; }
    CSessionFlags& Flags() { return m_flags; }
    const connect::CPhoneModel& Phone() const { return m_phone; }
    const connect::CIspEntry& Operator() const { return m_operator; }
    const std::u16string& AppDir() const { return m_strAppDir; }
    const std::u16string& CentreNumber() const { return m_strCentre; }
    CKvoComm& Comm() { return m_comm; }
    bool DeleteAllPending(bool bSim) const { return bSim ? m_bDeleteAllSim : m_bDeleteAllPhone; }
    // Whether the store was read at start-up: no session starts without it, since a session
    // ends by writing the whole store.
    bool StoreLoaded() const { return m_store.Loaded(); }
    // The last port that could not be opened and the system's reason (an error code), for
    // a caller that can show more than the collected text.
    struct PortProblem {
        std::u16string strPort;
        uint32_t nError = 0;
    };
    PortProblem LastPortProblem() const;
    bool HasSmsService() const { return m_bSmsInfo; }
    const CSmsInfo& SmsInfo() const { return m_smsInfo; }

    // The line the session uses: 9600 baud, no parity, 8 data bits, one stop bit.
    int m_nBaudRate = 9600, m_nParity = 0, m_nDataBits = 8, m_nStopBits = 0;

private:
    // The PDU of one part and its length; the length is -1 when the part cannot be built.
    int BuildPart(const std::u16string& number, const std::u16string& text, bool bFlash,
                  std::string& hex) const;
    bool SendPart(const std::string& hex, int length);
    bool StorageSize(const std::u16string& reply, int& count);
    bool SelectStorage(const char* storage, std::u16string& reply);
    // The whole storage in one "AT+CMGL=4"; false when the phone refused, garbled or cut
    // the listing, or it names fewer messages than `used` or a slot beyond `count`.
    bool ListStorage(int used, int count, std::vector<CListedSlot>& listed);
    // Hands one slot's "+CMGR:" reply to the import, deletes the slot after a durable import
    // when asked; true when the slot held a message.
    bool TakeSlot(const char* storage, int index, const std::u16string& slot, bool bDeleteAfter);
    bool Exchange(const std::string& command, std::u16string& reply, int mode = 0,
                  int timeout = 10);
    bool IdentifyOperator();
    // PDU mode, the GSM character set, and a SIM that has finished starting up.
    void PreparePhone();
    void AddError(const std::u16string& text) { m_errors.Add(text); }
    void CloseSession();

    IUserInterface& m_ui;
    std::u16string m_strAppDir;
    CKvoComm& m_comm;
    CClientSettings m_settings;
    CSmsStore m_store;
    connect::CConnectionData m_data;
    CSmsInfo m_smsInfo;
    bool m_bSmsInfo = false;
    std::vector<CModemDevice> m_devices;
    connect::CPhoneModel m_phone;  // the current model, or the built-in default
    connect::CIspEntry m_operator;
    std::u16string m_strCentre;  // service centre put into sent messages
    std::u16string m_strCopsReply, m_strCscaReply;
    CErrorTexts m_errors;
    CSessionFlags m_flags;
    std::atomic<bool> m_bDeleteAllPhone{false}, m_bDeleteAllSim{false};
    std::recursive_mutex m_storeMutex;  // the list is shared by the UI and session threads
    // While a read deletes after reading: each imported message is written at once, and
    // whether the slot's message is now in the store file.
    bool m_bStoreEachImport = false;
    bool m_bSlotStored = false;
    // Cleared for the rest of a session once a phone failed a listing.
    bool m_bListing = true;
    mutable std::mutex m_portMutex;
    PortProblem m_portProblem;
    std::unique_ptr<CAutoSyncWorker> m_pAutoSync;
};

}  // namespace kvo
