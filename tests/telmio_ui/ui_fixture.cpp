// The phone's headers come before Qt's (see ui_fixture.h).
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"
// Then the rest.
#include "tests/telmio_ui/ui_fixture.h"

#include "platform/datetime.h"
#include "platform/profile.h"
#include "tools/kvo-device/device_setup.h"

namespace fs = std::filesystem;

namespace kvo::ui::test {

namespace {

const char kScenario[] = R"([phone]
manufacturer = KVO Mobile
model = SP-1
serial = 350000000000001
operator = T-Mobile D
smsc = +491710760000
echo = on
[sms ME]
size = 6
1 = 1,+491701234567,2026-12-07 18:42:10+01:00,Are we still on for dinner tonight?
2 = 0,+4930123456,2026-12-08 07:05:00+01:00,"Meeting moved to 10:00.\nRoom 2.14"
[sms SM]
size = 3
2 = 0,+491711234567,2026-12-08 08:30:00+01:00,Good morning from Anna
)";

}  // namespace

struct WindowTest::Phone {
    phone::Scenario scenario;
    std::unique_ptr<phone::CPhoneSim> sim;
};

WindowTest::WindowTest() = default;
WindowTest::~WindowTest() = default;

namespace {

QApplication* g_pApp = nullptr;

// The application goes before the program's static objects do: Qt's input devices cannot be
// torn down after them.
class CQtEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete g_pApp;
        g_pApp = nullptr;
    }
};
[[maybe_unused]] const auto* g_pQtEnvironment = ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

}  // namespace

QApplication& App() {
    static int argc = 1;
    static char name[] = "telmio_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!g_pApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        g_pApp = new QApplication(argc, argv);
    }
    return *g_pApp;
}

void WindowTest::SetUp() {
    App();
    std::string error;
    ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    ce::SetAppName(u"telmio");
    m_pPhone = std::make_unique<Phone>();
    ASSERT_TRUE(phone::ParseScenario(kScenario, m_pPhone->scenario, error)) << error;
    CMessageBoxes::SetTestMode(true, true);
    CMessageBoxes::ClearShown();
}

void WindowTest::TearDown() {
    m_pFrame.reset();
    m_pDoc.reset();
    m_pUi.reset();
    if (m_pPhone && m_pPhone->sim) m_pPhone->sim->Stop();
    CMessageBoxes::SetTestMode(false);
}

void WindowTest::StartPhone() {
    m_pPhone->sim = std::make_unique<phone::CPhoneSim>(m_pPhone->scenario);
    std::string error;
    ASSERT_TRUE(m_pPhone->sim->Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
}

CMainFrame& WindowTest::Frame() {
    if (!m_pFrame) {
        m_pUi = std::make_unique<CWindowUi>();
        m_pDoc = std::make_unique<CTelmioDoc>(*m_pUi);
        EXPECT_TRUE(m_pDoc->OnNewDocument(false));
        m_pFrame = std::make_unique<CMainFrame>(*m_pDoc, *m_pUi);
        m_pFrame->show();
    }
    return *m_pFrame;
}

CSmsMessage& WindowTest::AddMessage(int32_t state, const std::u16string& number,
                                    const std::u16string& text, int day, int32_t index) {
    Frame();
    auto m = std::make_unique<CSmsMessage>();
    m->m_nState = state;
    m->m_strNumber = number;
    m->m_strText = text;
    m->m_time = ce::OleDate::FromParts(2026, 12, day, 12, 0, 0);
    if (index >= 0) {
        m->m_nStorage = STORAGE_ME;
        m->m_nIndex = index;
    }
    CSmsMessage& added = m_pDoc->Store().AddMessage(std::move(m));
    m_pFrame->RefreshView();
    return added;
}

}  // namespace kvo::ui::test
