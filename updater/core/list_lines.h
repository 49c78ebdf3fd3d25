// The line and tag rules that "version.info" and "update.info" share: the text is split at
// carriage returns (the character after one is skipped), leading blanks are dropped, and only
// lines of the form "<tag>rest" count.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kvo::updater {

struct CListLine {
    std::u16string strTag;   // lower case
    std::u16string strRest;  // after the ">", case as in the file
    bool bBang = false;      // "<" was followed by "!"
};

std::vector<CListLine> SplitListLines(std::u16string_view text);

// Lower case as the handheld's lists compare names: ASCII and Latin-1 letters.
std::u16string ToLower(std::u16string_view s);
bool IsBlank(char16_t c);
// Blank-separated words.
std::vector<std::u16string> SplitWords(std::u16string_view s);
// "dir\name" into "dir\" and "name"; no backslash gives an empty directory.
void SplitPath(std::u16string_view path, std::u16string& dir, std::u16string& name);

// Versions compare by characters: at the first difference the smaller character is older.
bool IsOlderVersion(std::u16string_view a, std::u16string_view b);

}  // namespace kvo::updater
