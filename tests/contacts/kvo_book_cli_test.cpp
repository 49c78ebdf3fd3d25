// `kvo pb`, `kvo contacts`, `kvo groups` and `kvo sms send --group` on a ready device with
// the simulated phone on COM3:.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/install_dir.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo/commands.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;

namespace {

const char kPhone[] = R"([phonebook SM]
range = 1-5
number_length = 20
name_length = 12
1 = +491711,145,Anna Miller
2 = 0301234,129,Office
[phonebook ME]
range = 1-10
)";

class KvoBookCliTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        kvo::phone::Scenario s;
        ASSERT_TRUE(kvo::phone::ParseScenario(kPhone, s, error)) << error;
        m_sim = std::make_unique<kvo::phone::CPhoneSim>(s);
        ASSERT_TRUE(m_sim->Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    }
    void TearDown() override { m_sim->Stop(); }
    int Run(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return kvo::cli::Main(args, m_out, m_err);
    }
    std::string Out() { return m_out.str(); }
    std::unique_ptr<kvo::phone::CPhoneSim> m_sim;
    std::ostringstream m_out, m_err;
};

TEST_F(KvoBookCliTest, PhonebookSyncListAddEditDelete) {
    ASSERT_EQ(Run({"pb", "sync"}), 0) << m_err.str();
    EXPECT_EQ(Out(), "Synchronization completed successfully\n");
    ASSERT_EQ(Run({"pb", "list"}), 0);
    EXPECT_EQ(Out(), "SM\t1\tAnna Miller\t+491711\nSM\t2\tOffice\t0301234\n");

    ASSERT_EQ(Run({"pb", "add", "Bernd", "+4930"}), 0) << m_err.str();
    EXPECT_EQ(Out(), "SM 3\n");
    ASSERT_EQ(Run({"pb", "add", "--storage", "ME", "Carla", "+4940"}), 0) << m_err.str();
    EXPECT_EQ(Out(), "ME 1\n");
    EXPECT_EQ(Run({"pb", "add", "A name far too long", "1"}), 1);
    EXPECT_NE(m_err.str().find("12 characters"), std::string::npos);
    EXPECT_EQ(Run({"pb", "add", "X", "12 34"}), 1);
    EXPECT_EQ(Run({"pb", "add", "X"}), 2);
    ASSERT_EQ(Run({"pb", "edit", "SM", "2", "Office B", "0301235"}), 0) << m_err.str();
    ASSERT_EQ(Run({"pb", "delete", "SM", "1"}), 0);
    EXPECT_EQ(Run({"pb", "delete", "SM", "1"}), 1);  // already deleted
    EXPECT_EQ(Run({"pb", "delete", "XX", "1"}), 2);
    {
        // A phone session holds the lock: a change now could be saved over, so it waits, then
        // refuses.
        ce::File held = ce::File::Open(kvo::InstallPath(u"kvo.lock"), ce::GENERIC_WRITE,
                                       ce::FILE_SHARE_NONE, ce::CREATE_ALWAYS);
        ASSERT_TRUE(held);
        EXPECT_EQ(Run({"pb", "add", "Late", "+4999"}), 1);
        EXPECT_NE(m_err.str().find("phone session is running"), std::string::npos);
    }
    ASSERT_EQ(Run({"pb", "sync"}), 0) << m_err.str();

    kvo::phone::Scenario state = m_sim->State();
    const auto& sm = kvo::phone::FindPhonebook(state, "SM")->entries;
    EXPECT_FALSE(sm.count(1));
    EXPECT_EQ(sm.at(2).strName, "Office B");
    EXPECT_EQ(sm.at(3).strNumber, "+4930");
    EXPECT_EQ(kvo::phone::FindPhonebook(state, "ME")->entries.at(1).strName, "Carla");
    ASSERT_EQ(Run({"pb", "list"}), 0);
    EXPECT_EQ(Out(), "SM\t2\tOffice B\t0301235\nSM\t3\tBernd\t+4930\nME\t1\tCarla\t+4940\n");
}

TEST_F(KvoBookCliTest, ContactsImportListExportAndPhonebookTransfers) {
    fs::path cards = m_device.Root() / "in.vcf";
    std::ofstream(cards, std::ios::binary)
        << "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:M=FCller;"
           "Jo\r\n"
           "TEL;CELL:+49 171 5\r\nTEL;CAR:0172 6\r\nEND:VCARD\r\n"
           "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:x-2\r\nN:;;;;\r\nORG:Acme\r\nTEL;TYPE=WORK:030 "
           "7\r\nEND:VCARD\r\n";
    ASSERT_EQ(Run({"contacts", "import", cards.string()}), 0) << m_err.str();
    EXPECT_EQ(Out(), "2 contacts imported\n");
    ASSERT_EQ(Run({"contacts", "list"}), 0);
    EXPECT_EQ(Out(), "1\tM\xC3\xBCller Jo\t+49 171 5\t\t\t0172 6\tM A\n2\tAcme\t\t030 7\t\t\tW\n");

    ASSERT_EQ(Run({"pb", "sync"}), 0);
    ASSERT_EQ(Run({"pb", "import", "--to", "SM", "1"}), 0) << m_err.str();
    EXPECT_EQ(Out(), "SM\t3\tM\xC3\xBCller Jo/M\t+491715\nSM\t4\tM\xC3\xBCller Jo/A\t01726\n");
    EXPECT_EQ(Run({"pb", "import", "--to", "SM", "1"}), 1);  // one place left for two numbers
    // A storage of at most 20 locations cannot tell "full" from "never synchronised".
    EXPECT_NE(m_err.str().find("First you have to synchronize"), std::string::npos);
    EXPECT_EQ(Run({"pb", "import", "99"}), 1);

    ASSERT_EQ(Run({"pb", "export", "SM", "2"}), 0) << m_err.str();
    EXPECT_EQ(Out(), "Entries successfully exported\n");
    fs::path all = m_device.Root() / "out.vcf";
    ASSERT_EQ(Run({"contacts", "export", all.string()}), 0);
    EXPECT_EQ(Out(), "3 contacts exported\n");
    std::ifstream in(all);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("N:Office;;;;"), std::string::npos);
    EXPECT_NE(text.find("TEL;TYPE=CELL:0301234"), std::string::npos);
}

TEST_F(KvoBookCliTest, GroupsAndSendingToAGroup) {
    ASSERT_EQ(Run({"pb", "sync"}), 0);
    ASSERT_EQ(Run({"groups", "create", "Team"}), 0);
    EXPECT_EQ(Run({"groups", "create", "Team"}), 1);
    EXPECT_EQ(m_err.str(), "kvo: Group name still exists!\n");
    ASSERT_EQ(Run({"groups", "add", "Team", "--phonebook", "SM", "1"}), 0) << m_err.str();
    ASSERT_EQ(Run({"groups", "add", "Team", "--phonebook", "SM", "2"}), 0);
    EXPECT_EQ(Run({"groups", "add", "Team", "--phonebook", "SM", "2"}), 1);
    EXPECT_EQ(Run({"groups", "add", "Nope", "--phonebook", "SM", "2"}), 1);
    EXPECT_EQ(Run({"groups", "add", "Team", "--contact", "x"}), 2);
    ASSERT_EQ(Run({"groups", "list"}), 0);
    EXPECT_EQ(Out(), "Team\t2\n");
    ASSERT_EQ(Run({"groups", "show", "Team"}), 0);
    EXPECT_EQ(Out(),
              "350000000000001\tSM 1\tAnna Miller\t+491711\n"
              "350000000000001\tSM 2\tOffice\t0301234\n");

    ASSERT_EQ(Run({"sms", "send", "--group", "Team", "+4930999", "Hi all"}), 0) << m_err.str();
    EXPECT_EQ(Out(), "3 messages queued in the Outbox\n");
    ASSERT_EQ(Run({"sms", "list", "outbox"}), 0);
    std::string list = Out();
    EXPECT_LT(list.find("+491711"), list.find("0301234"));
    EXPECT_LT(list.find("0301234"), list.find("+4930999"));
    ASSERT_EQ(Run({"sms", "send", "--group", "Team", "", "Only the group"}), 0) << m_err.str();
    EXPECT_EQ(Out(), "2 messages queued in the Outbox\n");

    ASSERT_EQ(Run({"groups", "remove", "Team", "Office"}), 0);
    EXPECT_EQ(Run({"groups", "remove", "Team", "Office"}), 1);
    ASSERT_EQ(Run({"groups", "delete", "Team"}), 0);
    EXPECT_EQ(Run({"groups", "delete", "Team"}), 1);
    ASSERT_EQ(Run({"groups", "list"}), 0);
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(Run({"groups", "--help"}), 0);
    EXPECT_NE(Out().find("groups add NAME --contact OID"), std::string::npos);
    EXPECT_EQ(Run({"pb", "add", "--help"}), 0);
    EXPECT_EQ(Run({"contacts", "frob"}), 2);
}

}  // namespace
