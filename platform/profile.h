// The application profile: per program, kept in HKCU\Software\Orvane\<program>\<section>.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace ce {

// The program whose profile the calls below use ("telmio", "connect", ...).
void SetAppName(std::u16string_view name);
std::u16string AppName();

std::u16string GetProfileString(std::u16string_view section, std::u16string_view entry,
                                std::u16string_view def = u"");
bool WriteProfileString(std::u16string_view section, std::u16string_view entry,
                        std::u16string_view value);
uint32_t GetProfileInt(std::u16string_view section, std::u16string_view entry, uint32_t def);
bool WriteProfileInt(std::u16string_view section, std::u16string_view entry, uint32_t value);

// The Get forms give the default also when the hive cannot be read. These tell that apart:
// false (GetLastErrorText says why) when the hive cannot be read; a missing entry, or one of
// another type, gives `def` and true.
bool QueryProfileString(std::u16string_view section, std::u16string_view entry,
                        std::u16string& value, std::u16string_view def = u"");
bool QueryProfileInt(std::u16string_view section, std::u16string_view entry, uint32_t& value,
                     uint32_t def);

}  // namespace ce
