#include "telmio/contacts/contacts_access.h"

#include <algorithm>
#include <functional>

#include "common/recipients.h"
#include "platform/contacts.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace kvo {
namespace {

// Texts reach the store's setters through a buffer of 500 characters.
std::u16string Setter(const std::u16string& text) {
    return text.substr(0, 499);
}

}  // namespace

bool LoadContacts(CBookList& list, IUserInterface& ui) {
    ce::ContactsFolder folder;
    if (!folder.Logon()) {
        ui.MessageBox(u"Pocket Outlook Error -3-");
        return false;
    }
    list.clear();
    for (size_t i = 1; i <= folder.Count(); ++i) {
        const ce::ContactItem* item = folder.GetItemFromOid(folder.Item(i).Oid);
        if (!item)
            item = &folder.Item(i);
        auto e = std::make_unique<CBookEntry>();
        e->m_nId = item->Oid;
        std::u16string name = item->LastName + u" " + item->FirstName;
        e->m_strName = name == u" " ? item->CompanyName : name;
        e->m_strNumber = item->MobileTelephoneNumber;
        e->m_strBusiness = item->BusinessTelephoneNumber;
        e->m_strHome = item->HomeTelephoneNumber;
        e->m_strCar = item->CarTelephoneNumber;
        e->TrimAll();
        list.push_back(std::move(e));
    }
    if (!folder.Problems().empty()) {
        std::u16string text = u"Some contacts could not be read:";
        for (const std::string& p : folder.Problems()) {
            ce::Trace("contacts: " + p);
            text += u"\n" + ce::FromUtf8(p);
        }
        ui.MessageBox(text);
    }
    folder.Logoff();
    return true;
}

std::vector<CBookEntry*> SelectContactsRows(CBookList& contacts) {
    std::vector<CBookEntry*> rows;
    for (auto& e : contacts) {
        e->m_nTicked = 0;
        bool any = false;
        for (std::u16string* n : {&e->m_strNumber, &e->m_strBusiness, &e->m_strHome, &e->m_strCar})
            any = CleanNumber(*n) || any;
        if (!e->m_strName.empty() || any)
            rows.push_back(e.get());
    }
    return rows;
}

std::u16string BuildRecipients(const std::vector<std::u16string>& groupNumbers,
                               const CBookList& contacts, const CPhonebookList& phonebook) {
    std::u16string out;
    for (const auto& n : groupNumbers)
        if (!n.empty())
            out += u";" + n;
    for (const auto& e : contacts)
        if (e->m_nTicked == 1 && !e->m_strNumber.empty())
            out += u";" + e->m_strNumber;
    for (const auto& e : phonebook)
        if (e->m_nTicked == 1 && !e->m_strNumber.empty())
            out += u";" + e->m_strNumber;
    if (!out.empty())
        out.erase(0, 1);
    return CleanRecipients(out);
}

ImportOutcome ImportIntoPhonebook(CPhonebook& pb, const std::vector<const CBookEntry*>& contacts,
                                  uint32_t storage, const std::function<void()>& save) {
    ImportOutcome outcome;
    for (const CBookEntry* c : contacts) {
        const std::pair<std::u16string, const char16_t*> numbers[] = {
            {c->m_strNumber, kKindMobile},
            {c->m_strBusiness, kKindBusiness},
            {c->m_strHome, kKindHome},
            {c->m_strCar, kKindCar}};
        for (auto [number, letter] : numbers) {
            CleanNumber(number);
            if (number.empty())
                continue;
            std::optional<int32_t> index;
            int32_t largestLast = 0;
            const PhonebookStorage* where = nullptr;
            for (const PhonebookStorage& s : pb.m_storages) {
                if (s.m_nFlag != storage)
                    continue;
                largestLast = std::max(largestLast, s.m_nLast);
                if (!index && (index = pb.FindFreeIndex(s)))
                    where = &s;
            }
            if (!index) {
                outcome.strMessage = largestLast > 20
                                         ? std::u16string(u"Phonebook from Mobile is full.")
                                         : std::u16string(kSyncFirst);
                return outcome;
            }
            auto e = std::make_unique<CPhonebookEntry>();
            e->m_nId = storage | static_cast<uint32_t>(*index);
            std::u16string suffix = std::u16string(u"/") + letter;
            std::u16string name = c->m_strName;
            // The phone refuses a name longer than its storage allows: shorten the name,
            // keep the kind.
            if (where->m_nNameLen > static_cast<int32_t>(suffix.size()) &&
                name.size() + suffix.size() > static_cast<size_t>(where->m_nNameLen))
                name.resize(static_cast<size_t>(where->m_nNameLen) - suffix.size());
            e->m_strName = name + suffix;
            e->m_strNumber = number;
            pb.Append(std::move(e));
            ++outcome.nCreated;
        }
        if (save)
            save();
    }
    if (save)
        save();
    return outcome;
}

std::u16string ExportToContacts(const std::vector<const CPhonebookEntry*>& entries) {
    ce::ContactsFolder folder;
    if (!folder.Logon())
        return u"Pocket Contacts Error -3-";
    for (const CPhonebookEntry* e : entries) {
        ce::ContactItem item = folder.Add();
        item.LastName = Setter(e->m_strName);
        item.MobileTelephoneNumber = Setter(e->m_strNumber);
        if (!folder.Save(item))
            return u"Pocket Contacts Error -3-";
    }
    folder.Logoff();
    return kExported;
}

}  // namespace kvo
