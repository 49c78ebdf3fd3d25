// kvodat import-providers on a hand-written provider list: what it reads, what it leaves out,
// how it joins our records, and which record identification then picks.
#include <gtest/gtest.h>

#include <sstream>

#include "common/narrow.h"
#include "connect/data/data_reader.h"
#include "connect/data/identification.h"
#include "tests/support/temp_device.h"
#include "tools/kvodat/kvodat_tool.h"
#include "tools/kvodat/provider_records.h"
#include "tools/kvodat/service_providers.h"

namespace fs = std::filesystem;
using namespace kvo::connect;
using namespace kvo::kvodat;

namespace {

const fs::path kSmall = fs::path(KVO_SOURCE_DIR) / "tests" / "data" / "providers" / "small.xml";

std::string Join(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += x + "\n";
    return s;
}

struct Imported {
    CImportResult result;
    std::vector<std::string> readWarnings;
    CConnectionData data;
};

void Import(std::string_view xml, std::string_view curated, Imported& out) {
    std::vector<CProvider> providers;
    std::string error;
    ASSERT_TRUE(ReadServiceProviders(xml, providers, out.readWarnings, error)) << error;
    ASSERT_TRUE(BuildDatabaseSource(providers, curated, out.result, error)) << error;
    for (EDataReader reader : {EDataReader::Telmio, EDataReader::Connect}) {
        out.data.Clear();
        CDataLoadResult r =
            ParseConnectionData(DataFileText(out.result.m_strSource), reader, out.data);
        ASSERT_TRUE(r.Ok()) << kvo::Narrow(r.Message()) << "\n" << out.result.m_strSource;
    }
}

std::string Identify(const CConnectionData& d, std::u16string cops, EDataReader rule) {
    const CIspEntry* isp = nullptr;
    IdentifyOperator(d, u"+COPS: 0,0,\"" + cops + u"\"", u"", rule, &isp);
    return isp ? kvo::Narrow(isp->m_strName) : "(none)";
}

TEST(ProviderImport, ReadsEveryElementAndLeavesOutWhatCannotBeStored) {
    Imported im;
    ASSERT_NO_FATAL_FAILURE(Import(kvo::test::ReadHostFile(kSmall), "", im));
    // Primary operators first, then the rest in the list's order; MMS and WAP access points,
    // duplicates and providers without a usable one give nothing.
    std::string expected =
        "*Phones\r\n*ISP\r\n"
        "#Netz Eins####web.eins#10.1.1.1#10.1.1.2#Netz Eins#Netz Eins GmbH#26207#26208###"
        "#web#pa<ss#no####\r\n"
        "#Netz Eins Prepaid####prepaid.eins############no####\r\n"
        "#Kiosk Mobil####internet.kiosk###Kiosk Mobil#26207########no####\r\n"
        "#L\xF3" "dz Mobile - \xDC" "berall####net.lodz###L\xF3" "dz Mobile - \xDC" "berall#262042"
        "########no####\r\n"
        // "Globus" names operators in two countries: never matched by that name.
        "#Globus####globus.de###26245#########no####\r\n"
        "#Globus (RU)####globus.ru###25045#########no####\r\n"
        "#Many Nets####many.ru###Many Nets#25001#25002#25003#25004#25005####no####\r\n"
        "#Many Nets (2)####many.ru###25006#25007#25008#######no####\r\n"
        "*Modems\r\n*";
    EXPECT_EQ(im.result.m_strSource, expected);
    EXPECT_EQ(im.result.m_nImported, 8);
    EXPECT_EQ(im.result.m_nCurated, 0);
    // "pass#word", a Cyrillic password, a provider with no Latin name.
    EXPECT_EQ(im.result.m_nSkipped, 3) << Join(im.result.m_warnings);
    std::string warnings = Join(im.readWarnings) + Join(im.result.m_warnings);
    EXPECT_NE(warnings.find("\"26\"/\"x1\""), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("pass#word.eins"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("secret.eins"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("fd00::1"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("Мегасеть"), std::string::npos) << warnings;
}

TEST(ProviderImport, IdentificationPicksTheNetworksOwnOperatorByIdAndNamesOnlyWhenUnambiguous) {
    Imported im;
    ASSERT_NO_FATAL_FAILURE(Import(kvo::test::ReadHostFile(kSmall), "", im));
    for (EDataReader rule : {EDataReader::Connect, EDataReader::Telmio}) {
        // The virtual operator is listed first, yet the network's id finds its operator.
        EXPECT_EQ(Identify(im.data, u"26207", rule), "Netz Eins");
        EXPECT_EQ(Identify(im.data, u"26208", rule), "Netz Eins");
        EXPECT_EQ(Identify(im.data, u"Netz Eins GmbH", rule), "Netz Eins");
        EXPECT_EQ(Identify(im.data, u"Kiosk Mobil", rule), "Kiosk Mobil");
        EXPECT_EQ(Identify(im.data, u"Globus", rule), "(none)");
        EXPECT_EQ(Identify(im.data, u"26245", rule), "Globus");
        EXPECT_EQ(Identify(im.data, u"25045", rule), "Globus (RU)");
        EXPECT_EQ(Identify(im.data, u"25008", rule), "Many Nets (2)");
        EXPECT_EQ(Identify(im.data, u"Many Nets", rule), "Many Nets");
        EXPECT_EQ(Identify(im.data, u"26243", rule), "(none)");  // MMS only
    }
}

// Our records: a network operator known by its network id and a virtual operator of the same
// network known by its name; one the list does not know.
const char kCurated[] =
    "*Phones\r\n#KVO Mobile#SP-1#115200#8#0#0#16#######KVO Mobile#SP-1#50####\r\n"
    "*ISP\r\n"
    "#Eins D#49#170#1234#old.apn#1.2.3.4##EINS-D#26207#####+49170000#olduser#oldpw#####\r\n"
    "#Kiosk#49#171#99####KIOSK#26207#####+49171000###no####\r\n"
    "#Elsewhere####x.apn###Else#99999#####+1555#u#p#no#no#no#yes#\r\n"
    "*Modems\r\n#Line#COM9:#KVO Mobile#SP-1##\r\n*trailing text";

TEST(ProviderImport, MergeKeepsOurRecordsAndTakesTheListsAccessData) {
    Imported im;
    std::string xml = kvo::test::ReadHostFile(kSmall);
    ASSERT_NO_FATAL_FAILURE(Import(xml, "", im));
    Imported merged;
    ASSERT_NO_FATAL_FAILURE(Import(xml, kCurated, merged));
    const std::string& s = merged.result.m_strSource;
    // Phone and modem tables byte for byte, our records first.
    EXPECT_EQ(s.rfind("*Phones\r\n#KVO Mobile#SP-1#115200#8#0#0#16#######KVO Mobile#SP-1#50####\r\n"
                      "*ISP\r\n#Eins D#",
                      0),
              0u)
        << s;
    EXPECT_TRUE(s.ends_with("*Modems\r\n#Line#COM9:#KVO Mobile#SP-1##\r\n*trailing text"));
    EXPECT_EQ(merged.result.m_nCurated, 3);
    EXPECT_EQ(merged.result.m_nJoined, 2);

    const CConnectionData& d = merged.data;
    ASSERT_GE(d.Isps().size(), 3u);
    const CIspEntry& eins = *d.Isps()[0];
    // Dial-in, service centre and network names are ours; access point, login and name
    // servers the list's.
    EXPECT_EQ(eins.m_strName, u"Eins D");
    EXPECT_EQ(eins.m_strCountryCode, u"49");
    EXPECT_EQ(eins.m_strDialNumber, u"1234");
    EXPECT_EQ(eins.m_strSmsCentre, u"+49170000");
    EXPECT_EQ(eins.m_strApn, u"web.eins");
    EXPECT_EQ(eins.m_strUser, u"web");
    EXPECT_EQ(eins.m_strPassword, u"pa<ss");
    EXPECT_EQ(eins.m_dnsPrimary, (IpAddress{10, 1, 1, 1}));
    EXPECT_EQ(eins.m_dnsSecondary, (IpAddress{10, 1, 1, 2}));
    EXPECT_EQ(eins.m_strOperator[0], u"EINS-D");
    EXPECT_EQ(eins.m_strOperator[1], u"26207");
    EXPECT_EQ(eins.m_strOperator[2], u"26208");
    EXPECT_TRUE(eins.m_bCsdAllowed);
    // The virtual operator joins by its name, not the network's operator.
    const CIspEntry& kiosk = *d.Isps()[1];
    EXPECT_EQ(kiosk.m_strApn, u"internet.kiosk");
    EXPECT_EQ(kiosk.m_strOperator[0], u"KIOSK");
    EXPECT_EQ(kiosk.m_strOperator[1], u"26207");
    EXPECT_EQ(kiosk.m_strSmsCentre, u"+49171000");
    // Unknown to the list: kept as it was, switches included.
    const CIspEntry& other = *d.Isps()[2];
    EXPECT_EQ(other.m_strApn, u"x.apn");
    EXPECT_FALSE(other.m_bGprsAllowed);
    EXPECT_FALSE(other.m_bSwCompression);
    EXPECT_TRUE(other.m_bHeaderCompression);
    EXPECT_EQ(d.FindIspByName(u"Netz Eins"), nullptr);  // its first access point joined ours
    EXPECT_NE(d.FindIspByName(u"Netz Eins Prepaid"), nullptr);
    EXPECT_EQ(d.FindIspByName(u"Kiosk Mobil"), nullptr) << s;
    for (EDataReader rule : {EDataReader::Connect, EDataReader::Telmio}) {
        EXPECT_EQ(Identify(d, u"26207", rule), "Eins D");  // ours come first
        EXPECT_EQ(Identify(d, u"EINS-D", rule), "Eins D");
        EXPECT_EQ(Identify(d, u"Else", rule), "Elsewhere");
        const CIspEntry* isp = nullptr;
        EXPECT_EQ(IdentifyOperator(d, u"", u"+CSCA: \"+49171000\",145", rule, &isp),
                  EOperatorResult::Found);
        EXPECT_EQ(isp, &kiosk);
    }
    EXPECT_EQ(merged.result.m_nImported + merged.result.m_nJoined, im.result.m_nImported);
}

TEST(ProviderImport, RefusesWhatIsNotAProviderList) {
    std::vector<CProvider> p;
    std::vector<std::string> w;
    std::string error;
    EXPECT_FALSE(ReadServiceProviders("", p, w, error));
    EXPECT_FALSE(ReadServiceProviders("<serviceproviders><country>", p, w, error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    EXPECT_FALSE(ReadServiceProviders("<html/>", p, w, error));
    EXPECT_NE(error.find("serviceproviders"), std::string::npos) << error;
    // Entities of its own: the classic way to make a small file expand without end.
    std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
        "<serviceproviders><country code=\"x\"><provider><name>&b;</name></provider></country>"
        "</serviceproviders>";
    EXPECT_FALSE(ReadServiceProviders(bomb, p, w, error));
    EXPECT_NE(error.find("entities"), std::string::npos) << error;
    // An external entity is never fetched or read.
    std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE s SYSTEM \"file:///etc/passwd\">"
        "<serviceproviders><country code=\"x\"><provider><name>&x;</name></provider></country>"
        "</serviceproviders>";
    EXPECT_FALSE(ReadServiceProviders(external, p, w, error));

    CImportResult r;
    EXPECT_FALSE(BuildDatabaseSource({}, "*Phones\r\n#cut", r, error));
    EXPECT_NE(error.find("Corrupted data file."), std::string::npos) << error;
}

TEST(ProviderImport, TextConversionToTheFilesCodePage) {
    std::string out;
    EXPECT_TRUE(ToFileText("Łódź – “Ș” …", true, out));
    EXPECT_EQ(out, "L\xF3" "dz - \"S\" ...");
    EXPECT_FALSE(ToFileText("Łódź", false, out));  // a login is exact or nothing
    EXPECT_TRUE(ToFileText("caf\xC3\xA9", false, out));
    EXPECT_EQ(out, "caf\xE9");
    for (const char* bad : {"a#b", "a\nb", "a\rb", "\x7F", "\xC2\x85", "Газ", "\xC3", "\xE2\x82",
                            "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(ToFileText(bad, true, out)) << bad;
}

class ImportCommand : public kvo::test::DeviceTest {
protected:
    int Tool(std::vector<std::string> args) {
        std::ostringstream o, e;
        int rc = Main(args, o, e);
        m_out = o.str();
        m_err = e.str();
        return rc;
    }
    fs::path File(const char* name) { return m_device.Root() / name; }
    std::string m_out, m_err;
};

TEST_F(ImportCommand, WritesASourceThatPacksAndSaysWhatItLeftOut) {
    kvo::test::WriteHostFile(File("own.txt"), kCurated);
    ASSERT_EQ(Tool({"import-providers", "--merge", File("own.txt"), "--out", File("full.txt"),
                    kSmall.string()}),
              0)
        << m_err;
    EXPECT_EQ(m_out, "");
    EXPECT_NE(m_err.find("pass#word.eins"), std::string::npos) << m_err;
    EXPECT_NE(m_err.find("6 operators from 6 providers"), std::string::npos) << m_err;
    EXPECT_NE(m_err.find("3 of our own (2 joined with the list), 3 left out"), std::string::npos)
        << m_err;
    ASSERT_EQ(Tool({"pack", File("full.txt"), File("kvo.dat")}), 0) << m_err;
    ASSERT_EQ(Tool({"check", "--as", "telmio", File("kvo.dat")}), 0);
    EXPECT_EQ(m_out, "phones 1, operators 9, modem profiles 1\n");
    // Without --out the source goes to standard output.
    ASSERT_EQ(Tool({"import-providers", kSmall.string()}), 0);
    EXPECT_EQ(m_out.rfind("*Phones\r\n*ISP\r\n#Netz Eins#", 0), 0u);

    EXPECT_EQ(Tool({"import-providers"}), 2);
    EXPECT_EQ(Tool({"import-providers", "a.xml", "b.xml"}), 2);
    EXPECT_EQ(Tool({"import-providers", "--frob", kSmall.string()}), 2);
    EXPECT_EQ(Tool({"import-providers", "--merge", File("none.txt"), kSmall.string()}), 1);
    EXPECT_NE(m_err.find("cannot read"), std::string::npos) << m_err;
    kvo::test::WriteHostFile(File("bad.xml"), "<serviceproviders>\n<country>\x1b[2J");
    EXPECT_EQ(Tool({"import-providers", "--out", File("bad.txt"), File("bad.xml")}), 1);
    EXPECT_NE(m_err.find("line 2"), std::string::npos) << m_err;
    EXPECT_EQ(m_err.find('\x1b'), std::string::npos) << m_err;
    EXPECT_FALSE(fs::exists(File("bad.txt")));
    kvo::test::WriteHostFile(File("bad.txt"), "*P\r\n#cut");
    EXPECT_EQ(Tool({"import-providers", "--merge", File("bad.txt"), kSmall.string()}), 1);
    EXPECT_NE(m_err.find("does not parse"), std::string::npos) << m_err;
}

}  // namespace
