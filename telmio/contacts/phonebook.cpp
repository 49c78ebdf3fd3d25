#include "telmio/contacts/phonebook.h"

#include <algorithm>

#include "common/binio.h"
#include "common/stored_string.h"
#include "platform/file.h"

namespace kvo {
namespace {

// Smallest entry record: six integers and seven empty strings.
constexpr uint64_t kMinEntryBytes = 6 * 4 + 7 * 6;

std::u16string_view Cut(const std::u16string& s) {
    return std::u16string_view(s).substr(0, kMaxStoredChars);
}

bool ReadStorage(BinReader& in, PhonebookStorage& s, std::string& error) {
    int32_t flag;
    if (!in.ReadI32(flag) || !in.ReadI32(s.m_nFirst) || !in.ReadI32(s.m_nLast) ||
        !in.ReadI32(s.m_nNameLen) || !in.ReadI32(s.m_nNumberLen)) {
        error = "short storage descriptor";
        return false;
    }
    s.m_nFlag = static_cast<uint32_t>(flag);
    if (s.m_nFlag != 0 && s.m_nFlag != STORAGE_SIM && s.m_nFlag != STORAGE_PHONE) {
        error = "unknown storage flag";
        return false;
    }
    if (s.m_nFlag &&
        (s.m_nFirst < 0 || s.m_nLast < s.m_nFirst ||
         static_cast<uint32_t>(s.m_nLast) > kIndexMask || s.m_nNameLen < 0 || s.m_nNumberLen < 0)) {
        error = "storage descriptor out of range";
        return false;
    }
    return true;
}

}  // namespace

CPhonebook::CPhonebook() {
    m_storages[0] = PhonebookStorage{STORAGE_SIM, 1, 20, 20, 20};
}

CPhonebookEntry* CPhonebook::FindEntryById(uint32_t id) const {
    for (const auto& e : m_entries)
        if (e->m_nId == id)
            return e.get();
    return nullptr;
}

void CPhonebook::Remove(const CPhonebookEntry* entry) {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [entry](const auto& p) { return p.get() == entry; });
    if (it != m_entries.end())
        m_entries.erase(it);
}

CPhonebookEntry& CPhonebook::Append(std::unique_ptr<CPhonebookEntry> entry) {
    m_entries.push_back(std::move(entry));
    return *m_entries.back();
}

std::optional<int32_t> CPhonebook::FindFreeIndex(const PhonebookStorage& storage) const {
    if (!storage.m_nFlag || storage.m_nFirst > storage.m_nLast)
        return std::nullopt;
    std::vector<bool> used(static_cast<size_t>(storage.m_nLast - storage.m_nFirst) + 1);
    for (const auto& e : m_entries) {
        if (e->Storage() != storage.m_nFlag)
            continue;
        int64_t i = e->Index();
        if (i >= storage.m_nFirst && i <= storage.m_nLast)
            used[i - storage.m_nFirst] = true;
    }
    for (size_t k = 0; k < used.size(); ++k)
        if (!used[k])
            return storage.m_nFirst + static_cast<int32_t>(k);
    return std::nullopt;
}

const PhonebookStorage* CPhonebook::StorageOf(uint32_t flag) const {
    for (const auto& s : m_storages)
        if (s.m_nFlag == flag)
            return &s;
    return nullptr;
}

std::string FormatPhonebook(const CPhonebook& pb) {
    MemWriter w;
    w.WriteI32(pb.m_nStorageCount);
    for (const auto& s : pb.m_storages) {
        w.WriteU32(s.m_nFlag);
        w.WriteI32(s.m_nFirst);
        w.WriteI32(s.m_nLast);
        w.WriteI32(s.m_nNameLen);
        w.WriteI32(s.m_nNumberLen);
    }
    w.WriteU32(static_cast<uint32_t>(pb.m_entries.size()));
    for (const auto& e : pb.m_entries) {
        w.WriteI32(e->m_nTicked);
        for (int32_t r : e->m_nReserved) w.WriteI32(r);
        w.WriteU32(e->m_nId);
        for (const std::u16string* s :
             {&e->m_strName, &e->m_strNumber, &e->m_strBusiness, &e->m_strHome, &e->m_strCar,
              &e->m_strOrigName, &e->m_strOrigNumber})
            WriteStoredString(w, Cut(*s));
    }
    return w.Bytes();
}

bool ParsePhonebook(std::string_view bytes, CPhonebook& pb, std::string& error) {
    MemReader in(bytes);
    CPhonebook out;
    out.m_storages[0] = PhonebookStorage{};
    uint32_t count;
    if (!in.ReadI32(out.m_nStorageCount)) {
        error = "short header";
        return false;
    }
    if (out.m_nStorageCount < 0 || out.m_nStorageCount > 2) {
        error = "storage count out of range";
        return false;
    }
    for (auto& s : out.m_storages)
        if (!ReadStorage(in, s, error))
            return false;
    if (!in.ReadU32(count)) {
        error = "short entry count";
        return false;
    }
    if (count > in.Remaining() / kMinEntryBytes) {
        error = "entry count larger than the file";
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        auto e = std::make_unique<CPhonebookEntry>();
        if (!in.ReadI32(e->m_nTicked)) {
            error = "short entry";
            return false;
        }
        for (int32_t& r : e->m_nReserved)
            if (!in.ReadI32(r)) {
                error = "short entry";
                return false;
            }
        if (!in.ReadU32(e->m_nId)) {
            error = "short entry";
            return false;
        }
        for (std::u16string* s : {&e->m_strName, &e->m_strNumber, &e->m_strBusiness, &e->m_strHome,
                                  &e->m_strCar, &e->m_strOrigName, &e->m_strOrigNumber}) {
            if (ReadStoredString(in, kMaxStoredChars, *s) != StoredStringError::ok) {
                error = "bad string in entry " + std::to_string(i + 1);
                return false;
            }
        }
        out.m_entries.push_back(std::move(e));
    }
    if (in.Remaining() != 0) {
        error = "bytes after the last entry";
        return false;
    }
    pb = std::move(out);
    return true;
}

std::u16string PhonebookPath(std::u16string_view appDir, std::u16string_view phoneId) {
    return std::u16string(appDir) + u"pb\\" + std::u16string(phoneId) + u".pb";
}

bool SavePhonebookFile(std::u16string_view path, const CPhonebook& pb) {
    std::u16string folder(path.substr(0, path.find_last_of(u"\\/")));
    if (!folder.empty() && !ce::DirectoryExists(folder))
        ce::CreateDirectories(folder);
    return ce::WriteFileAtomic(path, FormatPhonebook(pb));
}

bool LoadPhonebookFile(std::u16string_view path, CPhonebook& pb, std::string* error) {
    std::string bytes, why;
    if (!ce::ReadFileBytes(path, bytes)) {
        if (error)
            *error = "cannot be read";
        return false;
    }
    bool ok = ParsePhonebook(bytes, pb, why);
    if (!ok && error)
        *error = why;
    return ok;
}

bool IsValidNumber(std::u16string_view text) {
    if (text.empty())
        return false;
    for (char16_t c : text)
        if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u';'))
            return false;
    return true;
}

}  // namespace kvo
