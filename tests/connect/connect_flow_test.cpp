// The connect flow against the simulated phone on a pseudo-terminal, on a ready device:
// detection, the entry, the request and its fallbacks, watching, releasing, updates and
// uninstall.
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "connect/dialup/connect_strings.h"
#include "connect/flow/command.h"
#include "connect/flow/connection.h"
#include "kvocomm/kvocomm.h"
#include "platform/connmgr.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/line.h"
#include "platform/profile.h"
#include "platform/ras.h"
#include "platform/ras_link.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "telmio/settings/settings_file.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo-device/modem.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace kvo::connect;

namespace {

template <class F>
bool WaitUntil(F done, std::chrono::milliseconds limit = 15000ms) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class ConnectFlowTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        ce::SetAppName(u"connect");
        // The device has a real updater now; a watched connection would start its window.
        ce::WriteProfileInt(u"data", u"autoupdate", 0);
    }
    void TearDown() override {
        for (const auto& c : ce::RasListConnections()) ce::RasHangUp(c.hConn);
        if (m_phone)
            m_phone->Stop();
    }

    kvo::phone::CPhoneSim& StartPhone(const std::string& scenario = "") {
        kvo::phone::Scenario s;
        std::string error;
        EXPECT_TRUE(kvo::phone::ParseScenario(scenario, s, error)) << error;
        m_phone = std::make_unique<kvo::phone::CPhoneSim>(s);
        EXPECT_TRUE(m_phone->Start((ce::DeviceRoot() / "dev" / "COM3").string(), 0, error))
            << error;
        return *m_phone;
    }

    std::unique_ptr<CConnection> Make() {
        auto c = std::make_unique<CConnection>(m_ui, m_comm);
        EXPECT_TRUE(StartUp(*c));
        c->m_nAtTimeout = 1;
        return c;
    }

    // Commands the phone received, without the data call's lines.
    std::vector<std::string> Commands() {
        std::vector<std::string> out;
        for (const std::string& l : m_phone->Journal())
            if (l.rfind("> ", 0) == 0)
                out.push_back(l.substr(2));
        return out;
    }

    std::string Notes() { return kvo::test::ReadHostFile(ce::DeviceRoot() / "notifications.log"); }
    std::string InstallFile(const char* name) {
        return kvo::test::ReadHostFile(
            ce::MapPath(u"\\Program Files\\kvonet pro\\" + ce::FromUtf8(name)));
    }
    uint32_t HandleFile() {
        std::string b = InstallFile("kvo.con2");
        if (b.size() != 4)
            return 0xFFFFFFFF;
        return static_cast<uint8_t>(b[0]) | static_cast<uint8_t>(b[1]) << 8 |
               static_cast<uint8_t>(b[2]) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(b[3])) << 24;
    }
    void SaveIni(const std::function<void(kvo::CKvoIni&)>& change) {
        std::string error;
        ASSERT_TRUE(kvo::UpdateKvoIni(
            u"\\Program Files\\kvonet pro\\kvo.ini",
            [&](kvo::CKvoIni& ini) {
                change(ini);
                return true;
            },
            error))
            << error;
    }

    kvo::CRecordingUi m_ui{true};
    CKvoComm m_comm;
    std::unique_ptr<kvo::phone::CPhoneSim> m_phone;
};

TEST_F(ConnectFlowTest, DetectionAsksOnlyForWhatIsNotSaved) {
    StartPhone();
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    c->m_bStoreDetected = true;
    ASSERT_TRUE(c->DetectPhoneAndOperator()) << ce::ToUtf8(c->m_strLastError);
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{"AT", "AT+CGMI", "AT+CGMM", "AT+COPS?", "AT+CSCA?"}));
    EXPECT_EQ(c->m_phone.m_strName, u"KVO Mobile SP-1");
    EXPECT_EQ(c->m_isp.m_strName, u"T-Mobile D");
    EXPECT_EQ(c->m_strMethod, u"GPRS");
    EXPECT_NE(Notes().find("Phone:</td><td>KVO Mobile SP-1"), std::string::npos);

    // Stored: the next detection asks the phone nothing at all.
    kvo::CKvoIni ini;
    std::string error;
    ASSERT_EQ(kvo::LoadKvoIni(c->KvoIniPath(), ini, error), kvo::SettingsLoad::ok);
    EXPECT_EQ(ini.m_strPhoneModel, u"KVO Mobile SP-1");
    EXPECT_EQ(ini.m_strOperator, u"T-Mobile D");
    EXPECT_EQ(ini.m_strConnectionMethod, u"GPRS");
    auto again = Make();
    ASSERT_TRUE(again->Initialise(true));
    ASSERT_TRUE(again->DetectPhoneAndOperator());
    EXPECT_EQ(Commands().size(), 5u);

    // A saved phone alone: only the operator is asked for.
    SaveIni([](kvo::CKvoIni& i) { i.m_strOperator.clear(); });
    auto third = Make();
    ASSERT_TRUE(third->Initialise(true));
    ASSERT_TRUE(third->DetectPhoneAndOperator());
    auto cmds = Commands();
    EXPECT_EQ(std::vector<std::string>(cmds.begin() + 5, cmds.end()),
              (std::vector<std::string>{"AT", "AT+COPS?", "AT+CSCA?"}));
}

TEST_F(ConnectFlowTest, ProfileTemplateIsSentEvenWithEverythingSaved) {
    StartPhone();
    std::string error;
    ASSERT_TRUE(kvo::device::AddModem(u"KVO Mobile SP-1 Bluetooth", u"COM6:",
                                      ce::FromUtf8((ce::DeviceRoot() / "dev" / "COM3").string()),
                                      error, true))
        << error;
    SaveIni([](kvo::CKvoIni& i) {
        i.m_strPhoneModel = u"KVO Mobile SP-1";
        i.m_strOperator = u"T-Mobile D";
        i.m_strModemDevice = u"KVO Mobile SP-1 Bluetooth";
        i.m_strPin = u"0000";
    });
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    ASSERT_TRUE(c->DetectPhoneAndOperator()) << ce::ToUtf8(c->m_strLastError);
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{"AT", "AT+CGDCONT=1,\"IP\",\"internet.t-d1.de\"",
                                        "AT+cpin=\"0000\""}));
}

TEST_F(ConnectFlowTest, SilentPhoneGetsThreeAttempts) {
    StartPhone("[quirks]\nsilent = AT\n");
    SaveIni([](kvo::CKvoIni& i) { i.m_strConnectionMethod = u"HSCSD"; });
    std::string before = InstallFile("kvo.ini");
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    EXPECT_FALSE(c->DetectPhoneAndOperator());
    EXPECT_EQ(Commands(), (std::vector<std::string>{"AT", "AT", "AT"}));
    EXPECT_NE(Notes().find("Detecting your mobile phone"), std::string::npos);
    EXPECT_EQ(c->m_strLastError, LoadString(IDS_NO_PHONE));
    EXPECT_NE(Notes().find("Cannot connect to mobile phone. Please check"), std::string::npos);
    c->m_bStoreDetected = true;
    EXPECT_FALSE(c->DetectPhoneAndOperator());
    EXPECT_EQ(InstallFile("kvo.ini"), before);  // nothing stored on failure
}

TEST_F(ConnectFlowTest, EachFailureSaysWhy) {
    struct Case {
        const char* scenario;
        const char16_t* savedDevice;
        std::vector<int> messages;
    } cases[] = {
        {nullptr, u"", {IDS_CANNOT_OPEN_PORT}},
        {"[phone]\nmodel = XT-9\n", u"", {IDS_PHONE_NOT_SUPPORTED}},
        {"[quirks]\nerror = AT+COPS\nerror = AT+CSCA\n",
         u"",
         {IDS_ISP_DETECTION_FAILED, IDS_ISP_NOT_DETECTED}},
        {"[phone]\noperator = Nowhere Net\nsmsc = +1555\n",
         u"",
         {IDS_ISP_NOT_FOUND, IDS_ISP_NOT_DETECTED}},
        {"", u"No such modem", {IDS_UNKNOWN_METHOD}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.scenario ? k.scenario : "no phone");
        if (m_phone)
            m_phone->Stop();
        m_phone.reset();
        if (k.scenario)
            StartPhone(k.scenario);
        SaveIni([&](kvo::CKvoIni& i) { i.m_strModemDevice = k.savedDevice; });
        auto c = Make();
        ASSERT_TRUE(c->Initialise(true));
        EXPECT_FALSE(c->DetectPhoneAndOperator());
        std::string notes = Notes();
        for (int id : k.messages)
            EXPECT_NE(notes.find(ce::ToUtf8(LoadString(id)).substr(0, 40)), std::string::npos)
                << id;
        EXPECT_EQ(c->m_strLastError, LoadString(k.messages.back()));
        ce::DeleteFile(u"\\..\\notifications.log");
        kvo::test::WriteHostFile(ce::DeviceRoot() / "notifications.log", "");
    }
}

TEST_F(ConnectFlowTest, EntryDeviceConfigurationAndLocation) {
    StartPhone();
    SaveIni([](kvo::CKvoIni& i) { i.m_strPin = u"0000"; });
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    ASSERT_TRUE(c->DetectPhoneAndOperator());
    ASSERT_TRUE(c->CreateDialEntry()) << ce::ToUtf8(c->m_strLastError);
    // With the PIN the string would not fit the dial modifier: the PIN command went.
    EXPECT_TRUE(c->m_bPinMustBeDisabled);

    ce::RASENTRY e;
    std::vector<uint8_t> cfg;
    ASSERT_EQ(ce::RasGetEntryProperties(u"", u"kvonet", e, &cfg), 0u);
    EXPECT_EQ(e.szDeviceName, u"Generic IrDA-modem");
    EXPECT_EQ(e.szLocalPhoneNumber, u"*99***1#");
    EXPECT_EQ(e.dwCountryCode, 0u);
    EXPECT_EQ(e.dwFramingProtocol, ce::RASFP_Ppp);
    EXPECT_EQ(e.dwfOptions, ce::RASEO_RemoteDefaultGateway | ce::RASEO_SpecificNameServers |
                                ce::RASEO_SwCompression);
    EXPECT_EQ(ce::FormatIp(e.ipaddrDns), "193.254.160.1");
    EXPECT_EQ(ce::FormatIp(e.ipaddrDnsAlt), "193.254.160.130");
    ASSERT_EQ(cfg.size(), ce::kDevConfigSize);
    EXPECT_EQ(cfg[ce::kDevCfgModemOptions], 16);
    EXPECT_EQ(cfg[ce::kDevCfgModemOptions + 1], 2);
    EXPECT_EQ(cfg[ce::kDevCfgBaudRate] | cfg[ce::kDevCfgBaudRate + 1] << 8 |
                  cfg[ce::kDevCfgBaudRate + 2] << 16,
              115200);
    EXPECT_EQ(cfg[ce::kDevCfgByteSize], 8);
    EXPECT_EQ(cfg[ce::kDevCfgByteSize + 1], 0);
    EXPECT_EQ(cfg[ce::kDevCfgByteSize + 2], 0);
    EXPECT_EQ(ce::DialModifier(cfg), u"+CGDCONT=1,\"IP\",\"internet.t-d1.de\"");

    // GPRS: no codes, so the pattern is "G"; the location is found again the next time.
    ASSERT_TRUE(c->WriteDialLocation());
    ASSERT_TRUE(c->WriteDialLocation());
    uint32_t id = ce::RegGetDword(ce::HKEY_CURRENT_USER, u"ControlPanel\\Dial", u"CurrentLoc", 99);
    std::string idText = std::to_string(id);
    auto v = ce::RegQueryValue(ce::HKEY_CURRENT_USER, u"ControlPanel\\Dial\\Locations",
                               ce::FromUtf8(idText));
    ASSERT_TRUE(v && v->AsMultiSz());
    // No country code: the list ends after the patterns.
    EXPECT_EQ(*v->AsMultiSz(), (std::vector<std::u16string>{u"kvo Connection", u"G", u"G", u"G"}));
    EXPECT_EQ(
        ce::RegGetDword(ce::HKEY_CURRENT_USER, u"ControlPanel\\Dial\\Locations", u"HighLocID"),
        id + 1);

    // HSCSD dials the operator's number with its codes.
    c->m_nMethod = METHOD_HSCSD;
    ASSERT_TRUE(c->CreateDialEntry());
    ASSERT_TRUE(c->WriteDialLocation());
    ASSERT_EQ(ce::RasGetEntryProperties(u"", u"kvonet", e, &cfg), 0u);
    EXPECT_EQ(e.dwCountryCode, 49u);
    EXPECT_EQ(e.szAreaCode, u"171");
    EXPECT_EQ(ce::BuildDialString(e, u""), "+491712524120");
    v = ce::RegQueryValue(ce::HKEY_CURRENT_USER, u"ControlPanel\\Dial\\Locations",
                          ce::FromUtf8(idText));
    ASSERT_TRUE(v && v->AsMultiSz());
    EXPECT_EQ(*v->AsMultiSz(),
              (std::vector<std::u16string>{u"kvo Connection", u"+EFG", u"+EFG", u"+EFG", u"49"}));
}

TEST_F(ConnectFlowTest, FailedGprsOffersHscsdThenGsm) {
    StartPhone("[data]\nfail = *99***1#,NO CARRIER\nfail = +491712524120,NO CARRIER\n");
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    EXPECT_EQ(c->RunConnectFlow(false), EFlowResult::Failed);
    EXPECT_EQ(m_ui.Questions(),
              (std::vector<std::u16string>{u"GPRS connection failed, do you want to try HSCSD ?",
                                           u"HSCSD connection failed, do you want to try GSM ?"}));
    EXPECT_EQ(HandleFile(), 0u);
    kvo::CKvoIni ini;
    std::string error;
    kvo::LoadKvoIni(c->KvoIniPath(), ini, error);
    EXPECT_EQ(ini.m_strConnectionMethod, u"GSM");
    int dials = 0;
    for (const auto& l : m_phone->Journal()) dials += l.rfind("DIAL ", 0) == 0;
    EXPECT_EQ(dials, 3);
}

TEST_F(ConnectFlowTest, SavedMethodOffersNoFallback) {
    StartPhone("[data]\nfail = *99***1#,NO CARRIER\n");
    SaveIni([](kvo::CKvoIni& i) { i.m_strConnectionMethod = u"GPRS"; });
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    EXPECT_EQ(c->RunConnectFlow(false), EFlowResult::Failed);
    EXPECT_TRUE(m_ui.Questions().empty());
}

TEST_F(ConnectFlowTest, RequestFileEndsTheWatchedConnection) {
    StartPhone();
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    std::atomic<uint32_t> handle{0};
    c->m_onConnected = [&](uint32_t h) { handle = h; };
    std::atomic<bool> done{false};
    EFlowResult result = EFlowResult::Failed;
    std::thread flow([&] {
        result = c->RunConnectFlow(false);
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return handle.load() != 0 || done.load(); }));
    ASSERT_NE(handle.load(), 0u) << ce::ToUtf8(c->m_strLastError);
    EXPECT_EQ(HandleFile(), handle.load());
    EXPECT_EQ(ce::RasListConnections().size(), 1u);

    std::string bytes(4, '\0');
    kvo::test::WriteHostFile(ce::MapPath(c->RequestFile()), bytes);
    EXPECT_TRUE(WaitUntil([&] { return done.load(); }, 5000ms));
    flow.join();
    EXPECT_EQ(result, EFlowResult::Connected);
    EXPECT_FALSE(ce::FileExists(c->RequestFile()));
    EXPECT_TRUE(WaitUntil([] { return ce::RasListConnections().empty(); }));
}

TEST_F(ConnectFlowTest, CommandXReleasesTheHandleItReads) {
    StartPhone();
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    ASSERT_TRUE(c->DetectPhoneAndOperator());
    ASSERT_TRUE(c->CreateDialEntry());
    // Nothing to read: nothing to do.
    EXPECT_TRUE(c->ReleaseRequestedConnection());

    ce::CONNMGR_CONNECTIONINFO info;
    info.dwParams = ce::CONNMGR_PARAM_GUIDDESTNET;
    info.guidDestNet = c->m_guidDestination;
    uint32_t h = 0, status = 0;
    ASSERT_EQ(ce::ConnMgrEstablishConnectionSync(info, &h, 60000, &status), ce::S_OK);
    std::string bytes{static_cast<char>(h), static_cast<char>(h >> 8), static_cast<char>(h >> 16),
                      static_cast<char>(h >> 24)};
    kvo::test::WriteHostFile(ce::MapPath(c->RequestFile()), bytes);
    EXPECT_EQ(RunWindowlessCommand(*c, u"x"), kCommandOk);
    EXPECT_TRUE(WaitUntil([] { return ce::RasListConnections().empty(); }));

    // A short file is no handle: said, not ignored.
    kvo::test::WriteHostFile(ce::MapPath(c->RequestFile()), "ab");
    EXPECT_EQ(RunWindowlessCommand(*c, u"x"), kCommandFailed);
}

TEST_F(ConnectFlowTest, UpdateScheduleAndUpdaterStart) {
    kvo::test::FakeClock clock;  // 2026-12-08
    fs::path updaterDir = ce::MapPath(u"\\Program Files\\Orvane Updater");
    fs::path log = ce::DeviceRoot() / "updater-args";
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane Updater",
                                u"InstlDir", ce::RegValue::Sz(u"\\Program Files\\Orvane Updater")));
    kvo::test::WriteHostFile(updaterDir / "updater.exe",
                             "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + log.string() + "'\n");
    fs::remove(updaterDir / "updater.exe.tmp");
    chmod((updaterDir / "updater.exe").c_str(), 0700);
    ce::WriteProfileInt(u"data", u"autoupdate", 1);
    auto c = Make();
    auto starts = [&] {
        std::string s = kvo::test::ReadHostFile(log);
        return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
    };
    auto check = [&](bool expectStart) {
        int before = starts();
        EXPECT_EQ(c->CheckUpdateSchedule(), expectStart);
        if (expectStart)
            EXPECT_TRUE(WaitUntil([&] { return starts() == before + 1; }));
    };
    check(true);  // never checked: 2000-00-00
    EXPECT_EQ(kvo::test::ReadHostFile(log),
              "/app=WM2003_kvopro_Eng_300 \"/path=\\Program Files\\kvonet pro\"\n");
    EXPECT_EQ(ce::GetProfileInt(u"data", u"upd_d", 0), 8u);
    check(false);  // inside the 15 days
    ce::WriteProfileInt(u"data", u"updatenow", 1);
    check(true);
    EXPECT_EQ(ce::GetProfileInt(u"data", u"updatenow", 9), 0u);
    ce::WriteProfileInt(u"data", u"upd_m", 11);
    ce::WriteProfileInt(u"data", u"upd_d", 24);
    check(false);  // the 15th day after is still inside
    ce::WriteProfileInt(u"data", u"upd_d", 23);
    check(true);
    ce::WriteProfileInt(u"data", u"autoupdate", 0);
    ce::WriteProfileInt(u"data", u"upd_y", 2000);
    check(false);  // automatic checks off, none asked for

    ce::RegDeleteTree(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane Updater");
    EXPECT_FALSE(c->StartUpdater());
    EXPECT_EQ(c->m_strLastError, u"Cannot find updater.");
}

TEST_F(ConnectFlowTest, UninstallRemovesExactlyItsOwn) {
    auto c = Make();
    const std::u16string f = c->m_strAppDir;
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_CURRENT_USER, u"Software\\Orvane kvonet pro\\x", u"v",
                                ce::RegValue::Dword(1)));
    ASSERT_TRUE(
        ce::RegSetValue(ce::HKEY_CURRENT_USER, u"Software\\Dialer", u"v", ce::RegValue::Dword(1)));
    ASSERT_TRUE(
        ce::RegSetValue(ce::HKEY_CURRENT_USER, u"Software\\Other", u"v", ce::RegValue::Dword(1)));
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE,
                                u"SOFTWARE\\Microsoft\\Today\\Items\\\"Kvonet\"", u"DLL",
                                ce::RegValue::Sz(u"homestrip.dll")));
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Today\\Items\\Other",
                                u"DLL", ce::RegValue::Sz(u"x.dll")));
    std::u16string apps = u"SOFTWARE\\Apps\\Orvane kvonet pro";
    ASSERT_TRUE(
        ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, apps, u"myapp", ce::RegValue::Sz(u"\\x.exe")));
    for (const char16_t* name : {u"kvo.ini", u"kvo.sms", u"intranet.dat", u"mail.ini", u"pb\\a.pb",
                                 u"LOG\\2026.log", u"LOG\\sub\\keep.txt"})
        kvo::test::WriteHostFile(ce::MapPath(f + name), "x");
    kvo::test::WriteHostFile(ce::MapPath(u"\\Windows\\dialer\\theme\\keys.bmp"), "x");
    kvo::test::WriteHostFile(ce::MapPath(u"\\kvo.lock"), "");
    kvo::test::WriteHostFile(ce::MapPath(u"\\Windows\\keep.txt"), "x");

    EXPECT_TRUE(c->Uninstall());
    EXPECT_TRUE(c->m_bResetPending);
    EXPECT_FALSE(ce::RegKeyExists(ce::HKEY_CURRENT_USER, u"Software\\Orvane kvonet pro"));
    EXPECT_FALSE(ce::RegKeyExists(ce::HKEY_CURRENT_USER, u"Software\\Dialer"));
    EXPECT_TRUE(ce::RegKeyExists(ce::HKEY_CURRENT_USER, u"Software\\Other"));
    EXPECT_FALSE(
        ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Today\\Items\\\"Kvonet\""));
    EXPECT_TRUE(
        ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Today\\Items\\Other"));
    EXPECT_FALSE(ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, apps, u"myapp"));
    EXPECT_EQ(ce::RegGetString(ce::HKEY_LOCAL_MACHINE, apps, u"InstlDir"),
              u"\\Program Files\\kvonet pro");

    std::vector<std::u16string> left;
    for (const auto& e : ce::FindFiles(f + u"*")) left.push_back(e.name);
    // connect.exe stays, and so does a folder holding a sub-folder the list does not name.
    EXPECT_EQ(left, (std::vector<std::u16string>{u"LOG", u"connect.exe"}));
    EXPECT_FALSE(ce::DirectoryExists(f + u"pb"));
    EXPECT_FALSE(ce::FileExists(u"\\kvo.lock"));
    EXPECT_FALSE(ce::DirectoryExists(u"\\Windows\\dialer"));
    EXPECT_TRUE(ce::FileExists(u"\\Windows\\keep.txt"));
    EXPECT_NE(m_ui.Messages().back().find(u"After pressing OK a restart is performed."),
              std::u16string::npos);
}

TEST_F(ConnectFlowTest, PinThatDoesNotFitIsSwitchedOffOnRequest) {
    StartPhone("[phone]\npin = 0000\n");
    std::string error;
    ASSERT_TRUE(kvo::device::AddModem(u"KVO Mobile SP-1 Bluetooth", u"COM6:",
                                      ce::FromUtf8((ce::DeviceRoot() / "dev" / "COM3").string()),
                                      error, true))
        << error;
    SaveIni([](kvo::CKvoIni& i) {
        i.m_strModemDevice = u"KVO Mobile SP-1 Bluetooth";
        i.m_strPin = u"0000";
    });
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    // Ends the connection as soon as it is up.
    c->m_onConnected = [&](uint32_t) {
        kvo::test::WriteHostFile(ce::MapPath(c->RequestFile()), "0000");
    };
    EXPECT_EQ(c->RunConnectFlow(false), EFlowResult::Connected) << ce::ToUtf8(c->m_strLastError);
    EXPECT_EQ(m_ui.Questions(), (std::vector<std::u16string>{LoadString(IDS_ASK_DISABLE_PIN)}));
    auto cmds = Commands();
    EXPECT_NE(std::find(cmds.begin(), cmds.end(), "at+clck=\"SC\",0,\"0000\""), cmds.end());
    EXPECT_NE(Notes().find("you must deactivate your PIN code"), std::string::npos);
}

TEST_F(ConnectFlowTest, IntranetChosenAtConnectionIsForThisFlowOnly) {
    StartPhone();
    SaveIni([](kvo::CKvoIni& i) { i.m_strNetworkChoice = u"<choose at connection>"; });
    CIntranetSettings in;
    in.proxy = u"yes";
    in.proxy_http = u"proxy.corp:8080";
    in.slip = u"yes";
    in.dns = u"10.0.0.1";
    in.ip = u"10.1.2.3";
    in.apn = u"corp.apn";
    std::string error;
    ASSERT_TRUE(SaveIntranetDat(u"\\Program Files\\kvonet pro\\intranet.dat", in, error)) << error;
    auto c = Make();
    ASSERT_TRUE(c->Initialise(true));
    int asked = 0;
    c->m_chooseNetwork = [&] {
        ++asked;
        return ENetworkAnswer::Intranet;
    };
    c->m_intranetLogin = [](std::u16string& user, std::u16string& password) {
        user = u"Anna";
        password = u"Pw";
        return true;
    };
    c->m_onConnected = [&](uint32_t) {
        kvo::test::WriteHostFile(ce::MapPath(c->RequestFile()), "0000");
    };
    EXPECT_EQ(c->RunConnectFlow(false), EFlowResult::Connected) << ce::ToUtf8(c->m_strLastError);
    EXPECT_EQ(asked, 1);

    ce::RASENTRY e;
    std::vector<uint8_t> cfg;
    ASSERT_EQ(ce::RasGetEntryProperties(u"", u"kvonet", e, &cfg), 0u);
    EXPECT_EQ(e.dwFramingProtocol, ce::RASFP_Slip);
    EXPECT_EQ(ce::FormatIp(e.ipaddrDns), "10.0.0.1");
    EXPECT_EQ(ce::FormatIp(e.ipaddr), "10.1.2.3");
    EXPECT_TRUE(e.dwfOptions & ce::RASEO_SpecificIpAddr);
    EXPECT_EQ(ce::DialModifier(cfg), u"+CGDCONT=1,\"IP\",\"corp.apn\"");
    ce::RASDIALPARAMS p;
    p.dwSize = ce::kRasDialParamsSize;
    p.szEntryName = u"kvonet";
    bool saved = false;
    ASSERT_EQ(ce::RasGetEntryDialParams(u"", p, &saved), 0u);
    EXPECT_EQ(p.szUserName, u"Anna");
    std::u16string http = std::u16string(ce::kConnMgrProxiesKey) + u"\\HTTP-" +
                          ce::GuidToString(c->m_guidDestination);
    EXPECT_EQ(ce::RegGetDword(ce::HKEY_LOCAL_MACHINE, http, u"Type"), 1u);

    // The login went to "intranet.dat" with its case; the choice stays "at connection".
    CIntranetSettings back;
    ASSERT_TRUE(LoadIntranetDat(c->IntranetPath(), back, error));
    EXPECT_EQ(back.user, u"Anna");
    EXPECT_EQ(back.password, u"Pw");
    EXPECT_EQ(c->m_saved.m_strNetworkChoice, u"<choose at connection>");
    kvo::CKvoIni ini;
    kvo::LoadKvoIni(c->KvoIniPath(), ini, error);
    EXPECT_EQ(ini.m_strNetworkChoice, u"<choose at connection>");
}

TEST_F(ConnectFlowTest, LineDevicesAndTheTelephonyRetry) {
    // A device nothing names a port for is never the "COM3:" default.
    ce::LineDeviceInfo lonely;
    lonely.strName = u"Lonely modem";
    ASSERT_TRUE(ce::AddLineDevice(lonely));
    ce::LineDeviceInfo voiceOnly;
    voiceOnly.strName = u"Voice only";
    voiceOnly.dwMediaModes = ce::LINEMEDIAMODE_INTERACTIVEVOICE;
    ASSERT_TRUE(ce::AddLineDevice(voiceOnly));
    auto c = Make();
    ASSERT_TRUE(c->Initialise(false));
    std::vector<std::u16string> names;
    for (const auto& d : c->m_lineDevices) names.push_back(d.m_strName + u"=" + d.m_strPort);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Generic IrDA-modem=COM3:", u"Lonely modem="}));
    EXPECT_EQ(SelectLineDevice(c->m_lineDevices, u"")->m_strName, u"Generic IrDA-modem");
    EXPECT_EQ(SelectLineDevice(c->m_lineDevices, u"Lonely modem")->m_strName, u"Lonely modem");
    c->ShutdownLines();

    // The telephony layer asks to be re-initialised: the user is asked every 5 s of
    // retrying; Cancel goes on, OK gives up and the load fails.
    kvo::test::FakeClock clock;
    int calls = 0;
    ce::SetLineInitializeHook([&] { return ++calls < 200 ? ce::LINEERR_REINIT : 0; });
    m_ui.SetAnswer(false);
    auto retried = Make();
    EXPECT_TRUE(retried->Initialise(false));
    EXPECT_EQ(m_ui.Questions().size(), 3u);  // 199 retries of 100 ms
    retried->ShutdownLines();
    calls = 0;
    m_ui.SetAnswer(true);
    auto gaveUp = Make();
    EXPECT_FALSE(gaveUp->Initialise(false));
    EXPECT_EQ(gaveUp->m_strLastError, LoadString(IDS_DATABASE_FAILED));
    ce::SetLineInitializeHook({});
}

TEST_F(ConnectFlowTest, StatusNotificationShowsOneAtATime) {
    CStatusNotification note;
    note.Show(u"first");
    note.Show(u"first");  // still on screen: nothing new
    note.Show(u"second", 20);
    note.Remove();
    std::string log = Notes();
    auto count = [&](const std::string& s) {
        size_t n = 0;
        for (size_t p = 0; (p = log.find(s, p)) != std::string::npos; ++p) ++n;
        return n;
    };
    EXPECT_EQ(count("\tADD\t12100\tkvonet pro\t"), 2u);
    EXPECT_EQ(count("\tREMOVE\t12100\t"), 2u);
    EXPECT_NE(log.find("<font color=\"midnightblue\">second</font>"), std::string::npos);
}

}  // namespace
