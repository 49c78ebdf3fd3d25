// Telephony line devices. The handheld's modem drivers become entries in the registry
// (HKEY_LOCAL_MACHINE\Drivers\kvo\Lines\<index>), written by kvo-device for each modem it
// registers; these calls read them with the contract the programs rely on.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

class RegKey;

using LONG = int32_t;
using DWORD = uint32_t;

constexpr LONG LINEERR_BADDEVICEID = static_cast<LONG>(0x80000002);
constexpr LONG LINEERR_INCOMPATIBLEAPIVERSION = static_cast<LONG>(0x8000000C);
constexpr LONG LINEERR_INIFILECORRUPT = static_cast<LONG>(0x8000000E);
constexpr LONG LINEERR_INVALAPPHANDLE = static_cast<LONG>(0x80000015);
constexpr LONG LINEERR_INVALLINEHANDLE = static_cast<LONG>(0x8000002B);
constexpr LONG LINEERR_INVALPOINTER = static_cast<LONG>(0x80000035);
constexpr LONG LINEERR_NODEVICE = static_cast<LONG>(0x80000040);
constexpr LONG LINEERR_OPERATIONFAILED = static_cast<LONG>(0x80000048);
constexpr LONG LINEERR_STRUCTURETOOSMALL = static_cast<LONG>(0x8000004D);
constexpr LONG LINEERR_REINIT = static_cast<LONG>(0x80000052);
constexpr LONG LINEERR_INVALDEVICECLASS = static_cast<LONG>(0x80000025);

constexpr DWORD LINEMEDIAMODE_INTERACTIVEVOICE = 0x00000004;
constexpr DWORD LINEMEDIAMODE_DATAMODEM = 0x00000010;
constexpr DWORD LINEBEARERMODE_VOICE = 0x00000001;
constexpr DWORD LINEBEARERMODE_DATA = 0x00000008;

constexpr DWORD kTapiVersion13 = 0x00010003;
constexpr DWORD kTapiVersion20 = 0x00020000;

// Where the line devices live, and the key of one of them.
extern const char16_t* const kLinesKey;  // u"Drivers\\kvo\\Lines"
std::u16string LineKey(DWORD deviceId);

// Size of the fixed part of the capabilities record; a caller's buffer smaller than the
// fixed part plus the name gets the name left out and the size it needs.
constexpr DWORD kLineDevCapsFixedSize = 236;

struct LINEDEVCAPS {
    DWORD dwTotalSize = 0;   // in: size of the caller's buffer
    DWORD dwNeededSize = 0;  // out: size that holds everything
    DWORD dwUsedSize = 0;
    DWORD dwMediaModes = 0;
    DWORD dwBearerModes = 0;
    DWORD dwLineNameSize = 0;     // bytes including the terminating zero; 0 when none
    std::u16string strLineName;   // filled when it fits
};

struct LineApp;
struct LineHandle;
using HLINEAPP = LineApp*;
using HLINE = LineHandle*;

// One registered line device, as kvo-device writes it.
struct LineDeviceInfo {
    std::u16string strName;
    DWORD dwMediaModes = LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE;
    DWORD dwBearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    std::u16string strPort;              // what lineGetID "comm/datamodem/portname" gives
    std::vector<uint8_t> devConfig;      // "comm/datamodem" configuration; default if empty
    // A simulated phone (kvophone) sits behind it: a data call is counted, not run by pppd.
    bool bSimulated = false;
};

// The registry value that marks a line device simulated (DWORD 1).
inline constexpr char16_t kLineSimulatedValue[] = u"Simulated";

// Registers a new line device after the existing ones; returns its index.
bool AddLineDevice(const LineDeviceInfo& info, DWORD* deviceId = nullptr);
// The same inside a transaction on HKEY_LOCAL_MACHINE's root, so that a tool can register a
// line device together with what belongs to it in one step. The index is one past the
// highest in use: a gap left by a removed device is never filled by list position.
DWORD PutLineDevice(RegKey& root, const LineDeviceInfo& info);
// The keys of the line devices called `name`, in index order (normally one).
std::vector<RegKey*> FindLineDevices(RegKey& root, std::u16string_view name);
// The devices in index order (for tools; programs use the line calls).
std::vector<LineDeviceInfo> ListLineDevices();

// The unimodem configuration block a fresh device gets (524 bytes): version, wait, options,
// 9600 baud, 8N1, empty dial modifier.
std::vector<uint8_t> DefaultDevConfig();
constexpr size_t kDevConfigSize = 524;
constexpr size_t kDevCfgModemOptions = 8;   // DWORD; low byte = option bits
constexpr size_t kDevCfgBaudRate = 12;      // DWORD
constexpr size_t kDevCfgByteSize = 18;      // BYTE, then StopBits, Parity
constexpr size_t kDevCfgDialModifier = 21;  // 41 UTF-16 units

LONG lineInitialize(HLINEAPP* app, DWORD* numDevices);
LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                             DWORD* apiVersion);
LONG lineGetDevCaps(HLINEAPP app, DWORD deviceId, DWORD apiVersion, LINEDEVCAPS& caps);
LONG lineOpen(HLINEAPP app, DWORD deviceId, HLINE* line, DWORD apiVersion);
// The device's configuration of class "comm/datamodem" into a buffer of bufferSize bytes;
// LINEERR_STRUCTURETOOSMALL (and `needed`) when it does not fit.
LONG lineGetDevConfig(DWORD deviceId, const std::u16string& deviceClass, size_t bufferSize,
                      std::vector<uint8_t>& config, size_t* needed = nullptr);
// Class "comm/datamodem/portname": the port the device talks through.
LONG lineGetID(HLINE line, const std::u16string& deviceClass, std::u16string& id);
LONG lineClose(HLINE line);
LONG lineShutdown(HLINEAPP app);

// Tests make lineInitialize answer LINEERR_REINIT (or another code) for a while: the hook is
// asked first on every call and its non-zero answer returned. Empty function removes it.
void SetLineInitializeHook(std::function<LONG()> hook);

}  // namespace ce
