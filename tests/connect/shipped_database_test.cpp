// The database the build packs into bin/kvo.dat and kvo-device installs.
#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "connect/data/identification.h"
#include "platform/file.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvodat/kvodat_tool.h"

namespace fs = std::filesystem;
using namespace kvo::connect;

namespace {

const fs::path kBin = fs::path(KVO_BINARY_DIR) / "bin";
const fs::path kDataFile = kBin / "kvo.dat";
const fs::path kCurated = fs::path(KVO_SOURCE_DIR) / "data" / "kvodat.txt";
// What the build generates from the provider list and our records, and packs.
const fs::path kSource = fs::path(KVO_BINARY_DIR) / "data" / "kvodat-full.txt";

int Tool(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
    std::ostringstream o, e;
    int rc = kvo::kvodat::Main(args, o, e);
    if (out) *out = o.str();
    if (err) *err = e.str();
    return rc;
}

TEST(ShippedDatabase, BothProgramsReadItAndIdentifyTheSimulatorPhone) {
    std::string bytes = kvo::test::ReadHostFile(kDataFile);
    ASSERT_FALSE(bytes.empty());
    // '*' XOR the first key byte: the packed file really is scrambled.
    EXPECT_EQ(bytes[0], '\0');
    for (EDataReader reader : {EDataReader::Connect, EDataReader::Telmio}) {
        CConnectionData d;
        CDataLoadResult r = ParseDataFileBytes(bytes, reader, d);
        ASSERT_TRUE(r.Ok()) << kvo::Narrow(r.Message());
        EXPECT_GE(d.Phones().size(), 12u);
        EXPECT_GE(d.Isps().size(), 8u);
        const CPhoneModel* sp1 = IdentifyPhone(d, u"KVO Mobile", u"SP-1", reader);
        ASSERT_NE(sp1, nullptr);
        EXPECT_EQ(sp1->m_strName, u"KVO Mobile SP-1");
        const CIspEntry* isp = nullptr;
        EXPECT_EQ(IdentifyOperator(d, u"+COPS: 0,0,\"T-Mobile D\"", u"+CSCA: \"+491710760000\",145",
                                   reader, &isp),
                  EOperatorResult::Found);
        ASSERT_NE(isp, nullptr);
        EXPECT_EQ(isp->m_strName, u"T-Mobile D");
        EXPECT_EQ(IdentifyOperator(d, u"+COPS: 0,0,\"\"", u"+CSCA: \"+491710760000\",145", reader,
                                   &isp),
                  EOperatorResult::Found);
        EXPECT_EQ(isp->m_strName, u"T-Mobile D");
        EXPECT_NE(d.FindProfileByLine(u"Generic IrDA-modem"), nullptr);
    }
}

TEST(ShippedDatabase, RecordsAreUsable) {
    CConnectionData d;
    std::string bytes = kvo::test::ReadHostFile(kDataFile);
    ASSERT_TRUE(ParseDataFileBytes(bytes, EDataReader::Connect, d).Ok());
    for (const auto& p : d.Phones()) {
        std::string name = kvo::Narrow(p->m_strName);
        EXPECT_GT(p->m_nBaudRate, 0) << name;
        // connect identifies by an exact model reply; a phone that nothing identifies is dead.
        EXPECT_EQ(IdentifyPhone(d, p->m_strMakerId, p->m_strModelId, EDataReader::Connect),
                  p.get())
            << name;
        EXPECT_NE(p->m_strGprsInit.find(u"APN"), std::u16string::npos) << name;
        // "+CPIN" would lose its "PIN" to the placeholder; the template says "+cpin".
        EXPECT_EQ(p->m_strGprsInit.find(u"CPIN"), std::u16string::npos) << name;
        EXPECT_EQ(p->m_strGprsNumber.find(u'#'), std::u16string::npos) << name;
        EXPECT_FALSE(p->m_strGprsNumber.empty()) << name;
    }
    // Hundreds of operators of the provider list besides our own.
    EXPECT_GT(d.Isps().size(), 500u);
    for (const auto& e : d.Isps()) {
        std::string name = kvo::Narrow(e->m_strName);
        EXPECT_FALSE(e->m_strApn.empty()) << name;
        // The list knows no service centres: empty means the SIM's own, which a message
        // then carries as "no centre given".
        EXPECT_TRUE(e->m_strSmsCentre.empty() || e->m_strSmsCentre[0] == u'+') << name;
        EXPECT_EQ(d.FindIspByName(e->m_strName), e.get()) << name;
        // Circuit-switched data needs a number to dial.
        if (e->m_bCsdAllowed) {
            EXPECT_FALSE(e->m_strDialNumber.empty()) << name;
        }
    }
    // Our records survive the merge with what the list cannot know.
    CConnectionData own;
    ASSERT_TRUE(ParseConnectionData(DataFileText(kvo::test::ReadHostFile(kCurated)),
                                    EDataReader::Connect, own)
                    .Ok());
    for (const auto& o : own.Isps()) {
        const CIspEntry* e = d.FindIspByName(o->m_strName);
        ASSERT_NE(e, nullptr) << kvo::Narrow(o->m_strName);
        EXPECT_EQ(e->m_strSmsCentre, o->m_strSmsCentre);
        EXPECT_EQ(e->m_strDialNumber, o->m_strDialNumber);
        EXPECT_EQ(e->m_strOperator[0], o->m_strOperator[0]);
        EXPECT_FALSE(e->m_strOperator[0].empty());
    }
    for (const auto& m : d.Profiles()) {
        if (!m->m_strMakerId.empty()) {
            EXPECT_NE(m->m_pPhone, nullptr) << kvo::Narrow(m->m_strLineName);
        }
    }
}

TEST(ShippedDatabase, SourceKeepsItsCrLfAndPacksToTheBuiltFile) {
    for (const fs::path& p : {kCurated, kSource}) {
        std::string src = kvo::test::ReadHostFile(p);
        for (size_t i = 0; i < src.size(); ++i)
            if (src[i] == '\n') {
                ASSERT_TRUE(i > 0 && src[i - 1] == '\r') << p << ": bare LF at byte " << i;
            }
    }
    std::string packed = kvo::test::ReadHostFile(kSource);
    ScrambleDataFile(packed);
    EXPECT_TRUE(packed == kvo::test::ReadHostFile(kDataFile));
}

TEST(ShippedDatabase, TheBuiltProgramChecksIt) {
    for (const char* as : {"connect", "telmio"}) {
        std::string cmd = (kBin / "kvodat").string() + " check --as " + as + " " +
                          kDataFile.string();
        FILE* f = popen(cmd.c_str(), "r");
        ASSERT_NE(f, nullptr);
        char buf[256] = {};
        std::string out;
        while (fgets(buf, sizeof buf, f)) out += buf;
        EXPECT_EQ(pclose(f), 0) << cmd;
        EXPECT_EQ(out.rfind("phones ", 0), 0u) << out;
        EXPECT_NE(out.find(", operators "), std::string::npos) << out;
        EXPECT_NE(out.find(", modem profiles "), std::string::npos) << out;
    }
}

class KvodatTool : public kvo::test::DeviceTest {
protected:
    fs::path File(const char* name) { return m_device.Root() / name; }
};

TEST_F(KvodatTool, PackUnpackCheckAndDump) {
    std::string src = "*P\r\n#KVO Mobile#SP-1#9600#8#0#0#16#######KVO Mobile#SP-1#5####\r\n"
                      "*I\r\n*M\r\n#Line#COM9:#KVO Mobile#SP-1##\r\n*";
    kvo::test::WriteHostFile(File("src.txt"), src);
    ASSERT_EQ(Tool({"pack", File("src.txt"), File("kvo.dat")}), 0);
    EXPECT_NE(kvo::test::ReadHostFile(File("kvo.dat")), src);
    ASSERT_EQ(Tool({"unpack", File("kvo.dat"), File("back.txt")}), 0);
    EXPECT_EQ(kvo::test::ReadHostFile(File("back.txt")), src);

    std::string out;
    EXPECT_EQ(Tool({"check", File("kvo.dat")}, &out), 0);
    EXPECT_EQ(out, "phones 1, operators 0, modem profiles 1\n");
    EXPECT_EQ(Tool({"check", "--plain", "--as", "telmio", File("src.txt")}, &out), 0);
    EXPECT_EQ(Tool({"dump", File("kvo.dat")}, &out), 0);
    EXPECT_NE(out.find("KVO Mobile SP-1"), std::string::npos);
    EXPECT_NE(out.find("phone: KVO Mobile SP-1"), std::string::npos);
    EXPECT_NE(out.find("port: COM9:"), std::string::npos);
}

TEST_F(KvodatTool, CorruptFilesGiveTheProgramsMessage) {
    // Record line ended by LF alone.
    std::string lf = "*P\r\n#a#b#c#d#e#f#g#h#i#j#k#l#m#n#o#p#q#r#s#\n*I\r\n*M\r\n*";
    kvo::test::WriteHostFile(File("lf.txt"), lf);
    std::string out, err;
    EXPECT_EQ(Tool({"pack", File("lf.txt"), File("lf.dat")}, &out, &err), 1);
    EXPECT_NE(err.find("Corrupted data file. -23-3-"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(File("lf.dat")));
    ASSERT_EQ(Tool({"pack", "--force", File("lf.txt"), File("lf.dat")}), 0);
    EXPECT_EQ(Tool({"check", File("lf.dat")}, &out), 1);
    EXPECT_EQ(out, "Corrupted data file. -23-3-\n");
    EXPECT_EQ(Tool({"check", "--as", "telmio", File("lf.dat")}, &out), 1);
    EXPECT_EQ(out, "Corrupted data file. -24-\n");
    EXPECT_EQ(Tool({"dump", File("lf.dat")}, &out), 1);

    kvo::test::WriteHostFile(File("cut.txt"), "*P\r\n*I\r\n*M\r\n");
    EXPECT_EQ(Tool({"check", "--plain", File("cut.txt")}, &out), 1);
    EXPECT_EQ(out, "Corrupted data file. -40-\n");
    EXPECT_EQ(Tool({"check", "--plain", "--as", "telmio", File("cut.txt")}, &out), 1);
    EXPECT_NE(out.find("without a message"), std::string::npos);
}

TEST_F(KvodatTool, UsageErrorsExitTwo) {
    std::string out, err;
    EXPECT_EQ(Tool({}, &out, &err), 2);
    EXPECT_EQ(Tool({"frob"}), 2);
    EXPECT_EQ(Tool({"check"}), 2);
    EXPECT_EQ(Tool({"check", "--as", "dialer", "x"}), 2);
    EXPECT_EQ(Tool({"check", "a", "b"}), 2);
    EXPECT_EQ(Tool({"pack", "only-one"}), 2);
    EXPECT_EQ(Tool({"unpack", "a"}), 2);
    EXPECT_EQ(Tool({"--help"}, &out), 0);
    EXPECT_NE(out.find("kvodat check"), std::string::npos);
    EXPECT_EQ(Tool({"check", File("missing.dat")}, &out, &err), 1);
    EXPECT_NE(err.find("cannot read"), std::string::npos);
}

TEST_F(KvodatTool, DeviceCreateInstallsTheDatabaseOnce) {
    fs::path bin = m_device.Root() / "bin";
    kvo::test::WriteHostFile(bin / "kvo.dat", kvo::test::ReadHostFile(kDataFile));
    std::string error;
    ASSERT_TRUE(kvo::device::CreateDevice(bin, error)) << error;
    std::string installed;
    ASSERT_TRUE(ce::ReadFileBytes(kvo::InstallPath(u"kvo.dat"), installed));
    EXPECT_EQ(installed, kvo::test::ReadHostFile(kDataFile));
    CConnectionData d;
    EXPECT_TRUE(LoadConnectionData(d, EDataReader::Connect).Ok());

    // The device's own copy (an update, say) survives a second create.
    ASSERT_TRUE(ce::WriteFileAtomic(kvo::InstallPath(u"kvo.dat"), "mine"));
    ASSERT_TRUE(kvo::device::CreateDevice(bin, error)) << error;
    ASSERT_TRUE(ce::ReadFileBytes(kvo::InstallPath(u"kvo.dat"), installed));
    EXPECT_EQ(installed, "mine");
}

}  // namespace
