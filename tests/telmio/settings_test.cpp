#include <gtest/gtest.h>

#include <filesystem>

#include "common/binio.h"
#include "common/stored_string.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/sys.h"
#include "telmio/settings/client_settings.h"
#include "telmio/settings/options_rules.h"
#include "telmio/settings/settings_file.h"
#include "tests/support/temp_device.h"

using namespace kvo;

namespace {

CKvoIni EveryFieldSet() {
    CKvoIni ini;
    ini.m_strPhoneModel = u"Model 6310i";
    ini.m_strOperator = u"Operator D1";
    ini.m_strLoginUser = u"user";
    ini.m_strLoginPassword = u"secret";
    ini.m_strConnectionMethod = u"HSCSD";
    ini.m_strModemDevice = u"Bluetooth modem";
    ini.m_strAccessPoint = u"internet.example";
    ini.m_strPin = u"1234";
    ini.m_nSettingF = -7;
    ini.m_strNetworkChoice = u"Intranet";
    ini.m_bAutoSync = true;
    ini.m_nInterval = 45;
    ini.m_bOwnCentre = true;
    ini.m_strCentreNumber = u"+491710760000";
    ini.m_nSettingH = 1;
    ini.m_nSettingI = 2;
    ini.m_nSettingJ = 3;
    ini.m_nSettingK = 4;
    ini.m_bDeleteAfterSync = true;
    ini.m_strDetectionText = u"Detected: something";
    ini.m_loginMap = {{u"Op A", u"ua", u"pa"}, {u"Op B", u"", u"pb"}, {u"", u"u\u00E4", u""}};
    return ini;
}

class SettingsTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override { ce::SetAppName(u"telmio"); }
    void WriteIni(std::string_view bytes) {
        kvo::test::WriteHostFile(m_device.Root() / "fs" / "kvo.ini", bytes);
    }
};

TEST_F(SettingsTest, EveryFieldRoundTripsAndTheDetectionTextComesBackEmpty) {
    CClientSettings s;
    s.m_ini = EveryFieldSet();
    s.m_pb.m_nStorages = kPbStorageSim;
    s.m_pb.m_strName = u"351234567890123";
    s.m_bUserPort = true;
    s.m_strUserPort = u"COM5:";
    ASSERT_TRUE(s.SaveSettings());

    CClientSettings loaded;
    ASSERT_TRUE(loaded.LoadSettings());
    CKvoIni expected = EveryFieldSet();
    expected.m_strDetectionText.clear();
    EXPECT_EQ(loaded.m_ini, expected);
    EXPECT_EQ(loaded.m_pb, s.m_pb);
    EXPECT_TRUE(loaded.m_bUserPort);
    EXPECT_EQ(loaded.m_strUserPort, u"COM5:");

    // "Use port" off writes the profile value empty.
    loaded.m_bUserPort = false;
    ASSERT_TRUE(loaded.SaveSettings());
    EXPECT_EQ(ce::GetProfileString(u"data", u"userport", u"unset"), u"");
    CClientSettings again;
    ASSERT_TRUE(again.LoadSettings());
    EXPECT_FALSE(again.m_bUserPort);
}

TEST_F(SettingsTest, StringLengthLimitIs500) {
    for (size_t len : {500u, 501u}) {
        CKvoIni ini;
        ini.m_strPhoneModel = std::u16string(len, u'm');
        MemWriter w;
        w.WriteU8(9);
        WriteStoredString(w, ini.m_strPhoneModel);
        std::string bytes = FormatKvoIni(CKvoIni{});
        bytes.replace(0, 1 + 6, w.Bytes());
        CKvoIni parsed;
        EXPECT_EQ(ParseKvoIni(bytes, parsed), len == 500 ? IniLoad::ok : IniLoad::failed) << len;
        WriteIni(bytes);
        CClientSettings s;
        EXPECT_EQ(s.LoadSettings(), len == 500) << len;
        if (len == 500) {
            EXPECT_EQ(s.m_ini.m_strPhoneModel.size(), 500u);
        }
    }
    CPbIni pb;
    MemWriter w;
    w.WriteU32(kPbStorageSim);
    WriteStoredString(w, std::u16string(501, u'9'));
    EXPECT_FALSE(ParsePbIni(w.Bytes(), pb));
    EXPECT_EQ(pb, CPbIni{});
}

TEST_F(SettingsTest, AnotherVersionGivesTheDefaultsButKeepsTheKeptFields) {
    CKvoIni ini = EveryFieldSet();
    std::string bytes = FormatKvoIni(ini);
    bytes[0] = 8;
    EXPECT_EQ(ParseKvoIni(bytes, ini), IniLoad::defaulted);
    CKvoIni expected;
    expected.m_strLoginUser = u"user";
    expected.m_strLoginPassword = u"secret";
    expected.m_strPin = u"1234";
    expected.m_strNetworkChoice = u"Intranet";
    expected.m_strDetectionText = u"Detected: something";
    EXPECT_EQ(ini, expected);

    WriteIni(bytes);
    CClientSettings s;
    EXPECT_TRUE(s.LoadSettings());
    EXPECT_EQ(s.m_ini, CKvoIni{});
    EXPECT_EQ(s.m_pb, CPbIni{});
    EXPECT_EQ(s.m_pb.m_nStorages, 0x30000000u);
    EXPECT_EQ(s.m_pb.m_strName, u"0");
}

TEST_F(SettingsTest, MissingFilesGiveDefaultsAndADamagedOneKeepsWhatWasRead) {
    CClientSettings s;
    EXPECT_TRUE(s.LoadSettings());
    EXPECT_EQ(s.m_ini.m_nInterval, 10);
    EXPECT_EQ(s.m_ini.m_nSettingJ, 150);
    EXPECT_EQ(s.m_ini.m_nSettingK, 10);
    EXPECT_FALSE(s.m_bUserPort);

    std::string whole = FormatKvoIni(EveryFieldSet());
    EXPECT_EQ(ParseKvoIni("", s.m_ini), IniLoad::failed);
    // Every cut is a failure; a cut in the login map keeps every field before it.
    for (size_t cut = 1; cut < whole.size(); ++cut) {
        CKvoIni ini;
        ASSERT_EQ(ParseKvoIni(whole.substr(0, cut), ini), IniLoad::failed) << cut;
        if (cut > 1 + 12 + 2 * 11) {
            EXPECT_EQ(ini.m_strPhoneModel, u"Model 6310i") << cut;
        }
    }
    // A huge entry count with nothing after it.
    CKvoIni noMap = EveryFieldSet();
    noMap.m_loginMap.clear();
    std::string count = FormatKvoIni(noMap);
    count.resize(count.size() - 4);
    CKvoIni ini;
    EXPECT_EQ(ParseKvoIni(count + std::string("\xFF\xFF\xFF\xFF", 4), ini), IniLoad::failed);
    EXPECT_TRUE(ini.m_loginMap.empty());
    EXPECT_EQ(ini.m_nSettingK, 4);
}

TEST_F(SettingsTest, SaveFailsWhenAFileCannotBeReplaced) {
    std::filesystem::create_directories(m_device.Root() / "fs" / "pb.ini");
    CClientSettings s;
    EXPECT_FALSE(s.SaveSettings());
    CRecordingUi ui;
    COptionsValues v = OptionsFromSettings(s);
    COptionsOutcome o = SaveOptions(s, v, false, ui);
    EXPECT_FALSE(o.m_bSaved);
    EXPECT_EQ(ui.Messages(), std::vector<std::u16string>{u"Save failed."});
}

TEST_F(SettingsTest, OptionsRules) {
    CClientSettings s;
    COptionsValues v = OptionsFromSettings(s);
    v.m_bAutoSync = true;
    v.m_nInterval = 1;
    EXPECT_FALSE(CanSaveOptions(v));
    v.m_bAutoSync = false;
    EXPECT_TRUE(CanSaveOptions(v));
    v.m_bAutoSync = true;
    v.m_nInterval = 2;
    EXPECT_TRUE(CanSaveOptions(v));
    v.m_bOwnCentre = true;
    for (auto bad : {u"", u"+49 171", u"0171-1"}) {
        v.m_strCentreNumber = bad;
        EXPECT_FALSE(CanSaveOptions(v));
    }
    v.m_strCentreNumber = u"+49171;0";
    EXPECT_TRUE(CanSaveOptions(v));
    EXPECT_EQ(ShownInterval(1), 60);
    EXPECT_EQ(ShownInterval(2), 2);
    EXPECT_EQ(PbStoragesForItem(0), kPbStorageSim);
    EXPECT_EQ(PbStoragesForItem(1), kPbStoragePhone);
    EXPECT_EQ(PbStoragesForItem(2), kPbStorageSim | kPbStoragePhone);

    CRecordingUi ui;
    v.m_nInterval = 0;
    EXPECT_FALSE(SaveOptions(s, v, true, ui).m_bSaved);
    EXPECT_FALSE(ce::FileExists(u"\\kvo.ini"));

    // Only the interval changes: the countdown restarts, the running worker stays.
    v = OptionsFromSettings(s);
    v.m_bAutoSync = true;
    COptionsOutcome first = SaveOptions(s, v, false, ui);
    EXPECT_TRUE(first.m_bSaved && first.m_bStartWorker && !first.m_bRestartCountdown);
    v.m_nInterval = 30;
    COptionsOutcome second = SaveOptions(s, v, true, ui);
    EXPECT_TRUE(second.m_bSaved && second.m_bRestartCountdown);
    EXPECT_FALSE(second.m_bStartWorker || second.m_bStopWorker);
    v.m_bAutoSync = false;
    COptionsOutcome third = SaveOptions(s, v, true, ui);
    EXPECT_TRUE(third.m_bStopWorker && !third.m_bRestartCountdown);
    EXPECT_TRUE(ui.Messages().empty());

    auto ports = BuildPortList({u"COM3:", u"COM7:", u"COM3:", u"BTM1:"}, [](std::u16string_view p) {
        return p == u"COM2:" || p == u"COM7:";
    });
    EXPECT_EQ(ports, (std::vector<std::u16string>{u"COM3:", u"COM7:", u"BTM1:", u"COM2:"}));
}

TEST_F(SettingsTest, TwoProgramsSavingAtOnceKeepBothChanges) {
    // Both load, the first saves its interval, the connection manager its login, then the
    // second its automatic synchronisation: nothing the others saved goes back.
    CClientSettings first, second;
    ASSERT_TRUE(first.LoadSettings());
    ASSERT_TRUE(second.LoadSettings());
    first.m_ini.m_nInterval = 30;
    first.m_pb.m_nStorages = kPbStoragePhone;
    ASSERT_TRUE(first.SaveSettings()) << first.Error();
    std::string error;
    ASSERT_TRUE(UpdateKvoIni(
        first.KvoIniPath(),
        [](CKvoIni& ini) {
            ini.m_strLoginUser = u"dialup";
            ini.m_strDetectionText = u"detected";
            return true;
        },
        error));
    second.m_ini.m_bAutoSync = true;
    second.m_pb.m_strName = u"351234567890123";
    ASSERT_TRUE(second.SaveSettings()) << second.Error();
    EXPECT_EQ(second.m_ini.m_nInterval, 30);  // what is on disk now, also in memory

    CClientSettings after;
    ASSERT_TRUE(after.LoadSettings());
    EXPECT_EQ(after.m_ini.m_nInterval, 30);
    EXPECT_TRUE(after.m_ini.m_bAutoSync);
    EXPECT_EQ(after.m_ini.m_strLoginUser, u"dialup");
    EXPECT_EQ(after.m_ini.m_strDetectionText, u"");
    EXPECT_EQ(after.m_pb.m_nStorages, kPbStoragePhone);
    EXPECT_EQ(after.m_pb.m_strName, u"351234567890123");

    // Every field takes part: a changed one wins, an unchanged one keeps the disk's value.
    CKvoIni disk;
    disk.m_nInterval = 99;
    disk.m_strDetectionText = u"theirs";
    ApplyChangedFields(CKvoIni{}, EveryFieldSet(), disk);
    CKvoIni expected = EveryFieldSet();
    expected.m_strDetectionText = u"theirs";
    EXPECT_EQ(disk, expected);
    disk = CKvoIni{};
    disk.m_nInterval = 99;
    ApplyChangedFields(EveryFieldSet(), EveryFieldSet(), disk);
    EXPECT_EQ(disk.m_nInterval, 99);
}

TEST_F(SettingsTest, AHeldLockIsWaitedForAndThenAFailure) {
    std::u16string path = u"\\kvo.ini";
    CSettingsLock held;
    std::string error;
    ASSERT_TRUE(held.Acquire(path, error));
    CSettingsLock second;
    EXPECT_FALSE(second.Acquire(path, error, 50));
    EXPECT_NE(error.find("another program is saving"), std::string::npos) << error;
    bool called = false;
    EXPECT_FALSE(UpdateKvoIni(path, [&](CKvoIni&) { return called = true; }, error));
    EXPECT_FALSE(called);
    EXPECT_FALSE(ce::FileExists(path));
    held.Release();
    EXPECT_TRUE(second.Acquire(path, error, 50)) << error;
}

// Opening any "kvo.ini" fails as for a user without read permission.
int DenyKvoIni(const char* path, int flags, mode_t mode) {
    std::string_view p(path);
    if (p.size() >= 7 && p.substr(p.size() - 7) == "kvo.ini") {
        errno = EACCES;
        return -1;
    }
    return ce::RealSys().open(path, flags, mode);
}

TEST_F(SettingsTest, AFileOrProfileThatCannotBeReadIsAnErrorAndNothingIsSaved) {
    CClientSettings s;
    s.m_ini.m_nInterval = 45;
    s.m_bUserPort = true;
    s.m_strUserPort = u"COM5:";
    ASSERT_TRUE(s.SaveSettings());
    std::string before = kvo::test::ReadHostFile(m_device.Root() / "fs" / "kvo.ini");
    {
        ce::SysCalls calls = ce::RealSys();
        calls.open = DenyKvoIni;
        ce::ScopedSysOverride deny(calls);
        CClientSettings denied;
        EXPECT_FALSE(denied.LoadSettings());
        EXPECT_EQ(denied.State(), SettingsState::unreadable);
        EXPECT_NE(denied.Error().find("kvo.ini: permission denied"), std::string::npos)
            << denied.Error();
        denied.m_ini.m_bAutoSync = true;
        EXPECT_FALSE(denied.SaveSettings());
        std::string error;
        EXPECT_FALSE(UpdateKvoIni(denied.KvoIniPath(), [](CKvoIni&) { return true; }, error));
        CRecordingUi ui;
        EXPECT_FALSE(SaveOptions(denied, OptionsFromSettings(denied), false, ui).m_bSaved);
    }
    EXPECT_EQ(kvo::test::ReadHostFile(m_device.Root() / "fs" / "kvo.ini"), before);

    // A hive that does not parse is no empty "userport".
    kvo::test::WriteHostFile(m_device.Root() / "registry" / "user.reg", "garbage\n");
    CClientSettings noProfile;
    EXPECT_FALSE(noProfile.LoadSettings());
    EXPECT_EQ(noProfile.State(), SettingsState::unreadable);
    EXPECT_NE(noProfile.Error().find("user.reg:1:"), std::string::npos) << noProfile.Error();
    EXPECT_EQ(noProfile.m_ini.m_nInterval, 45);  // the files were still read, for a look
    EXPECT_FALSE(noProfile.SaveSettings());
    std::filesystem::remove(m_device.Root() / "registry" / "user.reg");

    // Something else in the file's place is unreadable too; a damaged "pb.ini" is not.
    std::filesystem::remove(m_device.Root() / "fs" / "pb.ini");
    std::filesystem::create_directories(m_device.Root() / "fs" / "pb.ini");
    CClientSettings folder;
    EXPECT_FALSE(folder.LoadSettings());
    EXPECT_EQ(folder.State(), SettingsState::unreadable);
    std::filesystem::remove(m_device.Root() / "fs" / "pb.ini");
    kvo::test::WriteHostFile(m_device.Root() / "fs" / "pb.ini", "\x01");
    CClientSettings damagedPb;
    EXPECT_TRUE(damagedPb.LoadSettings());
    EXPECT_EQ(damagedPb.m_pb, CPbIni{});
}

}  // namespace
