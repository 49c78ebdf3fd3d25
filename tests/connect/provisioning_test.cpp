// Connection Manager registration of the entry, its proxies, and the operator's mail account.
#include <gtest/gtest.h>

#include "connect/provisioning/destination_guid.h"
#include "connect/provisioning/intranet_rules.h"
#include "connect/provisioning/mail_account.h"
#include "connect/provisioning/provisioning.h"
#include "platform/config_xml.h"
#include "platform/connmgr.h"
#include "platform/registry.h"
#include "tests/support/temp_device.h"

namespace {

using namespace kvo::connect;

class ProvisioningTest : public kvo::test::DeviceTest {
protected:
    std::u16string Proxies() const { return ce::kConnMgrProxiesKey; }
    std::u16string Str(const std::u16string& key, const char16_t* name) {
        return ce::RegGetString(ce::HKEY_LOCAL_MACHINE, key, name, u"<missing>");
    }
    uint32_t Dw(const std::u16string& key, const char16_t* name) {
        return ce::RegGetDword(ce::HKEY_LOCAL_MACHINE, key, name, 0xFFFF);
    }
    std::vector<std::u16string> ProxyKeys() {
        return ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, Proxies())
            .value_or(std::vector<std::u16string>{});
    }
};

TEST_F(ProvisioningTest, EachRunMakesANewDestinationAndOneHttpEntry) {
    // An entry of another program's destination goes too: there is one HTTP proxy entry.
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE,
                                Proxies() + u"\\HTTP-{00000000-0000-0000-0000-000000000001}",
                                u"Proxy", ce::RegValue::Sz(u"x:1")));
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, Proxies() + u"\\Other", u"Proxy",
                                ce::RegValue::Sz(u"y:2")));
    CIntranetSettings s;
    ce::GUID first, second;
    ASSERT_TRUE(ProvisionConnection(u"kvonet", false, s, first));
    ASSERT_TRUE(ProvisionConnection(u"kvonet", false, s, second));
    EXPECT_NE(first, second);
    std::u16string g = ce::GuidToString(second);
    EXPECT_EQ(ProxyKeys(), (std::vector<std::u16string>{u"HTTP-" + g, u"Other"}));

    std::u16string http = Proxies() + u"\\HTTP-" + g;
    EXPECT_EQ(Dw(http, u"Type"), 0u);
    EXPECT_EQ(Str(http, u"Proxy"), kPlaceholderProxy);
    EXPECT_EQ(Str(http, u"DestId"), ce::GuidToString(ce::kInternetDestination));
    EXPECT_EQ(Str(http, u"SrcId"), g);
    EXPECT_EQ(Dw(http, u"Enable"), 1u);
    EXPECT_EQ(Str(http, u"UserName"), u"");

    std::u16string conn = std::u16string(ce::kConnMgrDialUpConnectionsKey) + u"\\kvonet";
    EXPECT_EQ(Str(conn, u"DestId"), g);
    EXPECT_EQ(Dw(conn, u"Enabled"), 1u);
    EXPECT_EQ(Dw(conn, u"EntryType"), 0u);
    EXPECT_EQ(Dw(conn, u"RequirePw"), 1u);
    // The request finds the entry by the new destination, and only by it.
    EXPECT_EQ(ce::ConnMgrFindConnection(second), std::optional<std::u16string>(u"kvonet"));
    EXPECT_FALSE(ce::ConnMgrFindConnection(first));
    EXPECT_EQ(
        ce::RegGetString(ce::HKEY_LOCAL_MACHINE,
                         std::u16string(ce::kConnMgrDestinationsKey) + u"\\kvonet", u"DestId"),
        g);
}

TEST_F(ProvisioningTest, IntranetProxies) {
    CIntranetSettings s;
    s.proxy = u"yes";
    s.proxy_http = u"proxy.corp:8080";
    s.proxy_socks = u"socks.corp:1080";
    s.proxy_wap = u"wap.corp:9201";
    s.proxy_user = u"pu";
    s.proxy_password = u"pp";
    s.socks5 = u"no";
    ce::GUID g;
    ASSERT_TRUE(ProvisionConnection(u"kvonet", true, s, g));
    std::u16string gs = ce::GuidToString(g);
    EXPECT_EQ(Dw(Proxies() + u"\\HTTP-" + gs, u"Type"), 1u);
    EXPECT_EQ(Str(Proxies() + u"\\HTTP-" + gs, u"Proxy"), u"proxy.corp:8080");
    std::u16string socks = Proxies() + u"\\SOCKS-" + gs;
    EXPECT_EQ(Dw(socks, u"Type"), 4u);
    EXPECT_EQ(Str(socks, u"Username"), u"");
    EXPECT_EQ(Str(socks, u"Password"), u"");
    std::u16string wap = Proxies() + u"\\WAP-" + gs;
    EXPECT_EQ(Dw(wap, u"Type"), 2u);
    EXPECT_EQ(Str(wap, u"DestId"), ce::GuidToString(ce::kWapDestination));

    s.socks5 = u"yes";
    ASSERT_TRUE(ProvisionConnection(u"kvonet", true, s, g));
    socks = Proxies() + u"\\SOCKS-" + ce::GuidToString(g);
    EXPECT_EQ(Dw(socks, u"Type"), 8u);
    EXPECT_EQ(Str(socks, u"Username"), u"pu");
    EXPECT_EQ(Str(socks, u"Password"), u"pp");

    // Proxying off, or outside intranet mode: no SOCKS or WAP entry, HTTP with Type 0.
    ASSERT_TRUE(ProvisionConnection(u"kvonet", false, s, g));
    gs = ce::GuidToString(g);
    EXPECT_EQ(Dw(Proxies() + u"\\HTTP-" + gs, u"Type"), 0u);
    EXPECT_FALSE(ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, Proxies() + u"\\SOCKS-" + gs));
    EXPECT_FALSE(ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, Proxies() + u"\\WAP-" + gs));
}

TEST(DestinationGuidTest, LayoutFromTheFileTime) {
    const uint8_t node[6] = {1, 2, 3, 4, 5, 6};
    ce::GUID g = MakeTimeGuid(0x0123456789ABCDEFull, 0xBEEF, node);
    EXPECT_EQ(g.Data1, 0x89ABCDEFu);
    EXPECT_EQ(g.Data2, 0x4567u);
    EXPECT_EQ(g.Data3, 0x0122u);
    EXPECT_EQ(g.Data4[0], 0xBE);
    EXPECT_EQ(g.Data4[1], 0xEF);
    EXPECT_EQ(g.Data4[7], 6);
    EXPECT_NE(NewDestinationGuid(), NewDestinationGuid());
}

TEST(IntranetRulesTest, DefaultPortsAndHint) {
    EXPECT_EQ(ProxyWithDefaultPort(u"proxy", kHttpProxyPort), u"proxy:80");
    EXPECT_EQ(ProxyWithDefaultPort(u"proxy:3128", kHttpProxyPort), u"proxy:3128");
    EXPECT_EQ(ProxyWithDefaultPort(u"", kHttpProxyPort), u"");
    CIntranetSettings s;
    s.proxy_http = u"h";
    s.proxy_wap = u"w";
    s.proxy_socks = u"s";
    EXPECT_TRUE(FinishIntranetWizard(s));
    EXPECT_EQ(s.proxy_http, u"h:80");
    EXPECT_EQ(s.proxy_wap, u"w:9201");
    EXPECT_EQ(s.proxy_socks, u"s:1080");
    s.user = u"anna";
    EXPECT_FALSE(FinishIntranetWizard(s));
}

TEST_F(ProvisioningTest, MailAccountAndStartPage) {
    CMailAccountForm f = PresetMailForm();
    EXPECT_EQ(f.m_strIncoming, u"pop.vodafone.de");
    f.m_strUser = u"anna";
    f.m_strPassword = u"a\"b&c<d";  // must not end the attribute
    ASSERT_EQ(CreateOperatorMailAccount(f), EMailResult::Ok);
    std::u16string account =
        std::u16string(ce::kEmail2Key) + u"\\{4FE84006-9E8A-4158-864D-A2E1E98C3786}";
    EXPECT_EQ(Str(account, u"AUTHSECRET"), u"a\"b&c<d");
    EXPECT_EQ(Str(account, u"REPLYADDR"), u"anna@vodafone.de");
    EXPECT_EQ(Str(account, u"SERVICETYPE"), u"POP3");
    EXPECT_EQ(Str(account, u"INSERVER"), u"pop.vodafone.de");
    const char16_t* main = u"Software\\Microsoft\\Internet Explorer\\Main";
    EXPECT_EQ(ce::RegGetString(ce::HKEY_CURRENT_USER, main, u"Start Page"),
              PresetOperator().m_strStartPage);
    EXPECT_EQ(ce::RegGetString(ce::HKEY_CURRENT_USER,
                               std::u16string(main) + u"\\FavoritesEntries\\Vodafone", u"Icon"),
              u"\\windows\\kvo.ico");
}

}  // namespace
