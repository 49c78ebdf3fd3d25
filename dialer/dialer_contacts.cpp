#include "dialer/dialer_contacts.h"

#include "dialer/dialer_strings.h"
#include "platform/contacts.h"

namespace kvo::dialer {

bool LoadContacts(IUserInterface& ui, std::vector<CDialContact>& contacts) {
    contacts.clear();
    ce::ContactsFolder folder;
    if (!folder.Logon()) {
        ui.MessageBox(MessageText(kMsgPocketOutlook), MessageText(kMsgTitle));
        return false;
    }
    for (size_t i = 1; i <= folder.Count(); ++i) {
        const ce::ContactItem& item = folder.Item(i);
        CDialContact c{item.FirstName, item.LastName, item.CompanyName, {}};
        // Mobile first: a dialer calls people, and people carry their mobile.
        const std::pair<const char16_t*, const std::u16string*> numbers[] = {
            {u"Mobile tel", &item.MobileTelephoneNumber},
            {u"Work tel", &item.BusinessTelephoneNumber},
            {u"Home tel", &item.HomeTelephoneNumber},
            {u"Work2 tel", &item.Business2TelephoneNumber},
            {u"Radio tel", &item.PagerNumber},
            {u"Home2 tel", &item.Home2TelephoneNumber},
            {u"Assistent tel", &item.OtherTelephoneNumber},
            {u"Car tel", &item.CarTelephoneNumber},
        };
        for (const auto& [type, number] : numbers)
            if (!number->empty())
                c.m_numbers.push_back({type, *number});
        contacts.push_back(std::move(c));
    }
    // The readable contacts are listed; the user still hears that some are missing.
    if (!folder.Problems().empty())
        ui.MessageBox(MessageText(kMsgCantLoadContacts), MessageText(kMsgTitle));
    folder.Logoff();
    return true;
}

std::u16string SingleNumber(const CDialContact& contact) {
    return contact.m_numbers.size() == 1 ? contact.m_numbers.front().m_strNumber : std::u16string();
}

}  // namespace kvo::dialer
