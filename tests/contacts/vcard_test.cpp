// vCard reading and writing, cross-checked with an independent implementation (vobject).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/vcard.h"
#include "tests/support/temp_device.h"

namespace {

using ce::ParseVCards;
using ce::VCardContact;
using ce::VCardProblem;

std::vector<VCardContact> Parse(std::string_view text,
                                std::vector<VCardProblem>* problems = nullptr) {
    std::vector<VCardProblem> p;
    auto cards = ParseVCards(text, p);
    if (problems)
        *problems = p;
    else
        EXPECT_TRUE(p.empty()) << p[0].strWhat;
    return cards;
}

TEST(VCard, Version21QuotedPrintableCharsetsAndBareTypes) {
    // As an old phone's desktop suite exports: Latin-1 bytes, soft line breaks, bare types.
    auto cards = Parse(
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen\r\n"
        "ORG;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:B=C3=A4ckerei Sch=\r\n"
        "=C3=B6n\r\n"
        "TEL;CELL;VOICE:+49 171 1234567\r\n"
        "TEL;WORK;VOICE:(030) 123-45\r\n"
        "TEL;HOME:030 999\r\n"
        "TEL;CAR:0172 1\r\n"
        "TEL;WORK;FAX:030 124\r\n"
        "NOTE;QUOTED-PRINTABLE:line one=0D=0Aline two\r\n"
        "END:VCARD\r\n");
    ASSERT_EQ(cards.size(), 1u);
    const VCardContact& c = cards[0];
    EXPECT_EQ(c.lastName, "Müller");
    EXPECT_EQ(c.firstName, "Jürgen");
    EXPECT_EQ(c.companyName, "Bäckerei Schön");
    EXPECT_EQ(c.mobile, "+49 171 1234567");
    EXPECT_EQ(c.business, "(030) 123-45");
    EXPECT_EQ(c.home, "030 999");
    EXPECT_EQ(c.car, "0172 1");
    EXPECT_EQ(c.businessFax, "030 124");
    ASSERT_EQ(c.extraLines.size(), 1u);
    EXPECT_EQ(c.extraLines[0].substr(0, 5), "NOTE;");
}

TEST(VCard, Versions30And40FoldedLinesEscapesAndUris) {
    auto cards = Parse(
        "BEGIN:VCARD\nVERSION:3.0\nUID:abc-1\nN:Miller;Anna;;;\nORG:Acme\\, Inc.;Sales\n"
        "TEL;TYPE=cell,voice:+4917\n 11\nitem1.TEL;TYPE=WORK:0301\nEND:VCARD\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:42\r\nFN:Only Formatted\r\n"
        "TEL;VALUE=uri;TYPE=\"cell,text\":tel:+49-170\r\nTEL;VALUE=uri;TYPE=home:tel:030\r\nEND:"
        "VCARD\r\n");
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].uid, "abc-1");
    EXPECT_EQ(cards[0].companyName, "Acme, Inc.");
    EXPECT_EQ(cards[0].mobile, "+491711");
    EXPECT_EQ(cards[0].business, "0301");
    EXPECT_EQ(cards[1].version, "4.0");
    EXPECT_EQ(cards[1].lastName, "Only Formatted");  // no N: the formatted name shows
    EXPECT_EQ(cards[1].mobile, "+49-170");
    EXPECT_EQ(cards[1].home, "030");
}

TEST(VCard, ADamagedCardIsSkippedAndTheOthersRead) {
    std::vector<VCardProblem> problems;
    auto cards = Parse(
        "BEGIN:VCARD\nVERSION:3.0\nN:One;;;;\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:3.0\nN:Two;;;;\nthis line has no colon\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:9.9\nN:Three;;;;\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:2.1\nN:Four;;;;\nAGENT:\nBEGIN:VCARD\nVERSION:2.1\nN:Agent\n"
        "END:VCARD\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:3.0\nN:Unended;;;;\n",
        &problems);
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].lastName, "One");
    EXPECT_EQ(cards[1].lastName, "Four");
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].nCard, 2u);
    EXPECT_EQ(problems[1].nCard, 3u);
    EXPECT_EQ(problems[2].strWhat, "no END:VCARD");
}

TEST(VCard, WrittenCardsFoldWithinCharactersAndReadBack) {
    VCardContact c;
    c.uid = "u-1";
    c.lastName =
        "Sch\xC3\xA4"
        "fer; Dr.";
    c.firstName = std::string(40, 'x') + "\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC" + std::string(40, 'y');
    c.companyName = "A, B \\ C\nD";
    c.mobile = "+49 171";
    c.car = "0172";
    std::string text = ce::FormatVCard(c);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 75u);
        // A continuation never starts inside a UTF-8 sequence.
        if (text[start] == ' ') {
            EXPECT_NE(static_cast<unsigned char>(text[start + 1]) & 0xC0, 0x80);
        }
        start = end + 2;
    }
    auto back = Parse(text);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].lastName, c.lastName);
    EXPECT_EQ(back[0].firstName, c.firstName);
    EXPECT_EQ(back[0].companyName, c.companyName);
    EXPECT_EQ(back[0].mobile, c.mobile);
    EXPECT_EQ(back[0].car, c.car);
    EXPECT_EQ(back[0].version, "3.0");
}

// Runs a Python snippet with vobject; its standard output.
std::string Python(const std::string& script, const std::filesystem::path& dir) {
    std::filesystem::path file = dir / "check.py";
    std::ofstream(file) << script;
    std::string cmd = "/usr/bin/python3 '" + file.string() + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && fgets(buf, sizeof buf, p)) out += buf;
    if (p)
        pclose(p);
    return out;
}

TEST(VCard, AnIndependentReaderAgreesBothWays) {
    kvo::test::TempDevice dir;
    VCardContact c;
    c.uid = "cross-1";
    c.lastName = "M\xC3\xBCller, Jr.";
    c.firstName = "Anna;Maria";
    c.companyName = std::string(90, 'O');
    c.mobile = "+49 171 1";
    c.business = "030 2";
    c.home = "030 3";
    c.car = "0172 4";
    std::ofstream(dir.Root() / "ours.vcf", std::ios::binary) << ce::FormatVCard(c);
    std::string out = Python(R"(import vobject, sys, os
d = os.path.dirname(os.path.abspath(__file__))
card = vobject.readOne(open(os.path.join(d, 'ours.vcf'), encoding='utf-8').read())
print(card.n.value.family + '|' + card.n.value.given + '|' + card.org.value[0] + '|' + card.uid.value)
for t in card.contents['tel']:
    print(','.join(sorted(x.upper() for x in t.params.get('TYPE', []))) + '=' + t.value)
theirs = vobject.vCard()
theirs.add('n').value = vobject.vcard.Name(family='O\'Brien; X', given='Se\u00e1n')
theirs.add('fn').value = 'Se\u00e1n O\'Brien'
theirs.add('org').value = ['Long ' * 30]
tel = theirs.add('tel'); tel.value = '+353 1'; tel.type_param = 'CELL'
tel = theirs.add('tel'); tel.value = '01 2'; tel.type_param = 'HOME'
open(os.path.join(d, 'theirs.vcf'), 'w', encoding='utf-8').write(theirs.serialize())
)",
                             dir.Root());
    EXPECT_EQ(out,
              "M\xC3\xBCller, Jr.|Anna;Maria|" + std::string(90, 'O') +
                  "|cross-1\nCELL=+49 171 1\nVOICE,WORK=030 2\nHOME,VOICE=030 3\nCAR=0172 4\n");
    std::ifstream in(dir.Root() / "theirs.vcf", std::ios::binary);
    std::string theirs((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto cards = Parse(theirs);
    ASSERT_EQ(cards.size(), 1u) << theirs;
    EXPECT_EQ(cards[0].lastName, "O'Brien; X");
    EXPECT_EQ(cards[0].firstName, "Se\xC3\xA1n");
    EXPECT_EQ(cards[0].companyName, [] {
        std::string s;
        for (int i = 0; i < 30; ++i) s += "Long ";
        return s;
    }());
    EXPECT_EQ(cards[0].mobile, "+353 1");
    EXPECT_EQ(cards[0].home, "01 2");
}

}  // namespace
