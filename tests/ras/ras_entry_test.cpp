// Entries, dial parameters, connection records and what the link builds for pppd and chat.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/line.h"
#include "platform/ras.h"
#include "platform/ras_link.h"
#include "platform/ras_record.h"
#include "platform/registry.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo-device/modem.h"

namespace fs = std::filesystem;

namespace {

using RasEntryTest = kvo::test::DeviceTest;

ce::RASENTRY GsmEntry() {
    ce::RASENTRY e;
    e.dwSize = ce::kRasEntrySize;
    e.dwfOptions = ce::RASEO_RemoteDefaultGateway | ce::RASEO_UseCountryAndAreaCodes |
                   ce::RASEO_SpecificNameServers | ce::RASEO_SwCompression;
    e.dwCountryCode = 49;
    e.szAreaCode = u"171";
    e.szLocalPhoneNumber = u"2524120";
    e.ipaddrDns = {193, 254, 160, 1};
    e.ipaddrDnsAlt = {193, 254, 160, 130};
    e.dwFramingProtocol = ce::RASFP_Ppp;
    e.szDeviceName = u"Generic IrDA-modem";
    return e;
}

TEST_F(RasEntryTest, EntriesAndLoginsReadBackAndThePasswordStaysOutOfTheRegistry) {
    ce::RASENTRY e = GsmEntry();
    std::vector<uint8_t> cfg = ce::DefaultDevConfig();
    ce::SetDialModifier(cfg, u"+CBST=7,0,1");
    ASSERT_EQ(ce::RasSetEntryProperties(u"", u"kvonet", e, ce::kRasEntrySize, cfg), 0u);
    ce::RASENTRY back;
    std::vector<uint8_t> cfgBack;
    ASSERT_EQ(ce::RasGetEntryProperties(u"", u"KVONET", back, &cfgBack), 0u);
    EXPECT_EQ(back, e);
    EXPECT_EQ(ce::DialModifier(cfgBack), u"+CBST=7,0,1");

    ce::RASDIALPARAMS p;
    p.dwSize = ce::kRasDialParamsSize;
    p.szEntryName = u"kvonet";
    p.szUserName = u"t-mobile";
    p.szPassword = u"s3cret-pw";
    ASSERT_EQ(ce::RasSetEntryDialParams(u"", p, false), 0u);
    ce::RASDIALPARAMS got;
    got.dwSize = ce::kRasDialParamsSize;
    got.szEntryName = u"kvonet";
    bool saved = false;
    ASSERT_EQ(ce::RasGetEntryDialParams(u"", got, &saved), 0u);
    EXPECT_TRUE(saved);
    EXPECT_EQ(got.szUserName, u"t-mobile");
    EXPECT_EQ(got.szPassword, u"s3cret-pw");
    std::string hive = kvo::test::ReadHostFile(ce::RegistryDir() / "user.reg");
    EXPECT_NE(hive.find("t-mobile"), std::string::npos);
    EXPECT_EQ(hive.find("s3cret"), std::string::npos);
    bool found = false;
    for (auto& f : fs::recursive_directory_iterator(ce::DeviceRoot() / "credentials")) {
        struct stat st {};
        ASSERT_EQ(::stat(f.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, f.is_directory() ? 0700u : 0600u) << f.path();
        found |= f.is_regular_file();
    }
    EXPECT_TRUE(found);
    ASSERT_EQ(ce::RasSetEntryDialParams(u"", p, true), 0u);
    ASSERT_EQ(ce::RasGetEntryDialParams(u"", got, &saved), 0u);
    EXPECT_FALSE(saved);
    EXPECT_EQ(got.szPassword, u"");

    EXPECT_EQ(ce::RasDeleteEntry(u"", u"kvonet"), 0u);
    EXPECT_EQ(ce::RasGetEntryProperties(u"", u"kvonet", back), ce::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    EXPECT_EQ(ce::RasSetEntryDialParams(u"", p, false), ce::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
}

TEST_F(RasEntryTest, EntriesThatDoNotFitAreRefused) {
    ce::RASENTRY e = GsmEntry();
    EXPECT_EQ(ce::RasSetEntryProperties(u"", u"a name of twenty-one!", e, ce::kRasEntrySize, {}),
              ce::ERROR_INVALID_NAME);
    EXPECT_EQ(ce::RasSetEntryProperties(u"", u"a\\b", e, ce::kRasEntrySize, {}), ce::ERROR_INVALID_NAME);
    e.dwSize = 100;
    EXPECT_EQ(ce::RasSetEntryProperties(u"", u"x", e, ce::kRasEntrySize, {}), ce::ERROR_INVALID_SIZE);
    e = GsmEntry();
    e.szAreaCode = u"12345678901";
    EXPECT_EQ(ce::RasSetEntryProperties(u"", u"x", e, ce::kRasEntrySize, {}), ce::ERROR_INVALID_PARAMETER);
    e = GsmEntry();
    e.szLocalPhoneNumber = u"123\n";
    EXPECT_EQ(ce::RasSetEntryProperties(u"", u"x", e, ce::kRasEntrySize, {}), ce::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ce::RasSetEntryProperties(u"", u"x", GsmEntry(), ce::kRasEntrySize, {1, 2, 3}),
              ce::ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ce::RegKeyExists(ce::HKEY_CURRENT_USER, u"Comm\\RasBook\\x"));
}

TEST_F(RasEntryTest, DialStringsFollowTheDiallingLocation) {
    ce::RASENTRY e = GsmEntry();
    EXPECT_EQ(ce::BuildDialString(e, u""), "+491712524120");
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_CURRENT_USER, u"ControlPanel\\Dial\\Locations", u"3",
                                ce::RegValue::MultiSz({u"kvo Connection", u"G", u"FG", u"00EFG", u"49"})));
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_CURRENT_USER, u"ControlPanel\\Dial", u"CurrentLoc",
                                ce::RegValue::Dword(3)));
    EXPECT_EQ(ce::BuildDialString(e, u""), "00491712524120");
    e.dwfOptions = 0;
    e.szLocalPhoneNumber = u"*99***1#";
    EXPECT_EQ(ce::BuildDialString(e, u""), "*99***1#");
    EXPECT_EQ(ce::BuildDialString(e, u"*99#\r;x"), "*99#");  // nothing that ends the command
}

TEST(RasLink, PppdGetsTheEntrysOptionsAndTheLoginOnlyInItsFile) {
    ce::LinkPlan plan;
    plan.entry = GsmEntry();
    plan.nBaud = 115200;
    plan.strUser = "t-mobile";
    plan.strPassword = "tm\"x";
    std::vector<std::string> args =
        ce::BuildPppdArgs(plan, "/dev/ttyUSB0", "/usr/sbin/chat", "/d/ras/.1.chat", "/d/ras/.1.options");
    std::string joined;
    for (const auto& a : args) joined += a + "|";
    EXPECT_EQ(joined.rfind("/dev/ttyUSB0|115200|nodetach|modem|crtscts|noauth|connect|"
                           "'/usr/sbin/chat' -f '/d/ras/.1.chat'|file|/d/ras/.1.options|", 0), 0u)
        << joined;
    EXPECT_NE(joined.find("|noipdefault|defaultroute|novj|"), std::string::npos) << joined;
    EXPECT_EQ(joined.find("usepeerdns"), std::string::npos);  // the entry names its servers
    EXPECT_EQ(joined.find("nobsdcomp"), std::string::npos);   // software compression is on
    EXPECT_EQ(joined.find("tm\""), std::string::npos);
    EXPECT_EQ(ce::BuildPppdOptionsFile(plan), "user \"t-mobile\"\npassword \"tm\\\"x\"\n");

    plan.entry.dwfOptions = ce::RASEO_SpecificIpAddr | ce::RASEO_IpHeaderCompression;
    plan.entry.ipaddr = {10, 0, 0, 7};
    joined.clear();
    for (const auto& a : ce::BuildPppdArgs(plan, "/dev/rfcomm0", "c", "s", "o")) joined += a + "|";
    EXPECT_NE(joined.find("|10.0.0.7:|usepeerdns|nobsdcomp|nodeflate|"), std::string::npos) << joined;
    EXPECT_EQ(joined.find("defaultroute"), std::string::npos);
    EXPECT_EQ(joined.find("novj"), std::string::npos);
}

TEST(RasLink, ChatScriptsRefuseWhatChatWouldReadOtherwise) {
    ce::LinkPlan plan;
    plan.strDial = "*99***1#";
    plan.nSetupSeconds = 30;
    std::string script, error;
    ASSERT_TRUE(ce::BuildChatScript(plan, script, error));
    EXPECT_NE(script.find("TIMEOUT 30\nOK 'ATD*99***1#'\nCONNECT '\\c'\n"), std::string::npos);
    EXPECT_EQ(script.find("OK 'AT'"), std::string::npos);  // no init string, no init command
    for (const char* bad : {"+CGDCONT=1,'IP'", "^SYSCFG", "a\\b"}) {
        plan.strInit = bad;
        EXPECT_FALSE(ce::BuildChatScript(plan, script, error)) << bad;
    }
}

TEST(RasRecord, ReadsBackAndRejectsWhatDoesNotFit) {
    ce::RasConnectionRecord r;
    r.strEntry = u"kvonet";
    r.nPid = 4242;
    r.nStartTime = 99;
    r.eState = ce::RasConnectionRecord::CONNECTED;
    r.nSpeed = 115200;
    r.nSinceMs = 123456;
    r.nReceived = 1ull << 40;
    r.nTransmitted = 7;
    r.strInterface = "ppp0";
    r.strDevice = u"Generic IrDA-modem";
    ce::RasConnectionRecord back;
    std::string error;
    ASSERT_TRUE(ce::ParseRasRecord(ce::FormatRasRecord(r), back, error)) << error;
    EXPECT_EQ(back, r);
    std::string text = ce::FormatRasRecord(r);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    for (const std::string& bad :
         {replaced("kvo-ras", "xyz-ras"), replaced("pid=4242", "pid=0"),
          replaced("pid=4242", "pid=-1"), replaced("speed=115200", "speed=99999999999"),
          replaced("interface=ppp0", "interface=../../etc"), replaced("entry=kvonet", "entry=a\\b"),
          replaced("entry=kvonet", "entry=012345678901234567890"),
          replaced("state=connected", "state=maybe"), replaced("speed=", "colour=red\nspeed="),
          replaced("speed=", "pid=1\nspeed="), text.substr(0, text.size() - 1),
          replaced("entry=kvonet\n", ""), std::string(5000, 'x')}) {
        EXPECT_FALSE(ce::ParseRasRecord(bad, back, error)) << bad;
    }
}

TEST_F(RasEntryTest, StaleRecordsAndLeftoversAreRemovedByAnyReader) {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);  // a pid nothing runs as now
    ce::RasConnectionRecord dead;
    dead.strEntry = u"kvonet";
    dead.nPid = static_cast<uint32_t>(child);
    dead.nStartTime = 5;
    std::string error;
    ASSERT_TRUE(ce::WriteRasRecord(dead, error)) << error;
    // This process, but with another start time: a reused pid.
    ce::RasConnectionRecord reused = dead;
    reused.nPid = static_cast<uint32_t>(::getpid());
    reused.nStartTime = ce::ProcessStartTime(::getpid()) + 1;
    ASSERT_TRUE(ce::WriteRasRecord(reused, error));
    kvo::test::WriteHostFile(ce::RasDir() / ("." + std::to_string(child) + ".tmp"), "half");
    kvo::test::WriteHostFile(ce::RasDir() / ("." + std::to_string(child) + ".chat"), "PIN");
    kvo::test::WriteHostFile(ce::RasDir() / "notes.txt", "not ours");
    struct stat st {};
    ASSERT_EQ(::stat((ce::RasDir() / (std::to_string(child) + ".conn")).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_TRUE(ce::ReadRasRecords().empty());
    std::vector<std::string> left;
    for (auto& f : fs::directory_iterator(ce::RasDir())) left.push_back(f.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"notes.txt"});

    ce::RasConnectionRecord live = reused;
    live.nStartTime = ce::ProcessStartTime(::getpid());
    ASSERT_TRUE(ce::WriteRasRecord(live, error));
    ASSERT_EQ(ce::ReadRasRecords().size(), 1u);
    ce::RemoveRasRecord(live.nPid);
}

TEST_F(RasEntryTest, StatisticsOfAPppLinkComeFromTheKernel) {
    fs::path net = m_device.Root() / "net";
    kvo::test::WriteHostFile(net / "ppp3/statistics/rx_bytes", "5000000000\n");
    kvo::test::WriteHostFile(net / "ppp3/statistics/tx_bytes", "1234\n");
    kvo::test::WriteHostFile(net / "ppp3/statistics/rx_packets", "77\n");
    setenv("KVO_SYS_CLASS_NET", net.c_str(), 1);
    ce::RasConnectionRecord r;
    r.strEntry = u"kvonet";
    r.nPid = static_cast<uint32_t>(::getpid());
    r.nStartTime = ce::ProcessStartTime(::getpid());
    r.eState = ce::RasConnectionRecord::CONNECTED;
    r.nSpeed = 115200;
    r.nSinceMs = ce::BootTimeMs() - 3000;
    r.strInterface = "ppp3";
    std::string error;
    ASSERT_TRUE(ce::WriteRasRecord(r, error));
    ce::RAS_STATS s{};
    s.dwSize = 60;
    EXPECT_EQ(ce::RasGetLinkStatistics(r.nPid, 1, &s), 0u);
    EXPECT_EQ(s.dwBytesRcved, static_cast<ce::DWORD>(5000000000ull));  // 32 bits, as the platform's
    EXPECT_EQ(s.dwBytesXmited, 1234u);
    EXPECT_EQ(s.dwFramesRcved, 77u);
    EXPECT_EQ(s.dwBps, 115200u);
    EXPECT_GE(s.dwConnectDuration, 3000u);
    s.dwSize = 56;
    EXPECT_EQ(ce::RasGetLinkStatistics(r.nPid, 1, &s), ce::ERROR_INVALID_SIZE);
    auto list = ce::RasListConnections();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].nBytesReceived, 5000000000ull);
    unsetenv("KVO_SYS_CLASS_NET");
    ce::RemoveRasRecord(r.nPid);
}

TEST_F(RasEntryTest, AddModemMarksSimulatedPhonesOnlyWhenAsked) {
    std::string error;
    ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    std::vector<ce::LineDeviceInfo> demo = ce::ListLineDevices();
    ASSERT_EQ(demo.size(), 1u);
    EXPECT_TRUE(demo[0].bSimulated);  // the demo phone is kvophone
    ASSERT_TRUE(ce::RegDeleteTree(ce::HKEY_LOCAL_MACHINE, ce::kLinesKey));

    ASSERT_TRUE(kvo::device::AddModem(u"Real", u"COM5:", u"/dev/ttyUSB0", error)) << error;
    ASSERT_TRUE(kvo::device::AddModem(u"Sim", u"COM6:", u"dev/COM6", error, true)) << error;
    // Moved to another port: the mark stays.
    ASSERT_TRUE(kvo::device::AddModem(u"Sim", u"COM7:", u"dev/COM7", error)) << error;
    std::vector<ce::LineDeviceInfo> lines = ce::ListLineDevices();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].strName, u"Real");
    EXPECT_FALSE(lines[0].bSimulated);
    EXPECT_EQ(lines[1].strName, u"Sim");
    EXPECT_EQ(lines[1].strPort, u"COM7:");
    EXPECT_TRUE(lines[1].bSimulated);
}

}  // namespace
