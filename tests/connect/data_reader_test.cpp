#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "connect/data/data_conversions.h"
#include "connect/data/data_reader.h"
#include "platform/file.h"
#include "tests/support/temp_device.h"

using namespace kvo::connect;

namespace {

// "#f1#f2#...#" with n fields named <prefix><k>, without the line end.
std::u16string Fields(int n, std::u16string_view prefix = u"f") {
    std::u16string s = u"#";
    for (int k = 1; k <= n; ++k) s += std::u16string(prefix) + kvo::Widen(std::to_string(k)) + u"#";
    return s;
}
std::u16string Rec(int n) { return Fields(n) + u"\r\n"; }

// A phone record with only its name and identifiers set.
std::u16string PhoneRec(std::u16string_view name, std::u16string_view maker,
                        std::u16string_view model) {
    std::u16string f[19];
    f[0] = name;
    f[13] = maker;
    f[14] = model;
    std::u16string s = u"#";
    for (auto& x : f) s += x + u"#";
    return s + u"\r\n";
}

const std::u16string H = u"*Phones\r\n", I = u"*ISP\r\n", M = u"*Modems\r\n";

struct CodeCase {
    std::string name;
    std::u16string text;
    std::u16string connect;  // code connect reports; empty: success
    std::u16string telmio;
};

std::vector<CodeCase> CodeCases() {
    std::vector<CodeCase> c = {
        {"empty", u"", u"-1-", u"-1-"},
        {"no star first", u"x*P\r\n#", u"-1-", u"-1-"},
        {"only star", u"*", u"-2-", u"-2-"},
        {"header without record", u"*Phones\r\n", u"-2-", u"-2-"},
        {"phone record without hash", H + Rec(19) + u"X", u"-3-", u"-3-"},
        {"phone nothing after last hash", H + Fields(19), u"-23-2-", u"-23-"},
        {"phone LF without CR", H + Fields(19) + u"\n*", u"-23-3-", u"-24-"},
        {"end after phone record", H + Rec(19), u"-24-", u"-25-"},
        {"end after phone CR", H + Fields(19) + u"\r", u"-24-", u"-25-"},
        {"end in ISP header", H + Rec(19) + u"*ISP\r\n", u"-25-", u"-25-"},
        {"ISP record without hash", H + I + Rec(20) + u"X", u"-26-", u"-26-"},
        {"ISP nothing after last hash", H + I + Fields(20), u"-37-", u"-37-"},
        {"ISP LF without CR", H + I + Fields(20) + u"\n*", u"-38-", u"-38-"},
        {"end after ISP record", H + I + Rec(20), u"-39-", u"-39-"},
        {"end in modem header", H + I + u"*Modems\r\n", u"-40-", u"?"},
        {"profile without hash", H + I + M + Rec(5) + u"X", u"-41-", u"-41-"},
        {"profile nothing after last hash", H + I + M + Fields(5), u"-45-", u"-45-"},
        {"profile LF without CR", H + I + M + Fields(5) + u"\n*", u"-46-", u"-46-"},
        {"end after profile", H + I + M + Rec(5), u"-47-", u"-47-"},
        {"three empty tables", H + I + M + u"*", u"", u""},
        {"bare stars", u"****", u"", u""},
        {"garbage after final star", H + Rec(19) + I + Rec(20) + M + Rec(5) + u"*\x01#junk*", u"",
         u""},
    };
    const char16_t* phone[] = {u"-4-",  u"-5-",  u"-7-",  u"-8-",  u"-9-",  u"-10-", u"-11-",
                               u"-12-", u"-13-", u"-14-", u"-15-", u"-16-", u"-17-", u"-18-",
                               u"-19-", u"-20-", u"-21-", u"-22-", u"-23-"};
    const char16_t* isp[] = {u"-27-",    u"-28-",    u"-29-",    u"-30-",    u"-31-",
                             u"-35-",    u"-36-",    u"-36-01-", u"-36-05-", u"-36-06-",
                             u"-36-07-", u"-36-08-", u"-36-09-", u"-36-2-",  u"-36-3-",
                             u"-36-4-",  u"-36-5-",  u"-36-6-",  u"-36-7-",  u"-36-8-"};
    const char16_t* prof[] = {u"-42-", u"-43-", u"-44-", u"-44-1-", u"-44-2-"};
    // The text ends inside field k: k-1 complete fields, then an unterminated one.
    for (int k = 1; k <= 19; ++k)
        c.push_back({"phone field " + std::to_string(k), H + Fields(k - 1) + u"cut", phone[k - 1],
                     phone[k - 1]});
    for (int k = 1; k <= 20; ++k)
        c.push_back({"ISP field " + std::to_string(k), H + I + Fields(k - 1) + u"cut",
                     isp[k - 1], isp[k - 1]});
    for (int k = 1; k <= 5; ++k)
        c.push_back({"profile field " + std::to_string(k), H + I + M + Fields(k - 1), prof[k - 1],
                     prof[k - 1]});
    return c;
}

TEST(DataReader, EveryFailureHasItsProgramsCode) {
    for (const auto& c : CodeCases()) {
        for (EDataReader reader : {EDataReader::Connect, EDataReader::Telmio}) {
            const std::u16string& want = reader == EDataReader::Connect ? c.connect : c.telmio;
            CConnectionData data;
            CDataLoadResult r = ParseConnectionData(c.text, reader, data);
            std::string who =
                c.name + (reader == EDataReader::Connect ? " (connect)" : " (telmio)");
            if (want.empty()) {
                EXPECT_TRUE(r.Ok()) << who << ": " << kvo::Narrow(r.Message());
                continue;
            }
            ASSERT_FALSE(r.Ok()) << who;
            if (want == u"?") {  // telmio fails here without a message of its own
                EXPECT_EQ(r.m_error, EDataError::ProfileHeaderEnd) << who;
                EXPECT_EQ(r.Message(), u"") << who;
                continue;
            }
            EXPECT_EQ(r.Message(), u"Corrupted data file. " + want) << who;
        }
    }
}

TEST(DataReader, MessagesGoWhereEachProgramShowsThem) {
    CConnectionData data;
    auto connectPhone = ParseConnectionData(H + Fields(3), EDataReader::Connect, data);
    auto connectIsp = ParseConnectionData(H + I + Fields(3), EDataReader::Connect, data);
    auto telmioIsp = ParseConnectionData(H + I + Fields(3), EDataReader::Telmio, data);
    auto connectHeader = ParseConnectionData(u"-", EDataReader::Connect, data);
    EXPECT_TRUE(connectPhone.InMessageBox());
    EXPECT_FALSE(connectIsp.InMessageBox());
    EXPECT_FALSE(connectHeader.InMessageBox());
    EXPECT_TRUE(telmioIsp.InMessageBox());
}

TEST(DataReader, EmptyTablesAndAFailedLoadKeepWhatWasRead) {
    CConnectionData empty;
    ASSERT_TRUE(ParseConnectionData(H + I + M + u"*", EDataReader::Connect, empty).Ok());
    EXPECT_TRUE(empty.Phones().empty() && empty.Isps().empty() && empty.Profiles().empty());

    CConnectionData partial;
    auto r = ParseConnectionData(H + Rec(19) + Rec(19) + I + Rec(20) + u"X", EDataReader::Connect,
                                 partial);
    EXPECT_EQ(r.Code(), u"-26-");
    EXPECT_EQ(partial.Phones().size(), 2u);
    EXPECT_EQ(partial.Isps().size(), 1u);
}

TEST(DataReader, FieldsLandInTheirMembers) {
    std::u16string text =
        H +
        u"#Nokia#6230#  115200#8#2#1#16ab#galt#gsm#halt#hscsd#gprs APN PIN#*99***1$#Nokia#"
        u"Nokia 6230#  12#x#t18#t19#\r\n" +
        I + u"#Open#49##555#apn.x#10.0.0.1#300.1.1.1#O1#O 2##O4#O5#O6#+4917#usr#pw##no##y#\r\n" +
        M + u"#Line#COM3:#Nokia#Nokia 6230#AT+X=\"APN\"#\r\n*";
    CConnectionData d;
    ASSERT_TRUE(ParseConnectionData(text, EDataReader::Connect, d).Ok())
        << kvo::Narrow(ParseConnectionData(text, EDataReader::Connect, d).Message());
    ASSERT_EQ(d.Phones().size(), 1u);
    const CPhoneModel& p = *d.Phones()[0];
    EXPECT_EQ(p.m_strName, u"Nokia 6230");
    EXPECT_EQ(p.m_nBaudRate, 115200);
    EXPECT_EQ(p.m_nDataBits, 8);
    EXPECT_EQ(p.m_nParity, 2);
    EXPECT_EQ(p.m_nStopBits, 1);
    EXPECT_EQ(p.m_nModemOptions, 16);
    EXPECT_EQ(p.m_strGsmInitAlt, u"galt");
    EXPECT_EQ(p.m_strGsmInit, u"gsm");
    EXPECT_EQ(p.m_strHscsdInitAlt, u"halt");
    EXPECT_EQ(p.m_strHscsdInit, u"hscsd");
    EXPECT_EQ(p.m_strGprsInit, u"gprs APN PIN");
    EXPECT_EQ(p.m_strGprsNumber, u"*99***1$");
    EXPECT_EQ(p.m_strMakerId, u"Nokia");
    EXPECT_EQ(p.m_strModelId, u"Nokia 6230");
    EXPECT_EQ(p.m_nMemoryFallback, 12);
    EXPECT_FALSE(p.m_bField17Empty);
    EXPECT_EQ(p.m_strField18, u"t18");
    EXPECT_EQ(p.m_strField19, u"t19");

    ASSERT_EQ(d.Isps().size(), 1u);
    const CIspEntry& e = *d.Isps()[0];
    EXPECT_EQ(e.m_strName, u"Open");
    EXPECT_EQ(e.m_strCountryCode, u"49");
    EXPECT_EQ(e.m_strAreaCode, u"");
    EXPECT_EQ(e.m_strDialNumber, u"555");
    EXPECT_EQ(e.m_strApn, u"apn.x");
    EXPECT_TRUE(e.m_strExtra1.empty() && e.m_strExtra2.empty() && e.m_strExtra3.empty());
    EXPECT_EQ(e.m_dnsPrimary, (IpAddress{10, 0, 0, 1}));
    EXPECT_EQ(e.m_dnsSecondary, (IpAddress{44, 1, 1, 1}));
    EXPECT_EQ(e.m_strOperator, (std::array<std::u16string, 6>{u"O1", u"O 2", u"", u"O4", u"O5",
                                                               u"O6"}));
    EXPECT_EQ(e.m_strSmsCentre, u"+4917");
    EXPECT_EQ(e.m_strUser, u"usr");
    EXPECT_EQ(e.m_strPassword, u"pw");
    // Empty means allowed / on, except header compression, which a text switches on.
    EXPECT_TRUE(e.m_bCsdAllowed);
    EXPECT_FALSE(e.m_bGprsAllowed);
    EXPECT_TRUE(e.m_bSwCompression);
    EXPECT_TRUE(e.m_bHeaderCompression);

    ASSERT_EQ(d.Profiles().size(), 1u);
    const CModemProfile& m = *d.Profiles()[0];
    EXPECT_EQ(m.m_strLineName, u"Line");
    EXPECT_EQ(m.m_strPort, u"COM3:");
    EXPECT_EQ(m.m_strInitTemplate, u"AT+X=\"APN\"");
    EXPECT_EQ(m.m_pPhone, &p);
}

TEST(DataReader, ReadFieldStopsOnTheNextHash) {
    std::u16string_view t = u"#ab##c";
    size_t p = 0;
    std::u16string f;
    ASSERT_TRUE(ReadField(t, p, f));
    EXPECT_EQ(f, u"ab");
    EXPECT_EQ(p, 3u);
    ASSERT_TRUE(ReadField(t, p, f));
    EXPECT_EQ(f, u"");
    EXPECT_EQ(p, 4u);
    EXPECT_FALSE(ReadField(t, p, f));
    EXPECT_EQ(p, t.size());
    p = t.size() - 1;
    EXPECT_FALSE(ReadField(t, p, f));  // a '#' at the very end has no field after it
}

TEST(Conversions, DecimalAndDottedQuad) {
    struct {
        std::u16string_view text;
        int value;
    } dec[] = {{u"12", 12},   {u"  12", 12},  {u"12ab", 12},        {u"ab", 0},
               {u"", 0},      {u"-5", -5},    {u"+7", 7},           {u" - 3", 0},
               {u"\t9", 9},   {u"007", 7},    {u"99999999999", 2147483647},
               {u"-99999999999", -2147483647 - 1}};
    for (auto& c : dec) EXPECT_EQ(ParseDecimal(c.text), c.value) << kvo::Narrow(c.text);

    struct {
        std::u16string_view text;
        IpAddress quad;
    } ip[] = {{u"10.0.0.1", {10, 0, 0, 1}},    {u"10.0.1", {0, 0, 0, 0}},
              {u"10..0.1", {0, 0, 0, 0}},      {u"300.1.1.1", {44, 1, 1, 1}},
              {u"1.2.3.", {0, 0, 0, 0}},       {u".1.2.3", {0, 0, 0, 0}},
              {u"1.2.3.4.5", {1, 2, 3, 4}},    {u"-1.x.2.3", {255, 0, 2, 3}},
              {u"", {0, 0, 0, 0}},             {u" 193.254.160.1", {193, 254, 160, 1}}};
    for (auto& c : ip) EXPECT_EQ(ParseDottedQuad(c.text), c.quad) << kvo::Narrow(c.text);
}

TEST(DataReader, ProfilePhoneIsTheFirstExactMatchOrNone) {
    std::u16string phones = H + PhoneRec(u"A", u"Mk", u"Md") + PhoneRec(u"B", u"Mk", u"Md");
    std::u16string text = phones + I + M + u"#L1#COM1:#Mk#Md##\r\n#L2#COM2:#Mk#md##\r\n" +
                          u"#L3#COM3:###x#\r\n#L4#COM4:#Zz#Md##\r\n*";
    CConnectionData d;
    ASSERT_TRUE(ParseConnectionData(text, EDataReader::Connect, d).Ok());
    ASSERT_EQ(d.Profiles().size(), 4u);
    EXPECT_EQ(d.Profiles()[0]->m_pPhone, d.Phones()[0].get());
    EXPECT_EQ(d.Profiles()[1]->m_pPhone, nullptr);  // case differs
    EXPECT_EQ(d.Profiles()[2]->m_pPhone, nullptr);  // no maker
    EXPECT_EQ(d.Profiles()[3]->m_pPhone, nullptr);  // no such phone
    EXPECT_EQ(d.FindProfileByLine(u"L3"), d.Profiles()[2].get());
    EXPECT_EQ(d.FindProfileByLine(u"l3"), nullptr);
}

TEST(DataReader, TextEndsAtTheFirstNul) {
    std::string plain = "*P\r\n*I\r\n*M\r\n*";
    EXPECT_EQ(DataFileText(plain + std::string("\0garbage", 8)), kvo::Widen(plain));
    std::string cut = std::string("*P\r\n\0", 5) + "*I\r\n*M\r\n*";
    CConnectionData d;
    EXPECT_EQ(ParseConnectionData(DataFileText(cut), EDataReader::Connect, d).Code(), u"-2-");
    // High bytes are single characters, not UTF-8.
    EXPECT_EQ(DataFileText("\xE4"), std::u16string(1, u'\u00E4'));
}

class DataFileLoad : public kvo::test::DeviceTest {};

TEST_F(DataFileLoad, ReadsTheScrambledFileFromTheProgramFolder) {
    const std::u16string dir = u"\\Program Files\\kvonet pro\\";
    ASSERT_TRUE(ce::CreateDirectories(dir));
    CConnectionData none;
    CDataLoadResult missing = LoadConnectionData(none, EDataReader::Connect, dir);
    EXPECT_EQ(missing.m_error, EDataError::FileUnreadable);
    EXPECT_EQ(missing.Message(), u"Cannot open data file!");

    std::string bytes = kvo::Narrow(H + Rec(19) + I + M + u"*");
    ScrambleDataFile(bytes);
    ASSERT_TRUE(ce::WriteFileAtomic(dir + u"kvo.dat", bytes));
    int calls = 0;
    CConnectionData d;
    auto ok = LoadConnectionData(d, EDataReader::Telmio, dir, [&](CConnectionData& loaded) {
        ++calls;
        return loaded.Phones().size() == 1;
    });
    EXPECT_TRUE(ok.Ok());
    EXPECT_EQ(calls, 1);

    // A failing step after the load fails it; the records stay.
    CConnectionData d2;
    auto bound = LoadConnectionData(d2, EDataReader::Connect, dir, [](CConnectionData&) {
        return false;
    });
    EXPECT_EQ(bound.m_error, EDataError::LineDevices);
    EXPECT_EQ(d2.Phones().size(), 1u);

    // A corrupt file never reaches the step.
    std::string bad = kvo::Narrow(H + Fields(2));
    ScrambleDataFile(bad);
    ASSERT_TRUE(ce::WriteFileAtomic(dir + u"kvo.dat", bad));
    CConnectionData d3;
    auto corrupt = LoadConnectionData(d3, EDataReader::Connect, dir, [&](CConnectionData&) {
        ++calls;
        return true;
    });
    EXPECT_EQ(corrupt.Message(), u"Corrupted data file. -7-");
    EXPECT_EQ(calls, 1);
}

TEST(Scrambling, IsItsOwnInverseWithThePinnedKey) {
    std::string zeros(8, '\0');
    ScrambleDataFile(zeros);
    EXPECT_EQ(zeros, std::string("\x2A\x6D\x11\xD1\xB9\xF5\x17\x1E", 8));
    std::string all;
    for (int i = 0; i < 70000; ++i) all += static_cast<char>(i * 7);
    std::string copy = all;
    ScrambleDataFile(copy);
    EXPECT_NE(copy, all);
    ScrambleDataFile(copy);
    EXPECT_EQ(copy, all);
}

}  // namespace
