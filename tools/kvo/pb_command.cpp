#include "tools/kvo/pb_command.h"

#include <algorithm>
#include <map>
#include <ostream>

#include "platform/text.h"
#include "telmio/contacts/entry_rules.h"
#include "tools/kvo/book_session.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/contacts_command.h"

namespace kvo::cli {
namespace {

int Usage(std::ostream& err, const char* usage) {
    err << "usage: kvo " << usage << "\n";
    return kExitUsage;
}

// The entry dialog's checks: what OK refuses, then the boxes' length limits.
bool CheckValues(const std::u16string& name, const std::u16string& number, const EntryPlace& place,
                 std::ostream& err) {
    std::u16string why = CheckEntry(name, number, place.nId);
    if (why.empty() && !IsValidNumber(number))
        why = u"The number may hold only digits, \"+\" and \";\".";
    if (why.empty() && name.find(u'"') != std::u16string::npos)
        why = u"The phone does not take a double quote in a name.";
    if (!why.empty()) {
        err << "kvo: " << ce::ToUtf8(why) << "\n";
        return false;
    }
    if (place.nNameLen > 0 && name.size() > static_cast<size_t>(place.nNameLen)) {
        err << "kvo: the name is longer than the phone allows (" << place.nNameLen
            << " characters)\n";
        return false;
    }
    if (place.nNumberLen > 0 && number.size() > static_cast<size_t>(place.nNumberLen)) {
        err << "kvo: the number is longer than the phone allows (" << place.nNumberLen
            << " characters)\n";
        return false;
    }
    return true;
}

int RunSync(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty())
        return Usage(err, "pb sync");
    CBookSession s(err);
    if (!s.LoadForPhone())
        return kExitFailed;
    std::u16string result = s.m_book.SynchronizePhonebook();
    out << ce::ToUtf8(result) << "\n";
    return result == kSyncCompleted ? kExitOk : kExitFailed;
}

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty())
        return Usage(err, "pb list");
    CBookSession s(err);
    s.Load();
    std::vector<const CPhonebookEntry*> live;
    for (const auto& e : s.m_book.m_phonebook.m_entries)
        if (!e->IsDeleted())
            live.push_back(e.get());
    std::stable_sort(live.begin(), live.end(), [](const auto* a, const auto* b) {
        return std::pair(a->Storage(), a->Index()) < std::pair(b->Storage(), b->Index());
    });
    for (const CPhonebookEntry* e : live)
        out << StorageName(e->m_nId) << "\t" << e->Index() << "\t" << Field(e->m_strName) << "\t"
            << Field(e->m_strNumber) << "\n";
    return kExitOk;
}

int RunAdd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "pb add [--storage SM|ME] NAME NUMBER";
    std::optional<uint32_t> storage;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--storage") {
            if (i + 1 >= args.size() || !(storage = StorageFlag(args[i + 1])))
                return Usage(err, usage);
            ++i;
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.size() != 2)
        return Usage(err, usage);
    CBookSession s(err);
    if (!s.LoadForEdit()) return kExitFailed;
    CPhonebook& pb = s.m_book.m_phonebook;
    EntryPlace place;
    if (storage) {
        if (!(s.m_book.Storages() & *storage)) {
            err << "kvo: the " << StorageName(*storage)
                << " phonebook is not synchronised (kvo settings set phonebook ...)\n";
            return kExitFailed;
        }
        place = ChangeEntryStorage(pb, *storage == STORAGE_SIM ? 0 : 1);
    } else {
        place = PlaceNewEntry(pb, s.m_book.Storages());
    }
    if (!place.nId) {
        err << "kvo: " << ce::ToUtf8(place.strMessage) << "\n";
        return kExitFailed;
    }
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_nId = place.nId;
    e->m_strName = TrimWhite(ce::FromUtf8(rest[0]));
    e->m_strNumber = TrimWhite(ce::FromUtf8(rest[1]));
    if (!CheckValues(e->m_strName, e->m_strNumber, place, err))
        return kExitFailed;
    pb.Append(std::move(e));
    if (!s.SavePhonebook()) return kExitFailed;
    out << StorageName(place.nId) << " " << (place.nId & kIndexMask) << "\n";
    return kExitOk;
}

// The live entry a command names, or null after saying why.
CPhonebookEntry* Named(CBookSession& s, const std::string& storage, const std::string& index,
                       const char* usage, int& code) {
    auto flag = StorageFlag(storage);
    auto i = LocationIndex(index);
    code = kExitUsage;
    if (!flag || !i) {
        Usage(s.m_err, usage);
        return nullptr;
    }
    CPhonebookEntry* e = s.m_book.m_phonebook.FindEntryById(*flag | *i);
    code = kExitFailed;
    if (!e || e->IsDeleted()) {
        s.m_err << "kvo: there is no entry " << storage << " " << *i << " in the phonebook\n";
        return nullptr;
    }
    return e;
}

int RunEdit(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    const char* usage = "pb edit SM|ME INDEX NAME NUMBER";
    if (args.size() != 4)
        return Usage(err, usage);
    CBookSession s(err);
    if (!s.LoadForEdit()) return kExitFailed;
    int code;
    CPhonebookEntry* e = Named(s, args[0], args[1], usage, code);
    if (!e)
        return code;
    std::u16string name = TrimWhite(ce::FromUtf8(args[2])),
                   number = TrimWhite(ce::FromUtf8(args[3]));
    if (!CheckValues(name, number, PlaceExistingEntry(s.m_book.m_phonebook, e->m_nId), err))
        return kExitFailed;
    e->m_strName = name;
    e->m_strNumber = number;
    if (!s.SavePhonebook()) return kExitFailed;
    return kExitOk;
}

int RunDelete(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    const char* usage = "pb delete SM|ME INDEX";
    if (args.size() != 2)
        return Usage(err, usage);
    CBookSession s(err);
    if (!s.LoadForEdit()) return kExitFailed;
    int code;
    CPhonebookEntry* e = Named(s, args[0], args[1], usage, code);
    if (!e)
        return code;
    // Blank until the next synchronisation deletes it on the phone.
    e->m_strName.clear();
    e->m_strNumber.clear();
    if (!s.SavePhonebook()) return kExitFailed;
    return kExitOk;
}

}  // namespace

int RunPb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const std::map<std::string, Command> table = {
        {"sync", {"pb sync", "synchronise the phonebook with the phone's SIM and memory", RunSync}},
        {"list",
         {"pb list", "the current phone's phonebook: storage, location, name, number", RunList}},
        {"add",
         {"pb add [--storage SM|ME] NAME NUMBER",
          "a new entry in the first free location; carried to the phone at the next sync", RunAdd}},
        {"edit", {"pb edit SM|ME INDEX NAME NUMBER", "change an entry", RunEdit}},
        {"delete",
         {"pb delete SM|ME INDEX", "delete an entry (on the phone at the next sync)", RunDelete}},
        {"import",
         {"pb import [--to SM|ME] OID...",
          "copy contacts' numbers into the phonebook (names end in /M /W /H /A)", RunPbImport}},
        {"export",
         {"pb export SM|ME INDEX...", "copy phonebook entries into the contacts", RunPbExport}},
    };
    return RunSubcommand("kvo pb", table, args, out, err);
}

}  // namespace kvo::cli
