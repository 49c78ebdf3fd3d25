// Text helpers of the phone simulator: escaped byte strings, hex, and the GSM 7-bit default
// alphabet with its extension table.
#pragma once
#include <string>
#include <string_view>

namespace kvo::phone {

// "\r", "\n", "\t", "\\", "\"", "\xHH" and literal bytes. Fails on a dangling or unknown escape.
bool UnescapeBytes(std::string_view text, std::string& out, std::string& error);
// The inverse: printable ASCII stays, everything else (and '"', '\\') is escaped.
std::string EscapeBytes(std::string_view bytes);

bool IsHexText(std::string_view text);  // even length, hex digits of either case
bool HexToBytes(std::string_view text, std::string& out);
std::string BytesToHex(std::string_view bytes);  // upper case

// UTF-8 text to GSM codes (one byte per septet, extension characters as 27 + code). Fails on
// bad UTF-8 or a character the alphabet does not hold.
bool Utf8ToGsm(std::string_view utf8, std::string& codes, std::string& error);
// GSM codes to UTF-8; bytes above 127 are taken as Latin-1.
std::string GsmToUtf8(std::string_view codes);

// Packs septets least significant bits first, as SMS user data carries them.
std::string PackSeptets(std::string_view codes);

// Text in the phone's character set (+CSCS): "GSM", "IRA", "8859-1" or "UCS2" (hex of UTF-16BE).
bool IsKnownCharset(std::string_view charset);
std::string EncodeCharset(std::string_view utf8, std::string_view charset);
bool DecodeCharset(std::string_view bytes, std::string_view charset, std::string& utf8);

}  // namespace kvo::phone
