#include "sms_info.h"

#include "common/narrow.h"
#include "platform/file.h"

namespace kvo {
namespace {

constexpr size_t kMaxFileBytes = 1 << 20;

// Splits "#a#b#...#" into its fields; false unless it starts and ends with '#'.
bool Fields(std::string_view line, std::vector<std::string_view>& out) {
    out.clear();
    if (line.size() < 2 || line.front() != '#' || line.back() != '#') return false;
    size_t start = 1;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '#') {
            out.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return true;
}

bool ParseDecimal(std::string_view s, int& v) {
    if (s.empty() || s.size() > 9) return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    return true;
}

std::u16string Wide(std::string_view s) { return kvo::Widen(s); }

}  // namespace

bool ParseSmsInfo(std::string_view text, CSmsInfo& info) {
    info = {};
    if (text.empty() || text[0] != '*') return false;
    size_t pos = 1;
    bool header = true;
    std::vector<std::string_view> f;
    while (pos < text.size()) {
        if (text[pos] == '*') {
            std::string_view rest = text.substr(pos + 1);
            return !header && (rest.empty() || rest == "\r\n");
        }
        size_t end = text.find("\r\n", pos);
        if (end == std::string_view::npos) return false;
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 2;
        if (!Fields(line, f)) return false;
        if (header) {
            if (f.size() != 1) return false;
            info.m_strOperator = Wide(f[0]);
            header = false;
            continue;
        }
        if (f.size() != 7) return false;
        CSmsService s;
        if (!ParseDecimal(f[3], s.m_nValue)) return false;
        for (int i = 0; i < 7; ++i) s.m_strFields[i] = Wide(f[i]);
        std::u16string expanded;
        for (char16_t c : s.m_strFields[6]) {
            if (c == u'|')
                expanded += u"\r\n";
            else
                expanded += c;
        }
        s.m_strFields[6] = expanded;
        info.m_services.push_back(std::move(s));
    }
    return false;  // no closing '*'
}

SmsInfoResult LoadSmsInfo(CSmsInfo& info, std::u16string_view path) {
    info = {};
    if (!ce::FileExists(path)) return SmsInfoResult::missing;
    std::string bytes;
    if (!ce::ReadFileBytes(path, bytes) || bytes.size() > kMaxFileBytes || !ParseSmsInfo(bytes, info)) {
        info = {};
        return SmsInfoResult::corrupted;
    }
    return SmsInfoResult::loaded;
}

}  // namespace kvo
