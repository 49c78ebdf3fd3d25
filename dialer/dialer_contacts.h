// The contacts dialog's data: every contact with its telephone numbers and their type names.
#pragma once
#include <string>
#include <vector>

#include "common/user_interface.h"

namespace kvo::dialer {

struct CTypedNumber {
    std::u16string m_strType;  // "Mobile tel" ...
    std::u16string m_strNumber;
};

struct CDialContact {
    std::u16string m_strFirstName, m_strLastName, m_strCompany;
    std::vector<CTypedNumber> m_numbers;  // non-empty ones, in order of preference
};

// False (message 11 when the store cannot be opened) with the list empty.
bool LoadContacts(IUserInterface& ui, std::vector<CDialContact>& contacts);

// The number taken at once: the contact's only number; empty when it has none or several.
std::u16string SingleNumber(const CDialContact& contact);

}  // namespace kvo::dialer
