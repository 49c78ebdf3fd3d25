#include "platform/contacts.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/vcard.h"

namespace ce {
namespace fs = std::filesystem;
namespace {

const char16_t kKey[] = u"Drivers\\kvo";
const char16_t kValue[] = u"ContactsFolder";
const char kOidFile[] = ".kvo-oids";
const char kOidLock[] = ".kvo-oids.lock";

// The UID as one line of the Oid record: '%', tab and line breaks escaped.
std::string EscapeKey(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
            char buf[4];
            snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeKey(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

struct OidRecord {
    uint32_t nNext = 1;
    std::map<std::string, uint32_t> byKey;
};

bool IsHex2(std::string_view s, size_t i) {
    return i + 1 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])) &&
           std::isxdigit(static_cast<unsigned char>(s[i + 1]));
}

// Decimal digits only, at most 10 of them.
bool ParseDecimal(std::string_view s, uint64_t& v) {
    if (s.empty() || s.size() > 10)
        return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

bool ReadOidRecord(const fs::path& path, OidRecord& rec) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return !fs::exists(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseOidRecord(text, rec.nNext, rec.byKey);
}

// Writes through a temporary file in the same folder, fsync and rename.
bool WriteAtomic(const fs::path& path, const std::string& bytes) {
    fs::path tmp = path;
    tmp += ".tmp" + std::to_string(getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bool ok = done == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        SetLastErrorFromErrno(errno ? errno : EIO);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::string NewUid() {
    std::random_device rd;
    char buf[40];
    snprintf(buf, sizeof buf, "%08x-%04x-4%03x-%04x-%08x%04x", rd(), rd() & 0xFFFF, rd() & 0xFFF,
             (rd() & 0x3FFF) | 0x8000, rd(), rd() & 0xFFFF);
    return buf;
}

// A file name for a UID: safe characters only, so any UID makes a name in the folder.
std::string FileForUid(const std::string& uid) {
    std::string name;
    for (char c : uid)
        name += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.')
                    ? c
                    : '_';
    if (name.empty() || name[0] == '.')
        name = "card" + name;
    return name.substr(0, 200) + ".vcf";
}

ContactItem FromCard(const VCardContact& c) {
    ContactItem item;
    item.FirstName = FromUtf8(c.firstName);
    item.LastName = FromUtf8(c.lastName);
    item.CompanyName = FromUtf8(c.companyName);
    item.MobileTelephoneNumber = FromUtf8(c.mobile);
    item.BusinessTelephoneNumber = FromUtf8(c.business);
    item.Business2TelephoneNumber = FromUtf8(c.business2);
    item.HomeTelephoneNumber = FromUtf8(c.home);
    item.Home2TelephoneNumber = FromUtf8(c.home2);
    item.CarTelephoneNumber = FromUtf8(c.car);
    item.BusinessFaxNumber = FromUtf8(c.businessFax);
    item.HomeFaxNumber = FromUtf8(c.homeFax);
    item.PagerNumber = FromUtf8(c.pager);
    item.OtherTelephoneNumber = FromUtf8(c.other);
    item.strUid = c.uid;
    item.extraLines = c.extraLines;
    return item;
}

VCardContact ToCard(const ContactItem& item) {
    VCardContact c;
    c.uid = item.strUid;
    c.firstName = ToUtf8(item.FirstName);
    c.lastName = ToUtf8(item.LastName);
    c.companyName = ToUtf8(item.CompanyName);
    c.mobile = ToUtf8(item.MobileTelephoneNumber);
    c.business = ToUtf8(item.BusinessTelephoneNumber);
    c.business2 = ToUtf8(item.Business2TelephoneNumber);
    c.home = ToUtf8(item.HomeTelephoneNumber);
    c.home2 = ToUtf8(item.Home2TelephoneNumber);
    c.car = ToUtf8(item.CarTelephoneNumber);
    c.businessFax = ToUtf8(item.BusinessFaxNumber);
    c.homeFax = ToUtf8(item.HomeFaxNumber);
    c.pager = ToUtf8(item.PagerNumber);
    c.other = ToUtf8(item.OtherTelephoneNumber);
    c.extraLines = item.extraLines;
    return c;
}

// The key an Oid is kept under: the UID, or the file and position for a card without one.
std::string KeyOf(const ContactItem& item, size_t position) {
    if (!item.strUid.empty())
        return "uid:" + item.strUid;
    return "file:" + item.strFile + "#" + std::to_string(position);
}

}  // namespace

bool ParseOidRecord(std::string_view text, uint32_t& next, std::map<std::string, uint32_t>& byKey) {
    std::map<std::string, uint32_t> keys;
    size_t pos = 0;
    bool first = true;
    uint64_t nextValue = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            return false;  // every line ends with LF
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return false;
        uint64_t value;
        if (first) {
            // "next" 1 .. 2^32, where 2^32 says every Oid has been given.
            if (line.substr(0, tab) != "next" || !ParseDecimal(line.substr(tab + 1), value) ||
                value == 0 || value > 0x100000000ull)
                return false;
            nextValue = value;
            first = false;
            continue;
        }
        if (!ParseDecimal(line.substr(0, tab), value) || value == 0 || value >= nextValue)
            return false;
        std::string_view key = line.substr(tab + 1);
        for (size_t i = 0; i < key.size(); ++i)
            if (key[i] == '%' && !IsHex2(key, i + 1))
                return false;
        keys[UnescapeKey(std::string(key))] = static_cast<uint32_t>(value);
    }
    if (first)
        return false;
    next = nextValue > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(nextValue);
    byKey = std::move(keys);
    return true;
}

fs::path ContactsFolderPath() {
    std::u16string named = RegGetString(HKEY_LOCAL_MACHINE, kKey, kValue, u"");
    if (named.empty())
        return DeviceRoot() / "contacts";
    fs::path p(ToUtf8(named));
    return p.is_absolute() ? p : DeviceRoot() / p;
}

bool SetContactsFolderPath(const fs::path& folder) {
    return RegSetValue(HKEY_LOCAL_MACHINE, kKey, kValue, RegValue::Sz(FromUtf8(folder.string())));
}

bool ContactsFolder::Logon() {
    m_items.clear();
    m_problems.clear();
    m_folder = ContactsFolderPath();
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (!fs::is_directory(m_folder, ec)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::vector<std::string> files;
    for (fs::directory_iterator it(m_folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() > 4 && name[0] != '.' && name.substr(name.size() - 4) == ".vcf" &&
            it->is_regular_file(ec))
            files.push_back(name);
    }
    if (ec) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const std::string& name : files) {
        std::error_code sizeError;
        if (fs::file_size(m_folder / name, sizeError) > kMaxVCardText) {
            m_problems.push_back(name + ": too large, skipped");
            continue;
        }
        std::ifstream in(m_folder / name, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            m_problems.push_back(name + ": cannot be read, skipped");
            continue;
        }
        std::vector<VCardProblem> problems;
        std::vector<VCardContact> cards = ParseVCards(text, problems);
        for (const auto& p : problems)
            m_problems.push_back(name + ": card " + std::to_string(p.nCard) + ": " + p.strWhat +
                                 ", skipped");
        for (size_t k = 0; k < cards.size(); ++k) {
            ContactItem item = FromCard(cards[k]);
            item.strFile = name;
            m_items.push_back(std::move(item));
        }
    }
    std::vector<ContactItem*> all;
    for (auto& item : m_items) all.push_back(&item);
    if (!AssignOids(all))
        return false;
    return true;
}

bool ContactsFolder::AssignOids(std::vector<ContactItem*> items) {
    // One writer of the record at a time, across programs.
    int lock = ::open((m_folder / kOidLock).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        if (lock >= 0)
            ::close(lock);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    OidRecord rec;
    bool ok = ReadOidRecord(m_folder / kOidFile, rec);
    if (!ok)
        m_problems.push_back(std::string(kOidFile) + ": damaged; contacts keep no Oid");
    bool changed = false;
    std::map<std::string, size_t> seen;
    for (ContactItem* item : items) {
        std::string key = KeyOf(*item, seen[item->strFile]++);
        auto it = rec.byKey.find(key);
        if (it != rec.byKey.end()) {
            item->Oid = it->second;
            continue;
        }
        if (!ok || rec.nNext == 0) {  // a damaged record or every Oid used: none given
            item->Oid = 0;
            continue;
        }
        item->Oid = rec.nNext;
        rec.byKey[key] = rec.nNext;
        rec.nNext = rec.nNext == 0xFFFFFFFFu ? 0 : rec.nNext + 1;
        changed = true;
    }
    // Two cards sharing a UID would share an Oid: the later ones get none.
    std::map<uint32_t, int> uses;
    for (ContactItem& item : m_items)
        if (item.Oid && ++uses[item.Oid] > 1)
            item.Oid = 0;
    bool written = true;
    if (changed) {
        std::string text =
            "next\t" + std::to_string(rec.nNext == 0 ? 0x100000000ull : rec.nNext) + "\n";
        for (const auto& [key, oid] : rec.byKey)
            text += std::to_string(oid) + "\t" + EscapeKey(key) + "\n";
        written = WriteAtomic(m_folder / kOidFile, text);
    }
    ::close(lock);
    return written;
}

const ContactItem* ContactsFolder::GetItemFromOid(uint32_t oid) const {
    if (!oid)
        return nullptr;
    for (const auto& item : m_items)
        if (item.Oid == oid)
            return &item;
    return nullptr;
}

ContactItem ContactsFolder::Add() const {
    ContactItem item;
    item.strUid = NewUid();
    return item;
}

bool ContactsFolder::WriteCardFile(const std::string& file) {
    std::string text;
    for (const auto& item : m_items)
        if (item.strFile == file)
            text += FormatVCard(ToCard(item));
    return WriteAtomic(m_folder / file, text);
}

bool ContactsFolder::Save(ContactItem& item) {
    if (m_folder.empty() && !Logon())
        return false;
    auto it = std::find_if(m_items.begin(), m_items.end(), [&](const ContactItem& x) {
        return (item.Oid && x.Oid == item.Oid) || (!item.strUid.empty() && x.strUid == item.strUid);
    });
    if (it == m_items.end()) {
        if (item.strUid.empty())
            item.strUid = NewUid();
        if (item.strFile.empty())
            item.strFile = FileForUid(item.strUid);
        while (std::any_of(m_items.begin(), m_items.end(),
                           [&](const ContactItem& x) { return x.strFile == item.strFile; }))
            item.strFile = FileForUid(NewUid());
        m_items.push_back(item);
        it = m_items.end() - 1;
    } else {
        uint32_t oid = it->Oid;
        std::string file = it->strFile;
        *it = item;
        it->Oid = oid;
        it->strFile = file;
    }
    if (!it->Oid && !AssignOids({&*it}))
        return false;
    if (!WriteCardFile(it->strFile))
        return false;
    item = *it;
    return it->Oid != 0;
}

size_t ContactsFolder::Import(std::string_view text, std::vector<std::string>& problems) {
    std::vector<VCardProblem> found;
    std::vector<VCardContact> cards = ParseVCards(text, found);
    for (const auto& p : found)
        problems.push_back("card " + std::to_string(p.nCard) + ": " + p.strWhat + ", skipped");
    size_t stored = 0;
    for (const VCardContact& c : cards) {
        ContactItem item = FromCard(c);
        if (item.strUid.empty())
            item.strUid = NewUid();
        if (Save(item))
            ++stored;
        else
            problems.push_back("a card could not be stored");
    }
    return stored;
}

std::string ContactsFolder::Export() const {
    std::string text;
    for (const auto& item : m_items) text += FormatVCard(ToCard(item));
    return text;
}

}  // namespace ce
