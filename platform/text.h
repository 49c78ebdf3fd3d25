// UTF-8 <-> UTF-16 for host paths, the registry file and terminals.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace ce {

// Ill-formed input (bad UTF-8, unpaired surrogates) becomes U+FFFD.
std::u16string FromUtf8(std::string_view s);
std::string ToUtf8(std::u16string_view s);
// Strict forms: nullopt when the input is not well formed.
std::optional<std::u16string> FromUtf8Strict(std::string_view s);
std::optional<std::string> ToUtf8Strict(std::u16string_view s);

// Case folding as the handheld's file system and registry compare names.
char16_t FoldCase(char16_t c);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string FoldCase(std::u16string_view s);

}  // namespace ce
