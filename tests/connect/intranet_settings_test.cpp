// "intranet.dat": what is written reads back, passwords never stand in the file as typed,
// and a value that cannot be stored is refused instead of being lost.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "connect/dialup/intranet_settings.h"
#include "platform/device.h"
#include "platform/file.h"
#include "tests/support/temp_device.h"

namespace {

using namespace kvo::connect;

std::string Utf16(std::u16string_view s) {
    std::string b;
    for (char16_t c : s) {
        b.push_back(static_cast<char>(c & 0xFF));
        b.push_back(static_cast<char>(c >> 8));
    }
    return b;
}

CIntranetSettings Sample() {
    CIntranetSettings s;
    s.proxy = u"yes";
    s.proxy_http = u"proxy.corp:8080";
    s.proxy_wap = u"wap.corp:9201";
    s.proxy_socks = u"socks.corp:1080";
    s.socks5 = u"yes";
    s.proxy_user = u"ProxyUser";
    s.proxy_password = u"Pr0xy=Secret!";
    s.user = u"Anna.Miller";
    s.password = u"S3cret;Pass=word";
    s.ip = u"10.1.2.3";
    s.slip = u"yes";
    s.dns = u"10.0.0.1";
    s.altdns = u"10.0.0.2";
    s.wins = u"10.0.0.3";
    s.altwins = u"10.0.0.4";
    s.apn = u"corp.apn";
    return s;
}

TEST(IntranetSettingsTest, RoundTripKeepsEveryKeyAndScramblesPasswords) {
    std::string bytes, error;
    CIntranetSettings s = Sample();
    ASSERT_TRUE(FormatIntranetDat(s, bytes, error)) << error;
    EXPECT_EQ(ParseIntranetDat(bytes), s);
    EXPECT_EQ(bytes.substr(0, 28), Utf16(u"Internet=yes\r\n"));
    EXPECT_EQ(bytes.find(Utf16(u"S3cret")), std::string::npos);
    EXPECT_EQ(bytes.find(Utf16(u"Pr0xy")), std::string::npos);
    EXPECT_NE(bytes.find(Utf16(u"Proxy_User=ProxyUser\r\n")), std::string::npos);
}

TEST(IntranetSettingsTest, ReaderRules) {
    // Capitals read as lower case; unknown keys, lines without "=" and empty lines are
    // skipped; the value is everything after the first "=".
    std::string bytes = Utf16(u"INTERNET=NO\r\n\r\ngarbage\nSLIP=YES\rUnknown=1\nDNS=1.2.3.4=5\n");
    CIntranetSettings s = ParseIntranetDat(bytes);
    EXPECT_EQ(s.internet, u"no");
    EXPECT_EQ(s.slip, u"yes");
    EXPECT_EQ(s.dns, u"1.2.3.4=5");
    EXPECT_EQ(s.compress_sw, u"yes");  // default kept
    // Only the first 2000 bytes count; an odd last byte is no character.
    std::string big = Utf16(u"APN=") + Utf16(std::u16string(1200, u'x'));
    EXPECT_EQ(ParseIntranetDat(big).apn.size(), 1000u - 4u);
    EXPECT_EQ(ParseIntranetDat(Utf16(u"APN=ab") + "c").apn, u"ab");
}

TEST(IntranetSettingsTest, EveryPrintablePasswordSurvives) {
    // The scrambled text must never hold a line break or NUL, or the password is cut.
    std::u16string all;
    for (char16_t c = 0x20; c < 0x7F; ++c) all.push_back(c);
    for (size_t shift = 0; shift < all.size(); shift += 7) {
        CIntranetSettings s;
        s.password = all.substr(shift) + all.substr(0, shift);
        s.proxy_password = u"\u00e9\u00fc" + s.password.substr(0, 20);
        std::string bytes, error;
        ASSERT_TRUE(FormatIntranetDat(s, bytes, error)) << error;
        CIntranetSettings back = ParseIntranetDat(bytes);
        EXPECT_EQ(back.password, s.password);
        EXPECT_EQ(back.proxy_password, s.proxy_password);
    }
}

TEST(IntranetSettingsTest, RefusesWhatWouldNotReadBack) {
    std::string bytes = "old", error;
    CIntranetSettings s;
    s.apn = u"a\r\nProxy=yes";
    EXPECT_FALSE(FormatIntranetDat(s, bytes, error));
    EXPECT_NE(error.find("line break"), std::string::npos);
    s = CIntranetSettings();
    s.apn = std::u16string(1000, u'a');
    EXPECT_FALSE(FormatIntranetDat(s, bytes, error));
    EXPECT_NE(error.find("2000"), std::string::npos);
    EXPECT_EQ(ScrambleIntranetPassword(ScrambleIntranetPassword(u"abc")), u"abc");
}

class IntranetFileTest : public kvo::test::DeviceTest {};

TEST_F(IntranetFileTest, MissingFileGivesDefaultsAndSavesAtomically) {
    CIntranetSettings s;
    s.user = u"old";
    std::string error;
    ASSERT_TRUE(LoadIntranetDat(u"\\intranet.dat", s, error));
    EXPECT_EQ(s, CIntranetSettings());

    // A writer killed at any moment leaves the old file or the new one, never a mix.
    CIntranetSettings a = Sample(), b = Sample();
    b.user = u"Bob";
    b.password = u"other";
    ASSERT_TRUE(SaveIntranetDat(u"\\intranet.dat", a, error)) << error;
    for (int round = 0; round < 20; ++round) {
        pid_t pid = fork();
        if (pid == 0) {
            std::string e;
            for (;;) {
                SaveIntranetDat(u"\\intranet.dat", b, e);
                SaveIntranetDat(u"\\intranet.dat", a, e);
            }
        }
        usleep(static_cast<useconds_t>(500 + round * 300));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        CIntranetSettings got;
        ASSERT_TRUE(LoadIntranetDat(u"\\intranet.dat", got, error));
        EXPECT_TRUE(got == a || got == b) << "round " << round;
    }
}

}  // namespace
