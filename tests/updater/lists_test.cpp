// The two list readers, the version order and the choice of items.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "updater/core/list_lines.h"
#include "updater/core/post_reset_copy.h"
#include "updater/core/update_info.h"
#include "updater/core/update_items.h"
#include "updater/core/update_paths.h"
#include "updater/core/version_info.h"

namespace {

using namespace kvo::updater;

TEST(VersionInfoReader, TagsLinesAndCaseAsTheHandheldReadsThem) {
    CVersionInfo v = ParseVersionInfo(
        "<VER>0.01\r\n"
        "  \t<FILE>Telmio.EXE\t0100\r\n"
        "<file>Data\\Kvo.dat   0200\r\n"
        "ignored line\r\n"
        "<FILE\r\n"
        "<FILE>\t0100\r\n"
        "<FILE>last.dll 0300");
    EXPECT_EQ(v.strVer, u"0.01");
    ASSERT_EQ(v.files.size(), 3u);
    EXPECT_EQ(v.files[0].strName, u"telmio.exe");
    EXPECT_EQ(v.files[0].strDir, u"");
    EXPECT_EQ(v.files[0].strVersion, u"0100");
    EXPECT_EQ(v.files[1].strDir, u"data\\");
    EXPECT_EQ(v.files[1].strName, u"kvo.dat");
    EXPECT_EQ(v.files[1].strVersion, u"0200");
    EXPECT_EQ(v.files[2].strName, u"last.dll");
    // Written back, it reads the same.
    CVersionInfo again = ParseVersionInfo(FormatVersionInfo(v));
    ASSERT_EQ(again.files.size(), 3u);
    EXPECT_EQ(again.files[1].strDir + again.files[1].strName, u"data\\kvo.dat");
    EXPECT_EQ(FormatVersionInfo(v).substr(0, 30), "<VER>0.01\r\n<FILE>telmio.exe\t01");
}

TEST(UpdateInfoReader, GroupsLabelsRequirementsAndDuplicates) {
    CUpdateInfo u = ParseUpdateInfo(
        "<ver>0.01\r\n"
        "<GROUP_BIN>\r\n"
        "<LABEL>Program Files\r\n"
        "<BIN>Telmio.exe 0101\r\n"
        "<bin>bad.exe 101\r\n"
        "<group_db>\r\n"
        "<label>Database\r\n"
        "<cfg>kvo.dat 0300 kvocomm.dll 0300 odd\r\n"
        "<cfg>telmio.exe 0999\r\n"
        "<group_int>\r\n"
        "<cvr>sub\\nl.dat 0001 nl_v1.bin lib.dll 0002\r\n"
        "<cvr>sub\\nl.dat 0001 nl_v2.bin\r\n"
        "<postresetcopy>\r\n");
    EXPECT_FALSE(u.bWebPage);
    EXPECT_TRUE(u.bPostResetCopy);
    EXPECT_EQ(u.strVer, u"0.01");
    ASSERT_EQ(u.groups.size(), 2u);
    EXPECT_EQ(u.groups[0].strLabel, u"Program Files");  // labels keep their case
    EXPECT_EQ(u.groups[0].nKind, KIND_BIN);
    EXPECT_EQ(u.groups[1].nKind, KIND_CFG);
    ASSERT_EQ(u.files[KIND_BIN].size(), 1u);
    EXPECT_EQ(u.files[KIND_BIN][0].strName, u"telmio.exe");
    ASSERT_EQ(u.files[KIND_CFG].size(), 1u);  // the second names telmio.exe again
    ASSERT_EQ(u.files[KIND_CFG][0].requirements.size(), 1u);
    EXPECT_EQ(u.files[KIND_CFG][0].requirements[0].strName, u"kvocomm.dll");
    ASSERT_EQ(u.files[KIND_CVR].size(), 2u);  // no duplicate rule for these
    EXPECT_EQ(u.files[KIND_CVR][0].strDir, u"sub\\");
    EXPECT_EQ(u.files[KIND_CVR][0].strDownloadName, u"nl_v1.bin");
    EXPECT_EQ(u.files[KIND_CVR][0].requirements.size(), 1u);

    EXPECT_TRUE(ParseUpdateInfo("<html>\r\n<bin>a 0001\r\n").bWebPage);
    EXPECT_TRUE(ParseUpdateInfo("<!DOCTYPE HTML PUBLIC>\r\n").bWebPage);
    EXPECT_TRUE(ParseUpdateInfo("<bin>a 0001\r\n<HTML>\r\n").bWebPage);
}

TEST(VersionOrder, ByCharactersNotNumbers) {
    EXPECT_TRUE(IsOlderVersion(u"0100", u"0101"));
    EXPECT_FALSE(IsOlderVersion(u"0100", u"0099"));
    EXPECT_FALSE(IsOlderVersion(u"0100", u"0100"));
    EXPECT_TRUE(IsOlderVersion(u"9", u"a"));
    EXPECT_TRUE(IsOlderVersion(u"10", u"9"));  // no numeric reading
}

TEST(Items, NewerAndNewFilesAreOfferedTheRestNot) {
    CVersionInfo have = ParseVersionInfo(
        "<VER>0.01\r\n<FILE>a.exe\t0100\r\n<FILE>b.exe\t0100\r\n<FILE>kvocomm.dll\t0200\r\n");
    CUpdateInfo offer = ParseUpdateInfo(
        "<group_bin>\r\n<label>Programs\r\n"
        "<bin>a.exe 0101\r\n<bin>b.exe 0099\r\n<bin>c.exe 0001\r\n"
        "<group_user>\r\n<label>Settings\r\n"
        "<usr>kvo.ini 0300 kvocomm.dll 0300\r\n"
        "<cfg>kvocomm.dll 0300\r\n");  // kind 1 has no label
    CItemList list = BuildItems(have, offer, u"\\Program Files\\kvonet pro");
    ASSERT_EQ(list.items.size(), 4u);
    EXPECT_EQ(list.items[0].strName, u"a.exe");
    EXPECT_FALSE(list.items[0].bNew);
    EXPECT_EQ(list.items[1].strName, u"c.exe");
    EXPECT_TRUE(list.items[1].bNew);
    EXPECT_EQ(list.items[1].strDestination, u"\\Program Files\\kvonet pro\\c.exe");
    EXPECT_EQ(list.items[2].strName, u"kvocomm.dll");
    EXPECT_EQ(list.items[2].nGroup, -1);
    EXPECT_EQ(list.items[3].nGroup, 1);

    for (auto& item : list.items) item.nSize = 2048;
    list.groups[0].bChecked = false;
    SelectItems(list, have, false);
    // The settings need the newer library, which joins though its kind has no group.
    EXPECT_FALSE(list.items[0].bChecked);
    EXPECT_TRUE(list.items[2].bChecked);
    EXPECT_TRUE(list.items[3].bChecked);
    EXPECT_EQ(list.groups[0].nTotal, 0);
    EXPECT_EQ(list.groups[1].nTotal, 2048);
    list.groups[1].bChecked = false;
    SelectItems(list, have, false);
    EXPECT_FALSE(list.items[2].bChecked);
    SelectItems(list, have, true);
    EXPECT_TRUE(list.items[0].bChecked);
}

TEST(Items, ARequirementOnAFileThatIsNewEnoughSelectsNothing) {
    CVersionInfo have = ParseVersionInfo("<FILE>lib.dll\t0300\r\n<FILE>old.dll\t0100\r\n");
    CUpdateInfo offer = ParseUpdateInfo(
        "<group_db>\r\n<label>Db\r\n<cfg>x.cfg 0002 lib.dll 0300\r\n"
        "<group_bin>\r\n<label>Bin\r\n<bin>lib.dll 0400\r\n");
    CItemList list = BuildItems(have, offer, u"\\p");
    list.groups[1].bChecked = false;  // the bin group
    SelectItems(list, have, false);
    for (auto& item : list.items) EXPECT_EQ(item.bChecked, item.strName == u"x.cfg");
}

TEST(Paths, OfferedNamesStayInsideTheProduct) {
    std::u16string out;
    const std::u16string t = u"\\Program Files\\kvonet pro";
    EXPECT_TRUE(DestinationPath(t, u"", u"a.exe", out));
    EXPECT_EQ(out, t + u"\\a.exe");
    EXPECT_TRUE(DestinationPath(t, u"data\\", u"a.dat", out));
    EXPECT_EQ(out, t + u"\\data\\a.dat");
    EXPECT_TRUE(DestinationPath(t, u"\\program files\\kvonet pro\\x\\", u"a", out));
    for (auto [dir, name] : std::initializer_list<std::pair<const char16_t*, const char16_t*>>{
             {u"", u".."},
             {u"..\\", u"a"},
             {u"x\\..\\..\\", u"a"},
             {u"\\windows\\", u"a"},
             {u"c:\\", u"a"},
             {u"", u"c:a"},
             {u"x/", u"a"},
             {u"", u"a/b"},
             {u"", u""},
             {u"\\program files\\kvonet pro2\\", u"a"},
             {u"x\\\\", u"a"},
             {u"", u"a\x01"}}) {
        EXPECT_FALSE(DestinationPath(t, dir, name, out)) << ce::ToUtf8(dir) << ce::ToUtf8(name);
    }
    CItemList list = BuildItems({},
                                ParseUpdateInfo("<bin>..\\evil.exe 0001\r\n"
                                                "<bin>\\windows\\other.exe 0001\r\n"
                                                "<cvr>a.dat 0001 ../x\r\n"
                                                "<bin>version.info 0001\r\n"
                                                "<bin>ok.exe 0001\r\n"),
                                t);
    ASSERT_EQ(list.items.size(), 1u);
    EXPECT_EQ(list.items[0].strName, u"ok.exe");
    EXPECT_EQ(list.refused.size(), 4u);
}

TEST(PostResetList, PairsOfDownloadAndCleanDestination) {
    auto ok =
        ParsePostResetCopy("\\windows\\temp\\a.exe\n\\p\\a.exe\n\\windows\\temp\\b\r\n\\p\\b\r\n");
    ASSERT_TRUE(ok);
    ASSERT_EQ(ok->size(), 2u);
    EXPECT_EQ((*ok)[1].strDestination, u"\\p\\b");
    for (const char* bad :
         {"\\windows\\temp\\a\n", "\\windows\\temp\\a\n\\p\\a", "\\etc\\a\n\\p\\a\n",
          "\\windows\\temp\\..\n\\p\\a\n", "\\windows\\temp\\a\n\\p\\..\\a\n",
          "\\windows\\temp\\a\nc:\\a\n", "\\windows\\temp\\x\\a\n\\p\\a\n"})
        EXPECT_FALSE(ParsePostResetCopy(bad)) << bad;
}

}  // namespace
