// The traffic page: its strips, its settings dialog, switching the monitor and the markers
// it shares with linkwatch.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include "connect/traffic/monitor_control.h"
#include "connect/ui/main_dlg.h"
#include "connect/ui/traffic_dialogs.h"
#include "connect/ui/traffic_page.h"
#include "connect/ui/window_main.h"
#include "linkwatch/monitor_settings.h"
#include "platform/datetime.h"
#include "platform/file.h"
#include "platform/shell_shortcut.h"
#include "platform/text.h"
#include "tests/connect_ui/ui_fixture.h"

namespace kvo::connect::ui::test {
namespace {

const std::u16string kAppDir = u"\\Program Files\\kvonet pro\\";

class TrafficPageTest : public ConnectWindowTest {
protected:
    void TearDown() override {
        // A monitor a test started goes with it.
        if (m_bStartedMonitor) {
            ce::WriteFileAtomic(kAppDir + u"TERMINATE", "");
            for (int i = 0; i < 100 && Has(u"DRUN"); ++i) ce::Sleep(50);
        }
        ConnectWindowTest::TearDown();
    }
    bool m_bStartedMonitor = false;
    bool Has(const char16_t* marker) { return ce::FileExists(kAppDir + marker); }
    kvo::linkwatch::MonitorSettings Stored() {
        kvo::linkwatch::MonitorSettings s = kvo::traffic::PageDefaults();
        kvo::linkwatch::LoadMonitorSettings(kAppDir + u"monitor.ini", s);
        return s;
    }
    void Store(const kvo::linkwatch::MonitorSettings& s) {
        ASSERT_TRUE(kvo::linkwatch::SaveMonitorSettings(kAppDir + u"monitor.ini", s));
    }
    // A month's log with one session on the given day.
    void LogSession(int day, uint32_t received, uint32_t transmitted) {
        ce::SYSTEMTIME t = ce::GetLocalTime();
        char name[32], stamp[32];
        std::snprintf(name, sizeof name, "LOG\\%.2d-%.4d.dat", t.wMonth, t.wYear);
        std::snprintf(stamp, sizeof stamp, "%.2d.%.2d.%.4d 10:00:00", day, t.wMonth, t.wYear);
        std::string record = std::string(stamp) + "\r\n" + std::to_string(received) + "\r\n" +
                             std::to_string(transmitted) + "\r\n100\r\n";
        ce::CreateDirectories(kAppDir + u"LOG");
        std::string old;
        ce::ReadFileBytes(kAppDir + ce::FromUtf8(name), old);
        ASSERT_TRUE(ce::WriteFileAtomic(kAppDir + ce::FromUtf8(name), old + record));
    }
};

}  // namespace

TEST_F(TrafficPageTest, StripsSwitchViewsAndModesOnlyWhereTheirZonesAndViewsAllow) {
    CTrafficPage page(kAppDir);
    page.Open();
    page.show();
    CIconStrip* views = page.ViewStrip();
    CIconStrip* modes = page.ModeStrip();
    auto tap = [](CIconStrip* strip, int x) {
        QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(x, 12));
    };
    EXPECT_EQ(page.View(), CTrafficPage::VIEW_DAY);
    EXPECT_EQ(modes->Framed(), 2) << "traffic mode first";
    tap(modes, 40);  // costs: not in the day view
    EXPECT_FALSE(page.CostsMode());
    tap(views, 26);  // between two icons
    EXPECT_EQ(page.View(), CTrafficPage::VIEW_DAY);
    tap(views, 49);
    EXPECT_EQ(page.View(), CTrafficPage::VIEW_MONTH);
    EXPECT_EQ(views->Framed(), 1);
    tap(views, 77);
    EXPECT_EQ(page.View(), CTrafficPage::VIEW_YEAR);
    // The second strip's middle zone is two pixels wider than the first's.
    tap(modes, 51);
    EXPECT_TRUE(page.CostsMode());
    EXPECT_EQ(modes->Framed(), 1);
    tap(views, 51);
    EXPECT_EQ(page.View(), CTrafficPage::VIEW_YEAR) << "x 51 lies outside the first strip's zone";
    tap(modes, 60);
    EXPECT_FALSE(page.CostsMode());
    tap(views, 4);
    EXPECT_EQ(page.View(), CTrafficPage::VIEW_DAY);
}

TEST_F(TrafficPageTest, SettingsDialogListsMapToStoredValuesAndRaiseTheInputPanel) {
    auto s = kvo::traffic::PageDefaults();
    s.priceUnitKb = 256;
    s.blockSizeKb = 75;
    s.monthStartDay = 15;
    CTrafficSettingsDlg dlg(s, "EUR");
    EXPECT_EQ(dlg.PriceUnitList()->currentText(), "256kB");
    EXPECT_EQ(dlg.BlockSizeList()->currentText(), "75kB");
    EXPECT_EQ(dlg.StartDayList()->currentText(), "15");
    EXPECT_EQ(dlg.PriceUnitList()->count(), 8);
    EXPECT_EQ(dlg.BlockSizeList()->count(), 12);
    EXPECT_EQ(dlg.StartDayList()->count(), 31);

    dlg.PriceUnitList()->setCurrentIndex(dlg.PriceUnitList()->findText("1MB"));
    dlg.BlockSizeList()->setCurrentIndex(dlg.BlockSizeList()->findText("Don't round"));
    dlg.StartDayList()->setCurrentIndex(dlg.StartDayList()->findText("31"));
    dlg.PaymentField()->setText("19.99");
    dlg.InclusiveField()->setText("");  // empty keeps the old amount
    dlg.HourlyBox()->setChecked(true);
    dlg.MonitorBox()->setChecked(false);
    auto r = dlg.Result();
    EXPECT_EQ(r.priceUnitKb, 1024);
    EXPECT_EQ(r.blockSizeKb, 0);
    EXPECT_EQ(r.monthStartDay, 31);
    EXPECT_FLOAT_EQ(r.monthlyPayment, 19.99f);
    EXPECT_FLOAT_EQ(r.inclusiveMegabytes, 10.0f);
    EXPECT_EQ(r.hourlyRounding, 1);
    EXPECT_EQ(r.monitorOn, 0);

    dlg.show();
    QApplication::setActiveWindow(&dlg);
    dlg.PriceUnitList()->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(dlg.InputPanelRaised());
    dlg.PriceField()->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(dlg.InputPanelRaised());
    dlg.PriceUnitList()->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(dlg.InputPanelRaised());
}

TEST_F(TrafficPageTest, SavingWithTheMonitorOffStopsItAndHidesTheCharts) {
    CTrafficPage page(kAppDir);
    page.Open();
    const std::u16string link = kvo::traffic::CMonitorControl::StartupShortcutPath();
    ASSERT_TRUE(ce::SHCreateShortcut(link, u"\"x\""));
    EXPECT_TRUE(page.ChartsShown());
    EXPECT_TRUE(page.Timer1Active());
    auto s = page.Settings();
    s.monitorOn = 0;
    ASSERT_TRUE(page.SaveSettings(s));
    EXPECT_TRUE(Has(u"TERMINATE"));
    EXPECT_FALSE(ce::FileExists(link));
    EXPECT_EQ(Stored().monitorOn, 0);
    EXPECT_FALSE(page.ChartsShown());
    EXPECT_FALSE(page.Timer1Active());
    EXPECT_TRUE(page.MonitorOnBox()->isVisibleTo(&page));

    // Opened again with the monitor off: charts hidden from the start.
    CTrafficPage again(kAppDir);
    again.Open();
    EXPECT_FALSE(again.ChartsShown());
    EXPECT_FALSE(again.Timer1Active());
}

TEST_F(TrafficPageTest, SavingWithTheMonitorOnStartsLinkwatchWhenNoneRunsAndAsksForAReload) {
    CTrafficPage page(kAppDir);
    auto s = page.Settings();
    s.monitorOn = 1;
    s.blockSizeKb = 10;
    ASSERT_TRUE(ce::WriteFileAtomic(kAppDir + u"TERMINATE", ""));
    ASSERT_TRUE(page.SaveSettings(s));
    EXPECT_FALSE(Has(u"TERMINATE"));
    EXPECT_TRUE(Has(u"RELOAD"));
    EXPECT_TRUE(ce::FileExists(kvo::traffic::CMonitorControl::StartupShortcutPath()));
    EXPECT_EQ(Stored().blockSizeKb, 10);
    m_bStartedMonitor = true;
    // A started monitor says so with DRUN.
    bool running = false;
    for (int i = 0; i < 200 && !running; ++i, ce::Sleep(50)) running = Has(u"DRUN");
    EXPECT_TRUE(running) << "linkwatch was not started";
}

TEST_F(TrafficPageTest, OpeningSetsTheMarkerDeletesTheLogAndHintsOnlyOnce) {
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\monitor.log", "old"));
    {
        CTrafficPage page(kAppDir);
        page.Open();
        EXPECT_TRUE(Has(u"MONITORSTARTED"));
        EXPECT_FALSE(ce::FileExists(u"\\monitor.log"));
        EXPECT_TRUE(Shown(CTrafficPage::kFirstRunHint));
        EXPECT_EQ(Stored().firstRun, 0);
        page.Close(false);
        EXPECT_TRUE(Has(u"MONITORSTARTED")) << "only monitor mode clears it";
        page.Open();
        page.Close(true);
        EXPECT_FALSE(Has(u"MONITORSTARTED"));
    }
    int hints = 0;
    for (const QString& s : Shown()) hints += s == CTrafficPage::kFirstRunHint;
    EXPECT_EQ(hints, 1);
    CTrafficPage later(kAppDir);
    later.Open();
    hints = 0;
    for (const QString& s : Shown()) hints += s == CTrafficPage::kFirstRunHint;
    EXPECT_EQ(hints, 1);
}

TEST_F(TrafficPageTest, TimersSkipWhileTheMonitorWritesAndTakeNewSettingsOnlyWithoutNewcfg) {
    auto s = kvo::traffic::PageDefaults();
    s.firstRun = 0;
    Store(s);
    CTrafficPage page(kAppDir);
    page.Open();
    const QImage empty = page.Chart();
    const int today = ce::GetLocalTime().wDay;
    LogSession(today, 5 * 1048576, 1048576);
    ASSERT_TRUE(ce::WriteFileAtomic(kAppDir + u"WRT", ""));
    page.OnTimer1();
    EXPECT_EQ(page.Chart(), empty) << "a log being written was read";
    ce::DeleteFile(kAppDir + u"WRT");
    page.OnTimer1();
    EXPECT_NE(page.Chart(), empty);

    s.monthStartDay = 20;
    Store(s);
    ASSERT_TRUE(ce::WriteFileAtomic(kAppDir + u"NEWCFG", ""));
    page.OnTimer2();
    EXPECT_FALSE(Has(u"NEWCFG"));
    EXPECT_EQ(page.Settings().monthStartDay, 1) << "NEWCFG's tick only clears it";
    page.OnTimer2();
    EXPECT_EQ(page.Settings().monthStartDay, 20);
}

TEST_F(TrafficPageTest, IconPositionStartsAtTheStoredPlaceAndOkMovesTheGraph) {
    auto s = kvo::traffic::PageDefaults();
    s.iconX = 230;
    s.firstRun = 0;
    Store(s);
    CTrafficPage page(kAppDir);
    page.Open();
    auto dlg = page.MakeIconDialog();
    EXPECT_EQ(dlg->Slider()->maximum(), 219);
    EXPECT_EQ(dlg->Slider()->value(), 219) << "230 lies on the taskbar, the slider ends at 219";
    s.iconX = 300;
    Store(s);
    page.OnTimer2();
    EXPECT_EQ(page.MakeIconDialog()->Slider()->value(), 96);
    ASSERT_TRUE(page.SaveIconPosition(150));
    EXPECT_EQ(Stored().iconX, 150);
    EXPECT_TRUE(Has(u"RELOAD"));
    page.Terminate();
    EXPECT_TRUE(Has(u"TERMINATE"));
}

TEST_F(TrafficPageTest, ScreenshotsOfTheThreeViewsInBothModesAndItsDialogs) {
    CConnection& c = Conn();
    auto s = kvo::traffic::PageDefaults();
    s.inclusiveMegabytes = 20;
    Store(s);
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\monitor.log", "kept"));
    const int today = ce::GetLocalTime().wDay;
    for (int d = 1; d <= today; ++d)
        LogSession(d, (d * 37 % 11 + 1) * 300000, (d * 13 % 7 + 1) * 40000);
    for (const char* view : {"day", "month", "year"})
        for (bool costs : {false, true}) {
            CScreenshotArgs a;
            a.strPage = "traffic";
            a.strView = view;
            a.bCosts = costs;
            a.strFile = ScreenshotPath(std::string("traffic-") + view + (costs ? "-costs" : ""));
            std::string error;
            EXPECT_TRUE(WriteScreenshot(c, a, error)) << error;
        }
    for (const char* page : {"traffic-settings", "icon-position"}) {
        CScreenshotArgs a;
        a.strPage = page;
        a.strFile = ScreenshotPath(page);
        std::string error;
        EXPECT_TRUE(WriteScreenshot(c, a, error)) << page << ": " << error;
        EXPECT_EQ(QImage(QString::fromStdString(a.strFile)).width(), 240) << page;
    }
    // Pictures leave the monitor's files as they were: the user still gets the hint.
    EXPECT_EQ(Stored().firstRun, 1);
    EXPECT_FALSE(Has(u"MONITORSTARTED"));
    EXPECT_TRUE(ce::FileExists(u"\\monitor.log"));
    EXPECT_TRUE(Shown().empty());
}

}  // namespace kvo::connect::ui::test
