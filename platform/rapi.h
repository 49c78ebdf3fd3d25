// The desktop's Remote API to a handheld: here the handheld is a device root, and it is
// "connected" while it is attached (`kvo-device attach`), as a handheld in its cradle is.
#pragma once
#include <cstdint>
#include <string_view>

namespace ce {

// The operating system version a handheld reports, kept in its registry.
inline constexpr std::u16string_view kOsVersionKey = u"System\\Version";

struct RAPIINIT {
    uint32_t cbSize = sizeof(RAPIINIT);
    // Set once the connection attempt has ended; hrRapiInit then holds its result.
    bool bSignalled = false;
    int32_t hrRapiInit = 0;
};

struct CEOSVERSIONINFO {
    uint32_t dwMajorVersion = 0, dwMinorVersion = 0, dwBuildNumber = 0;
};

inline constexpr int32_t E_FAIL = int32_t(0x80004005);

// Starts connecting; fails at once when no device root is known (no desktop link at all).
int32_t CeRapiInitEx(RAPIINIT& init);
// What the initialisation event says now: signalled with S_OK when the device is attached,
// with E_FAIL when it is attached but has no file system to talk to.
void CeRapiPoll(RAPIINIT& init);
bool CeGetVersionEx(CEOSVERSIONINFO& info);
int32_t CeRapiUninit();

// `kvo-device attach` / `detach`: false with GetLastError set when the marker cannot change.
bool RapiAttach(bool attached);
bool RapiIsAttached();

}  // namespace ce
