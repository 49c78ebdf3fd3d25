#include "telmio/contacts/phonebook_sync.h"

#include <cstdio>
#include <vector>

#include "common/narrow.h"
#include "platform/trace.h"
#include "telmio/sms/sms_pdu.h"

namespace kvo {
namespace {

// Names and numbers sent to the phone are cut to this many characters.
constexpr size_t kMaxSent = 199;

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// A run of decimal digits that makes a sane location or length.
bool ToNumber(std::u16string_view text, int32_t& value) {
    if (text.empty() || text.size() > 9)
        return false;
    int64_t v = 0;
    for (char16_t c : text) {
        if (!IsDigit(c))
            return false;
        v = v * 10 + (c - u'0');
    }
    value = static_cast<int32_t>(v);
    return true;
}

void StripLeading(std::u16string_view& text, std::u16string_view chars) {
    while (!text.empty() && chars.find(text.front()) != std::u16string_view::npos)
        text.remove_prefix(1);
}

// Text up to `stop`; false when it does not occur.
bool TakeUntil(std::u16string_view& text, std::u16string_view stop, std::u16string_view& field) {
    size_t p = text.find(stop);
    if (p == std::u16string_view::npos)
        return false;
    field = text.substr(0, p);
    text.remove_prefix(p);
    return true;
}

// Drops `n` characters, or fails when there are not that many.
bool Drop(std::u16string_view& text, size_t n) {
    if (text.size() < n)
        return false;
    text.remove_prefix(n);
    return true;
}

std::string IndexCommand(const char* fmt, int a, int b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

std::u16string TraceIds(const std::u16string& name, const std::u16string& number) {
    return name + u"," + number;
}

}  // namespace

bool ParseStorageInfo(std::u16string_view reply, PhonebookStorage& out) {
    if (reply.substr(0, 6) != u"+CPBR:")
        return false;
    std::u16string_view t = reply.substr(6), field;
    PhonebookStorage s = out;
    StripLeading(t, u"( ,");
    ce::Trace(u"info:" + std::u16string(t));
    if (!TakeUntil(t, u"-", field) || !ToNumber(field, s.m_nFirst) || !Drop(t, 1))
        return false;
    ce::Trace(u"val:" + std::u16string(field));
    if (!TakeUntil(t, u"),", field) || !ToNumber(field, s.m_nLast) || !Drop(t, 1))
        return false;
    ce::Trace(u"val:" + std::u16string(field));
    StripLeading(t, u"( ,");
    if (!TakeUntil(t, u",", field) || !ToNumber(field, s.m_nNumberLen) || !Drop(t, 1))
        return false;
    ce::Trace(u"val:" + std::u16string(field));
    size_t n = 0;
    while (n < t.size() && IsDigit(t[n])) ++n;
    if (!ToNumber(t.substr(0, n), s.m_nNameLen))
        return false;
    if (s.m_nFirst < 1 || s.m_nLast < s.m_nFirst || static_cast<uint32_t>(s.m_nLast) > kIndexMask)
        return false;
    out = s;
    return true;
}

ParsedEntry ParseNextEntry(uint32_t flag, CPhonebookEntry& entry, std::u16string& reply) {
    size_t p = reply.find(u"+CPBR: ");
    if (p == std::u16string::npos)
        return ParsedEntry::none;
    std::u16string_view t(reply);
    t.remove_prefix(p + 7);
    std::u16string_view index, number, type, name;
    int32_t nIndex = 0, nType = 0;
    bool ok = TakeUntil(t, u",", index) && ToNumber(index, nIndex) && nIndex > 0 && Drop(t, 2) &&
              TakeUntil(t, u"\"", number) && Drop(t, 2) && TakeUntil(t, u",", type) &&
              ToNumber(type, nType) && Drop(t, 2) && TakeUntil(t, u"\"", name);
    if (!ok || static_cast<uint32_t>(nIndex) > kIndexMask) {
        reply.clear();
        return ParsedEntry::malformed;
    }
    entry.m_nId = flag | static_cast<uint32_t>(nIndex);
    entry.m_strNumber = std::u16string(number);
    if (nType == 145 && entry.m_strNumber.find(u'+') == std::u16string::npos)
        entry.m_strNumber.insert(0, u"+");
    entry.m_strName = std::u16string(name);
    reply = std::u16string(t.substr(1));
    return ParsedEntry::entry;
}

CPhonebookReader::CPhonebookReader(CPhonebook& pb, PhonebookExchange exchange, uint32_t storages)
    : m_pb(pb), m_exchange(std::move(exchange)), m_nStorages(storages) {}

bool CPhonebookReader::SelectStorage(uint32_t flag) {
    std::u16string reply;
    const char* cmd = flag == STORAGE_SIM ? "AT+CPBS=\"SM\"" : "AT+CPBS=\"ME\"";
    if (!m_exchange(cmd, reply, m_nTimeout) || !reply.empty())
        return false;
    // The engine hands an ERROR answer over as an empty reply, just like OK: ask which
    // storage is selected, or a refused selection would read the other storage's entries
    // under this one's flag. A phone that cannot tell (empty answer) is believed.
    if (!m_exchange("AT+CPBS?", reply, m_nTimeout))
        return false;
    const char16_t* name = flag == STORAGE_SIM ? u"\"SM\"" : u"\"ME\"";
    return reply.empty() || reply.find(name) != std::u16string::npos;
}

bool CPhonebookReader::SelectCharacterSet() {
    std::u16string reply;
    return m_exchange("AT+CSCS=\"GSM\"", reply, m_nTimeout);
}

bool CPhonebookReader::QueryStorage(PhonebookStorage& out) {
    ce::Trace("Checking storage info - ");
    std::u16string reply;
    if (!m_exchange("AT+CPBR=?", reply, m_nTimeout)) {
        ce::Trace("failed");
        return false;
    }
    if (!ParseStorageInfo(reply, out)) {
        ce::Trace(u"unexpected storage info: " + reply);
        return false;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%d-%d),%d,%d", out.m_nFirst, out.m_nLast, out.m_nNumberLen,
                  out.m_nNameLen);
    ce::Trace(buf);
    return true;
}

bool CPhonebookReader::ReadRange(int first, int last, std::u16string& reply) {
    if (!m_exchange(IndexCommand("AT+CPBR=%i,%i", first, last), reply, m_nReadTimeout)) {
        // A phone that did not answer is not a phone without entries: counting it as one
        // would delete the range's entries on the handheld.
        ce::Trace(u"result" + reply);
        return false;
    }
    if (!reply.empty()) {
        ce::Trace(u"Before conv: " + reply);
        CSmsPdu().GsmToUnicode(reply);
        ce::Trace(u"After conv: " + reply);
    }
    return true;
}

bool CPhonebookReader::WriteEntry(uint32_t index, const CPhonebookEntry& entry) {
    std::u16string name = entry.m_strName.substr(0, kMaxSent);
    CSmsPdu().UnicodeToGsm(name);
    std::string command = IndexCommand("AT+CPBW=%i", static_cast<int>(index)) + ",\"" +
                          Narrow(entry.m_strNumber.substr(0, kMaxSent)) + "\",,\"" + Narrow(name) +
                          "\"";
    std::u16string reply;
    if (!m_exchange(command, reply, m_nTimeout) || !reply.empty())
        return false;
    // A refused write (name too long, a character the phone does not take) also comes back
    // empty from the engine. Taking it for success would make the next synchronisation
    // think the phone deleted the entry, and delete it here: read the location back.
    std::u16string check;
    if (!m_exchange(IndexCommand("AT+CPBR=%i", static_cast<int>(index)), check, m_nTimeout))
        return false;
    return check.find(Widen("+CPBR: " + std::to_string(index) + ",")) != std::u16string::npos;
}

bool CPhonebookReader::DeleteEntry(uint32_t index) {
    std::u16string reply;
    return m_exchange(IndexCommand("AT+CPBW=%i", static_cast<int>(index)), reply, m_nTimeout) &&
           reply.empty();
}

void CPhonebookReader::TraceEntry(const CPhonebookEntry& e) const {
    ce::Trace(u"PB:" + TraceIds(e.m_strName, e.m_strNumber) + u" PBorig:" +
              TraceIds(e.m_strOrigName, e.m_strOrigNumber));
}

CPhonebookReader::Row CPhonebookReader::Decide(const CPhonebookEntry& m) {
    CPhonebookEntry* e = m_pb.FindEntryById(m.m_nId);
    if (e)
        TraceEntry(*e);
    if (e && e->NeverOnPhone()) {
        // Made here and never on the phone, while the phone got an entry of its own at the
        // same location (an entry added before the first synchronisation): two new entries,
        // not one changed on both sides. Ours moves to a free location instead of being
        // overwritten.
        if (e->IsDeleted()) {
            m_pb.Remove(e);
        } else {
            const PhonebookStorage* st = m_pb.StorageOf(m.m_nId & kStorageMask);
            std::optional<int32_t> free = st ? m_pb.FindFreeIndex(*st) : std::nullopt;
            if (!free) {
                ce::Trace("new item in PB collides with mobil, no free location");
                return Row::failed;
            }
            e->m_nId = (m.m_nId & kStorageMask) | static_cast<uint32_t>(*free);
            ce::Trace("new item in PB collides with mobil, moved to " + std::to_string(*free));
        }
        e = nullptr;
    }
    if (!e) {
        ce::Trace("new item in mobil, added to PB");
        auto n = std::make_unique<CPhonebookEntry>();
        n->m_nId = m.m_nId;
        n->m_strName = n->m_strOrigName = m.m_strName;
        n->m_strNumber = n->m_strOrigNumber = m.m_strNumber;
        m_pb.Append(std::move(n));
        return Row::added;
    }
    bool agreedIsPhone = e->m_strOrigName == m.m_strName && e->m_strOrigNumber == m.m_strNumber;
    if (e->IsDeleted()) {
        ce::Trace(agreedIsPhone ? "deleted in PB, deleting in mobil"
                                : "CONFLICT deleted in PB, changed in mobil, deleting in mobil");
        if (!DeleteEntry(e->Index()))
            return Row::failed;
        m_pb.Remove(e);
        return Row::deleteOnPhone;
    }
    if (e->m_strName == m.m_strName && e->m_strNumber == m.m_strNumber) {
        ce::Trace("unchanged");
        return Row::unchanged;
    }
    if (agreedIsPhone) {
        ce::Trace("changed in PB, changing in mobil");
        if (!WriteEntry(e->Index(), *e))
            return Row::failed;
        e->m_strOrigName = e->m_strName;
        e->m_strOrigNumber = e->m_strNumber;
        return Row::writeToPhone;
    }
    bool handheldUnchanged =
        e->m_strOrigName == e->m_strName && e->m_strOrigNumber == e->m_strNumber;
    ce::Trace(handheldUnchanged ? "changed in mobil, changing in PB"
                                : "CONFLICT changed in mobil, changed in PB, changing in PB");
    e->m_strName = e->m_strOrigName = m.m_strName;
    e->m_strNumber = e->m_strOrigNumber = m.m_strNumber;
    return Row::takePhone;
}

bool CPhonebookReader::EmptyOnPhone(uint32_t id) {
    CPhonebookEntry* e = m_pb.FindEntryById(id);
    if (!e)
        return true;
    TraceEntry(*e);
    if (e->NeverOnPhone()) {
        if (e->IsDeleted()) {
            // Made and deleted on the handheld between two synchronisations: nothing to carry.
            m_pb.Remove(e);
            return true;
        }
        const PhonebookStorage* st = m_pb.StorageOf(id & kStorageMask);
        if (st && e->Index() > static_cast<uint32_t>(st->m_nLast)) {
            // Placed while the copy knew a larger storage: the phone has no such location.
            std::optional<int32_t> free = m_pb.FindFreeIndex(*st);
            if (!free) {
                ce::Trace("new item in PB beyond the storage, no free location");
                return false;
            }
            e->m_nId = (id & kStorageMask) | static_cast<uint32_t>(*free);
            ce::Trace("new item in PB beyond the storage, moved to " + std::to_string(*free));
        }
        ce::Trace("new item in PB, writing to mobil");
        if (!WriteEntry(e->Index(), *e))
            return false;
        // Agreed from now on, so that a later change on the handheld is not taken for a
        // conflict that the phone would win.
        e->m_strOrigName = e->m_strName;
        e->m_strOrigNumber = e->m_strNumber;
        return true;
    }
    ce::Trace("delted in mobil, deleting in PB");
    m_pb.Remove(e);
    return true;
}

bool CPhonebookReader::StorageAbsent(uint32_t flag) {
    std::u16string reply;
    if (!m_exchange("AT+CPBS=?", reply, m_nTimeout))
        return false;
    // "+CPBS: ("SM","FD","LD")": a list the phone gave; an empty or other reply proves nothing.
    if (reply.rfind(u"+CPBS:", 0) != 0 || reply.find(u'"') == std::u16string::npos)
        return false;
    return reply.find(flag == STORAGE_SIM ? u"\"SM\"" : u"\"ME\"") == std::u16string::npos;
}

bool CPhonebookReader::SmartRead(uint32_t flag, int slot) {
    m_bAbsent = false;
    if (!(m_nStorages & flag))
        return true;
    PhonebookStorage storage{};
    if (!SelectStorage(flag)) {
        if (!StorageAbsent(flag))
            return false;
        // Phones with the SIM's phonebook only: the handheld's entries of this storage stay,
        // and none can be placed there.
        ce::Trace("storage not on this phone");
        m_pb.m_storages[slot] = PhonebookStorage{};
        m_bAbsent = true;
        return true;
    }
    if (!QueryStorage(storage))
        return false;
    storage.m_nFlag = flag;
    m_pb.m_storages[slot] = storage;

    for (int64_t s = storage.m_nFirst; s <= storage.m_nLast; s += 10) {
        int first = static_cast<int>(s);
        int last = static_cast<int>(std::min<int64_t>(s + 9, storage.m_nLast));
        bool seen[10] = {};
        char buf[64];
        std::snprintf(buf, sizeof buf, "Reading items %d-%d - ", first, last);
        ce::Trace(buf);

        std::u16string reply;
        std::vector<CPhonebookEntry> parsed;
        bool read = false;
        for (int attempt = 0; attempt < 3 && !read; ++attempt) {
            parsed.clear();
            reply.clear();
            read = ReadRange(first, last, reply);
            CPhonebookEntry m;
            ParsedEntry r;
            while (read && (r = ParseNextEntry(flag, m, reply)) != ParsedEntry::none) {
                // A line that does not parse, or a location outside the chunk, would make
                // its neighbours look deleted on the phone.
                if (r == ParsedEntry::malformed || m.Index() < static_cast<uint32_t>(first) ||
                    m.Index() > static_cast<uint32_t>(last))
                    read = false;
                else
                    parsed.push_back(m);
            }
            if (!read)
                ce::Trace("Read PB failed");
        }
        if (!read)
            return false;
        ce::Trace("success");

        for (const CPhonebookEntry& m : parsed) {
            ce::Trace(u"Mobil:" + TraceIds(m.m_strName, m.m_strNumber));
            seen[m.Index() - first] = true;
            if (Decide(m) == Row::failed)
                return false;
        }
        for (int k = 0; k < 10; ++k) {
            if (!seen[k] && !EmptyOnPhone(flag | static_cast<uint32_t>(first + k)))
                return false;
        }
    }
    ce::Trace("Smart read finished");
    return true;
}

}  // namespace kvo
