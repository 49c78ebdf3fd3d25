#include "tools/kvo/contacts_command.h"

#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "platform/contacts.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "telmio/contacts/contacts_access.h"
#include "tools/kvo/book_session.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/pim_host.h"

namespace kvo::cli {
namespace {

int Usage(std::ostream& err, const char* usage) {
    err << "usage: kvo " << usage << "\n";
    return kExitUsage;
}

std::optional<uint32_t> ParseOid(const std::string& text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v == 0 || v > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty())
        return Usage(err, "contacts list");
    CTerminalUi ui(err);
    CBookList list;
    if (!LoadContacts(list, ui))
        return kExitFailed;
    for (const auto& e : list)
        out << e->m_nId << "\t" << Field(e->m_strName) << "\t" << Field(e->m_strNumber) << "\t"
            << Field(e->m_strBusiness) << "\t" << Field(e->m_strHome) << "\t" << Field(e->m_strCar)
            << "\t" << Field(NumberKinds(*e)) << "\n";
    return kExitOk;
}

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1)
        return Usage(err, "contacts import FILE.vcf");
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
        err << "kvo: cannot read " << args[0] << "\n";
        return kExitFailed;
    }
    std::ostringstream text;
    text << in.rdbuf();
    ce::ContactsFolder folder;
    if (!folder.Logon()) {
        err << "kvo: the contacts folder " << ce::ContactsFolderPath().string()
            << " cannot be opened\n";
        return kExitFailed;
    }
    std::vector<std::string> problems;
    size_t n = folder.Import(text.str(), problems);
    out << n << (n == 1 ? " contact" : " contacts") << " imported\n";
    for (const auto& p : problems) err << "kvo: " << args[0] << ": " << p << "\n";
    return problems.empty() ? kExitOk : kExitFailed;
}

int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1)
        return Usage(err, "contacts export FILE.vcf");
    ce::ContactsFolder folder;
    if (!folder.Logon()) {
        err << "kvo: the contacts folder " << ce::ContactsFolderPath().string()
            << " cannot be opened\n";
        return kExitFailed;
    }
    for (const auto& p : folder.Problems()) err << "kvo: " << p << "\n";
    std::ofstream file(args[0], std::ios::binary | std::ios::trunc);
    file << folder.Export();
    file.close();
    if (!file) {
        err << "kvo: cannot write " << args[0] << "\n";
        return kExitFailed;
    }
    out << folder.Count() << (folder.Count() == 1 ? " contact" : " contacts") << " exported\n";
    return kExitOk;
}

// The contacts application's command on chosen contacts: the add-in's message boxes go to the
// terminal; one with an icon means the command did not do its work.
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "contacts command [--add-in NAME] OID...";
    std::string name;
    std::vector<uint32_t> oids;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--add-in" && i + 1 < args.size()) {
            name = args[++i];
        } else if (auto oid = ParseOid(args[i])) {
            oids.push_back(*oid);
        } else {
            err << "kvo: \"" << args[i] << "\" is no contact Oid (see `kvo contacts list`)\n";
            return Usage(err, usage);
        }
    }
    if (oids.empty())
        return Usage(err, usage);
    auto addIns = PimAddIns();
    const CPimAddIn* addIn = nullptr;
    for (const auto& a : addIns)
        if (name.empty() || ce::EqualsNoCase(a.m_strName, ce::FromUtf8(name))) {
            addIn = &a;
            break;
        }
    if (!addIn) {
        err << "kvo: "
            << (name.empty() ? "no contacts add-in is registered"
                             : "no contacts add-in \"" + name + "\" is registered")
            << " (kvo-device create registers ours)\n";
        return kExitFailed;
    }
    bool warned = false;
    auto old = ce::SetMessageBoxHandler(
        [&](std::u16string_view text, std::u16string_view caption, uint32_t type) {
            err << (caption.empty() ? "" : ce::ToUtf8(caption) + ": ") << ce::ToUtf8(text) << "\n";
            warned = warned || (type & ce::MB_ICONMASK) != 0 || caption == u"Error";
            return int(ce::IDOK);
        });
    ce::HRESULT hr = ce::S_OK;
    std::string error;
    bool loaded = RunPimCommand(*addIn, oids, hr, error);
    ce::SetMessageBoxHandler(old);
    if (!loaded) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    if (hr != ce::S_OK || warned) {
        if (!warned)
            err << "kvo: the add-in's command failed (" << std::hex << uint32_t(hr) << std::dec
                << ")\n";
        return kExitFailed;
    }
    out << "\"" << ce::ToUtf8(addIn->m_strMenu) << "\" done for contact " << oids.front() << "\n";
    return kExitOk;
}

}  // namespace

int RunContacts(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const std::map<std::string, Command> table = {
        {"list",
         {"contacts list", "one contact a line: Oid, name, mobile, business, home, car, kinds",
          RunList}},
        {"import",
         {"contacts import FILE.vcf", "store the cards of a vCard file (one or many)", RunImport}},
        {"export",
         {"contacts export FILE.vcf", "write every contact into one vCard 3.0 file", RunExport}},
        {"command",
         {"contacts command [--add-in NAME] OID...",
          "the contacts application's add-in command (ours: a new message) on chosen contacts",
          RunCommand}},
    };
    return RunSubcommand("kvo contacts", table, args, out, err);
}

int RunPbImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "pb import [--to SM|ME] OID...";
    std::optional<uint32_t> storage;
    std::vector<uint32_t> oids;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--to") {
            if (i + 1 >= args.size() || !(storage = StorageFlag(args[i + 1])))
                return Usage(err, usage);
            ++i;
        } else if (auto oid = ParseOid(args[i])) {
            oids.push_back(*oid);
        } else {
            return Usage(err, usage);
        }
    }
    if (oids.empty())
        return Usage(err, usage);
    CBookSession s(err);
    if (!s.LoadForEdit()) return kExitFailed;
    uint32_t configured = s.m_book.Storages();
    // The dialog preselects the phone memory when it is synchronised.
    if (!storage)
        storage = (configured & STORAGE_PHONE) ? STORAGE_PHONE : STORAGE_SIM;
    if (!(configured & *storage)) {
        err << "kvo: the " << StorageName(*storage) << " phonebook is not synchronised\n";
        return kExitFailed;
    }
    if (!LoadContacts(s.m_book.m_contacts, s.m_ui))
        return kExitFailed;
    SelectContactsRows(s.m_book.m_contacts);
    std::vector<const CBookEntry*> chosen;
    for (uint32_t oid : oids) {
        const CBookEntry* found = nullptr;
        for (const auto& c : s.m_book.m_contacts)
            if (c->m_nId == oid)
                found = c.get();
        if (!found) {
            err << "kvo: there is no contact with Oid " << oid << "\n";
            return kExitFailed;
        }
        chosen.push_back(found);
    }
    size_t before = s.m_book.m_phonebook.m_entries.size();
    bool saved = true;
    ImportOutcome outcome = ImportIntoPhonebook(s.m_book.m_phonebook, chosen, *storage,
                                                [&] { saved = s.m_book.SavePhonebook() && saved; });
    const auto& entries = s.m_book.m_phonebook.m_entries;
    for (size_t i = before; i < entries.size(); ++i)
        out << StorageName(entries[i]->m_nId) << "\t" << entries[i]->Index() << "\t"
            << Field(entries[i]->m_strName) << "\t" << Field(entries[i]->m_strNumber) << "\n";
    if (!saved) {
        err << "kvo: the phonebook file cannot be written\n";
        return kExitFailed;
    }
    if (!outcome.strMessage.empty()) {
        err << "kvo: " << ce::ToUtf8(outcome.strMessage) << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int RunPbExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "pb export SM|ME INDEX...";
    if (args.size() < 2)
        return Usage(err, usage);
    auto flag = StorageFlag(args[0]);
    if (!flag)
        return Usage(err, usage);
    CBookSession s(err);
    s.Load();
    std::vector<const CPhonebookEntry*> entries;
    for (size_t i = 1; i < args.size(); ++i) {
        auto index = LocationIndex(args[i]);
        if (!index)
            return Usage(err, usage);
        const CPhonebookEntry* e = s.m_book.m_phonebook.FindEntryById(*flag | *index);
        if (!e || e->IsDeleted()) {
            err << "kvo: there is no entry " << args[0] << " " << *index << " in the phonebook\n";
            return kExitFailed;
        }
        entries.push_back(e);
    }
    std::u16string result = ExportToContacts(entries);
    if (result != kExported) {
        err << "kvo: " << ce::ToUtf8(result) << "\n";
        return kExitFailed;
    }
    out << ce::ToUtf8(result) << "\n";
    return kExitOk;
}

}  // namespace kvo::cli
