#include "tools/kvo/groups_command.h"

#include <algorithm>
#include <functional>
#include <map>
#include <ostream>

#include "platform/text.h"
#include "telmio/contacts/contacts_access.h"
#include "telmio/contacts/groups.h"
#include "tools/kvo/book_session.h"
#include "tools/kvo/commands.h"

namespace kvo::cli {
namespace {

int Usage(std::ostream& err, const char* usage) {
    err << "usage: kvo " << usage << "\n";
    return kExitUsage;
}

bool Exists(CBookSession& s, const std::u16string& name) {
    LoadGroupNames(s.m_book.m_groups, s.m_book.GroupsFolder());
    for (const auto& g : s.m_book.m_groups)
        if (g.m_strName == name)
            return true;
    s.m_err << "kvo: there is no group " << ce::ToUtf8(name) << "\n";
    return false;
}

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty())
        return Usage(err, "groups list");
    CBookSession s(err);
    s.Load();
    LoadGroupNames(s.m_book.m_groups, s.m_book.GroupsFolder());
    auto groups = s.m_book.m_groups;
    std::stable_sort(groups.begin(), groups.end(), [](const CSmsGroup& a, const CSmsGroup& b) {
        return ce::FoldCase(a.m_strName) < ce::FoldCase(b.m_strName);
    });
    for (const auto& g : groups) out << Field(g.m_strName) << "\t" << g.m_nCount << "\n";
    return kExitOk;
}

int RunCreate(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    if (args.size() != 1)
        return Usage(err, "groups create NAME");
    CBookSession s(err);
    s.Load();
    std::u16string name = ce::FromUtf8(args[0]);
    LoadGroupNames(s.m_book.m_groups, s.m_book.GroupsFolder());
    std::u16string why = CheckNewGroupName(s.m_book.m_groups, name);
    if (!why.empty()) {
        err << "kvo: " << ce::ToUtf8(why) << "\n";
        return kExitFailed;
    }
    if (!CreateGroup(s.m_book.AppDir(), name)) {
        err << "kvo: the group file cannot be written\n";
        return kExitFailed;
    }
    return kExitOk;
}

int RunDelete(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    if (args.size() != 1)
        return Usage(err, "groups delete NAME");
    CBookSession s(err);
    s.Load();
    std::u16string name = ce::FromUtf8(args[0]);
    if (!Exists(s, name))
        return kExitFailed;
    if (!DeleteGroup(s.m_book.AppDir(), name)) {
        err << "kvo: the group file cannot be deleted\n";
        return kExitFailed;
    }
    return kExitOk;
}

// Reads, changes and writes a group's member list, as the Define Group dialog does.
int EditMembers(CBookSession& s, const std::u16string& name,
                const std::function<int(CGroupMemberList&)>& change) {
    if (!Exists(s, name))
        return kExitFailed;
    CGroupMemberList members;
    std::u16string path = GroupPath(s.m_book.AppDir(), name);
    if (!ReadGroup(members, path)) {
        s.m_err << "kvo: the group file of " << ce::ToUtf8(name) << " is damaged\n";
        return kExitFailed;
    }
    int code = change(members);
    if (code != kExitOk)
        return code;
    if (!WriteGroup(members, path)) {
        s.m_err << "kvo: the group file cannot be written\n";
        return kExitFailed;
    }
    return kExitOk;
}

int RunAdd(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    const char* usage = "groups add NAME --contact OID | --phonebook SM|ME INDEX";
    bool contact = args.size() == 3 && args[1] == "--contact";
    bool phonebook = args.size() == 4 && args[1] == "--phonebook";
    if (!contact && !phonebook)
        return Usage(err, usage);
    CBookSession s(err);
    s.Load();
    const CBookEntry* entry = nullptr;
    std::u16string source;
    if (contact) {
        uint64_t value = 0;
        bool digits = !args[2].empty() && args[2].size() <= 10;
        for (char c : args[2]) {
            digits = digits && c >= '0' && c <= '9';
            value = value * 10 + static_cast<uint64_t>(c - '0');
        }
        if (!digits || value == 0 || value > 0xFFFFFFFFu)
            return Usage(err, usage);
        if (!LoadContacts(s.m_book.m_contacts, s.m_ui))
            return kExitFailed;
        for (const auto& c : s.m_book.m_contacts)
            if (c->m_nId == value)
                entry = c.get();
        if (!entry) {
            err << "kvo: there is no contact with Oid " << value << "\n";
            return kExitFailed;
        }
        source = kContactsSource;
    } else {
        auto flag = StorageFlag(args[2]);
        auto index = LocationIndex(args[3]);
        if (!flag || !index)
            return Usage(err, usage);
        const CPhonebookEntry* e = s.m_book.m_phonebook.FindEntryById(*flag | *index);
        if (!e || e->IsDeleted()) {
            err << "kvo: there is no entry " << args[2] << " " << *index << " in the phonebook\n";
            return kExitFailed;
        }
        entry = e;
        source = s.m_book.PhoneId();
    }
    std::u16string name = ce::FromUtf8(args[0]);
    return EditMembers(s, name, [&](CGroupMemberList& members) {
        std::u16string why = AddMember(members, *entry, source, name);
        if (why.empty())
            return static_cast<int>(kExitOk);
        err << "kvo: " << ce::ToUtf8(why) << "\n";
        return static_cast<int>(kExitFailed);
    });
}

int RunRemove(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    if (args.size() != 2)
        return Usage(err, "groups remove NAME MEMBERNAME");
    CBookSession s(err);
    s.Load();
    return EditMembers(s, ce::FromUtf8(args[0]), [&](CGroupMemberList& members) {
        if (RemoveMember(members, ce::FromUtf8(args[1])))
            return static_cast<int>(kExitOk);
        err << "kvo: the group has no member " << args[1] << "\n";
        return static_cast<int>(kExitFailed);
    });
}

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1)
        return Usage(err, "groups show NAME");
    CBookSession s(err);
    s.Load();
    std::u16string name = ce::FromUtf8(args[0]);
    if (!Exists(s, name))
        return kExitFailed;
    CGroupMemberList members;
    bool whole = ReadGroup(members, GroupPath(s.m_book.AppDir(), name));
    bool needContacts = std::any_of(members.begin(), members.end(), [](const auto& m) {
        return m->m_strSource == kContactsSource;
    });
    if (needContacts)
        LoadContacts(s.m_book.m_contacts, s.m_ui);
    std::stable_sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
        return ce::FoldCase(a->m_strName) < ce::FoldCase(b->m_strName);
    });
    for (const auto& m : members) {
        out << Field(m->m_strSource) << "\t";
        if (m->m_strSource == kContactsSource)
            out << m->m_nId;
        else
            out << StorageName(m->m_nId) << " " << (m->m_nId & kIndexMask);
        out << "\t" << Field(m->m_strName) << "\t" << ce::ToUtf8(s.m_book.ResolveMember(*m))
            << "\n";
    }
    if (!whole) {
        err << "kvo: the group file of " << args[0]
            << " is damaged; members after the damage are missing\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

bool GroupRecipients(const std::vector<std::string>& groups, std::u16string& recipients,
                     std::ostream& err) {
    CBookSession s(err);
    s.Load();
    bool contactsLoaded = false;
    std::vector<std::u16string> numbers;
    for (const std::string& g : groups) {
        std::u16string name = ce::FromUtf8(g);
        if (!Exists(s, name))
            return false;
        CGroupMemberList members;
        ReadGroup(members, GroupPath(s.m_book.AppDir(), name));
        for (const auto& m : members) {
            if (m->m_strSource == kContactsSource && !contactsLoaded)
                contactsLoaded = LoadContacts(s.m_book.m_contacts, s.m_ui);
            std::u16string n = s.m_book.ResolveMember(*m);
            if (!n.empty())
                numbers.push_back(n);
        }
    }
    recipients = BuildRecipients(numbers, {}, {});
    return true;
}

int RunGroups(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const std::map<std::string, Command> table = {
        {"list", {"groups list", "the message groups: name, member count", RunList}},
        {"create", {"groups create NAME", "a new, empty group", RunCreate}},
        {"delete", {"groups delete NAME", "delete a group", RunDelete}},
        {"add",
         {"groups add NAME --contact OID | --phonebook SM|ME INDEX",
          "add a contact or a phonebook entry of the current phone", RunAdd}},
        {"remove", {"groups remove NAME MEMBERNAME", "remove a member", RunRemove}},
        {"show", {"groups show NAME", "the members: source, id, name, current number", RunShow}},
    };
    return RunSubcommand("kvo groups", table, args, out, err);
}

}  // namespace kvo::cli
