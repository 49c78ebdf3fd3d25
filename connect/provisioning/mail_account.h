// The preset operator's POP3 mail account and browser start page.
#pragma once
#include <string>

namespace kvo::connect {

// The preset operator (a network of the shipped database) and its public mail settings.
struct CPresetOperator {
    std::u16string m_strName = u"Vodafone D2";
    std::u16string m_strAccountName = u"Vodafone";
    std::u16string m_strIncoming = u"pop.vodafone.de";
    std::u16string m_strOutgoing = u"smtp.vodafone.de";
    std::u16string m_strDomain = u"vodafone.de";
    std::u16string m_strStartPage = u"file://\\Windows\\vodafone.htm";
    std::u16string m_strFavourite = u"Vodafone";
};
const CPresetOperator& PresetOperator();

// What the "Create E-Mail" dialog asks for.
struct CMailAccountForm {
    std::u16string m_strYourName;
    std::u16string m_strUser;
    std::u16string m_strPassword;
    std::u16string m_strEmail;
    std::u16string m_strOutgoing;  // SMTP
    std::u16string m_strIncoming;  // POP3
};
// The dialog's fields as it opens: the preset operator's servers.
CMailAccountForm PresetMailForm();

// The configuration document of the account (pure). Texts are escaped for XML.
std::u16string MailAccountDocument(const CMailAccountForm& form);

enum class EMailResult { Ok, DocumentFailed, RegistryFailed };
// Processes the document and writes the browser's start page and favourite.
EMailResult CreateOperatorMailAccount(const CMailAccountForm& form);

}  // namespace kvo::connect
