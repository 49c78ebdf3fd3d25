#include <gtest/gtest.h>

#include "platform/config_xml.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;

namespace {

const std::u16string kDest = u"{5D1E2F3A-0B4C-4D2E-9F10-A1B2C3D4E5F6}";

// The destination-network document as the dial-up set-up sends it (tabs as they are).
std::u16string NetworkDocument(std::u16string_view entry, std::u16string_view dest) {
    return u"<wap-provisioningdoc>\t<characteristic type=\"CM_Networks\">\t\t<characteristic "
           u"type=\"" +
           std::u16string(entry) + u"\">\t\t\t<parm name=\"DestId\" value=\"" +
           std::u16string(dest) +
           u"\" />\t\t</characteristic>\t</characteristic></wap-provisioningdoc>";
}

// The mail account document, with the blanks after the parameter names.
std::u16string MailDocument(std::u16string_view user, std::u16string_view password) {
    return u"<wap-provisioningdoc>\t<characteristic type=\"EMAIL2\">\t\t<characteristic "
           u"type=\"{4FE84006-9E8A-4158-864D-A2E1E98C3786}\">\t\t\t<parm name=\"SERVICENAME\" "
           u"value=\"kvonet mail\"/>\t\t\t<parm name=\"SERVICETYPE\" value=\"POP3\"/>\t\t\t<parm "
           u"name=\"INSERVER\"    value=\"pop.example.net\"/>\t\t\t<parm name=\"OUTSERVER\"   "
           u"value=\"smtp.example.net\"/>\t\t\t<parm name=\"AUTHNAME\"    value=\"" +
           std::u16string(user) + u"\"/>\t\t\t<parm name=\"AUTHSECRET\"  value=\"" +
           std::u16string(password) + u"\"/>\t\t\t<parm name=\"REPLYADDR\"   value=\"" +
           std::u16string(user) +
           u"@example.net\"/>\t\t</characteristic>\t</characteristic>"
           u"</wap-provisioningdoc>";
}

std::string Hive() {
    std::string text;
    RegRead(HKEY_LOCAL_MACHINE,
            [&](const RegKey& root) { text = FormatRegText(root, HKEY_LOCAL_MACHINE); });
    return text;
}

class ConfigXmlTest : public DeviceTest {};

TEST_F(ConfigXmlTest, TheNetworkDocumentMakesADestinationNetwork) {
    std::u16string out;
    ASSERT_EQ(DMProcessConfigXML(NetworkDocument(u"kvonet", kDest), CFGFLAG_PROCESS, &out), S_OK)
        << GetLastErrorText();
    EXPECT_EQ(out, NetworkDocument(u"kvonet", kDest));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE,
                           u"SOFTWARE\\Microsoft\\ConnMgr\\Destinations\\kvonet", u"DestId"),
              kDest);
    // A second run points the network at a new destination.
    const std::u16string next = u"{00000001-0002-0003-0405-060708090A0B}";
    ASSERT_EQ(DMProcessConfigXML(NetworkDocument(u"kvonet", next), CFGFLAG_PROCESS, nullptr), S_OK);
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE,
                           u"SOFTWARE\\Microsoft\\ConnMgr\\Destinations\\kvonet", u"DestId"),
              next);
}

TEST_F(ConfigXmlTest, TheMailDocumentMakesAnAccountWithEveryParameter) {
    ASSERT_EQ(DMProcessConfigXML(MailDocument(u"anna", u"s&amp;cret"), CFGFLAG_PROCESS, nullptr),
              S_OK)
        << GetLastErrorText();
    const std::u16string key =
        u"SOFTWARE\\Microsoft\\EMAIL2\\{4FE84006-9E8A-4158-864D-A2E1E98C3786}";
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, key, u"SERVICENAME"), u"kvonet mail");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, key, u"SERVICETYPE"), u"POP3");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, key, u"INSERVER"), u"pop.example.net");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, key, u"OUTSERVER"), u"smtp.example.net");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, key, u"AUTHNAME"), u"anna");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, key, u"AUTHSECRET"), u"s&cret");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, key, u"REPLYADDR"), u"anna@example.net");
    EXPECT_EQ(RegEnumValues(HKEY_LOCAL_MACHINE, key)->size(), 7u);
}

TEST_F(ConfigXmlTest, AMalformedDocumentIsRejectedAndChangesNothing) {
    ASSERT_EQ(DMProcessConfigXML(NetworkDocument(u"kvonet", kDest), CFGFLAG_PROCESS, nullptr),
              S_OK);
    const std::string before = Hive();
    const std::u16string good = NetworkDocument(u"other", kDest);
    struct Case {
        const char* why;
        std::u16string doc;
    } cases[] = {
        {"cut short", good.substr(0, good.size() - 10)},
        {"not a GUID", NetworkDocument(u"other", u"{not-a-guid}")},
        {"a name the registry cannot hold", NetworkDocument(u"a\\b", kDest)},
        {"unknown service",
         u"<wap-provisioningdoc><characteristic type=\"Registry\"/></wap-provisioningdoc>"},
        {"wrong root", u"<provisioning><characteristic type=\"CM_Networks\"/></provisioning>"},
        {"parm without value",
         u"<wap-provisioningdoc><characteristic type=\"CM_Networks\"><characteristic "
         u"type=\"x\"><parm "
         u"name=\"DestId\"/></characteristic></characteristic></wap-provisioningdoc>"},
        {"text where elements belong",
         u"<wap-provisioningdoc>hello<characteristic type=\"CM_Networks\"/></wap-provisioningdoc>"},
        {"an extra attribute", MailDocument(u"anna", u"x\" BOGUS=\"1")},
        {"quote in a value", MailDocument(u"an\"na", u"x")},
        {"an entity of its own",
         u"<!DOCTYPE wap-provisioningdoc [<!ENTITY e \"kvonet\">]><wap-provisioningdoc>"
         u"<characteristic type=\"CM_Networks\"><characteristic type=\"&e;\"><parm "
         u"name=\"DestId\" value=\"" +
             kDest +
             u"\"/></characteristic></characteristic>"
             u"</wap-provisioningdoc>"},
        {"an outside file",
         u"<!DOCTYPE wap-provisioningdoc SYSTEM \"file:///etc/passwd\"><wap-provisioningdoc/>"},
        {"a good part before a bad one",
         u"<wap-provisioningdoc><characteristic type=\"CM_Networks\"><characteristic "
         u"type=\"first\"><parm name=\"DestId\" value=\"" +
             kDest +
             u"\"/></characteristic>"
             u"<characteristic type=\"second\"><parm name=\"Other\" value=\"1\"/></characteristic>"
             u"</characteristic></wap-provisioningdoc>"},
        {"lone surrogate", NetworkDocument(u"x\xD800", kDest)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DMProcessConfigXML(c.doc, CFGFLAG_PROCESS, nullptr),
                  HRESULT_FROM_WIN32(ERROR_INVALID_DATA))
            << c.why;
        EXPECT_NE(GetLastErrorText().find("rejected"), std::string::npos) << c.why;
        EXPECT_EQ(Hive(), before) << c.why;
    }
    EXPECT_EQ(DMProcessConfigXML(good, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(Hive(), before);
}

TEST(ConfigXmlParse, BothServicesInOneDocumentAndTheErrorNamesTheLine) {
    ConfigDocument doc;
    std::string error;
    ASSERT_TRUE(ParseConfigXml(
        "<wap-provisioningdoc>\n<!-- set up -->\n<characteristic type=\"CM_Networks\">"
        "<characteristic type=\"A\"><parm name=\"DestId\" value=\"{00000001-0002-0003-0405-"
        "060708090a0b}\"/></characteristic></characteristic>\n<characteristic type=\"EMAIL2\">"
        "<characteristic type=\"{4FE84006-9E8A-4158-864D-A2E1E98C3786}\"><parm "
        "name=\"AUTHNAME\" value=\"&#x263A;\"/></characteristic></characteristic>"
        "</wap-provisioningdoc>",
        doc, error))
        << error;
    ASSERT_EQ(doc.settings.size(), 2u);
    EXPECT_EQ(doc.settings[0].strValue, u"{00000001-0002-0003-0405-060708090A0B}");
    EXPECT_EQ(doc.settings[1].strValue, u"\u263A");
    EXPECT_FALSE(
        ParseConfigXml("<wap-provisioningdoc>\n\n<characteristic type=\"Nope\"/>"
                       "</wap-provisioningdoc>",
                       doc, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_TRUE(doc.settings.empty());
}

}  // namespace
