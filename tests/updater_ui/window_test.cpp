// The updater's window on a fresh device against a server of the test: the check and the
// update through the worker and the 500 ms timer, Cancel, Retry, the resumed run, pictures.
#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"
#include "tests/updater/test_http_server.h"
#include "tools/kvo-device/device_setup.h"
#include "updater/core/updater_texts.h"
#include "updater/ui/main_frame.h"
#include "updater/ui/screenshot.h"

namespace fs = std::filesystem;

namespace kvo::updater::ui {
namespace {

using kvo::test::CTestHttpServer;

const std::string kTag = "WM2003_kvopro_Eng_300";
const std::string kList = "/auto_update/" + kTag + "/update.info";
const std::string kOwnList = "/auto_update/RE2003_dezezed_Uza_300/update.info";
const std::u16string kProduct = u"\\Program Files\\kvonet pro";
const std::u16string kUpdaterDir = u"\\Program Files\\Orvane Updater\\";
const std::u16string kCommandLine =
    u"/app=WM2003_kvopro_Eng_300 \"/path=\\Program Files\\kvonet pro\"";

QApplication* g_pApp = nullptr;

// The application goes before the program's static objects do.
class CQtEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete g_pApp;
        g_pApp = nullptr;
    }
};
[[maybe_unused]] const auto* g_pQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

void App() {
    static int argc = 1;
    static char name[] = "updater_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!g_pApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        g_pApp = new QApplication(argc, argv);
    }
}

QString Q(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

class UpdaterWindowTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        App();
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        SetServer(m_server.Url());
        m_server.Set(kOwnList, "<ver>0.01\r\n");
        ASSERT_TRUE(ce::WriteFileAtomic(kProduct + u"\\a.exe", "old a"));
        ASSERT_TRUE(ce::WriteFileAtomic(kProduct + u"\\b.dat", "old b"));
        ASSERT_TRUE(ce::WriteFileAtomic(kProduct + u"\\version.info",
                                        "<VER>0.01\r\n<FILE>a.exe\t0100\r\n<FILE>b.dat\t0100\r\n"));
    }
    void SetServer(const std::string& url) {
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane Updater",
                                    u"Server", ce::RegValue::Sz(ce::FromUtf8(url))));
    }
    void Offer(const std::string& name, CTestHttpServer::Reply reply) {
        m_server.Set("/auto_update/" + kTag + "/" + name, std::move(reply));
    }
    void OfferTwoGroups() {
        m_server.Set(kList,
                     "<ver>0.01\r\n<group_bin>\r\n<label>Program Files\r\n<bin>a.exe 0101\r\n"
                     "<group_db>\r\n<label>Database\r\n<cfg>b.dat 0101\r\n");
        Offer("a.exe", {200, std::string(4096, 'A')});
        Offer("b.dat", {200, std::string(2048, 'B')});
    }
    CMainFrame& Frame(std::u16string_view commandLine = kCommandLine) {
        std::string error;
        EXPECT_TRUE(m_doc.StartUp(kUpdaterDir, commandLine, error)) << error;
        m_pFrame = std::make_unique<CMainFrame>(m_doc, m_status, u"--batch --yes");
        m_pFrame->show();
        m_pFrame->Start();
        return *m_pFrame;
    }
    // Waits for the worker's end as the frame's timer sees it.
    UpdaterEnd WaitForEnd() {
        QSignalSpy spy(m_pFrame.get(), &CMainFrame::WorkEnded);
        EXPECT_TRUE(spy.wait(20000));
        return spy.isEmpty() ? UpdaterEnd::Error : spy.first()[0].value<UpdaterEnd>();
    }
    std::string ProductFile(std::u16string_view name) {
        std::string bytes;
        return ce::ReadFileBytes(kProduct + u"\\" + std::u16string(name), bytes) ? bytes
                                                                                 : "<missing>";
    }

    CTestHttpServer m_server;
    CStatusUi m_status;
    CUpdaterDoc m_doc{m_status};
    std::unique_ptr<CMainFrame> m_pFrame;
};

TEST_F(UpdaterWindowTest, CheckListsGroupsTheUserPicksAndUpdateInstallsOnlyThose) {
    OfferTwoGroups();
    CMainFrame& frame = Frame();
    EXPECT_EQ(frame.MainView()->Product()->text(), QString::fromStdString(kTag));
    EXPECT_FALSE(frame.ResumeTimer().isActive()) << "a fresh run waits for Check updates";
    frame.MainView()->CheckButton()->click();
    EXPECT_TRUE(frame.Busy());
    EXPECT_TRUE(frame.WorkDlg()->isVisible());
    EXPECT_EQ(frame.PollTimer().interval(), 500);
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::FilesAvailable);
    EXPECT_FALSE(frame.WorkDlg()->isVisible());

    CFilesView* files = frame.FilesView();
    ASSERT_EQ(frame.CurrentView(), files);
    ASSERT_EQ(files->List()->topLevelItemCount(), 2);
    EXPECT_EQ(files->List()->topLevelItem(0)->text(0), "Program Files");
    EXPECT_EQ(files->List()->topLevelItem(0)->text(1), "4 kb");
    EXPECT_EQ(files->Total()->text(), "6 kb");
    // Unchecking a group takes its bytes off the total; nothing checked, no Update.
    files->List()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(files->Total()->text(), "4 kb");
    files->List()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(files->UpdateButton()->isEnabled());
    files->List()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    ASSERT_TRUE(files->UpdateButton()->isEnabled());

    files->UpdateButton()->click();
    EXPECT_EQ(frame.WorkDlg()->CurrentMode(), CWorkDlg::PROGRESS);
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::Done);
    ASSERT_EQ(frame.CurrentView(), frame.DoneView());
    EXPECT_EQ(frame.DoneView()->Text()->text(), Q(LoadText(IDS_UPDATED)));
    EXPECT_FALSE(frame.DoneView()->SecondButton()->isVisible()) << "no soft reset needed";
    EXPECT_EQ(ProductFile(u"a.exe"), std::string(4096, 'A'));
    EXPECT_EQ(ProductFile(u"b.dat"), "old b");
}

TEST_F(UpdaterWindowTest, PostResetCopyOffersTheResetButton) {
    m_server.Set(kList,
                 "<ver>0.01\r\n<postresetcopy>\r\n<group_bin>\r\n<label>Programs\r\n"
                 "<bin>a.exe 0101\r\n");
    Offer("a.exe", {200, "new a"});
    CMainFrame& frame = Frame();
    frame.StartCheck();
    ASSERT_EQ(WaitForEnd(), UpdaterEnd::FilesAvailable);
    frame.StartUpdate();
    ASSERT_EQ(WaitForEnd(), UpdaterEnd::Done);
    EXPECT_EQ(frame.DoneView()->Text()->text(), Q(LoadText(IDS_UPDATED_RESET)));
    EXPECT_TRUE(frame.DoneView()->SecondButton()->isVisible());
    EXPECT_EQ(ProductFile(u"a.exe"), "old a") << "replaced only after the reset";
}

TEST_F(UpdaterWindowTest, CancelStopsTheCheckBeforeItsNextStep) {
    OfferTwoGroups();
    m_server.Set(kOwnList, {200, "<ver>0.01\r\n", -1, -1, 0, /*bHold=*/true});
    CMainFrame& frame = Frame();
    frame.StartCheck();
    ASSERT_EQ(frame.WorkDlg()->CurrentMode(), CWorkDlg::WAIT);
    EXPECT_EQ(frame.WorkDlg()->Line1()->text(), "Preparing to check. ");
    // The worker's status reaches the dialog on the window's timer.
    const QString checking = "Checking for new RE2003_dezezed_Uza_300 version.";
    for (int i = 0; i < 200 && frame.WorkDlg()->Line1()->text() != checking; ++i) QTest::qWait(50);
    EXPECT_EQ(frame.WorkDlg()->Line1()->text(), checking);
    frame.WorkDlg()->CancelButton()->click();
    EXPECT_FALSE(frame.WorkDlg()->CancelButton()->isEnabled());
    m_server.Release();
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::Cancelled);
    EXPECT_EQ(frame.CurrentView(), frame.MainView());
    EXPECT_EQ(m_server.Log().find(kList), std::string::npos) << m_server.Log();
    // The next check starts afresh.
    frame.StartCheck();
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::FilesAvailable);
}

TEST_F(UpdaterWindowTest, CancelDuringTheDownloadLeavesTheProductAlone) {
    OfferTwoGroups();
    Offer("b.dat", {200, "new b", -1, -1, 0, /*bHold=*/true});
    CMainFrame& frame = Frame();
    frame.StartCheck();
    ASSERT_EQ(WaitForEnd(), UpdaterEnd::FilesAvailable);
    std::string before = ProductFile(u"version.info");
    frame.StartUpdate();
    frame.WorkDlg()->CancelButton()->click();
    m_server.Release();
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::Cancelled);
    EXPECT_EQ(frame.CurrentView(), frame.MainView());
    EXPECT_EQ(ProductFile(u"a.exe"), "old a");
    EXPECT_EQ(ProductFile(u"version.info"), before);
}

TEST_F(UpdaterWindowTest, ServerDownShowsTheErrorAndRetryChecksAgain) {
    CTestHttpServer* gone = new CTestHttpServer;
    std::string url = gone->Url();
    delete gone;  // nobody listens there now
    SetServer(url);
    m_server.Set(kList, "<ver>0.01\r\n");
    CMainFrame& frame = Frame();
    frame.StartCheck();
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::Error);
    ASSERT_EQ(frame.CurrentView(), frame.ErrorView());
    QString text = frame.ErrorView()->Text()->text();
    EXPECT_TRUE(text == Q(LoadText(IDS_NO_INTERNET)) || text == Q(LoadText(IDS_NO_SERVER)))
        << text.toStdString();
    SetServer(m_server.Url());
    frame.ErrorView()->SecondButton()->click();
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::NoUpdates);
    EXPECT_EQ(frame.CurrentView(), frame.NoUpdatesView());
}

TEST_F(UpdaterWindowTest, AResumedRunSkipsTheUpdaterPhaseAndChecksAfter500Ms) {
    OfferTwoGroups();
    ASSERT_TRUE(
        ce::WriteFileAtomic(kUpdaterDir + u"self.tmp", kTag + "\n\\Program Files\\kvonet pro\n"));
    CMainFrame& frame = Frame(u"");
    EXPECT_TRUE(m_doc.IsResumed());
    EXPECT_FALSE(ce::FileExists(kUpdaterDir + u"self.tmp"));
    EXPECT_TRUE(frame.ResumeTimer().isActive());
    EXPECT_TRUE(frame.ResumeTimer().isSingleShot());
    EXPECT_EQ(frame.ResumeTimer().interval(), 500);
    EXPECT_FALSE(frame.Busy()) << "the check waits for the timer";
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::FilesAvailable);
    EXPECT_EQ(m_server.Log().find(kOwnList), std::string::npos) << m_server.Log();
    EXPECT_NE(m_server.Log().find(kList), std::string::npos);
}

TEST_F(UpdaterWindowTest, ANewerUpdaterIsFetchedAndHandedToSelfUpdate) {
    m_server.Set(kOwnList, "<ver>0.01\r\n<group_bin>\r\n<label>Updater\r\n<bin>copy.exe 0301\r\n");
    m_server.Set("/auto_update/RE2003_dezezed_Uza_300/copy.exe", "new copy");
    m_server.Set(kList, "<ver>0.01\r\n");
    m_doc.m_nSelfUpdatePauseMs = 0;
    CMainFrame& frame = Frame();
    QSignalSpy handed(&frame, &CMainFrame::HandedOver);
    frame.StartCheck();
    EXPECT_EQ(WaitForEnd(), UpdaterEnd::SelfUpdate);
    EXPECT_EQ(frame.WorkDlg()->CurrentMode(), CWorkDlg::PROGRESS) << "no question asked";
    ASSERT_TRUE(handed.wait(20000));
    EXPECT_FALSE(frame.isVisible());
    // SelfUpdate.exe put the file in place and the restarted updater resumed (in batch mode
    // here) without "self.tmp" left behind.
    std::string copy;
    for (int i = 0; i < 200 && copy != "new copy"; ++i) {
        QTest::qWait(50);
        ce::ReadFileBytes(kUpdaterDir + u"copy.exe", copy);
    }
    EXPECT_EQ(copy, "new copy");
    for (int i = 0; i < 200 && m_server.Log().find(kList) == std::string::npos; ++i)
        QTest::qWait(50);
    EXPECT_NE(m_server.Log().find(kList), std::string::npos) << m_server.Log();
}

TEST_F(UpdaterWindowTest, EveryViewDrawsAt240Wide) {
    CMainFrame& frame = Frame();
    QDir().mkpath(KVO_SCREENSHOT_DIR);
    for (const std::string& view : ScreenshotViews()) {
        QPixmap pm;
        std::string error;
        ASSERT_TRUE(GrabView(frame, view, pm, error)) << view << ": " << error;
        EXPECT_LE(pm.width(), 240) << view;
        EXPECT_GT(pm.height(), 80) << view;
        EXPECT_TRUE(pm.save(QString(KVO_SCREENSHOT_DIR) + "/updater-" +
                            QString::fromStdString(view) + ".png"));
    }
    QPixmap pm;
    std::string error;
    EXPECT_FALSE(GrabView(frame, "nonsense", pm, error));
}

}  // namespace
}  // namespace kvo::updater::ui
