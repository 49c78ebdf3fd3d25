#include "command.h"

#include <sys/stat.h>
#include "common/install_dir.h"
#include "connect/dialup/connect_strings.h"

#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kvo::connect {

bool IsWindowlessCommand(const std::u16string& t) {
    return !t.empty() &&
           (t[0] == u'c' || t[0] == u'd' || t[0] == u'e' || t[0] == u'x' || t[0] == u'z');
}

// The lock is deleted by its holder at the end, so a file opened just before that deletion
// locks nothing: the lock counts only while the path still names the locked file.
ce::File TakeRootLock(bool& busy) {
    busy = false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        ce::File f =
            ce::File::Open(u"\\kvo.lock", ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS);
        if (!f) {
            busy = ce::GetLastError() == ce::ERROR_SHARING_VIOLATION;
            return f;
        }
        struct stat held {
        }, named{};
        if (fstat(f.Fd(), &held) == 0 && stat(ce::MapPath(u"\\kvo.lock").c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            return f;
    }
    busy = true;
    return {};
}

bool StartUp(CConnection& conn) {
    std::string error;
    if (!ce::RegCreateKey(ce::HKEY_CURRENT_USER, u"Software\\" + LoadString(IDS_KEY_NAME)) ||
        !GetInstallDirChecked(conn.m_strAppDir, error)) {
        conn.Fail(IDS_REGISTRY_FAILED);
        return false;
    }
    return true;
}

int RunWindowlessCommand(CConnection& conn, const std::u16string& text) {
    const char16_t letter = text.empty() ? u'\0' : text[0];
    const std::u16string marker = conn.m_strAppDir + u"MONITORSTARTED";
    ce::WriteFileAtomic(marker, "");
    ce::File lock;
    if (letter != u'x') {
        bool busy = false;
        lock = TakeRootLock(busy);
        if (!lock) {
            ce::DeleteFile(marker);
            if (busy) {
                conn.m_strLastError = u"Another connect is running.";
                return kCommandBusy;
            }
            conn.m_strLastError =
                u"Cannot create \\kvo.lock: " + ce::FromUtf8(ce::GetLastErrorText());
            return kCommandFailed;
        }
    }
    bool ok = false;
    switch (letter) {
        case u'x':
            ok = conn.ReleaseRequestedConnection();
            break;
        case u'z':
            ok = conn.Initialise(true) && conn.VoiceDial(text);
            break;
        default:
            conn.m_bStoreDetected = letter != u'c';
            if (conn.Initialise(true)) {
                EFlowResult r = conn.RunConnectFlow(letter == u'e');
                ok = r == EFlowResult::Connected || r == EFlowResult::Detected;
            }
            break;
    }
    if (lock) {
        ce::DeleteFile(u"\\kvo.lock");  // while still held: see TakeRootLock
        lock.Close();
    }
    conn.m_note.Remove();
    ce::DeleteFile(marker);
    return ok ? kCommandOk : kCommandFailed;
}

}  // namespace kvo::connect
