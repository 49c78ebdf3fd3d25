// The contacts command add-in, loaded by our contacts host as the device registers it.
#include <gtest/gtest.h>

#include <sstream>

#include "common/binio.h"
#include "common/install_dir.h"
#include "common/stored_string.h"
#include "platform/contacts.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "telmio/session/handoff.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/pim_host.h"

namespace fs = std::filesystem;

namespace kvo::cli {
namespace {

struct Box {
    std::u16string text, caption;
    uint32_t type;
};

class CardhookTest : public test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        ce::SetProcessStartHook([this](std::u16string_view path, std::u16string_view cmd) {
            m_starts.emplace_back(path, cmd);
            return pid_t(4242);
        });
        m_oldBox = ce::SetMessageBoxHandler(
            [this](std::u16string_view text, std::u16string_view caption, uint32_t type) {
                m_boxes.push_back({std::u16string(text), std::u16string(caption), type});
                return int(ce::IDOK);
            });
        auto addIns = PimAddIns();
        ASSERT_EQ(addIns.size(), 1u) << "kvo-device registers the add-in";
        m_addIn = addIns[0];
    }
    void TearDown() override {
        ce::SetProcessStartHook({});
        ce::SetMessageBoxHandler(m_oldBox);
    }
    uint32_t AddContact(const std::u16string& name, const std::u16string& mobile,
                        const std::u16string& business = {}) {
        ce::ContactsFolder folder;
        EXPECT_TRUE(folder.Logon());
        ce::ContactItem c = folder.Add();
        c.FirstName = name;
        c.MobileTelephoneNumber = mobile;
        c.BusinessTelephoneNumber = business;
        EXPECT_TRUE(folder.Save(c));
        return c.Oid;
    }
    ce::HRESULT Run(std::vector<uint32_t> oids) {
        ce::HRESULT hr = ce::E_FAIL;
        std::string error;
        EXPECT_TRUE(RunPimCommand(m_addIn, oids, hr, error)) << error;
        return hr;
    }
    // The hand-over file's text, read as the format says (not through telmio's reader).
    std::u16string HandedOver() {
        std::string bytes;
        if (!ce::ReadFileBytes(InstallPath(u"newsms.tmp"), bytes))
            return u"<none>";
        MemReader r(bytes);
        std::u16string text;
        EXPECT_EQ(ReadStoredString(r, 1000, text), StoredStringError::ok);
        EXPECT_EQ(r.Remaining(), 0u);
        return text;
    }

    CPimAddIn m_addIn;
    std::vector<std::pair<std::u16string, std::u16string>> m_starts;
    std::vector<Box> m_boxes;
    ce::MessageBoxHandler m_oldBox;
};

TEST_F(CardhookTest, FirstChosenContactGoesToTelmio) {
    uint32_t anna = AddContact(u"Anna", u"+491711111");
    uint32_t ben = AddContact(u"Ben", u"+491722222");
    EXPECT_EQ(Run({ben, anna}), ce::S_OK);
    EXPECT_EQ(HandedOver(), u"+491722222");
    ASSERT_EQ(m_starts.size(), 1u);
    EXPECT_EQ(m_starts[0].first, InstallPath(u"telmio.exe"));
    EXPECT_EQ(m_starts[0].second, u"");
    // A second command overwrites what the client has not taken yet.
    EXPECT_EQ(Run({anna}), ce::S_OK);
    EXPECT_EQ(HandedOver(), u"+491711111");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(CardhookTest, NoMobileNumberShowsTheFrenchMessageAndStartsNothing) {
    uint32_t office = AddContact(u"Office", u"", u"+49301234");
    EXPECT_EQ(Run({office}), ce::S_OK);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, u"Aucun numéro de téléphone mobile défini.");
    EXPECT_EQ(m_boxes[0].caption, u"");
    EXPECT_EQ(m_boxes[0].type & ce::MB_ICONMASK, ce::MB_ICONEXCLAMATION);
    EXPECT_TRUE(m_starts.empty());
    EXPECT_FALSE(ce::FileExists(InstallPath(u"newsms.tmp")));
}

TEST_F(CardhookTest, NumberIsHandedOverAsStoredAndTelmioCleansIt) {
    uint32_t c = AddContact(u"Carla", u"+49 (171) 123-45 67");
    EXPECT_EQ(Run({c}), ce::S_OK);
    EXPECT_EQ(HandedOver(), u"+49 (171) 123-45 67");
    std::u16string recipients;
    ASSERT_TRUE(TakeHandoffFile(GetInstallDir(), recipients));
    EXPECT_EQ(recipients,
              u"+49171123"
              u"4567");
}

TEST_F(CardhookTest, UnknownContactAndEmptyChoiceStartNothing) {
    EXPECT_EQ(Run({}), ce::S_OK);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(Run({99999}), ce::E_FAIL);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, u"Get contacts item failed");
    EXPECT_EQ(m_boxes[0].caption, u"Error");
    EXPECT_TRUE(m_starts.empty());
}

TEST_F(CardhookTest, KvoContactsCommandReportsWhatHappened) {
    uint32_t anna = AddContact(u"Anna", u"+491711111");
    uint32_t office = AddContact(u"Office", u"", u"+49301234");
    std::ostringstream out, err;
    EXPECT_EQ(Main({"contacts", "command", std::to_string(anna)}, out, err), kExitOk) << err.str();
    EXPECT_NE(out.str().find("Send SMS"), std::string::npos);
    EXPECT_EQ(m_starts.size(), 1u);
    // The message box a person would see goes to the terminal, and the command failed.
    ce::SetMessageBoxHandler(nullptr);
    std::ostringstream out2, err2;
    EXPECT_EQ(Main({"contacts", "command", std::to_string(office)}, out2, err2), kExitFailed);
    EXPECT_NE(err2.str().find("Aucun num"), std::string::npos) << err2.str();
    std::ostringstream out3, err3;
    EXPECT_EQ(Main({"contacts", "command", "anna"}, out3, err3), kExitUsage);
    EXPECT_EQ(Main({"contacts", "command", "--add-in", "other", "1"}, out3, err3), kExitFailed);
}

}  // namespace
}  // namespace kvo::cli
