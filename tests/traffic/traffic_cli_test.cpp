// `kvo traffic` and `kvo monitor` as a user types them.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <sstream>

#include "linkwatch/monitor_files.h"
#include "linkwatch/traffic_record.h"
#include "platform/datetime.h"
#include "platform/file.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo/commands.h"

namespace fs = std::filesystem;

namespace {

using kvo::linkwatch::CMonitorFiles;

class TrafficCliTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        m_files = CMonitorFiles::Installed();
        ce::CreateDirectories(m_files.LogDir());
    }
    int Kvo(const std::vector<std::string>& args) {
        m_out.str("");
        m_err.str("");
        return kvo::cli::Main(args, m_out, m_err);
    }
    void Add(int month, int year, int day, uint32_t rx, uint32_t tx, uint32_t peak) {
        ce::SYSTEMTIME t{};
        t.wYear = static_cast<uint16_t>(year);
        t.wMonth = static_cast<uint16_t>(month);
        t.wDay = static_cast<uint16_t>(day);
        ce::File f = ce::File::OpenAppend(m_files.LogPath(month, year));
        ASSERT_TRUE(f.Write(kvo::linkwatch::FormatTrafficRecord(t, rx, tx, peak)));
    }
    std::string Settings() {
        std::string bytes;
        ce::ReadFileBytes(m_files.SettingsPath(), bytes);
        return bytes;
    }

    CMonitorFiles m_files{u""};
    std::ostringstream m_out, m_err;
};

TEST_F(TrafficCliTest, DayMonthAndYearFigures) {
    Add(3, 2025, 7, 1048576, 1024, 4000);
    Add(3, 2025, 7, 10 * 1048576, 0, 9000);
    ASSERT_EQ(Kvo({"traffic", "day", "2025-03-07"}), 0) << m_err.str();
    // 10 MB included for 10.00: 10 MB of it inside, the rest at 10.00 per kB.
    EXPECT_EQ(m_out.str(),
              "received 11534336\ntransmitted 1024\ntotal 11535360\npeak 9000\n"
              "allowance 419430\ninclusive-cost 10.00\nadditional-cost 10250.00\n");
    ASSERT_EQ(Kvo({"traffic", "month", "2025-03"}), 0) << m_err.str();
    std::string month = m_out.str();
    EXPECT_EQ(std::count(month.begin(), month.end(), '\n'), 31);
    EXPECT_NE(month.find("\n7\t11534336\t1024\t11535360\t9000\t10.00\t10250.00\n"),
              std::string::npos);
    ASSERT_EQ(Kvo({"traffic", "year", "2025"}), 0);
    EXPECT_NE(m_out.str().find("\n3\t11534336\t1024\t11535360\t9000\t10.00\t10250.00\n"),
              std::string::npos);
}

TEST_F(TrafficCliTest, ChartsArePictures) {
    Add(3, 2025, 7, 5000, 100, 10);
    fs::path png = fs::path(m_device.Root()) / "month.png";
    ASSERT_EQ(Kvo({"traffic", "chart", "month", "2025-03", "--costs", png.string()}), 0)
        << m_err.str();
    QImage img(QString::fromStdString(png.string()));
    EXPECT_EQ(img.size(), QSize(240, 220));
    EXPECT_EQ(Kvo({"traffic", "chart", "week", png.string()}), 2);
    EXPECT_EQ(Kvo({"traffic", "chart", "day", "--costs", png.string()}), 2);
}

TEST_F(TrafficCliTest, UsageErrorsAndAWritingMonitor) {
    EXPECT_EQ(Kvo({"traffic", "day", "2025-02-30"}), 2);
    EXPECT_EQ(Kvo({"traffic", "month", "2025-3"}), 2);
    EXPECT_EQ(Kvo({"traffic", "year", "x"}), 2);
    EXPECT_EQ(Kvo({"traffic", "--help"}), 0);
    EXPECT_NE(m_out.str().find("traffic chart"), std::string::npos);
    // A log half written is never read.
    m_files.SetMarker(kvo::linkwatch::kWrt);
    EXPECT_EQ(Kvo({"traffic", "day"}), 1);
    EXPECT_NE(m_err.str().find("writing"), std::string::npos);
}

TEST_F(TrafficCliTest, MonitorSettingsTakeOnlyTheListedValues) {
    ASSERT_EQ(Kvo({"monitor", "set", "block-kb", "25"}), 0) << m_err.str();
    const std::string saved = Settings();
    ASSERT_EQ(saved.size(), 31u);
    EXPECT_EQ(saved[16], 25);
    // The page's defaults stand for what was never set.
    ASSERT_EQ(Kvo({"monitor", "status"}), 0);
    EXPECT_NE(m_out.str().find("monthly-payment 10\n"), std::string::npos) << m_out.str();
    EXPECT_NE(m_out.str().find("block-kb 25\n"), std::string::npos);
    EXPECT_NE(m_out.str().find("running no\n"), std::string::npos);

    EXPECT_EQ(Kvo({"monitor", "set", "block-kb", "26"}), 2);
    EXPECT_NE(m_err.str().find("one of"), std::string::npos);
    EXPECT_EQ(Kvo({"monitor", "set", "speed", "1"}), 2);
    EXPECT_EQ(Kvo({"monitor", "set", "month-start-day"}), 2);
    EXPECT_EQ(Settings(), saved);
    // A running monitor is told to re-read them.
    m_files.SetMarker(kvo::linkwatch::kDrun);
    ASSERT_EQ(Kvo({"monitor", "set", "month-start-day", "15"}), 0);
    EXPECT_TRUE(m_files.HasMarker(kvo::linkwatch::kReload));
}

}  // namespace
