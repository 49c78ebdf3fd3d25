#include <gtest/gtest.h>

#include "platform/registry.h"
#include "telmio/sms/user_folders.h"
#include "tests/support/temp_device.h"

using namespace kvo;

namespace {

class UserFolderTest : public kvo::test::DeviceTest {
protected:
    CRecordingUi m_ui;
};

TEST_F(UserFolderTest, RoundTripKeepsOtherValuesAndSkipsBrokenPairs) {
    std::u16string key = UserFolderKey();
    EXPECT_EQ(key, u"Software\\Orvane kvonet pro");
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"myapp", ce::RegValue::Sz(u"x.exe")));
    std::vector<CUserFolder> folders;
    ASSERT_TRUE(LoadUserFolders(folders, m_ui));
    EXPECT_TRUE(folders.empty());

    std::vector<CUserFolder> saved = {{u"Work", 1}, {u"Family", 1999}};
    ASSERT_TRUE(SaveUserFolders(saved, m_ui));
    ASSERT_TRUE(LoadUserFolders(folders, m_ui));
    EXPECT_EQ(folders, saved);
    EXPECT_EQ(ce::RegGetString(ce::HKEY_CURRENT_USER, key, u"myapp"), u"x.exe");

    // Ids out of range, not decimal, repeated or without a name are left out.
    ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"Nx", ce::RegValue::Sz(u"Bad"));
    ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"Ix", ce::RegValue::Sz(u"2000"));
    ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"Ny", ce::RegValue::Sz(u"Bad too"));
    ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"Iy", ce::RegValue::Sz(u"12a"));
    ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"Nz", ce::RegValue::Sz(u"Twin"));
    ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"Iz", ce::RegValue::Sz(u"1"));
    ce::RegSetValue(ce::HKEY_CURRENT_USER, key, u"Iw", ce::RegValue::Sz(u"7"));
    ASSERT_TRUE(LoadUserFolders(folders, m_ui));
    EXPECT_EQ(folders, saved);
    EXPECT_TRUE(m_ui.Messages().empty());

    EXPECT_EQ(NewUserFolderId(saved), 2);
    EXPECT_EQ(ParseFolderId(u"0"), 0);
    EXPECT_EQ(ParseFolderId(u"01999"), 0);
}

}  // namespace
