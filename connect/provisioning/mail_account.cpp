#include "mail_account.h"

#include "platform/config_xml.h"
#include "platform/registry.h"

namespace kvo::connect {
namespace {

constexpr char16_t kBrowserKey[] = u"Software\\Microsoft\\Internet Explorer\\Main";

// A quote or an ampersand in a password must not end the attribute or break the document.
std::u16string Xml(const std::u16string& s) {
    std::u16string out;
    for (char16_t c : s) {
        switch (c) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

}  // namespace

const CPresetOperator& PresetOperator() {
    static const CPresetOperator op;
    return op;
}

CMailAccountForm PresetMailForm() {
    CMailAccountForm f;
    f.m_strIncoming = PresetOperator().m_strIncoming;
    f.m_strOutgoing = PresetOperator().m_strOutgoing;
    return f;
}

std::u16string MailAccountDocument(const CMailAccountForm& f) {
    std::u16string reply = f.m_strUser + u"@" + PresetOperator().m_strDomain;
    return u"<wap-provisioningdoc>\t<characteristic type=\"EMAIL2\">\t\t<characteristic "
           u"type=\"{4FE84006-9E8A-4158-864D-A2E1E98C3786}\">\t\t\t<parm name=\"SERVICENAME\" "
           u"value=\"" +
           Xml(PresetOperator().m_strAccountName) +
           u"\"/>\t\t\t<parm name=\"SERVICETYPE\" value=\"POP3\"/>\t\t\t<parm name=\"INSERVER\"    "
           u"value=\"" +
           Xml(f.m_strIncoming) + u"\"/>\t\t\t<parm name=\"OUTSERVER\"   value=\"" +
           Xml(f.m_strOutgoing) + u"\"/>\t\t\t<parm name=\"AUTHNAME\"    value=\"" +
           Xml(f.m_strUser) + u"\"/>\t\t\t<parm name=\"AUTHSECRET\"  value=\"" +
           Xml(f.m_strPassword) + u"\"/>\t\t\t<parm name=\"REPLYADDR\"   value=\"" + Xml(reply) +
           u"\"/>\t\t</characteristic>\t</characteristic></wap-provisioningdoc>";
}

EMailResult CreateOperatorMailAccount(const CMailAccountForm& form) {
    // A document the platform refuses configured nothing: that is no success to report.
    if (ce::DMProcessConfigXML(MailAccountDocument(form), ce::CFGFLAG_PROCESS, nullptr) != ce::S_OK)
        return EMailResult::DocumentFailed;
    const CPresetOperator& op = PresetOperator();
    std::u16string favourite =
        std::u16string(kBrowserKey) + u"\\FavoritesEntries\\" + op.m_strFavourite;
    if (!ce::RegSetValue(ce::HKEY_CURRENT_USER, kBrowserKey, u"Start Page",
                         ce::RegValue::Sz(op.m_strStartPage)) ||
        !ce::RegSetValue(ce::HKEY_CURRENT_USER, favourite, u"Icon",
                         ce::RegValue::Sz(u"\\windows\\kvo.ico")) ||
        !ce::RegSetValue(ce::HKEY_CURRENT_USER, favourite, u"URL",
                         ce::RegValue::Sz(op.m_strStartPage)))
        return EMailResult::RegistryFailed;
    return EMailResult::Ok;
}

}  // namespace kvo::connect
