// The shared settings files on disk. "kvo.ini" is rewritten by several programs (the client,
// the connection manager, the dialer's set-up), each keeping the others' fields: a change is
// one locked step of load, change and save, so that two programs saving at once keep both
// changes. A file that cannot be read is an error, never the defaults: only a missing file
// means those.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/file.h"
#include "telmio/settings/kvo_ini.h"
#include "telmio/settings/pb_ini.h"

namespace kvo {

// How long a program waits for another one's save (or a reader's share) before giving up.
inline constexpr uint32_t kSettingsLockWaitMs = 3000;

enum class SettingsLoad {
    ok,
    missing,       // defaults
    otherVersion,  // defaults, rewritten in the current form at the next save
    damaged,       // fields before the damage read, the rest as they were
    failed,        // not read at all (locked, no permission, not a file): nothing changed
};

// Serialises the writers of one settings file across programs: an exclusive lock on the
// side file `path` + ".lck". Readers need not take it: writers replace the file whole.
class CSettingsLock {
public:
    // False with `error` when another program holds it longer than `waitMs` or it cannot
    // be made.
    bool Acquire(const std::u16string& path, std::string& error,
                 uint32_t waitMs = kSettingsLockWaitMs);
    void Release() { m_file.Close(); }

private:
    ce::File m_file;
};

// Loads "kvo.ini"/"pb.ini". `error` says why for `failed` (and what was lost for `damaged`).
// A damaged "pb.ini" gives its defaults.
SettingsLoad LoadKvoIni(const std::u16string& path, CKvoIni& ini, std::string& error);
SettingsLoad LoadPbIni(const std::u16string& path, CPbIni& ini, std::string& error);

// One locked step: takes the file's lock, loads it afresh, lets `change` alter it and
// replaces the file atomically. `change` returning false leaves the file as it is (it may
// put its reason in `error`). False with `error` when the lock, the load or the write
// failed; `how` tells how the file loaded (a damaged file is changed from what was read).
bool UpdateKvoIni(const std::u16string& path, const std::function<bool(CKvoIni&)>& change,
                  std::string& error, SettingsLoad* how = nullptr);
bool UpdatePbIni(const std::u16string& path, const std::function<bool(CPbIni&)>& change,
                 std::string& error);

// The last file error in words a user can act on ("permission denied").
std::string FileErrorText(uint32_t code);
// The last registry error in words, with the hive's own complaint when it does not parse.
std::string RegistryErrorText();
// Where a handheld path lies on this machine, for messages.
std::string ShownPath(const std::u16string& path);

}  // namespace kvo
