#include <sstream>

#include <gtest/gtest.h>

#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/line.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/commands.h"

namespace fs = std::filesystem;

namespace {

class KvoDeviceTest : public kvo::test::DeviceTest {
protected:
    int Run(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return kvo::device::Main(args, m_out, m_err);
    }
    std::ostringstream m_out, m_err;
};

std::string Snapshot(const fs::path& root) {
    std::string s;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        if (e.path().filename().string().ends_with(".lock")) continue;
        s += e.path().string() + "\n";
        if (e.is_regular_file()) s += kvo::test::ReadHostFile(e.path());
        if (e.is_symlink()) s += fs::read_symlink(e.path()).string();
    }
    return s;
}

TEST_F(KvoDeviceTest, CreateMakesAReadyDeviceAndTwiceChangesNothing) {
    fs::path bin = m_device.Root() / "bin";
    kvo::test::WriteHostFile(bin / "telmio", "#!/bin/sh\n");
    kvo::test::WriteHostFile(bin / "updater", "#!/bin/sh\n");
    setenv("KVO_BIN_DIR", bin.c_str(), 1);
    ASSERT_EQ(Run({"create"}), 0) << m_err.str();
    unsetenv("KVO_BIN_DIR");
    for (auto dir : {u"\\Windows\\StartUp", u"\\windows\\temp", u"\\My Documents",
                     u"\\Program Files\\kvonet pro", u"\\Program Files\\Orvane Updater"})
        EXPECT_TRUE(ce::DirectoryExists(dir)) << ce::MapPath(dir);
    EXPECT_EQ(kvo::GetInstallDir(), u"\\Program Files\\kvonet pro\\");
    EXPECT_EQ(kvo::GetInstallDir(kvo::kUpdaterKey), u"\\Program Files\\Orvane Updater\\");
    EXPECT_TRUE(ce::RegKeyExists(ce::HKEY_CURRENT_USER, u"Software\\Orvane kvonet pro"));
    EXPECT_TRUE(fs::is_symlink(ce::MapPath(kvo::InstallPath(u"telmio.exe"))));
    EXPECT_TRUE(fs::is_symlink(ce::MapPath(kvo::InstallPath(u"updater.exe", kvo::kUpdaterKey))));
    EXPECT_FALSE(ce::FileExists(kvo::InstallPath(u"connect.exe")));  // not built

    std::string before = Snapshot(m_device.Root() / "fs") + Snapshot(m_device.Root() / "registry");
    setenv("KVO_BIN_DIR", bin.c_str(), 1);
    ASSERT_EQ(Run({"--device", m_device.Root().string(), "create"}), 0);
    unsetenv("KVO_BIN_DIR");
    EXPECT_EQ(Snapshot(m_device.Root() / "fs") + Snapshot(m_device.Root() / "registry"), before);
}

TEST_F(KvoDeviceTest, CreateRegistersThePhonePortAndKeepsAChangedOne) {
    ASSERT_EQ(Run({"create"}), 0) << m_err.str();
    EXPECT_TRUE(fs::is_directory(m_device.Root() / "dev"));
    EXPECT_EQ(ce::ResolvePortName(u"COM3:"), m_device.Root() / "dev/COM3");
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kPortMapKey, u"COM3:",
                                ce::RegValue::Sz(u"/dev/ttyUSB0")));
    ASSERT_EQ(Run({"create"}), 0) << m_err.str();
    EXPECT_EQ(ce::ResolvePortName(u"COM3:"), fs::path("/dev/ttyUSB0"));
}

TEST_F(KvoDeviceTest, RegCommandsReadAndWriteTheRegistry) {
    EXPECT_EQ(Run({"reg", "set", "HKCU\\Software\\T", "port", "REG_SZ", "COM3:"}), 0);
    EXPECT_EQ(Run({"reg", "set", "HKCU\\Software\\T", "n", "REG_DWORD", "0x20"}), 0);
    EXPECT_EQ(Run({"reg", "set", "HKCU\\Software\\T", "m", "REG_MULTI_SZ", "a", "b"}), 0);
    EXPECT_EQ(Run({"reg", "get", "hkey_current_user\\software\\t", "N"}), 0);
    EXPECT_EQ(m_out.str(), "32\n");
    EXPECT_EQ(Run({"reg", "get", "HKCU\\Software\\T"}), 0);
    EXPECT_EQ(m_out.str(), "m = a\nb\nn = 32\nport = COM3:\n");
    EXPECT_EQ(Run({"reg", "get", "HKCU\\Software\\T", "missing"}), 1);
    EXPECT_EQ(Run({"reg", "set", "HKCU\\Software\\T", "n", "REG_DWORD", "12ab"}), 2);
    EXPECT_EQ(Run({"reg", "set", "HKXX\\Software\\T", "n", "REG_SZ", "x"}), 2);
    EXPECT_EQ(Run({"reg", "export", "HKCU"}), 0);
    EXPECT_NE(m_out.str().find("\"port\"=\"COM3:\""), std::string::npos);
    EXPECT_EQ(Run({"reg", "delete", "HKCU\\Software\\T", "port"}), 0);
    EXPECT_EQ(Run({"reg", "get", "HKCU\\Software\\T", "port"}), 1);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(m_out.str().find("create"), std::string::npos);
}

TEST_F(KvoDeviceTest, AddModemRegistersEntryLineAndPortMapOnce) {
    ASSERT_EQ(Run({"create"}), 0) << m_err.str();
    // create put the demo modem on COM3:
    auto lines = ce::ListLineDevices();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].strName, u"Generic IrDA-modem");
    EXPECT_EQ(ce::RegGetString(ce::HKEY_LOCAL_MACHINE, u"Drivers\\kvo\\PortMap", u"COM3:"), u"dev/COM3");

    ASSERT_EQ(Run({"add-modem", "Bluetooth Phone", "COM5:", "/dev/rfcomm0"}), 0) << m_err.str();
    ASSERT_EQ(Run({"add-modem", "Bluetooth Phone", "COM6:"}), 0);  // same name: port moves
    lines = ce::ListLineDevices();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].strPort, u"COM6:");
    auto keys = ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, u"ExtModems");
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->size(), 2u);
    EXPECT_EQ(ce::RegGetDword(ce::HKEY_LOCAL_MACHINE, u"ExtModems\\Bluetooth Phone", u"DeviceType"), 1u);
    EXPECT_EQ(ce::RegGetString(ce::HKEY_LOCAL_MACHINE, u"ExtModems\\Bluetooth Phone", u"Port"), u"COM6:");
    EXPECT_EQ(ce::RegGetString(ce::HKEY_LOCAL_MACHINE, u"Drivers\\kvo\\PortMap", u"COM5:"), u"/dev/rfcomm0");
    EXPECT_EQ(Run({"add-modem", "only-name"}), 2);
    EXPECT_EQ(Run({"add-modem", "", "COM1:"}), 1);
}

}  // namespace
