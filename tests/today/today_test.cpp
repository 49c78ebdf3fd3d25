// The Today screen host with the banner item as the device registers it: layout, drawing,
// and what each tap starts (seen through the process-start seam).
#include <gtest/gtest.h>
#include <signal.h>

#include <QGuiApplication>
#include <QLocalSocket>
#include <thread>

#include "common/install_dir.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "telmio/ui/single_instance.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/today/today_host.h"

namespace fs = std::filesystem;

namespace kvo::today {
namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "today_tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* app = new QGuiApplication(argc, argv);
    return *app;
}

constexpr int kBannerY = kHeaderHeight + 18;  // a point inside the banner

class TodayTest : public test::DeviceTest {
protected:
    void SetUp() override {
        App();
        std::string error;
        ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        ce::SetProcessStartHook([this](std::u16string_view path, std::u16string_view cmd) {
            m_starts.emplace_back(path, cmd);
            return pid_t(4242);
        });
        m_oldBox = ce::SetMessageBoxHandler(
            [this](std::u16string_view text, std::u16string_view caption, uint32_t type) {
                m_boxes.push_back({std::u16string(text), std::u16string(caption)});
                m_nBoxType = type;
                return int(ce::IDOK);
            });
        ce::SetExternalWindowFinder({});
    }
    void TearDown() override {
        ce::SetProcessStartHook({});
        ce::SetMessageBoxHandler(m_oldBox);
        ce::SetExternalWindowFinder({});
    }
    void Load(CTodayHost& host) {
        std::vector<std::string> problems;
        host.LoadItems(problems);
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
    using Start = std::pair<std::u16string, std::u16string>;
    std::vector<Start> m_starts;
    std::vector<std::pair<std::u16string, std::u16string>> m_boxes;
    uint32_t m_nBoxType = 0;
    ce::MessageBoxHandler m_oldBox;
};

TEST_F(TodayTest, BannerIsLaidOutByItsHeightQuery) {
    CTodayHost host;
    Load(host);
    ASSERT_EQ(host.Items().size(), 1u);
    const CTodayItem& item = *host.Items()[0];
    EXPECT_EQ(item.m_item.cyp, 36u);
    EXPECT_EQ(item.m_nTop, kHeaderHeight);
    EXPECT_EQ(ce::GetClassName(item.m_hwnd), u"homestrip");
    EXPECT_EQ(ce::GetWindowText(item.m_hwnd), u"homestripScreen");
    // Only the first query changes the height.
    ce::TODAYLISTITEM again = item.m_item;
    EXPECT_EQ(ce::SendMessage(item.m_hwnd, ce::WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                              reinterpret_cast<ce::WPARAM>(&again), 0),
              0);
}

TEST_F(TodayTest, ReloadedItemsWorkAfterTheirLibraryWasUnloaded) {
    {
        CTodayHost first;
        Load(first);
    }
    // The unloaded library's class went with it: its window procedure is gone.
    ce::WNDCLASS wc;
    wc.lpfnWndProc = ce::DefWindowProc;
    wc.lpszClassName = u"homestrip";
    EXPECT_TRUE(ce::RegisterClass(wc));
    ce::UnregisterClass(u"homestrip", nullptr);
    CTodayHost second;
    Load(second);
    ASSERT_EQ(second.Items().size(), 1u);
    EXPECT_TRUE(second.Tap(203, kBannerY));
    EXPECT_EQ(m_starts.size(), 1u);
}

TEST_F(TodayTest, TapZonesStartTheirPrograms) {
    CTodayHost host;
    Load(host);
    const std::u16string dir = GetInstallDir();
    for (int x : {0, 48, 49, 82, 83, 121, 122, 156, 203, 239}) EXPECT_TRUE(host.Tap(x, kBannerY));
    EXPECT_EQ(m_starts, (std::vector<Start>{{dir + u"connect.exe", u"c"},
                                            {dir + u"connect.exe", u"c"},
                                            {u"\\Windows\\iexplore.exe", u""},
                                            {u"\\Windows\\iexplore.exe", u""},
                                            {u"\\Windows\\tmail.exe", u""},
                                            {u"\\Windows\\tmail.exe", u""},
                                            {dir + u"telmio.exe", u""},
                                            {dir + u"telmio.exe", u""},
                                            {dir + u"connect.exe", u"s"},
                                            {dir + u"connect.exe", u"s"}}));
    EXPECT_FALSE(host.Tap(100, 5)) << "the date line is no item";
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(TodayTest, UserProgramZoneNeedsMyapp) {
    CTodayHost host;
    Load(host);
    EXPECT_TRUE(host.Tap(157, kBannerY));
    EXPECT_TRUE(host.Tap(202, kBannerY));
    EXPECT_TRUE(m_starts.empty());
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].first,
              u"APP' niet gedefiniëerd. Ga aub. naar setup en klik 'Definiëer APP', om een "
              u"programma te selecteren die hier begint.");
    EXPECT_EQ(m_boxes[0].second, u"Orvane kvonet pro");
    EXPECT_EQ(m_nBoxType & ce::MB_ICONMASK, ce::MB_ICONINFORMATION);
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane kvonet pro",
                                u"myapp", ce::RegValue::Sz(u"\\Windows\\calc.exe")));
    EXPECT_TRUE(host.Tap(202, kBannerY));
    EXPECT_EQ(m_starts, (std::vector<Start>{{u"\\Windows\\calc.exe", u""}}));
}

TEST_F(TodayTest, RunningTelmioIsBroughtForwardNotStartedAgain) {
    // The real client, as a person would have it open.
    ce::SetProcessStartHook({});
    qputenv("QT_QPA_PLATFORM", "offscreen");
    pid_t telmio = ce::CreateProcess(InstallPath(u"telmio.exe"), u"");
    ASSERT_GT(telmio, 0);
    bool up = false;
    for (int i = 0; i < 200 && !up; ++i) {
        QLocalSocket s;
        s.connectToServer(kvo::ui::InstanceName());
        up = s.waitForConnected(100);
        s.abort();
        if (!up)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ce::SetProcessStartHook([this](std::u16string_view path, std::u16string_view cmd) {
        m_starts.emplace_back(path, cmd);
        return pid_t(4242);
    });
    std::vector<bool> answers;
    ce::SetExternalWindowFinder([&](std::u16string_view title, bool bActivate) {
        bool found = TelmioWindow(title, bActivate);
        if (bActivate)
            answers.push_back(found);
        return found;
    });
    CTodayHost host;
    Load(host);
    EXPECT_TRUE(up) << "telmio did not come up";
    EXPECT_TRUE(host.Tap(140, kBannerY));
    kill(telmio, SIGTERM);
    ce::WaitProcess(telmio);
    EXPECT_TRUE(m_starts.empty());
    EXPECT_EQ(answers, std::vector<bool>{true}) << "telmio answered the hand-over";
}

TEST_F(TodayTest, BannerIsDrawnOverTheWatermarkAndWithoutItOnlyTheWatermarkShows) {
    CTodayHost host;
    Load(host);
    QImage screen = host.Paint();
    const QImage& wm = host.Watermark();
    auto same = [&](const QImage& img, int x, int y) { return img.pixel(x, y) == wm.pixel(x, y); };
    // The gap at a tile's edge is the transparent colour: the watermark shows through.
    EXPECT_TRUE(same(screen, 49, kBannerY));
    EXPECT_FALSE(same(screen, 30, kBannerY));
    EXPECT_NE(screen.pixel(49, kBannerY), qRgb(252, 2, 132));
    fs::create_directories(KVO_SCREENSHOT_DIR);
    EXPECT_TRUE(screen.save(QString(KVO_SCREENSHOT_DIR) + "/today.png"));

    ASSERT_TRUE(ce::DeleteFile(InstallPath(u"connect.tdy")));
    QImage bare = host.Paint();
    for (int y = kHeaderHeight; y < kHeaderHeight + 36; ++y)
        for (int x = 0; x < kScreenWidth; ++x) ASSERT_TRUE(same(bare, x, y)) << x << "," << y;
    // A damaged picture is no picture either.
    ASSERT_TRUE(ce::WriteFileAtomic(InstallPath(u"connect.tdy"), "BM not really"));
    EXPECT_EQ(host.Paint(), bare);
}

TEST_F(TodayTest, DisabledOrBrokenItemsTakeNoRoom) {
    const std::u16string key = std::u16string(ce::kTodayItemsKey) + u"\\\"Kvonet\"";
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, key, u"Enabled", ce::RegValue::Dword(0)));
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE,
                                std::u16string(ce::kTodayItemsKey) + u"\\Gone", u"DLL",
                                ce::RegValue::Sz(u"\\Windows\\gone.dll")));
    CTodayHost host;
    std::vector<std::string> problems;
    host.LoadItems(problems);
    EXPECT_TRUE(host.Items().empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("gone.dll"), std::string::npos);
    EXPECT_FALSE(host.Tap(30, kBannerY));
}

}  // namespace
}  // namespace kvo::today
