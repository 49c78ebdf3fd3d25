// kvo-device run as several programs at once on one device, the way scripts and a person in
// another terminal run it.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <regex>
#include <sstream>

#include "platform/device.h"
#include "platform/line.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/commands.h"

namespace fs = std::filesystem;
using kvo::test::BuiltProgram;
using kvo::test::ProgramResult;
using kvo::test::RunProgram;
using kvo::test::StartProgram;
using kvo::test::WaitProgram;

namespace {

class KvoDeviceProcessTest : public kvo::test::DeviceTest {
protected:
    std::vector<std::string> On(const fs::path& root, std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", root.string()});
        return args;
    }
    // Starts the same command twice at once; both must succeed.
    void RunTwiceAtOnce(const std::vector<std::string>& args) {
        pid_t a = StartProgram(BuiltProgram("kvo-device"), args, -1, -1);
        pid_t b = StartProgram(BuiltProgram("kvo-device"), args, -1, -1);
        EXPECT_EQ(WaitProgram(a), 0);
        EXPECT_EQ(WaitProgram(b), 0);
    }
};

// Ends a helper process however the test ends.
struct Reaper {
    pid_t pid;
    int fd = -1;
    ~Reaper() {
        if (fd >= 0)
            close(fd);
        if (pid > 0) {
            kill(pid, SIGKILL);
            WaitProgram(pid);
        }
    }
};

size_t LinesNamed(const std::u16string& name) {
    size_t n = 0;
    for (const auto& line : ce::ListLineDevices()) n += line.strName == name;
    return n;
}

size_t ModemsNamed(const std::u16string& name) {
    size_t n = 0;
    for (const auto& key : ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, u"ExtModems")
                               .value_or(std::vector<std::u16string>{}))
        n +=
            ce::RegGetString(ce::HKEY_LOCAL_MACHINE, u"ExtModems\\" + key, u"FriendlyName") == name;
    return n;
}

TEST_F(KvoDeviceProcessTest, TwoCreatesOrTwoAddModemsAtOnceMakeOneLineDeviceEach) {
    for (int round = 0; round < 10; ++round) {
        fs::path root = m_device.Root() / ("device" + std::to_string(round));
        RunTwiceAtOnce(On(root, {"create"}));
        ce::SetDeviceRoot(root);
        EXPECT_EQ(LinesNamed(u"Generic IrDA-modem"), 1u) << round;
        EXPECT_EQ(ModemsNamed(u"Generic IrDA-modem"), 1u) << round;
    }
    ce::SetDeviceRoot(m_device.Root());
    for (int round = 0; round < 10; ++round) {
        std::string name = "Phone " + std::to_string(round);
        RunTwiceAtOnce(On(m_device.Root(), {"add-modem", name, "COM5:", "/dev/rfcomm0"}));
        EXPECT_EQ(LinesNamed(ce::FromUtf8(name)), 1u) << name;
        EXPECT_EQ(ModemsNamed(ce::FromUtf8(name)), 1u) << name;
    }
    EXPECT_EQ(ce::ListLineDevices().size(), 10u);
}

TEST_F(KvoDeviceProcessTest, AGapInTheLineDevicesMakesNoNamelessDevice) {
    std::ostringstream out, err;
    ASSERT_EQ(kvo::device::Main({"create"}, out, err), 0) << err.str();
    ASSERT_TRUE(ce::AddLineDevice(
        {u"A", ce::LINEMEDIAMODE_DATAMODEM, ce::LINEBEARERMODE_DATA, u"COM6:", {}}));
    ASSERT_TRUE(ce::AddLineDevice(
        {u"B", ce::LINEMEDIAMODE_DATAMODEM, ce::LINEBEARERMODE_DATA, u"COM7:", {}}));
    ASSERT_TRUE(ce::RegDeleteTree(ce::HKEY_LOCAL_MACHINE, ce::LineKey(1)));  // "A" removed

    ASSERT_EQ(kvo::device::Main({"add-modem", "B", "COM9:"}, out, err), 0) << err.str();
    ASSERT_EQ(kvo::device::Main({"add-modem", "C", "COM8:"}, out, err), 0) << err.str();
    std::vector<std::u16string> names;
    for (const auto& line : ce::ListLineDevices()) {
        names.push_back(line.strName);
        if (line.strName == u"B")
            EXPECT_EQ(line.strPort, u"COM9:");
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Generic IrDA-modem", u"B", u"C"}));
    EXPECT_FALSE(ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, ce::LineKey(1)));
    EXPECT_TRUE(ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, ce::LineKey(3)));  // after the highest
}

TEST_F(KvoDeviceProcessTest, RegGetBesideAProgramDeletingValuesPrintsWholeLines) {
    ASSERT_TRUE(ce::RegCreateKey(ce::HKEY_CURRENT_USER, u"Software\\T"));
    pid_t churn = fork();
    ASSERT_GE(churn, 0);
    if (churn == 0) {
        // Eight values come and go: a listing that enumerates and then reads each one meets
        // names whose values are gone.
        for (;;) {
            for (int i = 0; i < 8; ++i)
                ce::RegSetValue(ce::HKEY_CURRENT_USER, u"Software\\T",
                                u"v" + ce::FromUtf8(std::to_string(i)), ce::RegValue::Sz(u"text"));
            for (int i = 0; i < 8; ++i)
                ce::RegDeleteValue(ce::HKEY_CURRENT_USER, u"Software\\T",
                                   u"v" + ce::FromUtf8(std::to_string(i)));
        }
    }
    Reaper reaper{churn};
    const std::regex line(R"(v[0-7] = text)");
    for (int i = 0; i < 60; ++i) {
        ProgramResult all =
            RunProgram(BuiltProgram("kvo-device"), {"reg", "get", "HKCU\\Software\\T"});
        ASSERT_EQ(all.status, 0) << all.err;
        std::istringstream in(all.out);
        for (std::string l; std::getline(in, l);) EXPECT_TRUE(std::regex_match(l, line)) << l;
        ProgramResult one =
            RunProgram(BuiltProgram("kvo-device"), {"reg", "get", "HKCU\\Software\\T", "v3"});
        if (one.status == 0) {
            EXPECT_EQ(one.out, "text\n");
        } else {
            ASSERT_EQ(one.status, 1) << one.err;
            EXPECT_NE(one.err.find("value not found"), std::string::npos) << one.err;
        }
    }
}

TEST_F(KvoDeviceProcessTest, ExportIntoAPausedPipeHoldsUpNoWriter) {
    ASSERT_TRUE(ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [](ce::RegKey& root) {
        ce::RegKey* k = root.Find(u"Software\\Big", true);
        for (int i = 0; i < 3000; ++i) {
            std::u16string name = u"value" + ce::FromUtf8(std::to_string(i));
            k->values[ce::FoldCase(name)] = {name, ce::RegValue::Sz(std::u16string(60, u'x'))};
        }
        return true;
    }));
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t exporter =
        StartProgram(BuiltProgram("kvo-device"), {"reg", "export", "HKLM"}, pipeFds[1], -1);
    close(pipeFds[1]);
    Reaper reaper{exporter, pipeFds[0]};
    // Nobody reads: wait until the pipe is full and the exporter stuck in its write.
    int capacity = fcntl(pipeFds[0], F_GETPIPE_SZ);
    int queued = 0;
    for (int i = 0; i < 2000 && queued < capacity; ++i) {
        ioctl(pipeFds[0], FIONREAD, &queued);
        usleep(5000);
    }
    ASSERT_GE(queued, capacity);

    ProgramResult set =
        RunProgram(BuiltProgram("kvo-device"),
                   {"reg", "set", "HKLM\\Software\\X", "v", "REG_SZ", "y"}, -1, 20000);
    EXPECT_EQ(set.status, 0) << "a writer waited for a paused reader of an export";

    std::string text;
    char buf[65536];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    EXPECT_EQ(WaitProgram(exporter), 0);
    reaper.pid = -1;
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00", 0), 0u);
    EXPECT_NE(text.find("\"value2999\"=\"" + std::string(60, 'x') + "\""), std::string::npos);
}

}  // namespace
