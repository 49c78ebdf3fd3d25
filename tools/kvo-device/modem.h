// Registering a modem the way a handheld's driver does: an "ExtModems" entry, a line device of
// the same name, and where its port leads on this machine.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace ce {
class RegKey;
}

namespace kvo::device {

inline constexpr char16_t kExtModemsKey[] = u"ExtModems";
inline constexpr char16_t kDemoModemName[] = u"Generic IrDA-modem";
inline constexpr char16_t kDemoPort[] = u"COM3:";
inline constexpr char16_t kDemoPortDevice[] = u"dev/COM3";  // relative to the device root

// Adds the modem, or updates the port of the one of that name. An empty linuxDevice leaves
// the port map alone. False with a message for the user.
bool AddModem(const std::u16string& name, const std::u16string& port,
              const std::u16string& linuxDevice, std::string& error);

// The same inside a transaction on HKEY_LOCAL_MACHINE's root.
void AddModemTo(ce::RegKey& root, const std::u16string& name, const std::u16string& port,
                const std::u16string& linuxDevice);

int RunAddModem(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::device
