// The installation directory: HKLM\SOFTWARE\Apps\<key>, value "InstlDir", plus a backslash.
#pragma once
#include <string>
#include <string_view>

namespace kvo {

inline constexpr std::u16string_view kSuiteKey = u"Orvane kvonet pro";
inline constexpr std::u16string_view kUpdaterKey = u"Orvane Updater";
inline constexpr std::u16string_view kAppsKey = u"SOFTWARE\\Apps";
// Where the device tool installs them.
inline constexpr std::u16string_view kSuiteDir = u"\\Program Files\\kvonet pro";
inline constexpr std::u16string_view kUpdaterDir = u"\\Program Files\\Orvane Updater";

// "InstlDir" with a backslash appended in `dir`; just "\" when the value is missing, as the
// handheld's programs then work in the root folder. False, with the reason in `error`, when
// HKLM cannot be read: that is no missing value, and no file may be put in the root for it.
bool GetInstallDirChecked(std::u16string& dir, std::string& error,
                          std::u16string_view key = kSuiteKey);
// The same for callers that only compose paths: when HKLM cannot be read it gives a folder
// that every file call refuses (ERROR_INVALID_NAME), so nothing is read from or written to the
// root in its stead.
std::u16string GetInstallDir(std::u16string_view key = kSuiteKey);
// The installation directory plus a file name.
std::u16string InstallPath(std::u16string_view fileName, std::u16string_view key = kSuiteKey);

}  // namespace kvo
