#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/registry.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;

namespace {

class RegistryTest : public DeviceTest {};

TEST_F(RegistryTest, EveryValueTypeRoundTripsThroughTheFile) {
    const std::u16string key = u"Software\\Orvane kvonet pro\\Test";
    const std::u16string text = u"Grüße \"quoted\" \\back\\ ünïcode €";
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, key, u"Sz", RegValue::Sz(text)));
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, key, u"Ctl", RegValue::Sz(u"line\r\nbreak")));
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, key, u"Dw", RegValue::Dword(0xDEADBEEF)));
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, key, u"Multi",
                            RegValue::MultiSz({u"one", u"zwei", u"€"})));
    std::vector<uint8_t> bin(100);
    for (size_t i = 0; i < bin.size(); ++i) bin[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, key, u"Bin", RegValue::Binary(bin)));
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, key, u"", RegValue::Sz(u"default")));

    // Parse the file as another process would.
    std::string fileText = kvo::test::ReadHostFile(RegistryDir() / "user.reg");
    RegKey root;
    std::string error;
    ASSERT_TRUE(ParseRegText(fileText, HKEY_CURRENT_USER, "user.reg", root, error)) << error;
    const RegKey* k = root.Find(key);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->values.at(FoldCase(u"Sz")).value.AsSz(), text);
    EXPECT_EQ(k->values.at(FoldCase(u"Ctl")).value.AsSz(), u"line\r\nbreak");
    EXPECT_EQ(k->values.at(FoldCase(u"Dw")).value.AsDword(), 0xDEADBEEF);
    EXPECT_EQ(k->values.at(FoldCase(u"Multi")).value.AsMultiSz(),
              (std::vector<std::u16string>{u"one", u"zwei", u"€"}));
    EXPECT_EQ(k->values.at(FoldCase(u"Bin")).value.data, bin);
    EXPECT_EQ(k->values.at(u"").value.AsSz(), u"default");
    EXPECT_EQ(FormatRegText(root, HKEY_CURRENT_USER), fileText);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
    ASSERT_TRUE(RegSetValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\X", u"InstlDir",
                            RegValue::Sz(u"\\dir")));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, u"software\\APPS\\x", u"instldir"), u"\\dir");
    auto keys = RegEnumKeys(HKEY_LOCAL_MACHINE, u"software\\apps");
    ASSERT_TRUE(keys);
    EXPECT_EQ(*keys, std::vector<std::u16string>{u"X"});
    auto values = RegEnumValues(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\X");
    EXPECT_EQ(*values, std::vector<std::u16string>{u"InstlDir"});
}

TEST_F(RegistryTest, KeysAndValuesAreDeleted) {
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"A\\B\\C", u"v", RegValue::Dword(1)));
    EXPECT_FALSE(RegDeleteKey(HKEY_CURRENT_USER, u"A\\B"));  // has a subkey
    EXPECT_TRUE(RegDeleteValue(HKEY_CURRENT_USER, u"A\\B\\C", u"v"));
    EXPECT_FALSE(RegQueryValue(HKEY_CURRENT_USER, u"A\\B\\C", u"v"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RegDeleteTree(HKEY_CURRENT_USER, u"A"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, u"A"));
    EXPECT_FALSE(RegEnumKeys(HKEY_CURRENT_USER, u"A"));
}

struct BadHive {
    const char* text;
    const char* error;
};

TEST(RegistryParse, RejectsBadSyntaxWithFileAndLine) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const BadHive cases[] = {
        {"\"a\"=dword:1234567890\r\n", "user.reg:4: bad dword"},
        {"\"a\"=dword:12x4\r\n", "user.reg:4: bad dword"},
        {"\"a\"=dword:\r\n", "user.reg:4: bad dword"},
        {"\"a\"=qword:1\r\n", "user.reg:4: unknown value syntax"},
        {"\"a\"=hex:1,2\r\n", "user.reg:4: bad hex byte"},
        {"\"a\"=hex:01,\r\n", "user.reg:4: hex list ends"},
        {"\"a\"=hex:01,\\\r\n", "user.reg:4: hex list continues"},
        {"\"a\"=\"open\r\n", "user.reg:4: bad string"},
        {"\"a\"=\"x\\q\"\r\n", "user.reg:4: bad string"},
        {"\"a\"=\"x\" tail\r\n", "user.reg:4: text after"},
        {"a=\"x\"\r\n", "user.reg:4: bad value name"},
        {"\r\n[HKEY_LOCAL_MACHINE\\X]\r\n", "user.reg:5: key outside"},
        {"[HKEY_CURRENT_USER\\A\\\\B]\r\n", "user.reg:4: empty key name"},
        {"[HKEY_CURRENT_USER\\A\r\n", "user.reg:4: key line"},
    };
    for (const auto& c : cases) {
        RegKey root;
        std::string error;
        EXPECT_FALSE(ParseRegText(head + c.text, HKEY_CURRENT_USER, "user.reg", root, error))
            << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave " << error;
    }
    RegKey root;
    std::string error;
    EXPECT_FALSE(ParseRegText("REGEDIT4\r\n", HKEY_CURRENT_USER, "user.reg", root, error));
    EXPECT_EQ(error.rfind("user.reg:1:", 0), 0u);
    EXPECT_FALSE(ParseRegText("Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n",
                              HKEY_CURRENT_USER, "f", root, error));
    EXPECT_EQ(error, "f:2: value before the first key");
}

TEST(RegistryParse, AcceptsHandEditedForms) {
    const char* text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
        "; a comment\n"
        "[hkey_current_user\\K]\n"
        "\"d\" = dword:1\n"
        "\"h\"=hex:01,02,\\\n"
        "   03\n"
        "\"t\"=hex(2):41,00,00,00\n";
    RegKey root;
    std::string error;
    ASSERT_TRUE(ParseRegText(text, HKEY_CURRENT_USER, "f", root, error)) << error;
    const RegKey* k = root.Find(u"k");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->values.at(u"D").value.AsDword(), 1u);
    EXPECT_EQ(k->values.at(u"H").value.data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(k->values.at(u"T").value.type, REG_EXPAND_SZ);
}

TEST_F(RegistryTest, AnUnreadableHiveFailsCallsAndIsNotOverwritten) {
    const std::string broken = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:zz\n";
    kvo::test::WriteHostFile(RegistryDir() / "user.reg", broken);
    EXPECT_FALSE(RegSetValue(HKEY_CURRENT_USER, u"K", u"b", RegValue::Dword(1)));
    EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
    EXPECT_EQ(RegLastLoadError(), "user.reg:3: bad dword value");
    EXPECT_EQ(kvo::test::ReadHostFile(RegistryDir() / "user.reg"), broken);
}

TEST_F(RegistryTest, AnotherProcessSeesAChange) {
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(1)));
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, u"K", u"v"), 1u);  // cached now
    pid_t pid = fork();
    if (pid == 0) _exit(RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(2)) ? 0 : 1);
    int status;
    waitpid(pid, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, u"K", u"v"), 2u);
}

TEST_F(RegistryTest, TwoProcessesWritingInALoopLoseNoValue) {
    constexpr int kCount = 150;
    pid_t pid = fork();
    if (pid == 0) {
        for (int i = 0; i < kCount; ++i)
            if (!RegSetValue(HKEY_CURRENT_USER, u"K", u"child" + std::u16string(1, u'A' + i % 26) +
                                                          std::u16string(1, u'0' + i / 26),
                             RegValue::Dword(i)))
                _exit(1);
        _exit(0);
    }
    for (int i = 0; i < kCount; ++i)
        ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K",
                                u"parent" + std::u16string(1, u'A' + i % 26) +
                                    std::u16string(1, u'0' + i / 26),
                                RegValue::Dword(i)));
    int status;
    waitpid(pid, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    auto values = RegEnumValues(HKEY_CURRENT_USER, u"K");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), 2u * kCount);
}

TEST_F(RegistryTest, KillDuringSavesAlwaysLeavesAHiveThatLoads) {
    for (int round = 0; round < 15; ++round) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0;; ++i)
                RegSetValue(HKEY_CURRENT_USER, u"K\\Round", u"v" + std::u16string(1, u'a' + i % 26),
                            RegValue::Sz(std::u16string(200 + i % 300, u'x')));
        }
        usleep(2000 + static_cast<useconds_t>(round) * 700);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        RegKey root;
        std::string error;
        std::string text = kvo::test::ReadHostFile(RegistryDir() / "user.reg");
        if (text.empty()) continue;  // killed before the first save
        ASSERT_TRUE(ParseRegText(text, HKEY_CURRENT_USER, "user.reg", root, error)) << error;
    }
    EXPECT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"after", RegValue::Dword(1)));
}

TEST_F(RegistryTest, AbandonedTransactionChangesNothing) {
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(1)));
    EXPECT_FALSE(RegTransact(HKEY_CURRENT_USER, [](RegKey& root) {
        root.Find(u"K", true)->values.clear();
        return false;
    }));
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, u"K", u"v"), 1u);
}

}  // namespace
