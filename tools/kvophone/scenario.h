// A simulated phone's scenario: identity, SMS storages, phonebooks, quirks and byte script.
// The text form is described in tools/kvophone/README.md.
#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::phone {

// Message status as +CMGR reports it in PDU mode.
enum SmsStatus : int {
    SMS_REC_UNREAD = 0,
    SMS_REC_READ = 1,
    SMS_STO_UNSENT = 2,
    SMS_STO_SENT = 3,
};

struct SmsSlot {
    int nStatus = SMS_REC_UNREAD;
    std::string strPdu;  // hex exactly as +CMGR shows it, service-centre part first
    bool operator==(const SmsSlot&) const = default;
};

struct SmsStorage {
    std::string strName;  // "ME", "SM", ...
    int nSize = 0;
    std::map<int, SmsSlot> slots;  // index 1..nSize; absent = empty slot
    bool operator==(const SmsStorage&) const = default;
};

struct PhonebookEntry {
    std::string strNumber;
    int nType = 129;       // 145 international, 129 unknown
    std::string strName;   // UTF-8
    bool operator==(const PhonebookEntry&) const = default;
};

struct Phonebook {
    std::string strName;  // "SM", "ME"
    int nFirst = 1;
    int nLast = 20;
    int nNumberLength = 20;
    int nNameLength = 18;
    std::map<int, PhonebookEntry> entries;
    bool operator==(const Phonebook&) const = default;
};

// Faults and oddities of real phones, switchable per scenario or at run time.
struct Quirks {
    bool bNoEcho = false;         // echo never, ATE accepted and ignored
    bool bCmtiInReply = false;    // an unsolicited +CMTI line inside every reply
    bool bCpmsTotalZero = false;  // +CPMS reports every storage with total 0
    bool bCpmsEmpty = false;      // AT+CPMS=... answers a bare OK
    std::vector<std::string> errorFor;   // command-line prefixes answered ERROR
    std::vector<std::string> silentFor;  // command-line prefixes never answered
    std::vector<std::string> hangupIn;   // the line closes halfway through these replies
    std::string strGarbage;              // bytes sent in front of every reply
    int nReplyDelayMs = 0;               // pause before every reply
    bool operator==(const Quirks&) const = default;
};

// "When these bytes arrive, send these bytes", ahead of the command interpreter.
struct ScriptRule {
    std::string strTrigger;
    std::string strResponse;
    bool operator==(const ScriptRule&) const = default;
};

// A dial string that fails, and how the phone answers it.
struct DialFailure {
    enum Reply { NO_CARRIER, BUSY, ERROR, SILENT };
    std::string strDial;  // as written after ATD, without ";"
    Reply eReply = NO_CARRIER;
    bool operator==(const DialFailure&) const = default;
};

// Data calls ([data]): ATD without ";" connects at nSpeed; while connected the phone sends
// nRate bytes a second and drops the call (NO CARRIER) after nDuration seconds, 0 never.
struct DataCallSettings {
    int nSpeed = 9600;
    int nRate = 0;
    int nDuration = 0;
    std::vector<DialFailure> failures;
    bool operator==(const DataCallSettings&) const = default;
};

struct PhoneIdentity {
    std::string strManufacturer = "KVO Mobile";
    std::string strModel = "SP-1";
    std::string strSerial = "350000000000001";
    std::string strRevision = "01.00";
    std::string strImsi = "262011234567890";
    std::string strOperator = "T-Mobile D";
    std::string strOperatorCode = "26201";
    std::string strSmsc = "+491710760000";
    bool bEcho = true;
    std::string strPin = "0000";
    bool bPinRequired = false;  // the SIM lock is on: the PIN is asked for
    int nCmee = 1;              // 0 plain ERROR, 1 numeric, 2 verbose +CME ERROR
    bool operator==(const PhoneIdentity&) const = default;
};

struct Scenario {
    PhoneIdentity phone;
    std::vector<SmsStorage> smsStorages;
    std::vector<Phonebook> phonebooks;
    Quirks quirks;
    DataCallSettings data;
    std::vector<ScriptRule> script;
    bool bScriptOnly = false;            // bytes no rule takes are dropped, not interpreted
    std::vector<std::string> submitted;  // PDUs sent with AT+CMGS, in order
    bool operator==(const Scenario&) const = default;
};

// The phone a run without a scenario gets: our connection database knows it.
Scenario DefaultScenario();

// Parses the text form; defaults fill what the text leaves out (storages and phonebooks only
// when the text names none). Errors read "line N: what".
bool ParseScenario(std::string_view text, Scenario& out, std::string& error);
std::string FormatScenario(const Scenario& scenario);

// The [data] section's lines, one at a time (also used by the fuzzer).
bool ParseDataKey(std::string_view key, std::string_view value, DataCallSettings& data,
                  std::string& error);
std::string FormatDataSection(const DataCallSettings& data);

SmsStorage* FindStorage(Scenario& scenario, std::string_view name);
Phonebook* FindPhonebook(Scenario& scenario, std::string_view name);

}  // namespace kvo::phone
