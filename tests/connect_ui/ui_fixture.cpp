#include "tests/connect_ui/ui_fixture.h"

#include <QTimer>
#include <filesystem>

#include "connect/flow/command.h"
#include "platform/profile.h"
#include "tools/kvo-device/device_setup.h"

namespace fs = std::filesystem;

namespace kvo::connect::ui::test {
namespace {

QApplication* g_pApp = nullptr;

// The application goes before the program's static objects do.
class CQtEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete g_pApp;
        g_pApp = nullptr;
    }
};
[[maybe_unused]] const auto* g_pEnv = ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

}  // namespace

QApplication& App() {
    static int argc = 1;
    static char name[] = "connect_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!g_pApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        g_pApp = new QApplication(argc, argv);
    }
    return *g_pApp;
}

void ConnectWindowTest::SetUp() {
    App();
    std::string error;
    ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    ce::SetAppName(u"connect");
    CBoxes::SetTestMode(true);
    CBoxes::ClearShown();
}

void ConnectWindowTest::TearDown() {
    m_pConn.reset();
    CBoxes::SetTestMode(false);
}

CConnection& ConnectWindowTest::Conn() {
    if (!m_pConn) {
        m_pConn = std::make_unique<CConnection>(m_ui, m_comm);
        EXPECT_TRUE(StartUp(*m_pConn));
        EXPECT_TRUE(m_pConn->Initialise(false));
    }
    return *m_pConn;
}

bool ConnectWindowTest::Shown(const QString& text) const {
    for (const QString& s : CBoxes::Shown())
        if (s == text)
            return true;
    return false;
}

void ConnectWindowTest::OnNextModal(std::function<void(QWidget*)> f) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            f(w);
        }
    });
    timer->start();
}

std::string ScreenshotPath(const std::string& name) {
    fs::create_directories(KVO_SCREENSHOT_DIR);
    return (fs::path(KVO_SCREENSHOT_DIR) / ("connect-" + name + ".png")).string();
}

}  // namespace kvo::connect::ui::test
