// The installer's string table: every text once per language.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::install {

enum class Language { German, English, French, Italian, Dutch };

enum class Text {
    LanguageTitle,
    LanguagePrompt,
    Next,
    Cancel,
    InfoTitle,
    InfoText,
    LicenceTitle,
    LicenceText,
    WaitTitle,
    WaitText,
    NoConnection,
    TryAgain,
    NoOsVersion,
    Wm2002,
    InstallFailed,
    Success,
    Installing,
};

// String resource 1: the language the installer starts in.
inline constexpr Language kDefaultLanguage = Language::English;
// String resource 2: which agreement the licence page shows.
inline constexpr int kEditionCode = 1;

// UTF-8.
std::string LoadText(Language language, Text id);
// The name of `language` as the page lists it in the language `shownIn`.
std::string LanguageName(Language shownIn, Language language);
// The page's order: English, German, Dutch, French, Italian.
const std::vector<Language>& LanguageChoices();
// "german", "english", "french", "italian", "dutch" (any case).
std::optional<Language> ParseLanguage(std::string_view name);
std::string LanguageCode(Language language);
// "_Ger.bin" ... "_Dut.bin".
std::string PackageSuffix(Language language);

}  // namespace kvo::install
