// CLinkMeter over the device's connection records, with live stand-in link processes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "linkmeter/link_meter.h"
#include "platform/ras_record.h"
#include "tests/support/temp_device.h"

namespace {

class LinkMeterTest : public kvo::test::DeviceTest {
protected:
    void TearDown() override {
        for (pid_t pid : m_pids) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // A connection record held by a live process of its own.
    uint32_t AddConnection(const std::u16string& entry, uint64_t rx, uint64_t tx, uint32_t bps) {
        pid_t pid = fork();
        if (pid == 0) {
            ::pause();
            _exit(0);
        }
        m_pids.push_back(pid);
        ce::RasConnectionRecord r;
        r.strEntry = entry;
        r.nPid = static_cast<uint32_t>(pid);
        for (int i = 0; i < 200 && !r.nStartTime; ++i) r.nStartTime = ce::ProcessStartTime(pid);
        r.eState = ce::RasConnectionRecord::CONNECTED;
        r.nSpeed = bps;
        r.nSinceMs = ce::BootTimeMs() - 5000;
        r.nReceived = rx;
        r.nTransmitted = tx;
        std::string error;
        EXPECT_TRUE(ce::WriteRasRecord(r, error)) << error;
        return r.nPid;
    }
    std::vector<pid_t> m_pids;
};

TEST_F(LinkMeterTest, FindsTheEntryByItsExactNameAmongMany) {
    CLinkMeter meter;
    EXPECT_EQ(meter.Init(u"kvonet"), 0);
    EXPECT_EQ(meter.Refresh(), 0);
    EXPECT_EQ(meter.GetBytesRecieved(), 0u);

    AddConnection(u"office", 1, 2, 9600);
    AddConnection(u"Kvonet", 3, 4, 9600);
    // More connections than the first one-record buffer holds: it is grown once.
    uint32_t mine = AddConnection(u"kvonet", 70000, 1500, 57600);
    AddConnection(u"kvonet2", 5, 6, 9600);
    ASSERT_EQ(meter.Init(u"kvonet"), 1);
    EXPECT_EQ(meter.GetHandleToConnection(), mine);
    ASSERT_EQ(meter.Refresh(), 1);
    EXPECT_EQ(meter.GetBytesRecieved(), 70000u);
    EXPECT_EQ(meter.GetBytesTransmited(), 1500u);
    EXPECT_EQ(meter.GetSpeedOfConnection(), 57600u);
    EXPECT_GE(meter.GetTimeOfConnection(), 4000u);

    CLinkMeter copy = meter;
    EXPECT_EQ(copy.GetHandleToConnection(), mine);
    EXPECT_EQ(copy.GetBytesRecieved(), 70000u);

    EXPECT_EQ(meter.Init(u"KVONET"), 0);
    EXPECT_EQ(meter.GetHandleToConnection(), 0u);
}

TEST_F(LinkMeterTest, RefreshFailsOnceTheConnectionIsGone) {
    uint32_t conn = AddConnection(u"kvonet", 10, 10, 9600);
    CLinkMeter meter;
    ASSERT_EQ(meter.Init(u"kvonet"), 1);
    ASSERT_EQ(meter.Refresh(), 1);
    ::kill(static_cast<pid_t>(conn), SIGKILL);
    ::waitpid(static_cast<pid_t>(conn), nullptr, 0);
    EXPECT_EQ(meter.Refresh(), 0);
    EXPECT_EQ(meter.Init(u"kvonet"), 0);
}

}  // namespace
