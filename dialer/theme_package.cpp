#include "dialer/theme_package.h"

#include "common/narrow.h"
#include "platform/file.h"

namespace kvo::dialer {

bool IsSafeThemeEntryName(std::string_view name) {
    if (name.empty() || name.size() > kMaxThemeNameBytes || name == "." || name == "..")
        return false;
    if (name.find("..") != std::string_view::npos)
        return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '?' || c == '*')
            return false;
    }
    return true;
}

bool ParseThemePackage(std::string_view bytes, std::vector<ThemeEntry>& entries,
                       std::string& error) {
    std::vector<ThemeEntry> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('?', pos);
        if (end == std::string_view::npos || end - pos > kMaxThemeNameBytes) {
            error = "entry at byte " + std::to_string(pos) + " has no name ended by '?'";
            return false;
        }
        ThemeEntry e;
        e.strName.assign(bytes.substr(pos, end - pos));
        if (!IsSafeThemeEntryName(e.strName)) {
            error = "entry name \"" + e.strName + "\" would leave the theme folder";
            return false;
        }
        pos = end + 1;
        if (bytes.size() - pos < 4) {
            error = "entry \"" + e.strName + "\" has no length";
            return false;
        }
        uint32_t length = 0;
        for (int i = 3; i >= 0; --i) length = length << 8 | uint8_t(bytes[pos + i]);
        pos += 4;
        if (length & 0x80000000u)
            length = 0;
        if (length > bytes.size() - pos) {
            error = "entry \"" + e.strName + "\" claims " + std::to_string(length) +
                    " bytes, the package holds " + std::to_string(bytes.size() - pos);
            return false;
        }
        e.content.assign(bytes.substr(pos, length));
        pos += length;
        out.push_back(std::move(e));
    }
    entries = std::move(out);
    return true;
}

std::string FormatThemePackage(const std::vector<ThemeEntry>& entries) {
    std::string out;
    for (const auto& e : entries) {
        out += e.strName;
        out += '?';
        uint32_t n = uint32_t(e.content.size());
        for (int i = 0; i < 4; ++i) out += char(n >> (8 * i) & 0xFF);
        out += e.content;
    }
    return out;
}

bool UnpackThemePackage(std::u16string_view package, std::u16string_view folder,
                        std::string& error) {
    std::string bytes;
    if (!ce::ReadFileBytes(package, bytes)) {
        error = "cannot read the package";
        return false;
    }
    std::vector<ThemeEntry> entries;
    if (!ParseThemePackage(bytes, entries, error))
        return false;
    if (!ce::CreateDirectories(folder)) {
        error = "cannot create the theme folder";
        return false;
    }
    std::u16string dir(folder);
    if (dir.empty() || (dir.back() != u'\\' && dir.back() != u'/'))
        dir += u'\\';
    for (const auto& e : entries) {
        ce::File f = ce::File::Create(dir + Widen(e.strName));
        if (!f || !f.Write(e.content)) {
            error = "cannot write " + e.strName;
            return false;
        }
    }
    return true;
}

}  // namespace kvo::dialer
