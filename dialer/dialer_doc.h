// The dialer's document: the number, the chosen device, the theme and the call.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "dialer/theme_config.h"
#include "kvocomm/kvocomm.h"

namespace kvo::dialer {

inline constexpr char16_t kSettingsKey[] = u"Software\\Dialer";
inline constexpr char16_t kThemesFolder[] = u"\\windows\\dialer\\";
inline constexpr char16_t kThemeWorkFolder[] = u"\\windows\\dialer\\theme\\";

struct CDialDevice {
    std::u16string m_strName;
    std::u16string m_strPort;  // "COM3:"
    bool operator==(const CDialDevice&) const = default;
};

// The contacts lists' column widths, kept between runs.
struct CColumnWidths {
    uint32_t nFirstName = 70, nLastName = 70, nCompany = 70, nType = 80, nNumber = 120;
};

class CDialerDoc {
public:
    explicit CDialerDoc(IUserInterface& ui);

    // The device and theme of the last run: "name" and "port", else the device "kvo.ini"
    // names; the theme "selected_theme", else the first package there is. Messages for
    // what fails; the window opens anyway.
    void LoadSettings();
    // The device part of it alone (`kvo call`).
    void LoadDevice();

    // The integrated devices: ExtModems entries of DeviceType 1. False (message 2) when
    // the registry cannot be read.
    bool LoadDevices(std::vector<CDialDevice>& devices);
    // Theme package file names ("blue.thm") in the themes folder.
    std::vector<std::u16string> ThemePackages() const;

    // Unpacks a package into the working folder and reads its configuration; nothing
    // happens for the current theme. A refused package leaves the current theme as it was.
    bool SelectTheme(const std::u16string& package);
    const std::u16string& CurrentTheme() const { return m_strTheme; }
    const CThemeConfig& Theme() const { return m_theme; }
    bool HasTheme() const { return m_bThemeLoaded; }

    // Options OK: message 12 without a device, 13 without a skin; else stores both and
    // applies the theme.
    bool ApplyOptions(const CDialDevice& device, const std::u16string& package);
    const CDialDevice& Device() const { return m_device; }
    void SetDevice(const CDialDevice& device) { m_device = device; }

    std::u16string& Number() { return m_strNumber; }
    // A key of the keypad; false for keys that do not edit the number (call, contacts).
    bool PressKey(std::u16string_view key);

    // Places a voice call to the cleaned number through the chosen device's port.
    bool Dial();

    static CColumnWidths LoadColumnWidths();
    static bool SaveColumnWidths(const CColumnWidths& widths);

    // The window sets the wait cursor around the call.
    std::function<void(bool bBusy)> m_onBusy;
    // The folder dialer.exe lies in ("kvo.lock", "kvo.ini"); the installation directory.
    std::u16string m_strAppDir;

private:
    void Message(int id, const std::u16string& extra = {});
    bool ReadThemeConfig();

    IUserInterface& m_ui;
    CKvoComm m_comm;
    CDialDevice m_device;
    std::u16string m_strNumber;
    std::u16string m_strTheme;
    CThemeConfig m_theme;
    bool m_bThemeLoaded = false;
};

}  // namespace kvo::dialer
