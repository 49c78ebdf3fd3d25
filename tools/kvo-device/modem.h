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
// the port map alone. `bSimulated` marks its line device as one a simulated phone sits
// behind; without it an existing modem keeps the mark it has. False with a message.
bool AddModem(const std::u16string& name, const std::u16string& port,
              const std::u16string& linuxDevice, std::string& error, bool bSimulated = false);

// The same inside a transaction on HKEY_LOCAL_MACHINE's root.
void AddModemTo(ce::RegKey& root, const std::u16string& name, const std::u16string& port,
                const std::u16string& linuxDevice, bool bSimulated = false);

int RunAddModem(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::device
