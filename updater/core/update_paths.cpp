#include "update_paths.h"

#include "common/narrow.h"
#include "platform/text.h"

namespace kvo::updater {

std::u16string JoinPath(std::u16string_view dir, std::u16string_view name) {
    std::u16string out(dir);
    while (!out.empty() && out.back() == u'\\') out.pop_back();
    return out + u"\\" + std::u16string(name);
}

std::u16string TempPath(std::u16string_view name) {
    return JoinPath(kTempDir, name);
}

bool IsPlainFileName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F || c == u'\\' || c == u'/' || c == u':' || c == u'*' ||
            c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|')
            return false;
    }
    // Trailing dots and blanks vanish on the handheld, so "..." or "a. " would name another file.
    return name.back() != u'.' && name.back() != u' ';
}

bool IsCleanAbsolutePath(std::u16string_view path) {
    if (path.size() < 2 || path[0] != u'\\')
        return false;
    std::u16string_view rest = path.substr(1);
    while (true) {
        size_t slash = rest.find(u'\\');
        if (!IsPlainFileName(rest.substr(0, slash)))
            return false;
        if (slash == std::u16string_view::npos)
            return true;
        rest = rest.substr(slash + 1);
    }
}

bool IsInside(std::u16string_view path, std::u16string_view dir) {
    std::u16string folder(dir);
    while (!folder.empty() && folder.back() == u'\\') folder.pop_back();
    folder += u'\\';
    return path.size() > folder.size() && ce::EqualsNoCase(path.substr(0, folder.size()), folder);
}

bool DestinationPath(std::u16string_view target, std::u16string_view dir, std::u16string_view name,
                     std::u16string& out) {
    if (!IsPlainFileName(name))
        return false;
    if (dir.empty())
        out = JoinPath(target, name);
    else if (dir.front() == u'\\')
        out = std::u16string(dir) + std::u16string(name);
    else
        out = JoinPath(target, dir) + std::u16string(name);
    return IsCleanAbsolutePath(out) && IsInside(out, target);
}

std::string ObjectPath(std::u16string_view basePath, std::u16string_view tag,
                       std::u16string_view name) {
    auto escape = [](std::u16string_view s) {
        static const char kHex[] = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : Narrow(s)) {
            bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
            if (plain) {
                out += static_cast<char>(c);
            } else {
                out += '%';
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
        }
        return out;
    };
    return Narrow(basePath) + escape(tag) + "/" + escape(name);
}

}  // namespace kvo::updater
