// Several kvo processes on one device at once, and sessions cut short by signals: the real
// programs, the phone simulator on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "platform/datetime.h"
#include "platform/device.h"
#include "telmio/sms/message_store.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using namespace kvo;

const fs::path kBin = fs::path(KVO_BINARY_DIR) / "bin";

class CQuietUi : public IUserInterface {
public:
    void MessageBox(const std::u16string&, const std::u16string&) override {}
    bool Ask(const std::u16string&) override { return false; }
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}
};

// Starts a program of the build with its output going to `out` (or nowhere).
pid_t Spawn(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    std::string path = (kBin / args[0]).string();
    argv.push_back(path.data());
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (auto& a : rest) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit code, or 128 + the signal.
int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunKvo(std::vector<std::string> args, const std::string& out = "/dev/null") {
    args.insert(args.begin(), "kvo");
    return Wait(Spawn(args, out));
}

// Text -> states of every message on file.
std::map<std::string, std::vector<int>> OnFile() {
    CQuietUi ui;
    CSmsStore store(ui);
    EXPECT_TRUE(store.LoadStore());
    std::map<std::string, std::vector<int>> out;
    for (auto& m : store.Messages())
        out[std::string(m->m_strText.begin(), m->m_strText.end())].push_back(m->m_nState);
    return out;
}

class KvoProcessTest : public test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device::CreateDevice(kBin, error)) << error;
    }
    void TearDown() override { StopPhone(); }

    // kvophone on the device's COM3 with `slots` (slot -> text) in ME and a slow reply.
    void StartPhone(const std::string& scenario) {
        fs::path file = m_device.Root() / "phone.scn";
        test::WriteHostFile(file, scenario);
        fs::path link = m_device.Root() / "dev" / "COM3";
        m_phone = Spawn({"kvophone", "--link", link.string(), "--scenario", file.string(),
                         "--journal", (m_device.Root() / "journal").string(), "--state-out",
                         (m_device.Root() / "state.scn").string()});
        ASSERT_GT(m_phone, 0);
        for (int i = 0; i < 500 && !fs::is_symlink(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(fs::is_symlink(link)) << "kvophone did not come up";
    }
    void StopPhone() {
        if (m_phone <= 0)
            return;
        kill(m_phone, SIGTERM);
        EXPECT_EQ(Wait(m_phone), 0);
        m_phone = -1;
    }
    std::vector<std::string> Journal() {
        std::ifstream in(m_device.Root() / "journal");
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }

    pid_t m_phone = -1;
};

std::string Scenario(const std::map<int, std::string>& slots, int delayMs) {
    std::ostringstream s;
    s << "[sms ME]\nsize = 20\n";
    for (auto& [slot, text] : slots)
        s << slot << " = 1,+4917100000" << (slot % 10) << ",2026-12-08 10:00:00+01:00," << text
          << "\n";
    s << "[sms SM]\nsize = 2\n[quirks]\nreply_delay_ms = " << delayMs << "\n";
    return s.str();
}

// Two senders and two listers at once: every queued message is on file exactly once and
// the messages from before are all still there, whoever held the file when.
TEST_F(KvoProcessTest, ConcurrentSendersAndListersLoseNothing) {
    constexpr int kEarlier = 30, kRounds = 100;
    // Long texts make every read of the store take a while, and so clash more often.
    const std::string padding(3000, '.');
    for (int i = 0; i < kEarlier; ++i)
        ASSERT_EQ(RunKvo({"sms", "send", "0171", "earlier " + std::to_string(i) + padding}), 0);
    // Listers go on until the senders are done, so that they meet the senders' writes as
    // often as the machine allows.
    fs::path done = m_device.Root() / "senders-done";
    std::vector<pid_t> drivers;
    for (int k = 0; k < 4; ++k) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid != 0) {
            drivers.push_back(pid);
            continue;
        }
        // A driver: exits non-zero at the first command that failed or saw fewer messages.
        std::string out = (m_device.Root() / ("list" + std::to_string(k))).string();
        size_t seen = 0;
        for (int i = 0; k < 2 ? i < kRounds : !fs::exists(done); ++i) {
            if (k < 2) {
                if (RunKvo({"sms", "send", "0171",
                            "s" + std::to_string(k) + "-" + std::to_string(i)}) != 0)
                    _exit(1);
                continue;
            }
            if (RunKvo({"sms", "list", "outbox"}, out) != 0)
                _exit(2);
            std::ifstream in(out);
            size_t lines = 0;
            for (std::string l; std::getline(in, l);) ++lines;
            if (lines < kEarlier || lines < seen)
                _exit(3);
            seen = lines;
        }
        _exit(0);
    }
    EXPECT_EQ(Wait(drivers[0]), 0);
    EXPECT_EQ(Wait(drivers[1]), 0);
    test::WriteHostFile(done, "");
    EXPECT_EQ(Wait(drivers[2]), 0);
    EXPECT_EQ(Wait(drivers[3]), 0);
    auto file = OnFile();
    for (int i = 0; i < kEarlier; ++i)
        EXPECT_EQ(file["earlier " + std::to_string(i) + padding].size(), 1u) << i;
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < kRounds; ++i)
            EXPECT_EQ(file["s" + std::to_string(k) + "-" + std::to_string(i)],
                      std::vector<int>{SMS_OUTBOX})
                << k << "-" << i;
}

// Messages queued while a sync runs in another process are in the Outbox or Sent after it,
// once each; what the sync sent is Sent.
TEST_F(KvoProcessTest, ASendDuringASyncEndsInTheOutboxOrSent) {
    StartPhone(Scenario({{1, "on the phone"}, {2, "also on the phone"}}, 10));
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(RunKvo({"sms", "send", "0171", "before " + std::to_string(i)}), 0);
    int during = 0;
    for (int round = 0; round < 2; ++round) {
        pid_t sync = Spawn({"kvo", "sms", "sync"});
        int status = 0;
        while (waitpid(sync, &status, WNOHANG) == 0)
            ASSERT_EQ(RunKvo({"sms", "send", "0172", "during " + std::to_string(during++)}), 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    ASSERT_GE(during, 2) << "the syncs ended before anything was queued beside them";
    auto file = OnFile();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(file["before " + std::to_string(i)], std::vector<int>{SMS_SENT});
    for (int i = 0; i < during; ++i) {
        auto& states = file["during " + std::to_string(i)];
        ASSERT_EQ(states.size(), 1u) << i;
        EXPECT_TRUE(states[0] == SMS_OUTBOX || states[0] == SMS_SENT) << i << ": " << states[0];
    }
    EXPECT_EQ(file["on the phone"].size(), 1u);
}

// Sessions killed at random moments while they delete after reading: whatever is gone from
// the phone is on file, and in the end everything is there exactly once.
TEST_F(KvoProcessTest, KilledDeleteAfterSyncSessionsLoseNoMessage) {
    std::map<int, std::string> slots;
    for (int i = 1; i <= 12; ++i) slots[i] = "message " + std::to_string(i);
    ASSERT_EQ(RunKvo({"settings", "set", "delete-after-sync", "on"}), 0);
    std::mt19937 rng(7);
    std::string scenario = Scenario(slots, 8);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        StartPhone(scenario);
        pid_t sync = Spawn({"kvo", "sms", "sync"});
        bool last = round == 7;
        if (!last) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30 + rng() % 250));
            kill(sync, SIGKILL);
        }
        int code = Wait(sync);
        if (last) {
            EXPECT_EQ(code, 0);
        }
        StopPhone();
        auto file = OnFile();
        for (const auto& line : Journal()) {
            int slot = 0;
            if (std::sscanf(line.c_str(), "DEL ME %d", &slot) != 1)
                continue;
            EXPECT_EQ(file[slots[slot]].size(), 1u) << "deleted but not stored: " << slots[slot];
        }
        scenario = test::ReadHostFile(m_device.Root() / "state.scn");
        ASSERT_FALSE(scenario.empty());
    }
    auto file = OnFile();
    for (auto& [slot, text] : slots) EXPECT_EQ(file[text].size(), 1u) << text;
    EXPECT_EQ(scenario.find("message "), std::string::npos) << "left on the phone:\n" << scenario;
}

// Ctrl-C at random moments of a sync: every later session works. The phone's answer to the
// interrupted command may still be on its way; the next session must not take it for its
// own.
TEST_F(KvoProcessTest, SyncsAfterCtrlCSucceed) {
    StartPhone(Scenario({{1, "one"}, {2, "two"}, {3, "three"}}, 20));
    std::mt19937 rng(11);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        pid_t sync = Spawn({"kvo", "sms", "sync"});
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + rng() % 200));
        kill(sync, SIGINT);
        Wait(sync);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(RunKvo({"sms", "sync"}), 0) << "sync " << i;
    }
    auto file = OnFile();
    for (const char* text : {"one", "two", "three"}) EXPECT_EQ(file[text].size(), 1u) << text;
}

}  // namespace
