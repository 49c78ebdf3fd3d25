// connect and `kvo connect` as a person or a script runs them: real processes sharing the
// root lock, the handle file and the request file.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/file.h"
#include "platform/ras.h"
#include "platform/text.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;
using kvo::test::BuiltProgram;
using kvo::test::RunProgram;

namespace {

class ConnectProgramTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        // A question on a desktop would wait for a click: these runs have no display.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    }
    void TearDown() override {
        for (const auto& c : ce::RasListConnections()) ce::RasHangUp(c.hConn);
        if (m_phone)
            m_phone->Stop();
    }
    void StartPhone(const std::string& scenario = "") {
        kvo::phone::Scenario s;
        std::string error;
        ASSERT_TRUE(kvo::phone::ParseScenario(scenario, s, error)) << error;
        m_phone = std::make_unique<kvo::phone::CPhoneSim>(s);
        ASSERT_TRUE(m_phone->Start((ce::DeviceRoot() / "dev" / "COM3").string(), 0, error))
            << error;
    }
    kvo::test::ProgramResult Kvo(std::vector<std::string> args) {
        args.insert(args.begin(), "connect");
        return RunProgram(BuiltProgram("kvo"), args);
    }
    kvo::test::ProgramResult Connect(const std::vector<std::string>& args) {
        return RunProgram(BuiltProgram("connect"), args);
    }
    std::u16string App(const char16_t* name) {
        return std::u16string(u"\\Program Files\\kvonet pro\\") + name;
    }

    std::unique_ptr<kvo::phone::CPhoneSim> m_phone;
};

TEST_F(ConnectProgramTest, SecondInstanceEndsAtOnceButReleaseRuns) {
    ce::File held =
        ce::File::Open(u"\\kvo.lock", ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS);
    ASSERT_TRUE(held);
    StartPhone();
    auto r = Connect({"c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Another connect is running"), std::string::npos) << r.err;
    EXPECT_TRUE(m_phone->Journal().empty());  // it never touched the phone
    EXPECT_FALSE(ce::FileExists(App(u"MONITORSTARTED")));
    EXPECT_EQ(Connect({"x"}).status, 0);  // nothing to release, and no lock needed
    held.Close();

    // Without a display nobody could close the window: it says so rather than hang.
    for (const char* letter : {"a", "m", "s"}) {
        auto w = Connect({letter});
        EXPECT_EQ(w.status, 1);
        EXPECT_TRUE(w.err.find("needs a display") != std::string::npos ||
                    w.err.find("has no window") != std::string::npos)
            << letter << ": " << w.err;
        EXPECT_FALSE(ce::FileExists(App(u"MONITORSTARTED"))) << letter;
    }
}

TEST_F(ConnectProgramTest, SecondRoadFromDetectionToDisconnect) {
    StartPhone();
    auto detect = Kvo({"detect"});
    ASSERT_EQ(detect.status, 0) << detect.err;
    EXPECT_EQ(detect.out, "phone\tKVO Mobile SP-1\nisp\tT-Mobile D\nmethod\tGPRS\nuser\t\n");

    auto up = Kvo({"up", "--detach"});
    ASSERT_EQ(up.status, 0) << up.err;
    ASSERT_EQ(up.out.rfind("connected\t", 0), 0u) << up.out;
    uint32_t handle = static_cast<uint32_t>(std::stoul(up.out.substr(10)));
    std::string con2 = kvo::test::ReadHostFile(ce::MapPath(App(u"kvo.con2")));
    ASSERT_EQ(con2.size(), 4u);
    EXPECT_EQ(static_cast<uint8_t>(con2[0]) | static_cast<uint8_t>(con2[1]) << 8,
              static_cast<int>(handle & 0xFFFF));

    // The detached flow owns the connection and the lock.
    auto second = Connect({"c"});
    EXPECT_EQ(second.status, 1);
    auto entry = Kvo({"entry"});
    EXPECT_NE(entry.out.find("device\tGeneric IrDA-modem\nnumber\t*99***1#\ncountry-code\t0\n"),
              std::string::npos)
        << entry.out;
    EXPECT_NE(entry.out.find("dial-modifier\t+CGDCONT=1,\"IP\",\"internet.t-d1.de\"\n"),
              std::string::npos);
    auto status = Kvo({"status"});
    EXPECT_EQ(status.out.rfind("kvonet\t" + std::to_string(handle) + "\t", 0), 0u) << status.out;

    auto down = Kvo({"down"});
    EXPECT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(ce::RasListConnections().empty());
    EXPECT_FALSE(ce::FileExists(App(u"kvo.conn")));
    EXPECT_EQ(Kvo({"down"}).status, 1);  // nothing left to end
}

TEST_F(ConnectProgramTest, InterruptEndsTheConnectionItOwns) {
    StartPhone();
    pid_t pid = kvo::test::StartProgram(BuiltProgram("kvo"), {"connect", "up"}, -1, -1);
    ASSERT_GT(pid, 0);
    // Connected once the link's record is there.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ce::RasListConnections().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(ce::RasListConnections().size(), 1u);
    kill(pid, SIGINT);
    EXPECT_EQ(kvo::test::WaitProgram(pid, 20000), 0);
    EXPECT_TRUE(ce::RasListConnections().empty());
    EXPECT_FALSE(ce::FileExists(u"\\kvo.lock"));
    EXPECT_FALSE(ce::FileExists(App(u"MONITORSTARTED")));
}

TEST_F(ConnectProgramTest, DetachedFlowThatFailsSaysSo) {
    StartPhone("[data]\nfail = *99***1#,NO CARRIER\n");
    auto up = Kvo({"up", "--no", "--detach"});
    EXPECT_EQ(up.status, 1);
    EXPECT_NE(up.err.find("GPRS connection failed, do you want to try HSCSD ? -> no"),
              std::string::npos)
        << up.err;
    EXPECT_EQ(kvo::test::ReadHostFile(ce::MapPath(App(u"kvo.con2"))), std::string(4, '\0'));
    EXPECT_EQ(Kvo({"up", "--maybe"}).status, 2);

    // Without a display nobody answers: the question gets No, and the log says so.
    auto c = Connect({"c"});
    EXPECT_EQ(c.status, 1);
    std::string notes = kvo::test::ReadHostFile(ce::DeviceRoot() / "notifications.log");
    EXPECT_NE(notes.find(
                  "GPRS connection failed, do you want to try HSCSD ?\\n(no display: answered No)"),
              std::string::npos)
        << notes;
}

TEST_F(ConnectProgramTest, CallIntranetMailAndUninstallCommands) {
    StartPhone();
    auto call = Kvo({"call", "+49 (30) 123"});
    EXPECT_EQ(call.status, 0) << call.err;
    auto journal = m_phone->Journal();
    EXPECT_NE(std::find(journal.begin(), journal.end(), "> ATD+4930123;"), journal.end());

    auto set = Kvo({"intranet", "set", "proxy_http", "proxy.corp"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "proxy_http\tproxy.corp:80\n");
    EXPECT_NE(set.err.find("choose the network \"Intranet\""), std::string::npos);  // no user yet
    EXPECT_EQ(Kvo({"intranet", "set", "password", "Secret"}).status, 0);
    auto show = Kvo({"intranet", "show"});
    EXPECT_NE(show.out.find("proxy_http\tproxy.corp:80\n"), std::string::npos);
    EXPECT_NE(show.out.find("password\t********\n"), std::string::npos);
    EXPECT_EQ(Kvo({"intranet", "set", "nosuchkey", "x"}).status, 2);

    auto mail = Kvo({"mail-account", "--user", "anna", "--password", "pw"});
    EXPECT_EQ(mail.status, 0) << mail.err;
    EXPECT_EQ(mail.out, "Mail account successfully configured.\n");

    EXPECT_EQ(Kvo({"uninstall"}).status, 2);
    auto gone = Kvo({"uninstall", "--yes"});
    EXPECT_EQ(gone.status, 0) << gone.err;
    EXPECT_FALSE(ce::FileExists(App(u"intranet.dat")));
    EXPECT_TRUE(
        fs::is_symlink(ce::DeviceRoot() / "fs" / "Program Files" / "kvonet pro" / "connect.exe"));
}

}  // namespace
