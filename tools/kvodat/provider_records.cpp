#include "tools/kvodat/provider_records.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "common/narrow.h"
#include "connect/data/data_reader.h"

namespace kvo::kvodat {
namespace {

using connect::CConnectionData;
using connect::CIspEntry;

constexpr size_t kNames = 6;  // operator names a record holds

// Latin Extended-A, U+0100 to U+017F, without their marks.
constexpr std::array<const char*, 128> kLatinA = {
    "A", "a", "A", "a", "A", "a", "C", "c", "C", "c", "C", "c", "C", "c", "D", "d", "D", "d",
    "E", "e", "E", "e", "E", "e", "E", "e", "E", "e", "G", "g", "G", "g", "G", "g", "G", "g",
    "H", "h", "H", "h", "I", "i", "I", "i", "I", "i", "I", "i", "I", "i", "IJ", "ij", "J", "j",
    "K", "k", "k", "L", "l", "L", "l", "L", "l", "L", "l", "L", "l", "N", "n", "N", "n", "N",
    "n", "n", "N", "n", "O", "o", "O", "o", "O", "o", "OE", "oe", "R", "r", "R", "r", "R", "r",
    "S", "s", "S", "s", "S", "s", "S", "s", "T", "t", "T", "t", "T", "t", "U", "u", "U", "u",
    "U", "u", "U", "u", "U", "u", "U", "u", "W", "w", "Y", "y", "Y", "Z", "z", "Z", "z", "Z",
    "z", "s"};

const char* Transliteration(char32_t c) {
    if (c >= 0x100 && c < 0x180) return kLatinA[c - 0x100];
    switch (c) {
    case 0xA0: return " ";
    case 0x218: return "S";
    case 0x219: return "s";
    case 0x21A: return "T";
    case 0x21B: return "t";
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015: return "-";
    case 0x2018: case 0x2019: case 0x201A: case 0x201B: return "'";
    case 0x201C: case 0x201D: case 0x201E: case 0x201F: return "\"";
    case 0x2026: return "...";
    default: return nullptr;
    }
}

// Decodes one UTF-8 sequence; false on a malformed one.
bool NextCodePoint(std::string_view s, size_t& i, char32_t& c) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80             ? 0
                : (b & 0xE0) == 0xC0 ? 1
                : (b & 0xF0) == 0xE0 ? 2
                : (b & 0xF8) == 0xF0 ? 3
                                     : -1;
    if (extra < 0 || s.size() - i <= static_cast<size_t>(extra)) return false;
    c = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return false;
        c = (c << 6) | (t & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += extra + 1;
    return true;
}

bool Storable(char32_t c) {
    return (c >= 0x20 && c < 0x7F && c != '#') || (c >= 0xA0 && c <= 0xFF);
}

std::string Strip(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

// Words of a name for telling which provider one of our records is: lower-case letter and
// digit runs of two or more.
std::set<std::string> Words(std::string_view s) {
    std::set<std::string> out;
    std::string w;
    auto flush = [&] {
        if (w.size() >= 2) out.insert(w);
        w.clear();
    };
    for (char c : s) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) w += c;
        else if (c >= 'A' && c <= 'Z') w += static_cast<char>(c - 'A' + 'a');
        else flush();
    }
    flush();
    return out;
}

bool IsNetworkId(std::string_view s) {
    if (s.size() < 5 || s.size() > 6) return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ValidQuad(const std::string& s) {
    int parts = 0;
    size_t i = 0;
    while (i <= s.size()) {
        size_t dot = s.find('.', i);
        std::string part = s.substr(i, dot == std::string::npos ? std::string::npos : dot - i);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(part) > 255)
            return false;
        ++parts;
        if (dot == std::string::npos) break;
        i = dot + 1;
    }
    return parts == 4;
}

using Fields = std::array<std::string, connect::kIspFields>;

std::string Line(const Fields& f) {
    std::string s = "#";
    for (const auto& x : f) s += x + "#";
    return s + "\r\n";
}

std::string QuadText(const connect::IpAddress& a) {
    if (a == connect::IpAddress{}) return {};
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

Fields FieldsOf(const CIspEntry& e) {
    Fields f;
    f[0] = Narrow(e.m_strName);
    f[1] = Narrow(e.m_strCountryCode);
    f[2] = Narrow(e.m_strAreaCode);
    f[3] = Narrow(e.m_strDialNumber);
    f[4] = Narrow(e.m_strApn);
    f[5] = QuadText(e.m_dnsPrimary);
    f[6] = QuadText(e.m_dnsSecondary);
    for (size_t i = 0; i < kNames; ++i) f[7 + i] = Narrow(e.m_strOperator[i]);
    f[13] = Narrow(e.m_strSmsCentre);
    f[14] = Narrow(e.m_strUser);
    f[15] = Narrow(e.m_strPassword);
    f[16] = e.m_bCsdAllowed ? "" : "no";
    f[17] = e.m_bGprsAllowed ? "" : "no";
    f[18] = e.m_bSwCompression ? "" : "no";
    f[19] = e.m_bHeaderCompression ? "yes" : "";
    return f;
}

// One access point of a provider in file text.
struct CAccess {
    std::string m_strApn, m_strUser, m_strPassword, m_strLabel;
    std::vector<std::string> m_dns;
};

// A provider as records need it: everything already in file text.
struct CSource {
    const CProvider* m_p = nullptr;
    std::string m_strName;
    std::vector<std::string> m_names;  // operator names after the network ids
    std::vector<CAccess> m_access;
    int m_nJoined = -1;  // index of our record it is joined with
};

class CBuilder {
public:
    explicit CBuilder(CImportResult& r) : m_r(r) {}

    bool Build(const std::vector<CProvider>& providers, std::string_view curated,
               std::string& error) {
        std::string phones = "*Phones\r\n", ispHeader = "*ISP\r\n", modems = "*Modems\r\n*";
        CConnectionData own;
        if (!curated.empty() && !Curated(curated, own, phones, ispHeader, modems, error))
            return false;
        for (const auto& p : providers) Prepare(p);
        OperatorNames();
        for (const auto& e : own.Isps()) m_used.insert(Narrow(e->m_strName));
        std::string records;
        for (size_t i = 0; i < own.Isps().size(); ++i)
            records += Ours(*own.Isps()[i], static_cast<int>(i));
        // The network's own operators first: a network id shared with virtual operators
        // then finds them.
        for (bool primary : {true, false})
            for (auto& s : m_sources)
                if (s.m_p->m_bPrimary == primary) records += Imported(s);
        m_r.m_strSource = phones + ispHeader + records + modems;
        return true;
    }

private:
    // Splits our source into its tables: the phone and modem tables are copied byte for byte.
    bool Curated(std::string_view text, CConnectionData& own, std::string& phones,
                 std::string& ispHeader, std::string& modems, std::string& error) {
        std::u16string wide = connect::DataFileText(text);
        auto r = connect::ParseConnectionData(wide, connect::EDataReader::Connect, own);
        if (!r.Ok()) {
            error = "the source to merge does not parse: " + Narrow(r.Message());
            return false;
        }
        size_t p = 0;
        auto header = [&] {
            size_t start = p;
            ++p;
            while (p < wide.size() && wide[p] != u'#' && wide[p] != u'*') ++p;
            return start;
        };
        auto table = [&](int fields) {
            std::u16string f;
            while (p < wide.size() && wide[p] == u'#') {
                for (int k = 0; k < fields; ++k) connect::ReadField(wide, p, f);
                p += 3;  // the last '#', CR, LF
            }
        };
        header();
        table(connect::kPhoneFields);
        size_t isp = header();
        phones = Narrow(std::u16string_view(wide).substr(0, isp));
        ispHeader = Narrow(std::u16string_view(wide).substr(isp, p - isp));
        table(connect::kIspFields);
        modems = std::string(text.substr(p));
        m_r.m_nCurated = static_cast<int>(own.Isps().size());
        return true;
    }

    void Skip(const CProvider& p, const std::string& what) {
        ++m_r.m_nSkipped;
        m_r.m_warnings.push_back("line " + std::to_string(p.m_nLine) + ": " + what);
    }

    void Prepare(const CProvider& p) {
        CSource s;
        s.m_p = &p;
        // The main name (no language given) first, then the others.
        std::vector<const CProviderName*> names;
        for (const auto& n : p.m_names)
            if (n.m_strLang.empty()) names.push_back(&n);
        for (const auto& n : p.m_names)
            if (!n.m_strLang.empty()) names.push_back(&n);
        for (const auto* n : names) {
            std::string t;
            if (!ToFileText(n->m_strText, true, t) || Strip(t).empty()) continue;
            if (s.m_strName.empty()) s.m_strName = t;
            if (std::find(s.m_names.begin(), s.m_names.end(), t) == s.m_names.end())
                s.m_names.push_back(t);
        }
        std::set<std::string> seen;
        for (const auto& a : p.m_apns) {
            // Only what a user picks for internet: MMS, WAP and attach-only access points
            // would connect to nothing useful.
            if (!a.m_strUsage.empty() && a.m_strUsage.find("internet") == std::string::npos)
                continue;
            CAccess x;
            if (!ToFileText(a.m_strValue, false, x.m_strApn) ||
                x.m_strApn.find(' ') != std::string::npos) {
                Skip(p,
                     "access point \"" + a.m_strValue + "\" left out: its name cannot be stored");
                continue;
            }
            if (!ToFileText(a.m_strUser, false, x.m_strUser) ||
                !ToFileText(a.m_strPassword, false, x.m_strPassword)) {
                Skip(p, "access point \"" + a.m_strValue +
                            "\" left out: its login holds characters the data file cannot store");
                continue;
            }
            for (const auto& d : a.m_dns) {
                if (ValidQuad(d)) {
                    x.m_dns.push_back(d);
                } else {
                    m_r.m_warnings.push_back("line " + std::to_string(a.m_nLine) +
                                             ": name server \"" + d +
                                             "\" is not an IPv4 address, left out");
                }
            }
            std::string label;
            if (ToFileText(a.m_strName, true, label)) x.m_strLabel = label;
            if (!seen.insert(x.m_strApn + '\n' + x.m_strUser + '\n' + x.m_strPassword).second)
                continue;
            s.m_access.push_back(std::move(x));
        }
        if (s.m_access.empty()) return;
        if (s.m_strName.empty()) {
            Skip(p, "provider \"" +
                        (p.m_names.empty() ? std::string() : p.m_names.front().m_strText) +
                        "\" left out: no name of it can be stored");
            return;
        }
        m_sources.push_back(std::move(s));
    }

    // A name phones may show is only worth matching when it points at one country: "Vodafone"
    // in the list names operators of many, and a wrong country's access point is worse than
    // none.
    void OperatorNames() {
        std::map<std::string, std::set<std::string>> countries;
        for (const auto& s : m_sources)
            for (const auto& n : s.m_names) countries[Strip(n)].insert(s.m_p->m_strCountry);
        for (auto& s : m_sources)
            std::erase_if(s.m_names, [&](const std::string& n) {
                return countries[Strip(n)].size() > 1 || IsNetworkId(Strip(n));
            });
    }

    // Records are chosen by name in the settings, so no two may share one: the country
    // tells apart providers of the same name, a number the rest.
    std::string Unique(const std::string& name, const std::string& country = {}) {
        if (m_used.insert(name).second) return name;
        std::string base = name;
        if (!country.empty()) {
            std::string cc;
            for (char c : country)
                cc += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            std::string n;
            if (ToFileText(base + " (" + cc + ")", true, n)) {
                base = n;
                if (m_used.insert(base).second) return base;
            }
        }
        std::string n = base;
        for (int i = 2; !m_used.insert(n).second; ++i) n = base + " " + std::to_string(i);
        return n;
    }

    static void Access(Fields& f, const CAccess& a) {
        f[4] = a.m_strApn;
        f[5] = a.m_dns.size() > 0 ? a.m_dns[0] : "";
        f[6] = a.m_dns.size() > 1 ? a.m_dns[1] : "";
        f[14] = a.m_strUser;
        f[15] = a.m_strPassword;
    }

    // Our record, joined with the provider of its network when the list has one: the
    // provider's access point, login and name servers are maintained facts, our dial numbers,
    // service centre and network names are not in the list.
    std::string Ours(const CIspEntry& e, int index) {
        Fields f = FieldsOf(e);
        std::vector<std::string> ids;
        for (const auto& n : e.m_strOperator)
            if (IsNetworkId(Narrow(n))) ids.push_back(Narrow(n));
        std::set<std::string> words = Words(f[0]);
        for (size_t i = 0; i < kNames; ++i) {
            auto w = Words(f[7 + i]);
            words.insert(w.begin(), w.end());
        }
        CSource* best = nullptr;
        int bestScore = 0;
        for (auto& s : m_sources) {
            if (s.m_nJoined >= 0) continue;
            int shared = 0;
            for (const auto& id : s.m_p->m_networkIds)
                shared += std::count(ids.begin(), ids.end(), id) > 0;
            if (shared == 0) continue;
            int common = 0;
            for (const auto& n : s.m_names)
                for (const auto& w : Words(n)) common += words.count(w) > 0;
            for (const auto& w : Words(s.m_strName)) common += words.count(w) > 0;
            // A name in common says most (our record may be a virtual operator's), then
            // being the network's own operator, then how many networks are shared.
            int score = 1000 * common + (s.m_p->m_bPrimary ? 100 : 0) + shared;
            if (score > bestScore) {
                best = &s;
                bestScore = score;
            }
        }
        if (!best) return Line(f);
        best->m_nJoined = index;
        ++m_r.m_nJoined;
        Access(f, best->m_access.front());
        // The provider's network ids join our names in the free slots.
        std::vector<std::string> rest;
        for (const auto& id : best->m_p->m_networkIds) {
            bool have = false;
            for (size_t i = 0; i < kNames; ++i) have = have || f[7 + i] == id;
            if (have) continue;
            size_t i = 0;
            while (i < kNames && !f[7 + i].empty()) ++i;
            if (i < kNames) f[7 + i] = id;
            else rest.push_back(id);
        }
        std::string out = Line(f);
        out += Continuation(f, best->m_access.front(), rest);
        return out;
    }

    // Names beyond six go into further records with the same access point, so every network
    // id and name is still recognised.
    std::string Continuation(const Fields& main, const CAccess& a,
                             const std::vector<std::string>& ids) {
        std::string out;
        for (size_t i = 0; i < ids.size(); i += kNames) {
            Fields f{};
            f[0] = Unique(main[0] + " (" + std::to_string(i / kNames + 2) + ")");
            Access(f, a);
            for (size_t k = 0; k < kNames && i + k < ids.size(); ++k) f[7 + k] = ids[i + k];
            f[16] = "no";
            out += Line(f);
            ++m_r.m_nImported;
        }
        return out;
    }

    std::string Imported(const CSource& s) {
        std::string out;
        ++m_r.m_nProviders;
        for (size_t i = 0; i < s.m_access.size(); ++i) {
            // The provider's first access point was joined to our record already.
            if (i == 0 && s.m_nJoined >= 0) continue;
            const CAccess& a = s.m_access[i];
            Fields f{};
            std::string name = s.m_strName;
            // Further access points are told apart by what the list calls them.
            if (i > 0) {
                const std::string& label =
                    a.m_strLabel.empty() || a.m_strLabel == s.m_strName ? a.m_strApn : a.m_strLabel;
                name = label.starts_with(s.m_strName) ? label : name + " (" + label + ")";
            }
            f[0] = Unique(name, s.m_p->m_strCountry);
            Access(f, a);
            std::vector<std::string> names, rest;
            // Only the provider's first access point is the one identification picks; the
            // others are there to be chosen by name.
            if (i == 0) {
                // Names first: a provider with many networks is still found by its name in
                // its main record.
                names = s.m_names;
                names.insert(names.end(), s.m_p->m_networkIds.begin(), s.m_p->m_networkIds.end());
            }
            for (size_t k = 0; k < names.size(); ++k) {
                if (k < kNames) f[7 + k] = names[k];
                else rest.push_back(names[k]);
            }
            f[16] = "no";  // the list has no dial-in numbers: packet data only
            out += Line(f);
            ++m_r.m_nImported;
            out += Continuation(f, a, rest);
        }
        return out;
    }

    CImportResult& m_r;
    std::vector<CSource> m_sources;
    std::set<std::string> m_used;
};

}  // namespace

bool ToFileText(std::string_view utf8, bool transliterate, std::string& out) {
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        char32_t c;
        if (!NextCodePoint(utf8, i, c)) return false;
        const char* t = transliterate ? Transliteration(c) : nullptr;
        if (t) out += t;
        else if (Storable(c)) out += static_cast<char>(c);
        else return false;
    }
    return true;
}

bool BuildDatabaseSource(const std::vector<CProvider>& providers, std::string_view curatedSource,
                         CImportResult& result, std::string& error) {
    result = CImportResult{};
    CBuilder b(result);
    return b.Build(providers, curatedSource, error);
}

}  // namespace kvo::kvodat
