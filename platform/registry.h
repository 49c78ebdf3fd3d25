// The emulated registry: HKEY_LOCAL_MACHINE in <device>/registry/system.reg and
// HKEY_CURRENT_USER in user.reg, as ".reg" text. Every change is saved at once (temporary
// file, fsync, rename) under an advisory lock, and a hive changed by another process is read
// again before the next call, so several programs share it safely.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

enum Hive { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER };

enum : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7,
};

// A value as the platform stores it: its type and its bytes (REG_SZ is UTF-16LE with the
// terminating zero, REG_DWORD four little-endian bytes).
struct RegValue {
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;

    static RegValue Sz(std::u16string_view text);
    static RegValue Dword(uint32_t value);
    static RegValue MultiSz(const std::vector<std::u16string>& strings);
    static RegValue Binary(std::vector<uint8_t> bytes);

    // nullopt when the type differs or the bytes do not form that type.
    std::optional<std::u16string> AsSz() const;
    std::optional<uint32_t> AsDword() const;
    std::optional<std::vector<std::u16string>> AsMultiSz() const;
    bool operator==(const RegValue&) const = default;
};

// One key: names compare case-insensitively and keep the case they were created with.
class RegKey {
public:
    struct Named {
        std::u16string name;
        RegValue value;
    };
    std::u16string name;
    std::map<std::u16string, Named> values;                   // folded name -> value
    std::map<std::u16string, std::unique_ptr<RegKey>> keys;  // folded name -> subkey

    // nullptr when missing; `create` makes the missing keys.
    RegKey* Find(std::u16string_view path, bool create = false);
    const RegKey* Find(std::u16string_view path) const;
};

// Same names (as stored) and values, all the way down.
bool operator==(const RegKey& a, const RegKey& b);

const char16_t* HiveName(Hive hive);  // u"HKEY_LOCAL_MACHINE" ...

// A name the hive file can hold and read back: well-formed UTF-16 without control characters
// (a newline would end its line). Key names are also non-empty and hold no backslash.
bool IsValidRegValueName(std::u16string_view name);
bool IsValidRegKeyName(std::u16string_view name);
// Every name of a tree, before it is saved: false with the first bad one in `error`. A change
// that makes a bad name fails with ERROR_INVALID_NAME and saves nothing.
bool CheckRegTree(const RegKey& root, Hive hive, std::string& error);

// Pure format functions (fuzzed). Parse fails with "file:line: reason" in `error`.
bool ParseRegText(std::string_view text, Hive hive, std::string_view fileName, RegKey& root,
                  std::string& error);
std::string FormatRegText(const RegKey& root, Hive hive);

// Key paths are relative to the hive ("SOFTWARE\Apps\Orvane kvonet pro"); "\" separates.
// Results are handheld-style: true/value on success, false/nullopt with GetLastError set
// (ERROR_FILE_NOT_FOUND for a missing key or value, ERROR_BAD_FORMAT for an unreadable hive).
bool RegCreateKey(Hive hive, std::u16string_view path);
bool RegKeyExists(Hive hive, std::u16string_view path);
bool RegDeleteKey(Hive hive, std::u16string_view path);  // fails while it has subkeys
bool RegDeleteTree(Hive hive, std::u16string_view path);
std::optional<std::vector<std::u16string>> RegEnumKeys(Hive hive, std::u16string_view path);
std::optional<std::vector<std::u16string>> RegEnumValues(Hive hive, std::u16string_view path);
std::optional<RegValue> RegQueryValue(Hive hive, std::u16string_view path,
                                      std::u16string_view name);
bool RegSetValue(Hive hive, std::u16string_view path, std::u16string_view name,
                 const RegValue& value);  // creates the key
bool RegDeleteValue(Hive hive, std::u16string_view path, std::u16string_view name);

// Typed shorthands: the default when the value is missing or of another type.
std::u16string RegGetString(Hive hive, std::u16string_view path, std::u16string_view name,
                            std::u16string_view def = u"");
uint32_t RegGetDword(Hive hive, std::u16string_view path, std::u16string_view name,
                     uint32_t def = 0);

// Several changes in one load-and-save. `change` returns false to abandon them.
bool RegTransact(Hive hive, const std::function<bool(RegKey& root)>& change);
// A consistent view of the whole tree (export); needs no write access.
bool RegRead(Hive hive, const std::function<void(const RegKey& root)>& reader);

// The message of the last hive that failed to load ("system.reg:12: bad dword"), or empty.
// GetLastErrorText() tells why the last registry call of a thread failed, with the path.
std::string RegLastLoadError();

}  // namespace ce
