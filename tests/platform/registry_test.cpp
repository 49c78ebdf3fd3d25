#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/registry.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;
namespace fs = std::filesystem;

namespace {

// Runs `body` in a child process; its exit code.
template <typename Fn>
int InChild(Fn body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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
    // The killed writers' temporaries are cleared away by the next save.
    for (const auto& e : std::filesystem::directory_iterator(RegistryDir()))
        EXPECT_EQ(e.path().extension(), ".reg") << e.path();
}

TEST_F(RegistryTest, AbandonedTransactionChangesNothing) {
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(1)));
    EXPECT_FALSE(RegTransact(HKEY_CURRENT_USER, [](RegKey& root) {
        root.Find(u"K", true)->values.clear();
        return false;
    }));
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, u"K", u"v"), 1u);
}

// ---- names the file format cannot carry ----

TEST_F(RegistryTest, ANameWithANewlineIsRefusedAndTheHiveStaysReadable) {
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"good", RegValue::Dword(1)));
    EXPECT_FALSE(RegSetValue(HKEY_CURRENT_USER, u"K", u"bad\nname", RegValue::Dword(2)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_NE(GetLastErrorText().find("\"bad\\x0Aname\""), std::string::npos)
        << GetLastErrorText();
    EXPECT_FALSE(RegCreateKey(HKEY_CURRENT_USER, u"K\\tab\there"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    // Whoever edits the tree directly is held to the same rule.
    EXPECT_FALSE(RegTransact(HKEY_CURRENT_USER, [](RegKey& root) {
        auto sub = std::make_unique<RegKey>();
        sub->name = u"a\rb";
        root.keys.emplace(FoldCase(sub->name), std::move(sub));
        return true;
    }));
    EXPECT_FALSE(RegSetValue(HKEY_CURRENT_USER, u"K", std::u16string(1, char16_t(0xD800)),
                             RegValue::Dword(3)));  // half a surrogate pair
    // Nothing of it reached the file, and every call still works.
    std::string text = kvo::test::ReadHostFile(RegistryDir() / "user.reg");
    RegKey root;
    std::string error;
    ASSERT_TRUE(ParseRegText(text, HKEY_CURRENT_USER, "user.reg", root, error)) << error;
    EXPECT_EQ(RegEnumValues(HKEY_CURRENT_USER, u"K"), std::vector<std::u16string>{u"good"});
    EXPECT_EQ(RegEnumKeys(HKEY_CURRENT_USER, u"K"), std::vector<std::u16string>{});
    EXPECT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"after", RegValue::Sz(u"line\nbreak")));
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, u"K", u"after"), u"line\nbreak");
}

TEST(RegistryParse, RefusesControlCharactersInNamesAsTheWriterDoes) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (const std::string& body : {std::string("[HKEY_CURRENT_USER\\a\tb]\r\n"),
                                    std::string("[HKEY_CURRENT_USER\\K]\r\n\"a\x01\"=dword:1\r\n")}) {
        RegKey root;
        std::string error;
        EXPECT_FALSE(ParseRegText(head + body, HKEY_CURRENT_USER, "f", root, error));
        EXPECT_NE(error.find("control character"), std::string::npos) << error;
    }
}

std::u16string RandomName(std::mt19937& rng) {
    static const char16_t kPool[] = {u'a', u'Z', u' ', u'"', u'\\', u'@', u'=', u'[', u']', u';',
                                     u'\n', u'\r', u'\t', 0, 0x7F, u'\u00E4', u'\u00C4', u'\u20AC',
                                     0xD83D, 0xDE00, 0xDC00, 0xFFFD};
    std::u16string s(rng() % 6, u' ');
    for (auto& c : s) c = kPool[rng() % std::size(kPool)];
    return s;
}

RegValue RandomValue(std::mt19937& rng) {
    switch (rng() % 5) {
        case 0: return RegValue::Sz(RandomName(rng));
        case 1: return RegValue::Dword(static_cast<uint32_t>(rng()));
        case 2: return RegValue::MultiSz({RandomName(rng), RandomName(rng)});
        default: {
            RegValue v;
            v.type = rng() % 3 == 0 ? static_cast<uint32_t>(rng()) : REG_BINARY;
            v.data.resize(rng() % 90);
            for (auto& b : v.data) b = static_cast<uint8_t>(rng());
            return v;
        }
    }
}

// Any tree whose names pass the check comes back from its text the same; any other is
// refused before a byte is written.
TEST(RegistryProperty, WhateverIsAcceptedRoundTripsThroughTheText) {
    std::mt19937 rng(20261208);
    int accepted = 0, refused = 0;
    for (int round = 0; round < 1500; ++round) {
        RegKey root;
        bool valid = true;
        for (int n = rng() % 6; n > 0; --n) {
            std::u16string path;
            for (int depth = rng() % 3; depth >= 0; --depth) {
                std::u16string part = RandomName(rng);
                valid = valid && IsValidRegKeyName(part);
                if (!path.empty()) path += u'\\';
                path += part;
            }
            RegKey* key = root.Find(path, true);
            std::u16string name = RandomName(rng);
            valid = valid && IsValidRegValueName(name);
            auto& slot = key->values[FoldCase(name)];
            slot.name = name;
            slot.value = RandomValue(rng);
        }
        std::string error;
        Hive hive = round % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        // Empty parts only collapse ("a\\\\b" is "a\\b"), so the tree may still be fine.
        bool ok = CheckRegTree(root, hive, error);
        if (valid) {
            EXPECT_TRUE(ok) << error;
        }
        if (!ok) {
            ++refused;
            continue;
        }
        ++accepted;
        std::string text = FormatRegText(root, hive);
        RegKey again;
        ASSERT_TRUE(ParseRegText(text, hive, "f", again, error)) << error << "\n" << text;
        ASSERT_TRUE(again == root) << text;
    }
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 100);
}

// The same through the calls and the file, as another program reads it.
TEST_F(RegistryTest, RandomNamesAndValuesSetThroughTheCallsReadBackFromTheFile) {
    std::mt19937 rng(7);
    RegKey expected;
    for (int i = 0; i < 80; ++i) {
        std::u16string key = u"K\\" + RandomName(rng), name = RandomName(rng);
        RegValue value = RandomValue(rng);
        // A backslash in the random part only makes more keys; empty parts are skipped.
        bool valid = IsValidRegValueName(name);
        for (size_t from = 0; from <= key.size();) {
            size_t to = std::min(key.find(u'\\', from), key.size());
            if (to > from) valid = valid && IsValidRegKeyName(key.substr(from, to - from));
            from = to + 1;
        }
        bool ok = RegSetValue(HKEY_CURRENT_USER, key, name, value);
        ASSERT_EQ(ok, valid) << ToUtf8(key) << " / " << ToUtf8(name);
        if (!ok) {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
            continue;
        }
        auto& slot = expected.Find(key, true)->values[FoldCase(name)];
        if (slot.name.empty()) slot.name = name;
        slot.value = value;
    }
    RegKey fromFile;
    std::string error;
    ASSERT_TRUE(ParseRegText(kvo::test::ReadHostFile(RegistryDir() / "user.reg"),
                             HKEY_CURRENT_USER, "user.reg", fromFile, error))
        << error;
    EXPECT_TRUE(fromFile == expected);
}

// ---- who may read ----

// Reading needs no write access anywhere; writing fails and says why.
int ReadsWorkAndWritesSayWhy(const char* reason) {
    if (RegGetDword(HKEY_CURRENT_USER, u"K", u"v") != 42) return 10;
    if (RegGetString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\X", u"InstlDir") != u"\\dir") return 11;
    if (!RegEnumValues(HKEY_CURRENT_USER, u"K")) return 12;
    if (RegSetValue(HKEY_CURRENT_USER, u"K", u"w", RegValue::Dword(1))) return 13;
    if (GetLastError() != ERROR_ACCESS_DENIED) return 14;
    std::string why = GetLastErrorText();
    if (why.find(reason) == std::string::npos || why.find("/registry/") == std::string::npos) {
        fprintf(stderr, "reason: %s\n", why.c_str());
        return 15;
    }
    return 0;
}

class RegistryAccessTest : public RegistryTest {
protected:
    void SetUp() override {
        // Written by another process, so that the readers below start with no cache.
        ASSERT_EQ(InChild([] {
                      return RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(42)) &&
                                     RegSetValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\X",
                                                 u"InstlDir", RegValue::Sz(u"\\dir"))
                                 ? 0
                                 : 1;
                  }),
                  0);
    }
};

TEST_F(RegistryAccessTest, AReadOnlyDeviceIsReadAndRefusesWritesWithTheReason) {
    if (geteuid() != 0) GTEST_SKIP() << "a read-only bind mount needs root";
    std::string root = m_device.Root().string();
    int rc = InChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(root.c_str(), root.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return 77;
        return ReadsWorkAndWritesSayWhy("Read-only file system");
    });
    if (rc == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(rc, 0);
}

TEST_F(RegistryAccessTest, AnotherUserWhoMayOnlyReadReadsAndCannotWrite) {
    if (geteuid() != 0) GTEST_SKIP() << "switching users needs root";
    // The owner opened the device to others for reading.
    for (const fs::path& p : {m_device.Root(), RegistryDir()})
        fs::permissions(p, fs::perms(0755));
    for (const char* f : {"user.reg", "system.reg"})
        fs::permissions(RegistryDir() / f, fs::perms(0644));
    int rc = InChild([] {
        if (setgid(65534) != 0 || setuid(65534) != 0) return 77;
        return ReadsWorkAndWritesSayWhy("Permission denied");
    });
    EXPECT_EQ(rc, 0);
    // And a hive nobody else may read is an error with its reason, never an empty hive.
    fs::permissions(RegistryDir() / "user.reg", fs::perms(0600));
    rc = InChild([] {
        if (setgid(65534) != 0 || setuid(65534) != 0) return 77;
        if (RegQueryValue(HKEY_CURRENT_USER, u"K", u"v")) return 1;
        if (GetLastError() != ERROR_ACCESS_DENIED) return 2;
        return GetLastErrorText().find("user.reg: Permission denied") != std::string::npos ? 0 : 3;
    });
    EXPECT_EQ(rc, 0);
}

// ---- modes ----

TEST_F(RegistryTest, HivesArePrivateAndAStricterModeSurvivesASave) {
    umask(0);
    bool ok = RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(1));
    umask(022);
    ASSERT_TRUE(ok);
    auto mode = [](const fs::path& p) {
        struct stat st;
        return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    fs::path hive = RegistryDir() / "user.reg";
    EXPECT_EQ(mode(RegistryDir()), 0700u);
    EXPECT_EQ(mode(hive), 0600u);
    fs::permissions(hive, fs::perms(0400));
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(2)));
    EXPECT_EQ(mode(hive), 0400u);
    fs::permissions(hive, fs::perms(0644));  // never wider than the device's own mode
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(3)));
    EXPECT_EQ(mode(hive), 0600u);
}

}  // namespace
