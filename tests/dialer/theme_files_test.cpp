// Theme packages and key configurations: what the dialer accepts, and what it refuses
// without writing anything.
#include <gtest/gtest.h>

#include "dialer/dialer_doc.h"
#include "dialer/dialer_strings.h"
#include "dialer/theme_config.h"
#include "dialer/theme_package.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"

namespace kvo::dialer {
namespace {

std::string Entry(std::string_view name, std::string_view content, int32_t claimed = -1) {
    std::string out(name);
    out += '?';
    uint32_t n = claimed < 0 ? uint32_t(content.size()) : uint32_t(claimed);
    for (int i = 0; i < 4; ++i) out += char(n >> (8 * i) & 0xFF);
    return out + std::string(content);
}

TEST(ThemePackage, EntriesRoundTripAndEmptyOnes) {
    std::vector<ThemeEntry> in = {{"a.cfg", "background=bg.bmp\n"},
                                  {"empty.bmp", ""},
                                  {"bin.bmp", std::string("\0?\xff", 3)}};
    std::vector<ThemeEntry> out;
    std::string error;
    ASSERT_TRUE(ParseThemePackage(FormatThemePackage(in), out, error)) << error;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].strName, "empty.bmp");
    EXPECT_EQ(out[1].content, "");
    EXPECT_EQ(out[2].content, std::string("\0?\xff", 3));
    // A length with its top bit set carries no bytes: the next entry follows at once.
    std::string topBit = Entry("x.bmp", "", int32_t(0x80000005)) + Entry("y.cfg", "k=v");
    ASSERT_TRUE(ParseThemePackage(topBit, out, error)) << error;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].content, "");
    EXPECT_EQ(out[1].content, "k=v");
}

TEST(ThemePackage, RefusesTruncatedAndEscapingEntries) {
    std::vector<ThemeEntry> out = {{"keep", "me"}};
    std::string error;
    // Claims more than it holds.
    EXPECT_FALSE(ParseThemePackage(Entry("a.bmp", "abc", 4000), out, error));
    // Length cut off, name never ended.
    EXPECT_FALSE(ParseThemePackage("a.bmp?\x01\x00", out, error));
    EXPECT_FALSE(ParseThemePackage("no-question-mark", out, error));
    for (const char* bad : {"../x.cfg", "..", "sub/x.bmp", "sub\\x.bmp", "C:x.bmp", "", "a\nb"})
        EXPECT_FALSE(ParseThemePackage(Entry(bad, "x"), out, error)) << bad;
    ASSERT_EQ(out.size(), 1u);  // untouched on every refusal
    EXPECT_EQ(out[0].strName, "keep");
}

TEST(ThemeConfig, ParsesKeysAndSkipsCommentsAndEmptyLines) {
    CThemeConfig cfg;
    ASSERT_EQ(ParseThemeConfig("; a comment=with equals\r\n\r\nbackground=bg.bmp\r\n"
                               "display=disp.bmp,Tahoma,18\nkey1=1,Tahoma,16\n"
                               "keycall=bmp,call,green.bmp\nunknown=kept out\n",
                               cfg),
              0);
    EXPECT_EQ(cfg.m_strBackground, "bg.bmp");  // CR cut off
    EXPECT_EQ(cfg.m_strDisplayFont, "Tahoma");
    EXPECT_EQ(cfg.m_nDisplayHeight, 18);
    EXPECT_EQ(cfg.m_keys["key1"], (CKeyLook{false, "1", "Tahoma", 16, ""}));
    // Everything after "bmp," is the file name, commas included.
    EXPECT_EQ(cfg.m_keys["keycall"].m_strFile, "call,green.bmp");
    EXPECT_TRUE(cfg.m_keys["keycall"].m_bBitmap);
}

TEST(ThemeConfig, ReportsTheMessageOfEachFault) {
    CThemeConfig cfg;
    cfg.m_strBackground = "old.bmp";
    EXPECT_EQ(ParseThemeConfig("background=a.bmp\nno equals here\n", cfg), kMsgSkinCorrupted);
    EXPECT_EQ(ParseThemeConfig("display=disp.bmp,Tahoma\n", cfg), kMsgConfigFile);
    EXPECT_EQ(ParseThemeConfig("key5=5,Tahoma\n", cfg), kMsgConfigFile);
    EXPECT_EQ(ParseThemeConfig("keydel=bmp\n", cfg), kMsgConfigFile);
    EXPECT_EQ(cfg.m_strBackground, "old.bmp");  // a refused file changes nothing
    EXPECT_EQ(MessageText(kMsgSkinCorrupted), u"Skin corrupted.");
}

class ThemeFolderTest : public test::DeviceTest {
protected:
    void WritePackage(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(ce::CreateDirectories(kThemesFolder));
        ASSERT_TRUE(ce::WriteFileAtomic(kThemesFolder + ce::FromUtf8(name), bytes));
    }
    CRecordingUi m_ui;
};

TEST_F(ThemeFolderTest, MissingConfigurationIsMessage8) {
    CThemeConfig cfg;
    ASSERT_TRUE(ce::CreateDirectories(kThemeWorkFolder));
    EXPECT_EQ(LoadThemeConfig(kThemeWorkFolder, cfg), kMsgSkinConfigNotFound);
    ASSERT_TRUE(ce::WriteFileAtomic(std::u16string(kThemeWorkFolder) + u"b.cfg", "background=b\n"));
    ASSERT_TRUE(ce::WriteFileAtomic(std::u16string(kThemeWorkFolder) + u"a.cfg", "background=a\n"));
    ASSERT_EQ(LoadThemeConfig(kThemeWorkFolder, cfg), 0);
    EXPECT_EQ(cfg.m_strBackground, "a");  // the first one found
}

TEST_F(ThemeFolderTest, SelectThemeUnpacksAndReplacesTheOldFiles) {
    WritePackage("one.thm", Entry("one.cfg", "background=bg.bmp\n") + Entry("bg.bmp", "") +
                                Entry("stale.bmp", "x"));
    WritePackage("two.thm", Entry("two.cfg", "background=two.bmp\n"));
    CDialerDoc doc(m_ui);
    ASSERT_TRUE(doc.SelectTheme(u"one.thm"));
    std::string bytes;
    ASSERT_TRUE(ce::ReadFileBytes(std::u16string(kThemeWorkFolder) + u"bg.bmp", bytes));
    EXPECT_EQ(bytes, "");  // a length-0 entry is an empty file
    ASSERT_TRUE(doc.SelectTheme(u"two.thm"));
    EXPECT_EQ(doc.Theme().m_strBackground, "two.bmp");
    // The old theme's files are gone, or its configuration could be found first.
    EXPECT_FALSE(ce::FileExists(std::u16string(kThemeWorkFolder) + u"stale.bmp"));
    EXPECT_FALSE(ce::FileExists(std::u16string(kThemeWorkFolder) + u"one.cfg"));
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(ThemeFolderTest, RefusedPackageWritesNothingAndKeepsTheCurrentTheme) {
    WritePackage("good.thm", Entry("good.cfg", "background=g.bmp\n"));
    WritePackage("evil.thm", Entry("evil.cfg", "background=e.bmp\n") +
                                 Entry("..\\..\\..\\outside.txt", "pwned"));
    WritePackage("short.thm",
                 Entry("short.cfg", "background=s.bmp\n") + Entry("big.bmp", "ab", 99));
    CDialerDoc doc(m_ui);
    ASSERT_TRUE(doc.SelectTheme(u"good.thm"));
    EXPECT_FALSE(doc.SelectTheme(u"evil.thm"));
    EXPECT_FALSE(doc.SelectTheme(u"short.thm"));
    EXPECT_EQ(doc.Theme().m_strBackground, "g.bmp");
    EXPECT_TRUE(ce::FileExists(std::u16string(kThemeWorkFolder) + u"good.cfg"));
    EXPECT_FALSE(ce::FileExists(std::u16string(kThemeWorkFolder) + u"evil.cfg"));
    EXPECT_FALSE(ce::FileExists(u"\\outside.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_device.Root() / "outside.txt"));
    ASSERT_EQ(m_ui.Messages().size(), 2u);
    EXPECT_EQ(m_ui.Messages()[0], u"Error, can't install skin: evil");
}

TEST_F(ThemeFolderTest, CorruptConfigurationIsReported) {
    WritePackage("bad.thm", Entry("bad.cfg", "background=b.bmp\njunk\n"));
    WritePackage("none.thm", Entry("bg.bmp", "x"));
    CDialerDoc doc(m_ui);
    EXPECT_FALSE(doc.SelectTheme(u"bad.thm"));
    EXPECT_FALSE(doc.SelectTheme(u"none.thm"));
    EXPECT_FALSE(doc.HasTheme());
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::u16string>{u"Skin corrupted.", u"Skin config not found."}));
}

}  // namespace
}  // namespace kvo::dialer
