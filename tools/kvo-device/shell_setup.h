// Steps of `create` for the dialer's themes and the shell plug-ins.
#pragma once
#include <filesystem>
#include <string>

namespace kvo::device {

// The Today item's key under HKLM\SOFTWARE\Microsoft\Today\Items (the quotes are part of
// the name; the connection manager's uninstall removes it by that name).
inline constexpr char16_t kTodayItemName[] = u"\"Kvonet\"";
inline constexpr char16_t kPimAddInName[] = u"kvonet pro";

// bin/themes/*.thm into \Windows\dialer.
bool InstallThemes(const std::filesystem::path& binDir, std::string& error);
// cardhook.dll and homestrip.dll (links to the built libraries) and connect.tdy into the
// installation directory.
bool InstallPlugins(const std::filesystem::path& binDir, std::string& error);
// The Today item and the contacts command add-in.
bool RegisterShellItems(const std::filesystem::path& binDir, std::string& error);

}  // namespace kvo::device
