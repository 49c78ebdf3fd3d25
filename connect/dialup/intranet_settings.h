// "intranet.dat": the intranet settings (proxies, login, addresses, APN), UTF-16LE lines
// "Key=value" with the two passwords scrambled.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kvo::connect {

// Seed of the passwords' scrambling ("KI"): its first 128 generator values all have a high
// byte, so no Latin-1 character scrambles into CR, LF or NUL and breaks its line.
inline constexpr uint16_t kIntranetSeed = 0x4B49;
inline constexpr size_t kIntranetMaxBytes = 2000;
inline constexpr std::u16string_view kIntranetFileName = u"intranet.dat";

struct CIntranetSettings {
    std::u16string internet = u"yes";
    std::u16string proxy, proxy_http, proxy_wap, proxy_socks, socks4, socks5;
    std::u16string user, password, proxy_user, proxy_password;
    std::u16string ip;
    std::u16string slip = u"no";
    std::u16string compress_sw = u"yes";
    std::u16string compress_hd = u"no";
    std::u16string dns, altdns, wins, altwins, apn;

    static bool On(const std::u16string& value) { return value == u"yes"; }
    // The field of a lower-case key ("proxy_http"), or null.
    std::u16string* Field(std::u16string_view key);
    bool operator==(const CIntranetSettings&) const = default;
};

// XOR of every unit with the low 16 bits of successive generator values; its own inverse.
std::u16string ScrambleIntranetPassword(std::u16string_view text);

// Reads the file's bytes over the defaults (only the first 2000 bytes count). Values are
// lower-cased, except the login and proxy credentials, which keep their case: a password
// is not a switch.
CIntranetSettings ParseIntranetDat(std::string_view bytes);

// The file's bytes; false with a reason when a value cannot be stored so that it reads back
// (a line break in it, a password that scrambles into one, or more than 2000 bytes).
bool FormatIntranetDat(const CIntranetSettings& s, std::string& bytes, std::string& error);

// Missing file: the defaults. `path` is a handheld path.
bool LoadIntranetDat(const std::u16string& path, CIntranetSettings& s, std::string& error);
// Replaces the file atomically.
bool SaveIntranetDat(const std::u16string& path, const CIntranetSettings& s, std::string& error);

}  // namespace kvo::connect
