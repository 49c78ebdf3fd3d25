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

// "InstlDir" with a backslash appended; just "\" when the value is missing, as the
// handheld's programs then work in the root folder.
std::u16string GetInstallDir(std::u16string_view key = kSuiteKey);
// The installation directory plus a file name.
std::u16string InstallPath(std::u16string_view fileName, std::u16string_view key = kSuiteKey);

}  // namespace kvo
