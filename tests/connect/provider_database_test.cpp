// The shipped database with every operator of the installed provider list: it loads in both
// programs, holds nothing broken, and the client's identification against the simulated
// phone finds real providers by their network id and, where it is unambiguous, their name.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/narrow.h"
#include "common/user_interface.h"
#include "connect/data/data_reader.h"
#include "kvocomm/kvocomm.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/session/telmio_doc.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvodat/host_file.h"
#include "tools/kvodat/provider_records.h"
#include "tools/kvodat/service_providers.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;
using namespace kvo;
using namespace kvo::connect;
using namespace kvo::kvodat;

namespace {

const fs::path kList = "/usr/share/mobile-broadband-provider-info/serviceproviders.xml";
const fs::path kCurated = fs::path(KVO_SOURCE_DIR) / "data" / "kvodat.txt";

std::vector<CProvider> ReadList() {
    std::string xml, error;
    std::vector<CProvider> providers;
    std::vector<std::string> warnings;
    EXPECT_TRUE(ReadHostFile(kList.string(), xml, error)) << error;
    EXPECT_TRUE(ReadServiceProviders(xml, providers, warnings, error)) << error;
    return providers;
}

TEST(InstalledProviderList, EveryRecordLoadsInBothProgramsAndNoFieldIsBroken) {
    std::vector<CProvider> providers = ReadList();
    ASSERT_GT(providers.size(), 300u);
    for (const char* curated : {"", "merge"}) {
        CImportResult r;
        std::string error;
        std::string own = *curated ? test::ReadHostFile(kCurated) : std::string();
        ASSERT_TRUE(BuildDatabaseSource(providers, own, r, error)) << error;
        EXPECT_GT(r.m_nImported, 500);
        // Every record is one line of printable single-byte text.
        for (unsigned char c : r.m_strSource) {
            if (c == '\r' || c == '\n') continue;
            ASSERT_TRUE(c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)) << int(c);
        }
        size_t lines = 0;
        for (size_t i = 0; i + 1 < r.m_strSource.size(); ++i) {
            if (r.m_strSource[i] != '\n') continue;
            ASSERT_EQ(r.m_strSource[i - 1], '\r');
            ++lines;
        }
        for (EDataReader reader : {EDataReader::Connect, EDataReader::Telmio}) {
            CConnectionData d;
            CDataLoadResult res = ParseConnectionData(DataFileText(r.m_strSource), reader, d);
            ASSERT_TRUE(res.Ok()) << Narrow(res.Message());
            // One record a line: no field swallowed a line end.
            EXPECT_EQ(d.Phones().size() + d.Isps().size() + d.Profiles().size() + 3, lines);
            std::set<std::u16string> names;
            for (const auto& e : d.Isps()) {
                EXPECT_FALSE(e->m_strApn.empty()) << Narrow(e->m_strName);
                EXPECT_TRUE(names.insert(e->m_strName).second) << Narrow(e->m_strName);
            }
        }
    }
}

// The first internet access point a provider lists: what a user of that provider needs.
std::string FirstInternetApn(const CProvider& p) {
    for (const auto& a : p.m_apns)
        if (a.m_strUsage.empty() || a.m_strUsage.find("internet") != std::string::npos)
            return a.m_strValue;
    return {};
}

struct Sample {
    std::string country, name, id, apn;
    bool nameUnique = false;
};

// Per country the first provider whose network id no other provider shares; where a virtual
// operator shares it the rule of the README decides, which the hand-written list tests.
std::vector<Sample> Samples(const std::vector<CProvider>& providers) {
    std::map<std::string, int> idUse;
    std::map<std::string, std::set<std::string>> nameCountries;
    for (const auto& p : providers) {
        if (FirstInternetApn(p).empty()) continue;
        for (const auto& id : p.m_networkIds) ++idUse[id];
        nameCountries[p.m_names.front().m_strText].insert(p.m_strCountry);
    }
    std::vector<Sample> out;
    for (const char* country : {"de", "fr", "it", "es", "pl", "se", "us", "br", "in", "jp", "za",
                                "au", "ch", "gb"}) {
        for (const auto& p : providers) {
            std::string apn = FirstInternetApn(p);
            if (p.m_strCountry != country || apn.empty() || p.m_networkIds.empty()) continue;
            const std::string& id = p.m_networkIds.front();
            std::string ascii;
            if (idUse[id] != 1 || !ToFileText(apn, false, ascii) ||
                ascii.find(' ') != std::string::npos)
                continue;
            const std::string& name = p.m_names.front().m_strText;
            bool plain = ToFileText(name, false, ascii) && name.find(' ') == std::string::npos;
            out.push_back({country, name, id, apn, plain && nameCountries[name].size() == 1});
            break;
        }
    }
    return out;
}

class ProviderIdentification : public test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        ce::SetAppName(u"telmio");
    }

    // One identification as a client session makes it, against a phone on this network.
    std::string Identify(const std::string& name, const std::string& id, bool numeric) {
        phone::Scenario s = phone::DefaultScenario();
        s.phone.strOperator = name;
        s.phone.strOperatorCode = id;
        s.phone.strSmsc = "+10000000000";  // no centre of ours: only the network identifies
        phone::CPhoneSim sim(s);
        std::string error;
        if (!sim.Start((m_device.Root() / "dev" / "COM3").string(), 0, error))
            return "sim: " + error;
        CRecordingUi ui;
        CTelmioDoc doc(ui);
        if (!doc.OnNewDocument(false)) return "start-up failed";
        doc.Comm().StartSAR();
        std::string result;
        if (doc.OpenPhone()) {
            std::u16string reply;
            // A phone set to report networks by number, as some are.
            if (numeric) doc.Comm().SendAndReceive("AT+COPS=3,2", reply, 0, 10);
            result = doc.IdentifyPhone() ? Narrow(doc.Operator().m_strApn)
                                         : "not identified: " + Narrow(doc.Errors().Text());
        } else {
            result = "no phone";
        }
        doc.Comm().ClosePort();
        doc.Comm().StopSAR();
        sim.Stop();
        return result;
    }
};

TEST_F(ProviderIdentification, RealProvidersAreFoundByNetworkIdAndByAnUnambiguousName) {
    std::vector<Sample> samples = Samples(ReadList());
    ASSERT_GE(samples.size(), 10u);
    int byName = 0;
    for (const auto& s : samples) {
        EXPECT_EQ(Identify("", s.id, true), s.apn) << s.country << " " << s.name << " " << s.id;
        if (s.nameUnique) {
            ++byName;
            EXPECT_EQ(Identify(s.name, s.id, false), s.apn) << s.country << " " << s.name;
        }
    }
    EXPECT_GE(byName, 3);
}

TEST_F(ProviderIdentification, OurNetworkNamesStillFindOurRecords) {
    // The simulator's default network, by the name it reports and by its number.
    std::string apn = Identify("T-Mobile D", "26201", false);
    EXPECT_EQ(Identify("", "26201", true), apn);
    CConnectionData d;
    ASSERT_TRUE(LoadConnectionData(d, EDataReader::Telmio).Ok());
    ASSERT_NE(d.FindIspByName(u"T-Mobile D"), nullptr);
    EXPECT_EQ(apn, Narrow(d.FindIspByName(u"T-Mobile D")->m_strApn));
}

}  // namespace
