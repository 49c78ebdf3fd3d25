#include "list_lines.h"

namespace kvo::updater {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string ToLower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            c += 0x20;
    }
    return out;
}

std::vector<CListLine> SplitListLines(std::u16string_view text) {
    std::vector<CListLine> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t cr = text.find(u'\r', pos);
        std::u16string_view line = text.substr(
            pos, cr == std::u16string_view::npos ? std::u16string_view::npos : cr - pos);
        pos = cr == std::u16string_view::npos ? text.size() : cr + 2;
        while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        if (line.empty() || line.front() != u'<')
            continue;
        size_t close = line.find(u'>');
        if (close == std::u16string_view::npos)
            continue;
        CListLine l;
        l.bBang = line.size() > 1 && line[1] == u'!';
        l.strTag = ToLower(line.substr(1, close - 1));
        l.strRest = std::u16string(line.substr(close + 1));
        lines.push_back(std::move(l));
    }
    return lines;
}

std::vector<std::u16string> SplitWords(std::u16string_view s) {
    std::vector<std::u16string> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsBlank(s[i])) ++i;
        size_t start = i;
        while (i < s.size() && !IsBlank(s[i])) ++i;
        if (i > start)
            words.emplace_back(s.substr(start, i - start));
    }
    return words;
}

void SplitPath(std::u16string_view path, std::u16string& dir, std::u16string& name) {
    size_t slash = path.rfind(u'\\');
    if (slash == std::u16string_view::npos) {
        dir.clear();
        name = std::u16string(path);
    } else {
        dir = std::u16string(path.substr(0, slash + 1));
        name = std::u16string(path.substr(slash + 1));
    }
}

bool IsOlderVersion(std::u16string_view a, std::u16string_view b) {
    return a.compare(b) < 0;
}

}  // namespace kvo::updater
