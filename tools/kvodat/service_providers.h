// The operators of a "serviceproviders.xml" (the mobile broadband provider database that
// Linux distributions maintain): per country and provider its names, network ids and GSM
// access points. Only what the connection database can use is read.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kvo::kvodat {

struct CProviderApn {
    std::string m_strValue;  // the access point name
    std::string m_strUsage;  // "internet", "mms", ...; empty when the file says nothing
    std::vector<std::string> m_plans;  // "prepaid", "postpaid"
    std::string m_strName;             // what the file calls this access point
    std::string m_strUser;
    std::string m_strPassword;
    std::vector<std::string> m_dns;  // in file order
    int m_nLine = 0;
};

struct CProviderName {
    std::string m_strText;
    std::string m_strLang;  // xml:lang, empty for the provider's main name
};

struct CProvider {
    std::string m_strCountry;  // ISO code as written, lower case in the file
    std::vector<CProviderName> m_names;
    bool m_bPrimary = false;                // the network's own operator, not a virtual one
    std::vector<std::string> m_networkIds;  // "MCCMNC", digits only
    std::vector<CProviderApn> m_apns;       // GSM access points, in file order
    int m_nLine = 0;
};

// Text is UTF-8, trimmed, inner white space runs made one space. A document that is not
// well-formed XML, not a provider list, or uses entities of its own fails with `error`
// (including the line); odd parts of a good document (a network id that is not digits, an
// access point without a name) are left out with a warning each. Nothing is fetched: an
// external DTD named by the document is not loaded.
bool ReadServiceProviders(std::string_view xml, std::vector<CProvider>& providers,
                          std::vector<std::string>& warnings, std::string& error);

}  // namespace kvo::kvodat
