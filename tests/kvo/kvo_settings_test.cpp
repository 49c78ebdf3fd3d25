// `kvo settings` as people run it: several at once, beside a program that holds the settings,
// on a file it may not read, and with words typed in any case.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "telmio/settings/settings_file.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo-device/modem.h"
#include "tools/kvo/commands.h"

namespace fs = std::filesystem;
using kvo::test::BuiltProgram;
using kvo::test::ProgramResult;
using kvo::test::RunProgram;

namespace {

class KvoSettingsTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        m_kvoIni = kvo::InstallPath(u"kvo.ini");
    }
    ProgramResult Kvo(std::vector<std::string> args, int uid = -1) {
        args.insert(args.begin(), {"--device", m_device.Root().string()});
        return RunProgram(BuiltProgram("kvo"), args, uid);
    }
    int Run(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return kvo::cli::Main(args, m_out, m_err);
    }
    std::string IniBytes() { return kvo::test::ReadHostFile(ce::MapPath(m_kvoIni)); }

    std::u16string m_kvoIni;
    std::ostringstream m_out, m_err;
};

// "key\tvalue" lines of `settings show`.
std::map<std::string, std::string> Shown(const std::string& out) {
    std::map<std::string, std::string> shown;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        size_t tab = line.find('\t');
        if (tab != std::string::npos)
            shown[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return shown;
}

TEST_F(KvoSettingsTest, ProgramsSettingDifferentKeysAtOnceLoseNoAcknowledgedValue) {
    // What the connection manager keeps in the same file must come through untouched.
    std::string error;
    ASSERT_TRUE(kvo::UpdateKvoIni(
        m_kvoIni,
        [](kvo::CKvoIni& ini) {
            ini.m_strLoginUser = u"dialup";
            ini.m_strPin = u"1234";
            ini.m_loginMap = {{u"Operator", u"user", u"secret"}};
            return true;
        },
        error))
        << error;

    constexpr int kRounds = 30;
    using ValueFn = std::string (*)(int);
    const std::vector<std::pair<std::string, ValueFn>> writers = {
        {"interval", [](int i) { return std::to_string(i + 11); }},
        {"smsc", [](int i) { return "+49171" + std::to_string(1000 + i); }},
        {"delete-after-sync", [](int i) { return std::string(i % 2 ? "on" : "off"); }},
        {"phonebook", [](int i) { return std::string(i % 2 ? "SIM" : "Phone"); }},
        {"user-port", [](int i) { return "COM" + std::to_string(4 + i % 5) + ":"; }},
    };
    std::vector<pid_t> children;
    for (const auto& [key, value] : writers) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kRounds; ++i) {
                ProgramResult r = Kvo({"settings", "set", key, value(i)});
                if (r.status != 0) {
                    fprintf(stderr, "set %s: exit %d: %s\n", key.c_str(), r.status, r.err.c_str());
                    _exit(1);
                }
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    // A reader meanwhile: every show succeeds, and no field goes back to an older value.
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        int interval = 0;
        std::string smsc;
        for (int i = 0; i < kRounds; ++i) {
            ProgramResult r = Kvo({"settings", "show"});
            if (r.status != 0) {
                fprintf(stderr, "show: exit %d: %s\n", r.status, r.err.c_str());
                _exit(1);
            }
            auto shown = Shown(r.out);
            int nowInterval = std::atoi(shown["interval"].c_str());
            if (nowInterval < interval || shown["smsc"] < smsc) {
                fprintf(stderr, "went back: interval %d -> %d, smsc %s -> %s\n", interval,
                        nowInterval, smsc.c_str(), shown["smsc"].c_str());
                _exit(1);
            }
            interval = nowInterval;
            smsc = shown["smsc"];
        }
        _exit(0);
    }
    children.push_back(reader);
    for (pid_t pid : children) EXPECT_EQ(kvo::test::WaitProgram(pid, 240000), 0);

    ProgramResult shown = Kvo({"settings", "show"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out,
              "user-port\tCOM8:\nmodem\t\nauto-sync\toff\ninterval\t40\nown-smsc\toff\n"
              "smsc\t+491711029\ndelete-after-sync\ton\nphonebook\tSIM\n");
    kvo::CKvoIni ini;
    ASSERT_EQ(kvo::LoadKvoIni(m_kvoIni, ini, error), kvo::SettingsLoad::ok) << error;
    EXPECT_EQ(ini.m_strLoginUser, u"dialup");
    EXPECT_EQ(ini.m_strPin, u"1234");
    EXPECT_EQ(ini.m_loginMap, (std::vector<kvo::CLoginEntry>{{u"Operator", u"user", u"secret"}}));
}

TEST_F(KvoSettingsTest, AHeldLockFailsTheSetAndChangesNothing) {
    ASSERT_EQ(Kvo({"settings", "set", "interval", "45"}).status, 0);
    std::string before = IniBytes(), error;
    kvo::CSettingsLock held;  // another program in the middle of its save
    ASSERT_TRUE(held.Acquire(m_kvoIni, error)) << error;
    ProgramResult r = Kvo({"settings", "set", "interval", "7"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("another program is saving"), std::string::npos) << r.err;
    EXPECT_EQ(IniBytes(), before);
    held.Release();
    EXPECT_EQ(Kvo({"settings", "set", "interval", "7"}).status, 0);
}

TEST_F(KvoSettingsTest, AFileThatCannotBeReadIsAnErrorAndNothingIsSaved) {
    ASSERT_EQ(Kvo({"settings", "set", "interval", "45"}).status, 0);
    ASSERT_EQ(Kvo({"settings", "set", "smsc", "+491710760000"}).status, 0);
    std::string before = IniBytes();
    fs::path host = ce::MapPath(m_kvoIni);
    // Root reads whatever the mode says: then the programs run as "nobody", who may not.
    int uid = -1;
    if (geteuid() == 0) {
        uid = 65534;
        for (auto& e : fs::recursive_directory_iterator(m_device.Root()))
            ASSERT_EQ(lchown(e.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(m_device.Root().c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(host.c_str(), 0), 0);

    ProgramResult set = Kvo({"settings", "set", "interval", "7"}, uid);
    if (set.status == 126 || set.status == 127)
        GTEST_SKIP() << "cannot run the program as nobody";
    EXPECT_EQ(set.status, 1);
    EXPECT_NE(set.err.find("permission denied"), std::string::npos) << set.err;
    ProgramResult show = Kvo({"settings", "show"}, uid);
    EXPECT_EQ(show.status, 1);
    EXPECT_EQ(show.out, "");
    EXPECT_NE(show.err.find(host.string() + ": permission denied"), std::string::npos) << show.err;
    // Nor does a session start on defaults in their place.
    ProgramResult sync = Kvo({"sms", "sync"}, uid);
    EXPECT_EQ(sync.status, 1);
    EXPECT_NE(sync.err.find("permission denied"), std::string::npos) << sync.err;

    ASSERT_EQ(chmod(host.c_str(), 0600), 0);
    EXPECT_EQ(IniBytes(), before);
    // A profile that cannot be read is no empty port either.
    kvo::test::WriteHostFile(m_device.Root() / "registry" / "user.reg", "not a registry\n");
    EXPECT_EQ(Run({"settings", "show"}), 1);
    EXPECT_NE(m_err.str().find("user.reg:1:"), std::string::npos) << m_err.str();
}

TEST_F(KvoSettingsTest, HelpListsTheKeysAndWordsAreCaseInsensitive) {
    EXPECT_EQ(Run({"settings", "set", "--help"}), 0);
    for (const char* key :
         {"user-port PORT", "modem NAME", "auto-sync on|off", "interval MINUTES", "own-smsc on|off",
          "smsc NUMBER", "delete-after-sync on|off", "phonebook SIM|Phone|SIM+Phone"})
        EXPECT_NE(m_out.str().find(key), std::string::npos) << key;

    std::string error;
    ASSERT_TRUE(kvo::device::AddModem(u"Bluetooth Phone", u"COM5:", u"/dev/rfcomm0", error));
    for (auto [key, value, stored] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"Auto-Sync", "ON", "on"},
             {"phonebook", "sim", "SIM"},
             {"phonebook", "sim+PHONE", "SIM+Phone"},
             {"user-port", "com5:", "COM5:"},
             {"user-port", "btm1:", "BTM1:"},
             {"user-port", "/dev/ttyUSB0", "/dev/ttyUSB0"},
             {"modem", "bluetooth phone", "Bluetooth Phone"},
             {"delete-after-sync", "Yes", "on"}}) {
        ASSERT_EQ(Run({"settings", "set", key, value}), 0) << key << " " << value << m_err.str();
        std::string lower = key;
        for (char& c : lower) c = static_cast<char>(std::tolower(c));
        EXPECT_EQ(m_out.str(), lower + "\t" + stored + "\n");
    }
    ASSERT_EQ(Run({"settings", "show"}), 0);
    auto shown = Shown(m_out.str());
    EXPECT_EQ(shown["modem"], "Bluetooth Phone");
    EXPECT_EQ(shown["user-port"], "/dev/ttyUSB0");

    // Usage errors name the word and exit 2; what the rules refuse exits 1.
    for (auto [args, word] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"settings", "set", "auto-sync", "maybe"}, "\"maybe\""},
             {{"settings", "set", "colour", "red"}, "\"colour\""},
             {{"settings", "set", "phonebook", "Both"}, "\"Both\""},
             {{"settings", "set", "interval", "soon"}, "\"soon\""},
             {{"settings", "set", "user-port", "ttyUSB0"}, "\"ttyUSB0\""},
             {{"settings", "set", "interval"}, "needs a VALUE"},
             {{"settings", "set", "interval", "5", "6"}, "\"6\""},
             {{"settings", "show", "all"}, "\"all\""}}) {
        EXPECT_EQ(Run(args), 2) << word;
        EXPECT_NE(m_err.str().find(word), std::string::npos) << m_err.str();
    }
    EXPECT_EQ(Run({"settings", "set", "modem", "Nokia"}), 1);
    EXPECT_NE(m_err.str().find("no modem device \"Nokia\""), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find("Bluetooth Phone"), std::string::npos);
    EXPECT_EQ(Run({"settings", "set", "own-smsc", "on"}), 1);
    EXPECT_NE(m_err.str().find("set an SMS centre number"), std::string::npos);
}

}  // namespace
