#include "platform/vcard.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/text.h"

namespace ce {
namespace {

constexpr size_t kMaxLine = 1u << 20;    // one unfolded property
constexpr size_t kMaxProperties = 4096;  // per card

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

struct Param {
    std::string name;                 // upper case; empty for a 2.1 bare value
    std::vector<std::string> values;  // upper case for TYPE, as written otherwise
};

struct Property {
    std::string name;  // upper case, without group
    std::vector<Param> params;
    std::string value;  // raw
    std::string line;   // the whole unfolded line

    bool Has(std::string_view param, std::string_view value) const {
        for (const auto& p : params)
            if (p.name == param || (p.name.empty() && param == "TYPE"))
                for (const auto& v : p.values)
                    if (Upper(v) == value)
                        return true;
        return false;
    }
    std::optional<std::string> Get(std::string_view param) const {
        for (const auto& p : params)
            if (p.name == param && !p.values.empty())
                return p.values[0];
        return std::nullopt;
    }
};

// Logical lines: CR LF, LF or CR ends a line; a line starting with blank or tab continues
// the one before. A quoted-printable value ending in '=' runs on to the next line.
std::vector<std::string> Unfold(std::string_view text) {
    std::vector<std::string> physical;
    size_t i = 0;
    while (i < text.size()) {
        size_t e = text.find_first_of("\r\n", i);
        if (e == std::string_view::npos)
            e = text.size();
        physical.emplace_back(text.substr(i, e - i));
        if (e < text.size() && text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n')
            ++e;
        i = e + 1;
    }
    std::vector<std::string> logical;
    bool qpOpen = false;
    for (std::string& line : physical) {
        if (qpOpen && logical.back().size() + line.size() <= kMaxLine) {
            logical.back().pop_back();  // the soft line break's '='
            logical.back() += line;
        } else if (!logical.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t') &&
                   logical.back().size() + line.size() <= kMaxLine) {
            logical.back().append(line, 1);
        } else {
            logical.push_back(std::move(line));
        }
        const std::string& cur = logical.back();
        std::string head = Upper(cur.substr(0, cur.find(':')));
        qpOpen =
            !cur.empty() && cur.back() == '=' && head.find("QUOTED-PRINTABLE") != std::string::npos;
    }
    return logical;
}

// Splits on `sep` outside double quotes.
std::vector<std::string> SplitOutsideQuotes(std::string_view s, char sep) {
    std::vector<std::string> parts(1);
    bool quoted = false;
    for (char c : s) {
        if (c == '"')
            quoted = !quoted;
        if (c == sep && !quoted)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

std::string Unquote(std::string s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}

bool ParseProperty(const std::string& line, Property& prop) {
    // The value starts after the first ':' outside a quoted parameter value.
    size_t colon = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos || colon == 0)
        return false;
    std::vector<std::string> head =
        SplitOutsideQuotes(std::string_view(line).substr(0, colon), ';');
    std::string name = head[0];
    if (size_t dot = name.rfind('.'); dot != std::string::npos)
        name = name.substr(dot + 1);
    if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameChar))
        return false;
    prop.name = Upper(name);
    prop.params.clear();
    for (size_t i = 1; i < head.size(); ++i) {
        Param p;
        size_t eq = head[i].find('=');
        std::string values = head[i];
        if (eq != std::string::npos) {
            p.name = Upper(head[i].substr(0, eq));
            values = head[i].substr(eq + 1);
        }
        // TYPE="cell,voice" (4.0) lists as TYPE=cell,voice (3.0) does.
        for (std::string& v : SplitOutsideQuotes(values, ',')) {
            std::string u = Unquote(v);
            if (p.name == "TYPE" && u.find(',') != std::string::npos) {
                for (std::string& w : SplitOutsideQuotes(u, ',')) p.values.push_back(w);
            } else {
                p.values.push_back(u);
            }
        }
        prop.params.push_back(std::move(p));
    }
    prop.value = line.substr(colon + 1);
    prop.line = line;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=') {
            int hi = i + 1 < s.size() ? HexValue(s[i + 1]) : -1;
            int lo = i + 2 < s.size() ? HexValue(s[i + 2]) : -1;
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
            if (i + 1 == s.size())
                break;  // a soft line break left at the very end
        }
        out += s[i];
    }
    return out;
}

// Windows-1252's printable characters in 0x80..0x9F; the rest of Latin-1 maps as is.
constexpr char16_t kCp1252[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                  0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string ToUtf8From8Bit(std::string_view bytes, bool cp1252) {
    std::u16string wide;
    for (unsigned char c : bytes)
        wide += (cp1252 && c >= 0x80 && c < 0xA0) ? kCp1252[c - 0x80] : static_cast<char16_t>(c);
    return ToUtf8(wide);
}

// The value's bytes as UTF-8 text, before any vCard escaping is undone.
std::string DecodeValue(const Property& prop) {
    std::string bytes = prop.value;
    auto encoding = prop.Get("ENCODING");
    if ((encoding && Upper(*encoding) == "QUOTED-PRINTABLE") ||
        prop.Has("TYPE", "QUOTED-PRINTABLE"))
        bytes = DecodeQuotedPrintable(bytes);
    std::string charset = Upper(prop.Get("CHARSET").value_or(""));
    if (charset == "ISO-8859-1" || charset == "LATIN1")
        return ToUtf8From8Bit(bytes, false);
    if (charset == "WINDOWS-1252" || charset == "CP1252")
        return ToUtf8From8Bit(bytes, true);
    if (FromUtf8Strict(bytes))
        return bytes;
    // No charset and not UTF-8: old organisers wrote their code page without saying so.
    return ToUtf8From8Bit(bytes, true);
}

// Components of a structured value (N, ORG) with backslash escapes undone.
std::vector<std::string> Components(std::string_view s) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r') {  // a quoted-printable line break: CR LF or CR alone is one break
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            parts.back() += '\n';
            continue;
        }
        if (c == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            parts.back() += (n == 'n' || n == 'N') ? '\n' : n;
        } else if (c == ';') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string Text(std::string_view s) {
    std::vector<std::string> parts = Components(s);
    std::string out = parts[0];
    for (size_t i = 1; i < parts.size(); ++i) out += ";" + parts[i];
    return out;
}

std::string Number(const Property& prop, const std::string& decoded) {
    std::string n = Text(decoded);
    auto value = prop.Get("VALUE");
    if (value && Upper(*value) == "URI" && Upper(n.substr(0, 4)) == "TEL:")
        n = n.substr(4);
    return n;
}

void Fill(std::string& slot, std::string& spill, const std::string& value) {
    if (slot.empty())
        slot = value;
    else if (spill.empty())
        spill = value;
}

void AddTelephone(VCardContact& c, const Property& p, const std::string& decoded) {
    std::string n = Number(p, decoded);
    if (n.empty())
        return;
    bool fax = p.Has("TYPE", "FAX"), work = p.Has("TYPE", "WORK"), home = p.Has("TYPE", "HOME");
    if (p.Has("TYPE", "CELL")) {
        Fill(c.mobile, c.other, n);
    } else if (p.Has("TYPE", "CAR")) {
        Fill(c.car, c.other, n);
    } else if (p.Has("TYPE", "PAGER")) {
        Fill(c.pager, c.other, n);
    } else if (fax && home) {
        Fill(c.homeFax, c.other, n);
    } else if (fax) {
        Fill(c.businessFax, c.other, n);
    } else if (work) {
        Fill(c.business, c.business2, n);
    } else if (home) {
        Fill(c.home, c.home2, n);
    } else if (c.other.empty()) {
        c.other = n;
    }
}

// Applies one property of the card; false marks the card as damaged.
bool Apply(VCardContact& c, const Property& p, bool& sawN, std::string& fn) {
    const std::string& name = p.name;
    if (name == "VERSION") {
        c.version = Text(p.value);
        return c.version == "2.1" || c.version == "3.0" || c.version == "4.0";
    }
    std::string decoded = DecodeValue(p);
    if (name == "UID") {
        c.uid = Text(decoded);
    } else if (name == "N") {
        std::vector<std::string> parts = Components(decoded);
        c.lastName = parts[0];
        c.firstName = parts.size() > 1 ? parts[1] : "";
        sawN = true;
    } else if (name == "FN") {
        fn = Text(decoded);
    } else if (name == "ORG") {
        c.companyName = Components(decoded)[0];
    } else if (name == "TEL") {
        AddTelephone(c, p, decoded);
    } else if (name != "PRODID" && name != "REV") {
        c.extraLines.push_back(p.line);
    }
    return true;
}

void AppendFolded(std::string& out, const std::string& line) {
    // 75 octets per line, never inside a UTF-8 sequence.
    size_t start = 0, width = 75;
    while (line.size() - start > width) {
        size_t cut = start + width;
        while (cut > start + 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        out.append(line, start, cut - start);
        out += "\r\n ";
        start = cut;
        width = 74;
    }
    out.append(line, start);
    out += "\r\n";
}

std::string Escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == ',' || c == ';')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

}  // namespace

std::vector<VCardContact> ParseVCards(std::string_view text, std::vector<VCardProblem>& problems) {
    std::vector<VCardContact> cards;
    if (text.size() > kMaxVCardText) {
        problems.push_back({0, "the text is too large"});
        return cards;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string> lines = Unfold(text);
    size_t nCard = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find_first_not_of(" \t") == std::string::npos)
            continue;
        Property p;
        if (!ParseProperty(lines[i], p) || p.name != "BEGIN" || Upper(p.value) != "VCARD") {
            problems.push_back({nCard + 1, "text outside a card"});
            // Skip to the next card.
            continue;
        }
        ++nCard;
        VCardContact c;
        std::string error, fn;
        bool sawN = false, ended = false;
        int depth = 0;
        size_t count = 0;
        for (++i; i < lines.size(); ++i) {
            if (lines[i].empty())
                continue;
            Property q;
            if (!ParseProperty(lines[i], q)) {
                if (error.empty())
                    error = "malformed line \"" + lines[i].substr(0, 40) + "\"";
                continue;
            }
            if (q.name == "END" && Upper(q.value) == "VCARD") {
                if (depth == 0) {
                    ended = true;
                    break;
                }
                --depth;
                continue;
            }
            if (q.name == "BEGIN" && Upper(q.value) == "VCARD") {
                ++depth;  // an embedded card (2.1 AGENT) belongs to someone else
                continue;
            }
            if (depth)
                continue;
            if (++count > kMaxProperties) {
                if (error.empty())
                    error = "too many properties";
                continue;
            }
            if (!Apply(c, q, sawN, fn) && error.empty())
                error = "unknown version " + c.version;
        }
        if (!ended)
            error = "no END:VCARD";
        if (c.version.empty() && error.empty())
            error = "no VERSION";
        if (!error.empty()) {
            problems.push_back({nCard, error});
            continue;
        }
        // A card with a formatted name only still shows its name.
        if (!sawN && c.companyName.empty())
            c.lastName = fn;
        cards.push_back(std::move(c));
    }
    return cards;
}

std::string FormatVCard(const VCardContact& c) {
    std::string out = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    if (!c.uid.empty())
        AppendFolded(out, "UID:" + Escape(c.uid));
    AppendFolded(out, "N:" + Escape(c.lastName) + ";" + Escape(c.firstName) + ";;;");
    std::string fn = c.firstName.empty()  ? c.lastName
                     : c.lastName.empty() ? c.firstName
                                          : c.firstName + " " + c.lastName;
    if (fn.empty())
        fn = c.companyName;
    AppendFolded(out, "FN:" + Escape(fn));
    if (!c.companyName.empty())
        AppendFolded(out, "ORG:" + Escape(c.companyName));
    const std::pair<const std::string*, const char*> tels[] = {
        {&c.mobile, "CELL"},          {&c.business, "WORK,VOICE"}, {&c.business2, "WORK,VOICE"},
        {&c.home, "HOME,VOICE"},      {&c.home2, "HOME,VOICE"},    {&c.car, "CAR"},
        {&c.businessFax, "WORK,FAX"}, {&c.homeFax, "HOME,FAX"},    {&c.pager, "PAGER"},
        {&c.other, "VOICE"}};
    for (const auto& [number, type] : tels)
        if (!number->empty())
            AppendFolded(out, std::string("TEL;TYPE=") + type + ":" + Escape(*number));
    for (const std::string& line : c.extraLines) AppendFolded(out, line);
    out += "END:VCARD\r\n";
    return out;
}

}  // namespace ce
