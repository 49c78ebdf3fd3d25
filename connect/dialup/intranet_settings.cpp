#include "intranet_settings.h"

#include <utility>

#include "common/scramble.h"
#include "platform/error.h"
#include "platform/file.h"

namespace kvo::connect {
namespace {

// Written in this order and spelling; read by their lower-case form.
const std::pair<std::u16string_view, std::u16string CIntranetSettings::*> kKeys[] = {
    {u"Internet", &CIntranetSettings::internet},
    {u"Proxy", &CIntranetSettings::proxy},
    {u"Proxy_http", &CIntranetSettings::proxy_http},
    {u"Proxy_wap", &CIntranetSettings::proxy_wap},
    {u"Proxy_socks", &CIntranetSettings::proxy_socks},
    {u"Socks4", &CIntranetSettings::socks4},
    {u"Socks5", &CIntranetSettings::socks5},
    {u"Proxy_User", &CIntranetSettings::proxy_user},
    {u"Proxy_Password", &CIntranetSettings::proxy_password},
    {u"User", &CIntranetSettings::user},
    {u"Password", &CIntranetSettings::password},
    {u"IP", &CIntranetSettings::ip},
    {u"Slip", &CIntranetSettings::slip},
    {u"Compress_sw", &CIntranetSettings::compress_sw},
    {u"Compress_hd", &CIntranetSettings::compress_hd},
    {u"DNS", &CIntranetSettings::dns},
    {u"AltDNS", &CIntranetSettings::altdns},
    {u"WINS", &CIntranetSettings::wins},
    {u"AltWINS", &CIntranetSettings::altwins},
    {u"APN", &CIntranetSettings::apn},
};

std::u16string Lower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
    return out;
}

bool IsScrambled(std::u16string_view key) {
    return key == u"password" || key == u"proxy_password";
}
bool KeepsCase(std::u16string_view key) {
    return IsScrambled(key) || key == u"user" || key == u"proxy_user";
}

}  // namespace

std::u16string* CIntranetSettings::Field(std::u16string_view key) {
    for (const auto& [name, member] : kKeys)
        if (Lower(name) == key)
            return &(this->*member);
    return nullptr;
}

std::u16string ScrambleIntranetPassword(std::u16string_view text) {
    CeRand rand(kIntranetSeed);
    std::u16string out(text);
    for (char16_t& c : out) c = static_cast<char16_t>(c ^ (rand.Next() & 0xFFFF));
    return out;
}

CIntranetSettings ParseIntranetDat(std::string_view bytes) {
    CIntranetSettings s;
    bytes = bytes.substr(0, kIntranetMaxBytes);
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8));
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos)
            end = text.size();
        std::u16string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        size_t eq = line.find(u'=');
        if (line.empty() || eq == std::u16string_view::npos)
            continue;
        std::u16string key = Lower(line.substr(0, eq));
        std::u16string* field = s.Field(key);
        if (!field)
            continue;
        std::u16string value(line.substr(eq + 1));
        if (IsScrambled(key))
            value = ScrambleIntranetPassword(value);
        *field = KeepsCase(key) ? value : Lower(value);
    }
    return s;
}

bool FormatIntranetDat(const CIntranetSettings& s, std::string& bytes, std::string& error) {
    std::u16string text;
    for (const auto& [name, member] : kKeys) {
        const std::u16string& plain = s.*member;
        if (plain.find_first_of(u"\r\n", 0) != std::u16string::npos) {
            error = "the intranet setting " + std::string(name.begin(), name.end()) +
                    " holds a line break";
            return false;
        }
        std::u16string value = IsScrambled(Lower(name)) ? ScrambleIntranetPassword(plain) : plain;
        if (value.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos) {
            error = "the intranet password holds a character that cannot be stored";
            return false;
        }
        text += name;
        text += u'=';
        text += value;
        text += u"\r\n";
    }
    if (text.size() * 2 > kIntranetMaxBytes) {
        error = "the intranet settings are longer than 2000 bytes";
        return false;
    }
    bytes.clear();
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return true;
}

bool LoadIntranetDat(const std::u16string& path, CIntranetSettings& s, std::string& error) {
    if (!ce::FileExists(path)) {
        s = CIntranetSettings();
        return true;
    }
    std::string bytes;
    if (!ce::ReadFileBytes(path, bytes)) {
        error = "cannot read intranet.dat: " + ce::GetLastErrorText();
        return false;
    }
    s = ParseIntranetDat(bytes);
    return true;
}

bool SaveIntranetDat(const std::u16string& path, const CIntranetSettings& s, std::string& error) {
    std::string bytes;
    if (!FormatIntranetDat(s, bytes, error))
        return false;
    if (!ce::WriteFileAtomic(path, bytes)) {
        error = "cannot write intranet.dat: " + ce::GetLastErrorText();
        return false;
    }
    return true;
}

}  // namespace kvo::connect
