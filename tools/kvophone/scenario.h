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

// How a real phone's answers differ from the plain 27.007 / 27.005 ones; per scenario
// ([dialect]) or at run time.
struct Dialect {
    int nCmgf = 0;                       // message format at power-on (1: left in text mode)
    std::string strCharset = "GSM";      // character set at power-on
    bool bUcs2Replies = false;           // +COPS? and +CSCA? follow a UCS2 character set
    std::vector<std::string> unsolicited;  // lines sent unprompted, one after the other
    std::string strUnsolicitedAt = "before";  // before (the echo) | inside | after | prompt
    int nUnsolicitedEvery = 1;           // one unsolicited line every N command lines
    std::string strEmptySlot = "cms321";   // ok | cmgr0 | cms320 | cms321 | cms500 | error
    int nFirstIndex = 1;                 // 0: message slots count from 0
    int nCpmsNumbers = 6;                // numbers after AT+CPMS=...: 4 or 6
    std::string strCpmsTest = "brackets";  // AT+CPMS=? lists: brackets | plain | empty
    std::string strCmgrHeader = "plain";   // plain | quoted | nostat | alpha
    bool bNoSpace = false;               // no blank after the colon of information lines
    int nSimBusyMs = 0;                  // SIM busy this long after power-on and AT+CFUN=1
    int nCmgsDelayMs = 0;                // the network's pause before +CMGS: answers
    std::vector<std::string> noFinalOk;  // command prefixes answered without the final OK
    std::string strUnknown = "error";    // unknown commands: error | cme | not_support
    bool bDamagedEcho = false;           // the echo loses the third byte of each line
    std::string strPhonebookEmpty = "ok";  // reading an empty location: ok | cme22
    std::string strCmgl = "list";        // AT+CMGL: list | error | cms302 | cut (last PDU halved)
    int nCmglMax = 0;                    // AT+CMGL lists at most this many messages; 0 all
    int nCmglPauseMs = 0;                // AT+CMGL pauses this long before each further entry
    bool bNoSmsStorage = false;          // no message storage reachable over AT (reading refused)
    bool operator==(const Dialect&) const = default;
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
    Dialect dialect;
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
// One [dialect] line ("key = value") applied on top of a dialect, as --dialect does.
bool ApplyDialectSetting(std::string_view line, Dialect& dialect, std::string& error);

// The [data] section's lines, one at a time (also used by the fuzzer).
bool ParseDataKey(std::string_view key, std::string_view value, DataCallSettings& data,
                  std::string& error);
std::string FormatDataSection(const DataCallSettings& data);

SmsStorage* FindStorage(Scenario& scenario, std::string_view name);
Phonebook* FindPhonebook(Scenario& scenario, std::string_view name);

}  // namespace kvo::phone
