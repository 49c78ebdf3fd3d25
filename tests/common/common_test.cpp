#include <gtest/gtest.h>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "common/recipients.h"
#include "common/stored_string.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "tests/support/temp_device.h"

using namespace kvo;

namespace {

std::string Stored(uint32_t count, std::u16string_view units) {
    MemWriter w;
    w.WriteU32(count);
    for (char16_t c : units) w.WriteU16(c);
    return w.Bytes();
}

TEST(StoredString, LimitIsAcceptedAndLimitPlusOneRejected) {
    std::u16string text(500, u'x');
    MemWriter w;
    ASSERT_TRUE(WriteStoredString(w, text));
    EXPECT_EQ(w.Bytes().size(), StoredStringSize(text));
    MemReader ok(w.Bytes());
    std::u16string out;
    EXPECT_EQ(ReadStoredString(ok, 500, out), StoredStringError::ok);
    EXPECT_EQ(out, text);
    MemReader over(w.Bytes());
    EXPECT_EQ(ReadStoredString(over, 499, out), StoredStringError::tooLong);
    EXPECT_TRUE(out.empty());
}

TEST(StoredString, ShortReadsAndMissingTerminatorsAreRejected) {
    std::u16string out;
    MemReader empty("");
    EXPECT_EQ(ReadStoredString(empty, 10, out), StoredStringError::shortRead);
    MemReader countOnly(std::string("\x03\x00", 2));
    EXPECT_EQ(ReadStoredString(countOnly, 10, out), StoredStringError::shortRead);
    std::string cut = Stored(3, u"abc");  // the zero is missing
    MemReader noRoom(cut);
    EXPECT_EQ(ReadStoredString(noRoom, 10, out), StoredStringError::shortRead);
    std::string wrong = Stored(3, u"abcd");
    MemReader noZero(wrong);
    EXPECT_EQ(ReadStoredString(noZero, 10, out), StoredStringError::noTerminator);
    // A huge count must be rejected before anything is allocated.
    std::string huge = Stored(0xFFFFFFFF, u"");
    MemReader big(huge);
    EXPECT_EQ(ReadStoredString(big, 0xFFFFFFFF, out), StoredStringError::shortRead);
    std::string two = Stored(0, std::u16string(1, u'\0')) + Stored(2, std::u16string(u"hi\0", 3));
    MemReader seq(two);
    EXPECT_EQ(ReadStoredString(seq, 10, out), StoredStringError::ok);
    EXPECT_EQ(out, u"");
    EXPECT_EQ(ReadStoredString(seq, 10, out), StoredStringError::ok);
    EXPECT_EQ(out, u"hi");
}

TEST(Recipients, KeepDigitsPlusAndSemicolons) {
    EXPECT_EQ(CleanRecipients(u" +49 (171) 123-45;0170/99 x;;"), u"+4917112345;017099;;");
    EXPECT_EQ(SplitRecipients(u"+49171;;0170;"), (std::vector<std::u16string>{u"+49171", u"0170"}));
}

TEST(Narrowing, KeepsTheLowByteAndWidensByteForByte) {
    EXPECT_EQ(Narrow(u"AT\u0141\u00E4"), std::string("AT\x41\xE4", 4));
    EXPECT_EQ(Widen(std::string("\xE4\x00z", 3)), std::u16string(u"\u00E4\0z", 3));
}

class InstallDirTest : public test::DeviceTest {};

TEST_F(InstallDirTest, AppendsABackslashToInstlDir) {
    EXPECT_EQ(GetInstallDir(), u"\\");
    ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane kvonet pro", u"InstlDir",
                    ce::RegValue::Sz(u"\\Program Files\\kvonet pro"));
    EXPECT_EQ(GetInstallDir(), u"\\Program Files\\kvonet pro\\");
    EXPECT_EQ(InstallPath(u"kvo.ini"), u"\\Program Files\\kvonet pro\\kvo.ini");
    EXPECT_EQ(GetInstallDir(kUpdaterKey), u"\\");
}

// A hive that cannot be read is no missing value: the suite must not move into the root.
TEST_F(InstallDirTest, AnUnreadableHklmIsAnErrorAndNothingLandsInTheRoot) {
    test::WriteHostFile(ce::RegistryDir() / "system.reg", "not a hive\n");
    std::u16string dir;
    std::string error;
    EXPECT_FALSE(GetInstallDirChecked(dir, error));
    EXPECT_NE(error.find("system.reg:1: missing"), std::string::npos) << error;
    EXPECT_FALSE(ce::WriteFileAtomic(InstallPath(u"kvo.ini"), "settings"));
    EXPECT_FALSE(ce::File::Create(InstallPath(u"kvo.sms")));
    EXPECT_FALSE(ce::CreateDirectories(GetInstallDir() + u"LOG"));
    std::string bytes;
    EXPECT_FALSE(ce::ReadFileBytes(InstallPath(u"kvo.ini"), bytes));
    EXPECT_TRUE(std::filesystem::is_empty(ce::FileSystemRoot()));
    // A missing value still means the root, as on the handheld.
    std::filesystem::remove(ce::RegistryDir() / "system.reg");
    ASSERT_TRUE(GetInstallDirChecked(dir, error));
    EXPECT_EQ(dir, u"\\");
}

}  // namespace

#include "common/scramble.h"

namespace {

TEST(Scramble, UsesTheHandheldGeneratorNotTheHosts) {
    // The handheld runtime's first results after srand(1).
    kvo::CeRand one(1);
    EXPECT_EQ(one.Next(), 41);
    EXPECT_EQ(one.Next(), 18467);
    EXPECT_EQ(one.Next(), 6334);
    EXPECT_EQ(one.Next(), 26500);
    // The data file's seed: its first key bytes are pinned so nobody swaps the generator.
    std::string zeros(6, '\0');
    kvo::Scramble(zeros, kvo::kDataFileSeed);
    EXPECT_EQ(zeros, std::string("\x2A\x6D\x11\xD1\xB9\xF5"));
    std::string text = "*Phones\r\n#SP-1#\r\n*";
    std::string copy = text;
    kvo::Scramble(copy, kvo::kDataFileSeed);
    EXPECT_NE(copy, text);
    kvo::Scramble(copy, kvo::kDataFileSeed);
    EXPECT_EQ(copy, text);
}

}  // namespace
