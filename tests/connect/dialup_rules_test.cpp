// The method, init-string and dialling rules of the dial-up set-up.
#include <gtest/gtest.h>

#include "connect/dialup/dialup_rules.h"

namespace {

using namespace kvo::connect;

CPhoneModel Phone(bool gprs, bool hscsd) {
    CPhoneModel p;
    p.m_strName = u"Test phone";
    p.m_strGsmInit = u"+CBST=7,0,1";
    p.m_strHscsdInit = hscsd ? u"+CBST=0,0,1;+CHSN=4,2,0,0" : u"";
    p.m_strGprsInit = gprs ? u"+CGDCONT=1,\"IP\",\"APN\";+cpin=\"PIN\"" : u"";
    p.m_strGprsNumber = u"*99***1$";
    return p;
}

CIspEntry Isp(bool gprs, bool csd) {
    CIspEntry i;
    i.m_strName = u"Net";
    i.m_strApn = u"web.example";
    i.m_strCountryCode = u"49";
    i.m_strAreaCode = u"171";
    i.m_strDialNumber = u"2524120";
    i.m_bGprsAllowed = gprs;
    i.m_bCsdAllowed = csd;
    return i;
}

TEST(ChooseMethodTest, Matrix) {
    struct Case {
        const char16_t* saved;
        bool phoneGprs, phoneHscsd, ispGprs, ispCsd;
        int method;
        const char16_t* savedAfter;
    } cases[] = {
        {u"", true, true, true, true, METHOD_GPRS, u""},
        {u"GPRS", true, true, true, true, METHOD_GPRS, u"GPRS"},
        // A saved GPRS the ISP does not offer falls to HSCSD when it can, else to GSM.
        {u"GPRS", true, true, false, true, METHOD_HSCSD, u"HSCSD"},
        {u"GPRS", true, false, false, true, METHOD_GSM, u"GSM"},
        {u"", false, true, true, true, METHOD_HSCSD, u"HSCSD"},
        // A saved GSM never yields anything else.
        {u"GSM", true, true, true, true, METHOD_GSM, u"GSM"},
        {u"GSM", false, true, false, true, METHOD_GSM, u"GSM"},
        // HSCSD chosen while GPRS is possible: HSCSD when possible, else plain GSM data.
        {u"HSCSD", true, true, true, true, METHOD_HSCSD, u"HSCSD"},
        {u"HSCSD", true, true, true, false, METHOD_GSM, u"GSM"},
        {u"", true, true, false, false, METHOD_GSM, u"GSM"},
    };
    for (const Case& c : cases) {
        std::u16string saved = c.saved;
        int m = ChooseMethod(saved, Phone(c.phoneGprs, c.phoneHscsd), Isp(c.ispGprs, c.ispCsd));
        SCOPED_TRACE(std::string(saved.begin(), saved.end()) + " " + std::to_string(c.phoneGprs) +
                     std::to_string(c.phoneHscsd) + std::to_string(c.ispGprs) +
                     std::to_string(c.ispCsd));
        EXPECT_EQ(m, c.method);
        EXPECT_EQ(saved, c.savedAfter);
    }
    EXPECT_EQ(MethodText(METHOD_HSCSD), u"HSCSD");
    EXPECT_EQ(MethodText(METHOD_NONE), u"unknown");
}

TEST(BuildInitStringTest, PinKeptDroppedWhenEmptyAndOverTheLimit) {
    CPhoneModel p = Phone(true, true);
    CIspEntry i = Isp(true, true);
    CInitString kept = BuildInitString(METHOD_GPRS, p, i, u"", u"1234");
    EXPECT_EQ(kept.m_strText, u"+CGDCONT=1,\"IP\",\"web.example\";+cpin=\"1234\"");
    EXPECT_FALSE(kept.m_bPinMustBeDisabled);

    EXPECT_EQ(BuildInitString(METHOD_GPRS, p, i, u"", u"").m_strText,
              u"+CGDCONT=1,\"IP\",\"web.example\"");
    EXPECT_EQ(BuildInitString(METHOD_GPRS, p, i, u"my.apn", u"").m_strText,
              u"+CGDCONT=1,\"IP\",\"my.apn\"");

    // Over the limit only because of the PIN: the PIN command goes, the flag tells why.
    std::u16string apn(80, u'a');
    CInitString dropped = BuildInitString(METHOD_GPRS, p, i, apn, u"1234");
    EXPECT_EQ(dropped.m_strText, u"+CGDCONT=1,\"IP\",\"" + apn + u"\"");
    EXPECT_TRUE(dropped.m_bPinMustBeDisabled);
    EXPECT_FALSE(dropped.m_bTooLong);

    // Too long even without: nothing is returned.
    CInitString tooLong = BuildInitString(METHOD_GPRS, p, i, std::u16string(120, u'a'), u"1234");
    EXPECT_TRUE(tooLong.m_strText.empty());
    EXPECT_TRUE(tooLong.m_bTooLong);
    EXPECT_FALSE(tooLong.m_bPinMustBeDisabled);

    // A smaller limit (the dial modifier's) drops the PIN of an ordinary string.
    CInitString small = BuildInitString(METHOD_GPRS, p, i, u"internet.t-d1.de", u"1234", 40);
    EXPECT_EQ(small.m_strText, u"+CGDCONT=1,\"IP\",\"internet.t-d1.de\"");
    EXPECT_TRUE(small.m_bPinMustBeDisabled);
}

TEST(BuildInitStringTest, OtherMethods) {
    CPhoneModel p = Phone(true, true);
    CIspEntry i = Isp(true, true);
    EXPECT_EQ(BuildInitString(METHOD_GSM, p, i, u"", u"1").m_strText, u"+CBST=7,0,1");
    EXPECT_EQ(BuildInitString(METHOD_HSCSD, p, i, u"", u"1").m_strText,
              u"+CBST=0,0,1;+CHSN=4,2,0,0");
    EXPECT_EQ(BuildInitString(METHOD_NONE, p, i, u"", u"1").m_strText, u"Z");
    // A PIN command first in the template goes with its separator.
    p.m_strGprsInit = u"+cpin=\"PIN\";+CGDCONT=1,\"IP\",\"APN\"";
    EXPECT_EQ(BuildInitString(METHOD_GPRS, p, i, u"", u"").m_strText,
              u"+CGDCONT=1,\"IP\",\"web.example\"");
}

TEST(ProfileTemplateTest, PiecesSentInOrder) {
    EXPECT_EQ(
        ProfileTemplatePieces(u"AT+CGDCONT=1,\"IP\",\"APN\";AT+cpin=\"PIN\"", u"web", u"1234"),
        (std::vector<std::u16string>{u"AT+CGDCONT=1,\"IP\",\"web\"", u"AT+cpin=\"1234\""}));
    // An empty PIN's command is left out; only the PIN form with the leading ';' goes whole.
    EXPECT_EQ(ProfileTemplatePieces(u"AT+CGDCONT=1,\"IP\",\"APN\";+cpin=\"PIN\"", u"web", u""),
              (std::vector<std::u16string>{u"AT+CGDCONT=1,\"IP\",\"web\""}));
    EXPECT_EQ(ProfileTemplatePieces(u"ATE0", u"", u""), (std::vector<std::u16string>{u"ATE0"}));
}

TEST(DialingTest, PatternAndNumbers) {
    EXPECT_EQ(DialPattern(0, u""), u"G");
    EXPECT_EQ(DialPattern(49, u""), u"+EG");
    EXPECT_EQ(DialPattern(0, u"171"), u"FG");
    EXPECT_EQ(DialPattern(49, u"171"), u"+EFG");

    CPhoneModel p = Phone(true, true);
    CIspEntry i = Isp(true, true);
    CDialNumber gprs = DialNumberFor(METHOD_GPRS, p, i);
    EXPECT_EQ(gprs.m_strNumber, u"*99***1#");
    EXPECT_EQ(gprs.m_nCountryCode, 0);
    EXPECT_TRUE(gprs.m_strAreaCode.empty());
    CDialNumber gsm = DialNumberFor(METHOD_HSCSD, p, i);
    EXPECT_EQ(gsm.m_nCountryCode, 49);
    EXPECT_EQ(gsm.m_strAreaCode, u"171");
    EXPECT_EQ(gsm.m_strNumber, u"2524120");
    i.m_strCountryCode.clear();
    EXPECT_EQ(DialNumberFor(METHOD_GSM, p, i).m_nCountryCode, 0);
}

TEST(DialingTest, PinFieldFollowsThePhonesGprsTemplate) {
    CPhoneModel p = Phone(true, true);
    EXPECT_TRUE(PinFieldEditable(&p));
    p.m_strGprsInit = u"+CGDCONT=1,\"IP\",\"APN\"";
    EXPECT_FALSE(PinFieldEditable(&p));
    EXPECT_FALSE(PinFieldEditable(nullptr));
}

}  // namespace
