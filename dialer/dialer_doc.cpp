#include "dialer/dialer_doc.h"

#include "common/install_dir.h"
#include "common/narrow.h"
#include "dialer/dial_number.h"
#include "dialer/dialer_strings.h"
#include "dialer/theme_package.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "telmio/settings/kvo_ini.h"

namespace kvo::dialer {
namespace {

constexpr char16_t kExtModems[] = u"ExtModems";

std::u16string ThemeName(const std::u16string& package) {
    auto dot = package.rfind(u'.');
    return dot == std::u16string::npos ? package : package.substr(0, dot);
}

}  // namespace

CDialerDoc::CDialerDoc(IUserInterface& ui) : m_strAppDir(GetInstallDir()), m_ui(ui) {}

void CDialerDoc::Message(int id, const std::u16string& extra) {
    std::u16string text = MessageText(id);
    if (!extra.empty())
        text += u" " + extra;
    m_ui.MessageBox(text, MessageText(kMsgTitle));
}

void CDialerDoc::LoadSettings() {
    LoadDevice();
    std::u16string theme = ce::RegGetString(ce::HKEY_CURRENT_USER, kSettingsKey, u"selected_theme");
    auto packages = ThemePackages();
    if (theme.empty() || !ce::FileExists(kThemesFolder + theme))
        theme = packages.empty() ? std::u16string() : packages.front();
    if (!theme.empty())
        SelectTheme(theme);
}

void CDialerDoc::LoadDevice() {
    m_device.m_strName = ce::RegGetString(ce::HKEY_CURRENT_USER, kSettingsKey, u"name");
    m_device.m_strPort = ce::RegGetString(ce::HKEY_CURRENT_USER, kSettingsKey, u"port");
    if (!m_device.m_strPort.empty())
        return;
    // Until the user chooses: the phone the other programs of the suite use, else the first
    // integrated device.
    std::vector<CDialDevice> devices;
    LoadDevices(devices);
    std::string bytes;
    CKvoIni ini;
    const bool bIni = ce::ReadFileBytes(m_strAppDir + u"kvo.ini", bytes);
    if (bIni && ParseKvoIni(bytes, ini) != IniLoad::failed)
        for (const auto& d : devices)
            if (d.m_strName == ini.m_strModemDevice) {
                m_device = d;
                return;
            }
    if (!devices.empty()) {
        m_device = devices.front();
    } else if (!bIni) {
        Message(kMsgKvoIniNotFound);
    }
}

bool CDialerDoc::LoadDevices(std::vector<CDialDevice>& devices) {
    devices.clear();
    if (!ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, kExtModems))
        return true;
    auto keys = ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, kExtModems);
    if (!keys) {
        Message(kMsgCantDetectDevices);
        return false;
    }
    for (const auto& k : *keys) {
        std::u16string path = std::u16string(kExtModems) + u"\\" + k;
        if (ce::RegGetDword(ce::HKEY_LOCAL_MACHINE, path, u"DeviceType") != 1)
            continue;
        devices.push_back({ce::RegGetString(ce::HKEY_LOCAL_MACHINE, path, u"FriendlyName"),
                           ce::RegGetString(ce::HKEY_LOCAL_MACHINE, path, u"Port")});
    }
    return true;
}

std::vector<std::u16string> CDialerDoc::ThemePackages() const {
    std::vector<std::u16string> out;
    for (const auto& f : ce::FindFiles(std::u16string(kThemesFolder) + u"*.thm"))
        if (!f.isDirectory)
            out.push_back(f.name);
    return out;
}

bool CDialerDoc::ReadThemeConfig() {
    CThemeConfig cfg;
    int rc = LoadThemeConfig(kThemeWorkFolder, cfg);
    if (rc != 0) {
        Message(rc);
        return false;
    }
    m_theme = std::move(cfg);
    m_bThemeLoaded = true;
    return true;
}

bool CDialerDoc::SelectTheme(const std::u16string& package) {
    if (package == m_strTheme && m_bThemeLoaded)
        return true;
    std::u16string path = kThemesFolder + package;
    if (!ce::FileExists(path)) {
        Message(kMsgCantLoadTheme);
        return false;
    }
    // Checked before the working folder is cleared, so a broken package costs nothing.
    std::string bytes, error;
    std::vector<ThemeEntry> entries;
    if (!ce::ReadFileBytes(path, bytes)) {
        Message(kMsgCantLoadTheme);
        return false;
    }
    if (!ParseThemePackage(bytes, entries, error)) {
        Message(kMsgCantInstallSkin, ThemeName(package));
        return false;
    }
    ce::CreateDirectories(kThemeWorkFolder);
    for (const auto& f : ce::FindFiles(std::u16string(kThemeWorkFolder) + u"*"))
        if (!f.isDirectory)
            ce::DeleteFile(kThemeWorkFolder + f.name);
    m_bThemeLoaded = false;
    m_strTheme = package;
    for (const auto& e : entries) {
        ce::File f = ce::File::Create(kThemeWorkFolder + Widen(e.strName));
        if (!f || !f.Write(e.content)) {
            Message(kMsgCantInstallSkin, ThemeName(package));
            return false;
        }
    }
    return ReadThemeConfig();
}

bool CDialerDoc::ApplyOptions(const CDialDevice& device, const std::u16string& package) {
    if (device.m_strName.empty() || device.m_strPort.empty()) {
        Message(kMsgDeviceNotSelected);
        return false;
    }
    if (package.empty()) {
        Message(kMsgSkinNotSelected);
        return false;
    }
    bool ok = ce::RegSetValue(ce::HKEY_CURRENT_USER, kSettingsKey, u"name",
                              ce::RegValue::Sz(device.m_strName)) &&
              ce::RegSetValue(ce::HKEY_CURRENT_USER, kSettingsKey, u"port",
                              ce::RegValue::Sz(device.m_strPort)) &&
              ce::RegSetValue(ce::HKEY_CURRENT_USER, kSettingsKey, u"selected_theme",
                              ce::RegValue::Sz(package));
    if (!ok) {
        Message(kMsgRegistry);
        return false;
    }
    m_device = device;
    return SelectTheme(package);
}

bool CDialerDoc::PressKey(std::u16string_view key) {
    return ApplyKey(m_strNumber, key);
}

bool CDialerDoc::Dial() {
    // The phone is busy while another program of the suite holds the lock.
    ce::File lock = ce::File::Open(m_strAppDir + u"kvo.lock", ce::GENERIC_WRITE,
                                   ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS);
    if (!lock) {
        Message(kMsgLocked);
        return false;
    }
    std::u16string number = CleanDialNumber(m_strNumber);
    m_comm.StartSAR();
    if (m_onBusy)
        m_onBusy(true);
    bool ok = false;
    int failure = 0;
    if (!m_comm.OpenPort(m_device.m_strPort)) {
        failure = kMsgCantOpenPort;
    } else if (!m_comm.SetParams(9600, 0, 8, 0)) {
        failure = kMsgCantSetParams;
    } else {
        std::string command = "ATD" + Narrow(number) + ";";
        std::u16string reply;
        // An ERROR reply comes back as an empty text, as OK does: the engine's error
        // reply tells them apart, so a refused call is not reported as placed.
        if (!m_comm.SendAndReceive(command.c_str(), reply, CKvoComm::MODE_PROMPT, 4) ||
            !m_comm.LastErrorReply().empty())
            failure = kMsgCommunication;
        else
            ok = true;
    }
    m_comm.ClosePort();
    m_comm.StopSAR();
    if (m_onBusy)
        m_onBusy(false);
    lock.Close();
    if (failure)
        Message(failure);
    return ok;
}

CColumnWidths CDialerDoc::LoadColumnWidths() {
    CColumnWidths w;
    auto get = [](const char16_t* name, uint32_t& v) {
        v = ce::RegGetDword(ce::HKEY_CURRENT_USER, kSettingsKey, name, v);
    };
    get(u"firstnamelenght", w.nFirstName);
    get(u"lastnamelenght", w.nLastName);
    get(u"companynamelenght", w.nCompany);
    get(u"typephonelenght", w.nType);
    get(u"phonenumberlenght", w.nNumber);
    return w;
}

bool CDialerDoc::SaveColumnWidths(const CColumnWidths& w) {
    auto set = [](const char16_t* name, uint32_t v) {
        return ce::RegSetValue(ce::HKEY_CURRENT_USER, kSettingsKey, name, ce::RegValue::Dword(v));
    };
    return set(u"firstnamelenght", w.nFirstName) && set(u"lastnamelenght", w.nLastName) &&
           set(u"companynamelenght", w.nCompany) && set(u"typephonelenght", w.nType) &&
           set(u"phonenumberlenght", w.nNumber);
}

}  // namespace kvo::dialer
