// The kvophone program itself: started with a link, talked to, stopped with SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/kvophone/phone_client.h"
#include "tools/kvophone/cli.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;

namespace kvo::phone::test {
namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvophone-prog-XXXXXX";
        ASSERT_TRUE(mkdtemp(tmpl));
        m_dir = tmpl;
    }
    void TearDown() override {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        fs::remove_all(m_dir);
    }
    void Spawn(const std::vector<std::string>& args) {
        std::string bin = std::string(KVO_BINARY_DIR) + "/bin/kvophone";
        std::string out = (m_dir / "stdout").string();
        m_pid = fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            std::vector<char*> argv{const_cast<char*>(bin.c_str())};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            FILE* f = freopen(out.c_str(), "w", stdout);
            (void)f;
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
    }
    bool WaitForLink(const fs::path& link) {
        for (int i = 0; i < 500; ++i) {
            struct stat st;
            if (lstat(link.c_str(), &st) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    int StopWithSigterm() {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path m_dir;
    pid_t m_pid = -1;
};

TEST_F(ProgramTest, ServesTheLinkWritesJournalAndStateOnSigterm) {
    fs::path link = m_dir / "COM3", journal = m_dir / "journal.txt", state = m_dir / "state.scn";
    fs::path scenario = m_dir / "phone.scn";
    std::ofstream(scenario) << "[phone]\nmodel = SP-9\n[sms ME]\nsize = 5\n"
                               "1 = 0,+4917,2026-12-08 10:00:00,hi\n";
    Spawn({"--link", link.string(), "--scenario", scenario.string(), "--journal",
           journal.string(), "--state-out", state.string(), "--baud", "115200"});
    ASSERT_TRUE(WaitForLink(link));
    {
        CLineClient client;
        ASSERT_TRUE(client.Open(link.string()));
        EXPECT_EQ(client.Exchange("AT+CGMM\r"), "AT+CGMM\r\r\nSP-9\r\n\r\nOK\r\n");
        EXPECT_EQ(client.Exchange("AT+CPBW=4,\"+4930\",,\"Desk\"\r"),
                  "AT+CPBW=4,\"+4930\",,\"Desk\"\r\r\nOK\r\n");
        EXPECT_EQ(client.Exchange("AT+CMGD=1\r"), "AT+CMGD=1\r\r\nOK\r\n");
        EXPECT_EQ(client.Exchange("ATD0301234;\r"), "ATD0301234;\r\r\nOK\r\n");
    }
    EXPECT_EQ(StopWithSigterm(), 0);
    EXPECT_EQ(ReadAll(journal),
              "> AT+CGMM\n> AT+CPBW=4,\"+4930\",,\"Desk\"\nPBW SM 4 +4930,145,Desk\n"
              "> AT+CMGD=1\nDEL ME 1\n> ATD0301234;\nDIAL 0301234;\n");
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(ReadAll(state), s, error)) << error;
    EXPECT_EQ(s.phone.strModel, "SP-9");
    EXPECT_EQ(FindPhonebook(s, "SM")->entries.at(4).strName, "Desk");
    EXPECT_TRUE(FindStorage(s, "ME")->slots.empty());
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link goes with the program
    std::string out = ReadAll(m_dir / "stdout");
    EXPECT_NE(out.find("kvophone: serving /dev/pts/"), std::string::npos) << out;
    EXPECT_NE(out.find(" as " + link.string()), std::string::npos) << out;
}

TEST_F(ProgramTest, ExitsWhenTheLineCloses) {
    fs::path link = m_dir / "COM4", scenario = m_dir / "phone.scn";
    std::ofstream(scenario) << "[quirks]\nhangup_in = AT+CGMI\n";
    Spawn({"--link", link.string(), "--scenario", scenario.string()});
    ASSERT_TRUE(WaitForLink(link));
    CLineClient client;
    ASSERT_TRUE(client.Open(link.string()));
    client.Send("AT+CGMI\r");
    client.ReadFor(300);
    int status = 0;
    ASSERT_EQ(waitpid(m_pid, &status, 0), m_pid);
    m_pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(ProgramTest, RefusesABadScenarioOrCommandLine) {
    fs::path scenario = m_dir / "bad.scn";
    std::ofstream(scenario) << "[phone]\nmodel\n";
    Spawn({"--link", (m_dir / "COM5").string(), "--scenario", scenario.string()});
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 1);

    CliOptions options;
    std::string error;
    EXPECT_FALSE(ParseCommandLine({"--scenario", "x"}, options, error));
    EXPECT_EQ(error, "--link is required");
    EXPECT_FALSE(ParseCommandLine({"--link", "x", "--baud", "fast"}, options, error));
    EXPECT_FALSE(ParseCommandLine({"--link"}, options, error));
    EXPECT_FALSE(ParseCommandLine({"--link", "x", "--colour"}, options, error));
    ASSERT_TRUE(ParseCommandLine({"--link", "x", "--baud", "9600"}, options, error));
    EXPECT_EQ(options.nBaud, 9600);
    // Dialect switches are checked when given, so a typo stops the program before it serves.
    EXPECT_FALSE(
        ParseCommandLine({"--link", "x", "--dialect", "empty_slot=sometimes"}, options, error));
    EXPECT_NE(error.find("empty_slot"), std::string::npos) << error;
    EXPECT_FALSE(ParseCommandLine({"--link", "x", "--dialect", "cmgf"}, options, error));
    CliOptions good;
    ASSERT_TRUE(ParseCommandLine(
        {"--link", "x", "--dialect", "first_index=0", "--dialect", "unsolicited=^RSSI:17"}, good,
        error))
        << error;
    EXPECT_EQ(good.dialect.size(), 2u);
}

}  // namespace
}  // namespace kvo::phone::test
