#include "reg_command.h"

#include <cstdio>
#include <ostream>

#include "commands.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kvo::device {

const char* const kRegUsage =
    "usage: kvo-device reg get KEY [NAME]\n"
    "       kvo-device reg set KEY NAME TYPE VALUE...\n"
    "       kvo-device reg delete KEY [NAME]\n"
    "       kvo-device reg export [HKLM|HKCU]\n"
    "KEY starts with HKLM\\ or HKCU\\ (or HKEY_LOCAL_MACHINE\\, HKEY_CURRENT_USER\\).\n"
    "TYPE is REG_SZ, REG_DWORD (decimal or 0x hex), REG_MULTI_SZ (one VALUE per string)\n"
    "or REG_BINARY (hex bytes, commas optional). NAME \"\" is the key's default value.\n";

namespace {

bool ParseHive(std::string_view s, ce::Hive& hive) {
    std::u16string w = ce::FoldCase(ce::FromUtf8(s));
    if (w == u"HKLM" || w == u"HKEY_LOCAL_MACHINE") {
        hive = ce::HKEY_LOCAL_MACHINE;
    } else if (w == u"HKCU" || w == u"HKEY_CURRENT_USER") {
        hive = ce::HKEY_CURRENT_USER;
    } else {
        return false;
    }
    return true;
}

bool ParseKey(const std::string& key, ce::Hive& hive, std::u16string& path) {
    size_t cut = key.find('\\');
    if (!ParseHive(key.substr(0, cut), hive)) return false;
    path = cut == std::string::npos ? u"" : ce::FromUtf8(key.substr(cut + 1));
    return true;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(b, sizeof b, i ? ",%02x" : "%02x", bytes[i]);
        s += b;
    }
    return s;
}

void PrintValue(std::ostream& out, const ce::RegValue& v) {
    if (auto s = v.AsSz()) {
        out << ce::ToUtf8(*s) << "\n";
    } else if (auto d = v.AsDword()) {
        out << *d << "\n";
    } else if (auto m = v.AsMultiSz()) {
        for (const auto& s : *m) out << ce::ToUtf8(s) << "\n";
    } else {
        out << Hex(v.data) << "\n";
    }
}

bool ParseValue(const std::string& type, const std::vector<std::string>& items,
                ce::RegValue& v, std::string& error) {
    std::u16string t = ce::FoldCase(ce::FromUtf8(type));
    if (t.rfind(u"REG_", 0) != 0) t = u"REG_" + t;
    if (t == u"REG_SZ" && items.size() == 1) {
        v = ce::RegValue::Sz(ce::FromUtf8(items[0]));
    } else if (t == u"REG_DWORD" && items.size() == 1) {
        const std::string& s = items[0];
        char* end = nullptr;
        errno = 0;
        unsigned long long n = strtoull(s.c_str(), &end, 0);
        if (s.empty() || *end || errno || n > 0xFFFFFFFFull || s[0] == '-') {
            error = "bad REG_DWORD value: " + s;
            return false;
        }
        v = ce::RegValue::Dword(static_cast<uint32_t>(n));
    } else if (t == u"REG_MULTI_SZ") {
        std::vector<std::u16string> strings;
        for (const auto& s : items) strings.push_back(ce::FromUtf8(s));
        v = ce::RegValue::MultiSz(strings);
    } else if (t == u"REG_BINARY" && items.size() == 1) {
        std::vector<uint8_t> bytes;
        std::string digits;
        for (char c : items[0])
            if (c != ',' && c != ' ') digits.push_back(c);
        if (digits.size() % 2 || digits.find_first_not_of("0123456789abcdefABCDEF") !=
                                     std::string::npos) {
            error = "bad REG_BINARY value: " + items[0];
            return false;
        }
        for (size_t i = 0; i < digits.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
        v = ce::RegValue::Binary(std::move(bytes));
    } else {
        error = "bad TYPE or number of values";
        return false;
    }
    return true;
}

int Failed(std::ostream& err, const std::string& what) {
    err << "kvo-device: " << what << ": " << LastErrorText() << "\n";
    return 1;
}

// A missing key or value is the answer "not there"; anything else is the registry failing.
int NotFoundOrFailed(std::ostream& err, const std::string& missing) {
    if (ce::GetLastError() == ce::ERROR_FILE_NOT_FOUND) {
        err << "kvo-device: " << missing << "\n";
        return 1;
    }
    return Failed(err, "cannot read the registry");
}

int Printed(std::ostream& out, std::ostream& err) {
    out.flush();
    if (out) return 0;
    err << "kvo-device: cannot write the output\n";
    return 1;
}

// One key as read in one go: another program deleting a value meanwhile cannot leave a name
// without its value.
struct KeySnapshot {
    std::vector<std::u16string> keys;
    std::vector<ce::RegKey::Named> values;
};

bool SnapshotKey(ce::Hive hive, const std::u16string& path, KeySnapshot& snap) {
    bool found = false;
    bool ok = ce::RegRead(hive, [&](const ce::RegKey& root) {
        const ce::RegKey* key = root.Find(path);
        if (!key) return;
        found = true;
        for (const auto& [folded, sub] : key->keys) snap.keys.push_back(sub->name);
        for (const auto& [folded, named] : key->values) snap.values.push_back(named);
    });
    if (ok && !found) ce::SetLastError(ce::ERROR_FILE_NOT_FOUND);
    return ok && found;
}

}  // namespace

int RunRegCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << kRegUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string& verb = args[0];
    if (verb == "export") {
        std::vector<ce::Hive> hives{ce::HKEY_LOCAL_MACHINE, ce::HKEY_CURRENT_USER};
        if (args.size() == 2) {
            ce::Hive h;
            if (!ParseHive(args[1], h)) {
                err << kRegUsage;
                return 2;
            }
            hives = {h};
        } else if (args.size() > 2) {
            err << kRegUsage;
            return 2;
        }
        // Formatted under the hive's lock, printed after it: a reader that stops reading our
        // output (a paused pager) must not hold up the programs that write the registry.
        std::string text;
        for (ce::Hive h : hives) {
            if (!ce::RegRead(h, [&](const ce::RegKey& root) { text += ce::FormatRegText(root, h); }))
                return Failed(err, "cannot read " + ce::ToUtf8(ce::HiveName(h)));
        }
        out << text;
        return Printed(out, err);
    }
    ce::Hive hive;
    std::u16string path;
    if (args.size() < 2 || !ParseKey(args[1], hive, path)) {
        err << kRegUsage;
        return 2;
    }
    if (verb == "get" && args.size() <= 3) {
        if (args.size() == 3) {
            auto v = ce::RegQueryValue(hive, path, ce::FromUtf8(args[2]));
            if (!v) return NotFoundOrFailed(err, "value not found: " + args[2] + " in " + args[1]);
            PrintValue(out, *v);
            return Printed(out, err);
        }
        KeySnapshot snap;
        if (!SnapshotKey(hive, path, snap))
            return NotFoundOrFailed(err, "key not found: " + args[1]);
        for (const auto& k : snap.keys) out << "[" << ce::ToUtf8(k) << "]\n";
        for (const auto& n : snap.values) {
            out << (n.name.empty() ? "@" : ce::ToUtf8(n.name)) << " = ";
            PrintValue(out, n.value);
        }
        return Printed(out, err);
    }
    if (verb == "set" && args.size() >= 5) {
        ce::RegValue v;
        std::string error;
        if (!ParseValue(args[3], {args.begin() + 4, args.end()}, v, error)) {
            err << "kvo-device: " << error << "\n" << kRegUsage;
            return 2;
        }
        if (!ce::RegSetValue(hive, path, ce::FromUtf8(args[2]), v))
            return Failed(err, "cannot set " + args[2] + " in " + args[1]);
        return 0;
    }
    if (verb == "delete" && args.size() <= 3) {
        bool ok = args.size() == 3 ? ce::RegDeleteValue(hive, path, ce::FromUtf8(args[2]))
                                   : ce::RegDeleteTree(hive, path);
        if (ok) return 0;
        return ce::GetLastError() == ce::ERROR_FILE_NOT_FOUND
                   ? NotFoundOrFailed(err, "nothing to delete: " + args.back() + " not found")
                   : Failed(err, "cannot delete " + args.back());
    }
    err << kRegUsage;
    return 2;
}

}  // namespace kvo::device
