// The client's settings: "kvo.ini", "pb.ini" and the profile value "userport" (section
// "data"), loaded at start-up and saved from the Options dialog.
#pragma once
#include <string>

#include "telmio/settings/kvo_ini.h"
#include "telmio/settings/pb_ini.h"

namespace kvo {

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
    // version gives the defaults; false only for a damaged "kvo.ini", whose fields read
    // before the damage keep their new values.
    bool LoadSettings();
    // Writes "kvo.ini", the profile value and "pb.ini"; each file is replaced whole.
    bool SaveSettings();

    std::u16string KvoIniPath() const { return m_strDir + u"kvo.ini"; }
    std::u16string PbIniPath() const { return m_strDir + u"pb.ini"; }

private:
    std::u16string m_strDir;
};

}  // namespace kvo
