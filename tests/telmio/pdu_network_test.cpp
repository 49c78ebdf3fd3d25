// Messages as real networks and phones delivered them, decoded by us and by a decoder that is
// not ours (python3-gammu): sender names, the extension table, UCS2 with emoji, 8-bit data
// with ports, and concatenated parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "telmio/sms/sms_pdu.h"

using namespace kvo;
namespace fs = std::filesystem;

namespace {

constexpr char kPython[] = "/usr/bin/python3";

// Per PDU: number, text (UTF-8 or the raw 8-bit data) as hex, 8-bit reference, 16-bit
// reference, part number, part count.
constexpr char kDecoder[] = R"(import sys, gammu
for line in open(sys.argv[1]):
    try:
        r = gammu.DecodePDU(bytes.fromhex(line.strip()))
        t = r["Text"]
        t = t if isinstance(t, bytes) else t.encode("utf-8")
        u = r["UDH"]
        print("\t".join([r["Number"], t.hex().upper(), str(u["ID8bit"]), str(u["ID16bit"]),
                         str(u["PartNumber"]), str(u["AllParts"])]))
    except Exception as e:
        print("ERROR\t" + str(e).replace("\t", " "))
)";

bool HaveGammu() {
    std::string cmd = std::string(kPython) + " -c 'import gammu' >/dev/null 2>&1";
    return fs::exists(kPython) && std::system(cmd.c_str()) == 0;
}

struct CCapture {
    const char* source;
    const char* pdu;
    const char16_t* number;  // what a person should see
    const char16_t* text;    // nullptr: checked against the other decoder only
};

// Every PDU below was received from a network or read from a phone and published; none was
// built by our encoder.
const CCapture kCaptures[] = {
    // FONIC (Germany) tariff notice, sender name of odd length; python-messaging test suite
    // (messaging/test/test_sms.py, "test_decoding_number_alphanumeric").
    {"FONIC",
     "07919471060040340409D0C6A733390400009060920173018093CC74595C96838C4F6772085AD6DDE4320B444E"
     "9741D4B03C6D7EC3E9E9B71B9474D3CB727799DEA286CFE5B9991DA6CBC3F432E85E9793CBA0F09A9EB6A7CB"
     "72BA0B9474D3CB727799DE72D6E9FABAFB0CBAA7E56490BA4CD7D34170F91BE4ACD3F575F7794E0F9F4161F1"
     "B92C2F8FD1EE32DD054AA2E520E3D3991C82A8E5701B",
     u"FONIC",
     u"Lieber FONIC Kunde, die Tarifoption Internet-Tagesflatrate wurde aktiviert. "
     u"Internet-Nutzung wird jetzt pro Nutzungstag abgerechnet. Ihr FONIC Team"},
    // TIM (Italy), sender name of even length; same source.
    {"www.tim.it",
     "07919333852804000412D0F7FBDD454FB75D693A0000903002801153402BCD301E9F0605D9E971191483C14041"
     "2A35690D52832063D2F9040599A058EE05A3BD6430580E",
     u"www.tim.it", u"Maxxi Alice 100 ATTIVATA FINO AL 19/04/2009"},
    // Beeline (Russia): sender name with a UCS2 text; ModemManager tests
    // (src/tests/test-sms-part-3gpp.c, test_pdu2).
    {"InternetSMS",
     "07919730071111F10414D04937BD2C7797E9D3E6140008113092910240610804420435044104"
     "42",
     u"InternetSMS", u"\u0442\u0435\u0441\u0442"},
    // T-Mobile US, the extension table in a plain text; ModemManager tests, test_pdu1.
    {"extension table",
     "07912104442961F4040B916171957291F80000112082110505"
     "0A"
     "6AC8B2BC7C9A83C220F6DB7D2ECB41EDF27C1E3E97411BDE06754FD3D1A0F9BB5D0695F1F4B29B5C2683C6E8"
     "B03C3CA697E5F34D6AE303D1D1F2F7DD0D4ABB59A0797D8C0685E7A00028EC26832A960B28EC2683BE605078"
     "0EBA97D96C17",
     u"+16175927198",
     u"Here's a longer message [{with some extended characters}] thrown in, such as \u00A3 "
     u"and \u03A9\u03A0\u03A8 and \u00A7\u00BF as well."},
    // A Huawei E180 stick in France: UCS2 with two emoji (surrogate pairs); reported in
    // wdoekes/asterisk-chan-dongle issue 8.
    {"emoji", "07913306092041F0040B913306991364F60008619091516061800AD83DDE03D83DDE0E0020",
     u"+33609931466", u"\U0001F603\U0001F60E "},
    // Vodafone (Germany) roaming notice in two parts, 8-bit reference 25, with a euro sign;
    // python-messaging tests, "test_decode_weird_multipart_german_pdu".
    {"Vodafone 1/2",
     "07919471227210244405852122F039F101506271217180A005000319020198E9B2B82C0759DFE4B0F9ED2EB79"
     "67537B9CC02B5D37450122D2FCB41EE303DFD7687D96537881A96A7CD6F383DFD7683F46134BBEC064DD3655"
     "0DA0D22A7CBF3721BE42CD3F5A0198B56036DCA20B8FC0D6A0A4170767D0EAAE540433A082E7F83A6E5F93CF"
     "D76BB40D7B2DB0D9AA6CB2072BA3C2F83926EF31BE44E8FD17450BB8C9683CA",
     u"12220", nullptr},
    {"Vodafone 2/2",
     "07919471227210244405852122F039F1015062712181804F050003190202E4E8309B5E7683DAFC319A5E76B34"
     "0F73D9A5D7683A6E93268FD9ED3CB6EF67B0E5AD172B19B2C2693C9602E90355D6683A6F0B007946E8382F53"
     "93BEC26BB00",
     u"12220",
     u"rhalten m\u00F6chten, w\u00E4hlen Sie kostenlos +4917212220. Viel Spa\u00DF im Ausland."},
    // KPN (Netherlands) welcome message: 16-bit reference, first of two parts; ModemManager
    // tests, test_pdu_udhi.
    {"KPN 16-bit reference",
     "07911356131313F64004850120390011609232239180A006080400100201D7327BFD6EB340E2321BF46E83EA77"
     "90F59D1E97DBE1341B442F83C465763D3DA797E56537C81D0ECB41AB59CC1693C16031D96C064241E5656838"
     "AF03A96230982A269BCD462917C8FA4E8FCBED709A0D7ABBE9F6B0FB5C7683D27350984D4FABC9A0B33C4C4F"
     "CF5D20EBFB2D079DCB62793DBD06D9C36E50FB2D4E97D9A0B49B5E96BBCB",
     u"1002",
     u"Welkom, bel om uw Voicemail te beluisteren naar +31612001233 (PrePay: *100*1233#). "
     u"Voicemail ontvangen is altijd gratis. Voor gebruik van mobiel interne"},
    // An MMS notification (8-bit data to port 2948) read from a phone with AT+CMGR; gammu's
    // AT test dumps (tests/at-sms/40.dump), collected from public posts.
    {"8-bit port 2948",
     "07912374151616F6440B911174164210F000F571309290346280860605040B8423F04F06226170706C69636174"
     "696F6E2F766E642E7761702E6D6D732D6D65737361676500AF848C82983831343630343934406D6D7331008D"
     "928918802B33333333333439333231312F545950453D504C4D4E0096008F8186818A808E03017A5988058103"
     "03F48083687474703A2F2F6D74732F3F69643D383134363034393400",
     u"+11476124010", nullptr},
};

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

TEST(PduNetworkCaptures, DecodeAsPeopleShouldSeeThem) {
    CSmsPdu pdu;
    for (const auto& c : kCaptures) {
        CDecodedSms d;
        ASSERT_GE(pdu.DecodeMessage(c.pdu, false, d), 0) << c.source;
        EXPECT_EQ(d.m_strNumber, c.number) << c.source;
        if (c.text) {
            EXPECT_EQ(d.m_strText, c.text) << c.source;
        }
    }
    CDecodedSms d;
    ASSERT_GE(pdu.DecodeMessage(kCaptures[5].pdu, false, d), 0);
    EXPECT_EQ(d.m_part, (CSmsPart{25, 2, 1}));
    EXPECT_EQ(d.m_strText.find(u"3,45 \u20AC pro MB"), 82u);
    ASSERT_GE(pdu.DecodeMessage(kCaptures[7].pdu, false, d), 0);
    EXPECT_EQ(d.m_part, (CSmsPart{0x0010, 2, 1}));
    ASSERT_GE(pdu.DecodeMessage(kCaptures[8].pdu, false, d), 0);
    EXPECT_EQ(d.m_nPort, 2948);
    EXPECT_TRUE(d.m_bBinary);
    EXPECT_EQ(d.m_strText.substr(0, 8), u"4F062261");
}

TEST(PduNetworkCaptures, AgreeWithAnIndependentDecoder) {
    if (!HaveGammu())
        GTEST_SKIP() << "python3-gammu is not installed (apt-get install python3-gammu)";
    fs::path dir = fs::temp_directory_path() / ("kvo-net-" + std::to_string(getpid()));
    fs::create_directories(dir);
    {
        std::ofstream in(dir / "in.txt");
        for (const auto& c : kCaptures) in << c.pdu << "\n";
        std::ofstream(dir / "decode.py") << kDecoder;
    }
    std::string cmd = std::string(kPython) + " " + (dir / "decode.py").string() + " " +
                      (dir / "in.txt").string() + " > " + (dir / "out.txt").string();
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream out(dir / "out.txt");
    CSmsPdu pdu;
    std::string line;
    size_t i = 0;
    for (; std::getline(out, line) && i < std::size(kCaptures); ++i) {
        const CCapture& c = kCaptures[i];
        std::istringstream fields(line);
        std::string number, text, id8, id16, seq, count;
        std::getline(fields, number, '\t');
        std::getline(fields, text, '\t');
        std::getline(fields, id8, '\t');
        std::getline(fields, id16, '\t');
        std::getline(fields, seq, '\t');
        std::getline(fields, count, '\t');
        ASSERT_NE(number, "ERROR") << c.source << ": " << text;
        CDecodedSms d;
        ASSERT_GE(pdu.DecodeMessage(c.pdu, false, d), 0) << c.source;
        EXPECT_EQ(ce::ToUtf8(d.m_strNumber), number) << c.source;
        // 8-bit data is shown as its hex; the other decoder hands out the octets.
        std::string ours = d.m_bBinary ? ce::ToUtf8(d.m_strText) : Hex(ce::ToUtf8(d.m_strText));
        // The other decoder sizes a 7-bit text by its septets, so an escape (two septets, one
        // character) leaves a few junk characters behind the text: those are not compared.
        EXPECT_EQ(text.substr(0, ours.size()), ours) << c.source;
        EXPECT_LE(text.size() - std::min(text.size(), ours.size()), 16u) << c.source;
        EXPECT_GE(text.size(), ours.size()) << c.source;
        if (d.m_part.IsPart()) {
            EXPECT_EQ(d.m_part.m_nReference, std::stoi(id8) >= 0 ? std::stoi(id8) : std::stoi(id16))
                << c.source;
            EXPECT_EQ(d.m_part.m_nSeq, std::stoi(seq)) << c.source;
            EXPECT_EQ(d.m_part.m_nCount, std::stoi(count)) << c.source;
        } else {
            EXPECT_LE(std::stoi(count), 0) << c.source;
        }
    }
    EXPECT_EQ(i, std::size(kCaptures));
    fs::remove_all(dir);
}

}  // namespace
