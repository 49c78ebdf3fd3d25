// The client's settings: "kvo.ini", "pb.ini" and the profile value "userport" (section
// "data"), loaded at start-up and saved from the Options dialog.
#pragma once
#include <string>

#include "telmio/settings/kvo_ini.h"
#include "telmio/settings/pb_ini.h"

namespace kvo {

// What the last load found.
enum class SettingsState {
    loaded,      // read, or defaults for missing files
    damaged,     // "kvo.ini" read up to a damage; the client still starts
    unreadable,  // a file or the profile could not be read: nothing may be saved
};

class CClientSettings {
public:
    // `dir`: folder of the files with its trailing backslash; empty for the installation
    // directory.
    explicit CClientSettings(std::u16string dir = {});

    CKvoIni m_ini;
    CPbIni m_pb;
    std::u16string m_strUserPort;  // the port to use when m_bUserPort
    bool m_bUserPort = false;

    // Reads the profile value, "kvo.ini" and "pb.ini". A missing "kvo.ini" or one of another
    // version gives the defaults; false for a damaged "kvo.ini", whose fields read before
    // the damage keep their new values, and for a file or profile that cannot be read
    // (State() and Error() tell which and why).
    bool LoadSettings();
    // Writes "kvo.ini", the profile value and "pb.ini". Each file is changed in one locked
    // step from what is on disk at that moment: the fields changed here since the last load
    // or save are written, the others keep what other programs saved meanwhile. Refused
    // after a load that could not read the settings.
    bool SaveSettings();

    SettingsState State() const { return m_state; }
    // Why the last load or save failed, for the user.
    const std::string& Error() const { return m_strError; }

    std::u16string KvoIniPath() const { return m_strDir + u"kvo.ini"; }
    std::u16string PbIniPath() const { return m_strDir + u"pb.ini"; }

private:
    std::u16string m_strDir;
    SettingsState m_state = SettingsState::loaded;
    std::string m_strError;
    // What the last load or save found on disk: the base that tells our changes apart.
    CKvoIni m_loadedIni;
    CPbIni m_loadedPb;
    std::u16string m_strLoadedUserPort;
};

// Copies the fields of `mine` that differ from `base` into `onDisk` (all but the detection
// text, which the client never keeps).
void ApplyChangedFields(const CKvoIni& base, const CKvoIni& mine, CKvoIni& onDisk);

}  // namespace kvo
