#include "dialer/theme_config.h"

#include <charconv>

#include "dialer/dialer_strings.h"
#include "platform/file.h"

namespace kvo::dialer {
namespace {

// A configuration is a few hundred bytes; anything this big is no configuration.
constexpr int64_t kMaxConfigBytes = 1 << 20;

const char* const kKeyNames[] = {"keydel", "key+", "keycall", "key1",     "key2",       "key3",
                                 "key4",   "key5", "key6",    "key7",     "key8",       "key9",
                                 "key*",   "key0", "key#",    "keyclear", "keycontact", nullptr};

// The value's first two commas cut it; the third part keeps any further commas.
int SplitValue(std::string_view value, std::string parts[3]) {
    size_t first = value.find(',');
    if (first == std::string_view::npos) {
        parts[0] = value;
        return 1;
    }
    parts[0] = value.substr(0, first);
    size_t second = value.find(',', first + 1);
    if (second == std::string_view::npos) {
        parts[1] = value.substr(first + 1);
        return 2;
    }
    parts[1] = value.substr(first + 1, second - first - 1);
    parts[2] = value.substr(second + 1);
    return 3;
}

int Decimal(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    int n = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    (void)p;
    return ec == std::errc() ? n : 0;
}

}  // namespace

const char* const* ThemeKeyNames() {
    return kKeyNames;
}

bool IsThemeKeyName(std::string_view key) {
    for (const char* const* k = kKeyNames; *k; ++k)
        if (key == *k)
            return true;
    return false;
}

int ParseThemeConfig(std::string_view text, CThemeConfig& out) {
    CThemeConfig cfg;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        std::string_view line = text.substr(pos, eol == std::string_view::npos ? eol : eol - pos);
        pos = eol == std::string_view::npos ? text.size() : eol + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == ';')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return kMsgSkinCorrupted;
        std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        std::string parts[3];
        if (key == "background") {
            cfg.m_strBackground = value;
        } else if (key == "defaultkey") {
            cfg.m_strDefaultKey = value;
        } else if (key == "selectedkey") {
            cfg.m_strSelectedKey = value;
        } else if (key == "display") {
            if (SplitValue(value, parts) < 3)
                return kMsgConfigFile;
            cfg.m_strDisplay = parts[0];
            cfg.m_strDisplayFont = parts[1];
            cfg.m_nDisplayHeight = Decimal(parts[2]);
        } else if (IsThemeKeyName(key)) {
            int n = SplitValue(value, parts);
            CKeyLook look;
            if (parts[0] == "bmp") {
                if (n < 2)
                    return kMsgConfigFile;
                look.m_bBitmap = true;
                look.m_strFile = value.substr(value.find(',') + 1);
            } else {
                if (n < 3)
                    return kMsgConfigFile;
                look.m_strLabel = parts[0];
                look.m_strFont = parts[1];
                look.m_nHeight = Decimal(parts[2]);
            }
            cfg.m_keys[std::string(key)] = look;
        }
        // Other keys belong to newer themes; they change nothing here.
    }
    out = std::move(cfg);
    return 0;
}

int LoadThemeConfig(std::u16string_view folder, CThemeConfig& out) {
    std::u16string dir(folder);
    auto found = ce::FindFiles(dir + u"*.cfg");
    const ce::FindData* cfg = nullptr;
    for (const auto& f : found)
        if (!f.isDirectory) {
            cfg = &f;
            break;
        }
    if (!cfg)
        return kMsgSkinConfigNotFound;
    ce::File f = ce::File::OpenRead(dir + cfg->name);
    if (!f)
        return kMsgSkinConfigNotFound;
    int64_t size = f.Size();
    if (size < 0 || size > kMaxConfigBytes)
        return kMsgConfigFile;
    std::string text(size_t(size), '\0');
    if (size > 0 && !f.ReadExact(text.data(), text.size()))
        return kMsgConfigFile;
    return ParseThemeConfig(text, out);
}

}  // namespace kvo::dialer
