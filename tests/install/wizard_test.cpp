// The installer's wizard offscreen: the language switches every text, the pages go in
// order, the wait page ticks every 1000 ms and closes itself once the handheld answers.
#include <QApplication>
#include <QDir>
#include <QTest>
#include <filesystem>

#include <gtest/gtest.h>

#include "install/ui/install_dlg.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/rapi.h"
#include "platform/registry.h"
#include "tests/support/temp_device.h"

namespace fs = std::filesystem;

namespace kvo::install::ui {
namespace {

QApplication* g_pApp = nullptr;
class CQtEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete g_pApp;
        g_pApp = nullptr;
    }
};
[[maybe_unused]] const auto* g_pQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

class CJumpClock : public IClock {
public:
    int64_t NowMs() override { return m_nNow; }
    void SleepMs(int ms) override {
        m_nNow += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    int64_t m_nNow = 0;
};

class WizardTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "install_ui_tests";
        static char* argv[] = {name, nullptr};
        if (!g_pApp) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            g_pApp = new QApplication(argc, argv);
        }
        ASSERT_TRUE(ce::CreateDirectories(u"\\Windows"));
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kOsVersionKey, u"Major",
                                    ce::RegValue::Dword(4)));
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kOsVersionKey, u"Minor",
                                    ce::RegValue::Dword(20)));
        CBoxes::SetTestMode(true);
        m_pDlg = std::make_unique<CInstallDlg>(fs::path(KVO_BINARY_DIR) / "bin", m_clock,
                                               Language::English);
        m_pDlg->show();
    }
    void TearDown() override {
        m_pDlg.reset();
        CBoxes::SetTestMode(false);
    }
    CJumpClock m_clock;
    std::unique_ptr<CInstallDlg> m_pDlg;
};

TEST_F(WizardTest, TheLanguagePageSwitchesEveryTextAtOnce) {
    CInstallDlg& dlg = *m_pDlg;
    EXPECT_EQ(dlg.windowTitle(), "Language");
    ASSERT_EQ(dlg.Languages()->count(), 5);
    EXPECT_EQ(dlg.Languages()->currentItem()->text(), "English");
    dlg.Languages()->setCurrentRow(1);  // German
    EXPECT_EQ(dlg.CurrentLanguage(), Language::German);
    EXPECT_EQ(dlg.windowTitle(), "Sprache");
    EXPECT_EQ(dlg.NextButton()->text(), "Weiter");
    EXPECT_EQ(dlg.CancelButton()->text(), "Abbrechen");
    EXPECT_EQ(dlg.Languages()->item(0)->text(), "Englisch");
    EXPECT_EQ(dlg.Languages()->currentItem()->text(), "Deutsch");
    dlg.NextButton()->click();
    EXPECT_EQ(dlg.CurrentPage(), CInstallDlg::PAGE_INFO);
    dlg.NextButton()->click();
    EXPECT_EQ(dlg.windowTitle(), "Lizenzvereinbarung");
    // Cancel ends the program without starting anything.
    dlg.CancelButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.Outcome());
}

TEST_F(WizardTest, TheWaitPageClosesOnTheTickAfterTheHandheldComes) {
    CInstallDlg& dlg = *m_pDlg;
    for (int i = 0; i < 3; ++i) dlg.NextButton()->click();
    ASSERT_EQ(dlg.CurrentPage(), CInstallDlg::PAGE_WAIT);
    EXPECT_EQ(dlg.windowTitle(), "Initialization...");
    EXPECT_EQ(dlg.WaitText()->text(), "Try to establish connection...");
    EXPECT_FALSE(dlg.NextButton()->isVisible());
    EXPECT_TRUE(dlg.TickTimer().isActive());
    EXPECT_EQ(dlg.TickTimer().interval(), 1000);
    for (int i = 0; i < 5; ++i) dlg.Tick();
    EXPECT_FALSE(dlg.Outcome());
    ASSERT_TRUE(ce::RapiAttach(true));
    dlg.Tick();
    ASSERT_TRUE(dlg.Outcome());
    EXPECT_EQ(*dlg.Outcome(), InstallOutcome::Installed);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.TickTimer().isActive());
    ASSERT_EQ(dlg.Installer()->Runs().size(), 2u);
    EXPECT_EQ(dlg.Installer()->Runs()[0].path.filename(), "WM2003_updater_Eng.bin");
    EXPECT_TRUE(fs::is_symlink(ce::MapPath(u"\\Program Files\\Orvane Updater\\updater.exe")));
    ASSERT_FALSE(CBoxes::Shown().empty());
    EXPECT_TRUE(CBoxes::Shown().back().startsWith("Congratulation!"));
}

TEST_F(WizardTest, NoTheQuestionGivesUp) {
    CInstallDlg& dlg = *m_pDlg;
    for (int i = 0; i < 3; ++i) dlg.NextButton()->click();
    CBoxes::PresetAnswers({true, false});
    for (int i = 0; i < 11; ++i) dlg.Tick();
    EXPECT_EQ(dlg.WaitText()->text(), "Try to establish connection...") << "Yes: back to waiting";
    EXPECT_TRUE(dlg.TickTimer().isActive());
    for (int i = 0; i < 11; ++i) dlg.Tick();
    EXPECT_FALSE(dlg.TickTimer().isActive());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(CBoxes::Shown().size(), 2u);
}

TEST_F(WizardTest, EveryPageDrawsReadably) {
    QDir().mkpath(KVO_SCREENSHOT_DIR);
    const char* names[] = {"language", "info", "licence", "wait"};
    for (Language l : {Language::English, Language::German}) {
        m_pDlg->SetLanguage(l);
        for (int p = 0; p < 4; ++p) {
            m_pDlg->ShowPage(CInstallDlg::Page(p));
            QApplication::processEvents();
            QPixmap pm = m_pDlg->grab();
            EXPECT_GE(pm.width(), 300);
            EXPECT_TRUE(pm.save(QString(KVO_SCREENSHOT_DIR) + "/install-" +
                                QString::fromStdString(LanguageCode(l)) + "-" + names[p] + ".png"));
        }
    }
}

}  // namespace
}  // namespace kvo::install::ui
