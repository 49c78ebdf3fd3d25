// What EncodeSubmit builds, read back by a PDU decoder that is not ours (python3-gammu).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "common/narrow.h"
#include "platform/text.h"
#include "telmio/sms/sms_pdu.h"

using namespace kvo;
namespace fs = std::filesystem;

namespace {

constexpr char kPython[] = "/usr/bin/python3";

// One line per PDU in; per PDU out: number, tab, class, tab, text as UTF-8 hex.
constexpr char kDecoder[] = R"(import sys, gammu
for line in open(sys.argv[1]):
    line = line.strip()
    try:
        r = gammu.DecodePDU(bytes.fromhex(line), True)
        print(r["Number"] + "\t" + str(r["Class"]) + "\t" + r["Text"].encode("utf-8").hex())
    except Exception as e:
        print("ERROR\t" + str(e).replace("\t", " "))
)";

bool HaveGammu() {
    std::string cmd = std::string(kPython) + " -c 'import gammu' >/dev/null 2>&1";
    return fs::exists(kPython) && std::system(cmd.c_str()) == 0;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

TEST(PduIndependentDecoder, ReadsBackRandomSubmits) {
    if (!HaveGammu())
        GTEST_SKIP() << "python3-gammu is not installed (apt-get install python3-gammu); "
                        "the independent PDU decoder check is skipped";
    CSmsPdu pdu;
    std::mt19937 rng(20261208);
    struct CCase {
        std::string number;
        std::u16string text;
        bool flash;
    };
    std::vector<CCase> cases;
    fs::path dir = fs::temp_directory_path() / ("kvo-pdu-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream in(dir / "in.txt");
    for (int i = 0; i < 300; ++i) {
        CCase c;
        if (rng() % 2)
            c.number = "+";
        size_t digits = 1 + rng() % 20;
        for (size_t d = 0; d < digits; ++d) c.number.push_back(static_cast<char>('0' + rng() % 10));
        size_t len = i < 161 ? i : rng() % 161;
        std::string codes;
        for (size_t k = 0; k < len; ++k) {
            // The escape starts an extension character for a full decoder; code 9 is shown
            // differently on the handheld.
            char code;
            do code = static_cast<char>(rng() % 128);
            while (code == 27 || code == 9);
            codes.push_back(code);
        }
        c.flash = rng() % 4 == 0;
        c.text = Widen(codes);
        pdu.GsmToUnicode(c.text);
        std::string hex;
        std::string centre = rng() % 2 ? "" : "+49" + std::to_string(rng() % 100000);
        int octets = pdu.EncodeSubmit(hex, codes, c.number, centre, c.flash);
        size_t centreOctets = centre.empty() ? 1 : 2 + centre.size() / 2;
        ASSERT_EQ(octets, static_cast<int>(hex.size() / 2 - centreOctets)) << c.number;
        in << hex << "\n";
        cases.push_back(c);
    }
    in.close();
    std::ofstream(dir / "decode.py") << kDecoder;
    std::string cmd = std::string(kPython) + " " + (dir / "decode.py").string() + " " +
                      (dir / "in.txt").string() + " > " + (dir / "out.txt").string();
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream out(dir / "out.txt");
    std::string line;
    size_t i = 0;
    while (std::getline(out, line) && i < cases.size()) {
        std::istringstream fields(line);
        std::string number, cls, textHex;
        std::getline(fields, number, '\t');
        std::getline(fields, cls, '\t');
        std::getline(fields, textHex, '\t');
        const CCase& c = cases[i++];
        ASSERT_NE(number, "ERROR") << cls << " for case " << i;
        EXPECT_EQ(number, c.number) << i;
        EXPECT_EQ(cls, c.flash ? "0" : "-1") << i;
        EXPECT_EQ(ce::FromUtf8(FromHex(textHex)), c.text) << i;
    }
    EXPECT_EQ(i, cases.size());
    fs::remove_all(dir);
}

}  // namespace
