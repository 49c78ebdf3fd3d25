// Dial-up entries and connections. Entries live in the registry (HKCU\Comm\RasBook\<name>);
// their passwords in <device>/credentials/ras, out of the registry text people read and
// export. Dialling starts a link process (`kvo-link`) per connection that outlives its
// requester, as the handheld's system owns a connection; active connections are records in
// <device>/ras/ that every process reads, and a record whose link process is gone is removed
// by whoever sees it.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

using DWORD = uint32_t;
using HRASCONN = uint32_t;  // the link process's id; 0 is no connection

enum : DWORD {
    ERROR_BUFFER_TOO_SMALL = 603,
    ERROR_INVALID_SIZE = 632,
    ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623,
    ERROR_CANNOT_OPEN_PHONEBOOK = 621,
    ERROR_PORT_NOT_AVAILABLE = 633,
    ERROR_PORT_NOT_FOUND = 615,
    ERROR_PORT_DISCONNECTED = 619,
    ERROR_DEVICE_DOES_NOT_EXIST = 657,
    ERROR_FROM_DEVICE = 651,
    ERROR_LINE_BUSY = 676,
    ERROR_NO_ANSWER = 678,
    ERROR_NO_CARRIER = 679,
    ERROR_NO_DIALTONE = 680,
    ERROR_NO_CONNECTION = 668,
    ERROR_PPP_NO_PROTOCOLS_CONFIGURED = 720,
    ERROR_USER_DISCONNECTION = 631,
};

constexpr size_t RAS_MaxEntryName = 20;
constexpr size_t RAS_MaxAreaCode = 10;
constexpr size_t RAS_MaxPhoneNumber = 128;
constexpr size_t RAS_MaxDeviceType = 16;
constexpr size_t RAS_MaxDeviceName = 128;
constexpr size_t UNLEN = 256;
constexpr size_t PWLEN = 256;
constexpr size_t DNLEN = 15;

enum : DWORD {
    RASEO_UseCountryAndAreaCodes = 0x00000001,
    RASEO_SpecificIpAddr = 0x00000002,
    RASEO_SpecificNameServers = 0x00000004,
    RASEO_IpHeaderCompression = 0x00000008,
    RASEO_RemoteDefaultGateway = 0x00000010,
    RASEO_DisableLcpExtensions = 0x00000020,
    RASEO_SwCompression = 0x00000200,
};
enum : DWORD { RASNP_Ip = 0x00000004 };
enum : DWORD { RASFP_Ppp = 0x00000001, RASFP_Slip = 0x00000002 };
inline constexpr char16_t RASDT_Modem[] = u"modem";

struct RASIPADDR {
    uint8_t a = 0, b = 0, c = 0, d = 0;
    bool IsZero() const { return !a && !b && !c && !d; }
    bool operator==(const RASIPADDR&) const = default;
};
std::string FormatIp(const RASIPADDR& ip);  // "193.254.160.1"

// The entry as the handheld's record carries it; texts are limited to the RAS_Max... sizes.
struct RASENTRY {
    DWORD dwSize = 0;  // kRasEntrySize
    DWORD dwfOptions = 0;
    DWORD dwCountryID = 0;
    DWORD dwCountryCode = 0;
    std::u16string szAreaCode;
    std::u16string szLocalPhoneNumber;
    RASIPADDR ipaddr, ipaddrDns, ipaddrDnsAlt, ipaddrWins, ipaddrWinsAlt;
    DWORD dwfNetProtocols = RASNP_Ip;
    DWORD dwFramingProtocol = RASFP_Ppp;
    std::u16string szDeviceType = RASDT_Modem;
    std::u16string szDeviceName;
    bool operator==(const RASENTRY&) const = default;
};
constexpr DWORD kRasEntrySize = 1136;  // this platform's record size

struct RASDIALPARAMS {
    DWORD dwSize = 0;  // kRasDialParamsSize
    std::u16string szEntryName;
    std::u16string szPhoneNumber;  // replaces the entry's number when not empty
    std::u16string szCallbackNumber;
    std::u16string szUserName;
    std::u16string szPassword;
    std::u16string szDomain;
};
constexpr DWORD kRasDialParamsSize = 1464;

// The enumeration record: 52 bytes on this platform, as callers size their buffers.
struct RASCONN {
    DWORD dwSize;
    HRASCONN hrasconn;
    char16_t szEntryName[RAS_MaxEntryName + 1];
};
static_assert(sizeof(RASCONN) == 52);

// The link statistics record: 15 words.
struct RAS_STATS {
    DWORD dwSize;
    DWORD dwBytesXmited;
    DWORD dwBytesRcved;
    DWORD dwFramesXmited;
    DWORD dwFramesRcved;
    DWORD dwCrcErr;
    DWORD dwTimeoutErr;
    DWORD dwAlignmentErr;
    DWORD dwHardwareOverrunErr;
    DWORD dwFramingErr;
    DWORD dwBufferOverrunErr;
    DWORD dwCompressionRatioIn;
    DWORD dwCompressionRatioOut;
    DWORD dwBps;
    DWORD dwConnectDuration;  // milliseconds
};
static_assert(sizeof(RAS_STATS) == 60);

enum RASCONNSTATE : DWORD { RASCS_OpenPort = 0, RASCS_Connected = 0x2000, RASCS_Disconnected = 0x2001 };
struct RASCONNSTATUS {
    DWORD dwSize = 0;
    RASCONNSTATE rasconnstate = RASCS_Disconnected;
    DWORD dwError = 0;
    std::u16string szDeviceType, szDeviceName;
};

// Results are 0 or an error code; the phone-book argument is ignored (one phone book).
// Device configuration: the unimodem block (ce::DefaultDevConfig layout); its dial-modifier
// text is what the link sends before dialling.
DWORD RasSetEntryProperties(std::u16string_view phonebook, std::u16string_view entryName,
                            const RASENTRY& entry, DWORD entrySize,
                            const std::vector<uint8_t>& devConfig);
DWORD RasGetEntryProperties(std::u16string_view phonebook, std::u16string_view entryName,
                            RASENTRY& entry, std::vector<uint8_t>* devConfig = nullptr);
DWORD RasDeleteEntry(std::u16string_view phonebook, std::u16string_view entryName);
// removePassword forgets the stored password instead of setting it.
DWORD RasSetEntryDialParams(std::u16string_view phonebook, const RASDIALPARAMS& params,
                            bool removePassword);
// Fills user, domain and, when one is stored, the password (passwordSaved).
DWORD RasGetEntryDialParams(std::u16string_view phonebook, RASDIALPARAMS& params,
                            bool* passwordSaved);

// Dials synchronously: returns when the link is up (handle in *conn) or has failed (the
// reason in GetLastErrorText()). Parameters with a user name or password replace the stored
// ones for this call only.
DWORD RasDial(const RASDIALPARAMS& params, HRASCONN* conn);
// conns[0].dwSize must be sizeof(RASCONN); *cb is the buffer's size in bytes. A buffer too
// small gets ERROR_BUFFER_TOO_SMALL and the size needed in *cb.
DWORD RasEnumConnections(RASCONN* conns, DWORD* cb, DWORD* count);
DWORD RasHangUp(HRASCONN conn);
DWORD RasGetLinkStatistics(HRASCONN conn, DWORD subEntry, RAS_STATS* stats);
DWORD RasGetConnectStatus(HRASCONN conn, RASCONNSTATUS& status);

// One active connection, for tools (`kvo connect status`).
struct RasConnectionInfo {
    std::u16string strEntry;
    HRASCONN hConn = 0;
    DWORD dwSpeed = 0;
    uint64_t nDurationMs = 0;
    uint64_t nBytesReceived = 0;
    uint64_t nBytesTransmitted = 0;
};
std::vector<RasConnectionInfo> RasListConnections();

// Where RasDial finds the link program: $KVO_LINK, else `kvo-link` beside the running
// program, else on $PATH. Empty when none is found.
std::filesystem::path RasLinkProgram();

}  // namespace ce
