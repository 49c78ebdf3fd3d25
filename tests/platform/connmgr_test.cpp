#include <map>
#include <mutex>

#include <gtest/gtest.h>

#include "platform/connmgr.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;

namespace {

// Dials by the script the test sets: per entry, connect, fail, or take longer than allowed.
class CFakeDialer : public IConnectionDialer {
public:
    enum class Answer { Connect, Fail, TimeOut, ConnectLate };
    std::map<std::u16string, Answer> answers;
    std::map<uint32_t, LinkState> links;
    std::vector<std::u16string> dialled;
    std::vector<uint32_t> hungUp;

    Result Dial(std::u16string_view entry, uint32_t timeoutMs) override {
        dialled.emplace_back(entry);
        Result r;
        auto it = answers.find(std::u16string(entry));
        Answer a = it == answers.end() ? Answer::Fail : it->second;
        if (a == Answer::Fail) {
            r.strError = "NO CARRIER";
            return r;
        }
        if (a == Answer::TimeOut) {
            Sleep(timeoutMs);
            r.bTimedOut = true;
            return r;
        }
        if (a == Answer::ConnectLate)
            Sleep(timeoutMs + 1);
        r.bConnected = true;
        r.hConnection = m_next++;
        links[r.hConnection] = LinkState::Connected;
        return r;
    }
    LinkState State(uint32_t h) override {
        auto it = links.find(h);
        return it == links.end() ? LinkState::Gone : it->second;
    }
    bool HangUp(uint32_t h) override {
        hungUp.push_back(h);
        return links.erase(h) > 0;
    }

private:
    uint32_t m_next = 0x51;
};

const GUID kOwnNetwork = *GuidFromString(u"{0000ABCD-1111-2222-3333-444455556666}");

class ConnMgrTest : public DeviceTest {
protected:
    ConnMgrTest() { SetConnectionDialer(&m_dialer); }
    ~ConnMgrTest() override { SetConnectionDialer(&RasConnectionDialer()); }

    // A dial-up connection as the provisioning writes it.
    void AddConnection(std::u16string_view entry, const GUID& dest, uint32_t enabled = 1) {
        std::u16string key =
            std::u16string(kConnMgrDialUpConnectionsKey) + u"\\" + std::u16string(entry);
        ASSERT_TRUE(
            RegSetValue(HKEY_LOCAL_MACHINE, key, u"DestId", RegValue::Sz(GuidToString(dest))));
        ASSERT_TRUE(RegSetValue(HKEY_LOCAL_MACHINE, key, u"Enabled", RegValue::Dword(enabled)));
        ASSERT_TRUE(RegSetValue(HKEY_LOCAL_MACHINE, key, u"EntryType", RegValue::Dword(0)));
        ASSERT_TRUE(RegSetValue(HKEY_LOCAL_MACHINE, key, u"RequirePw", RegValue::Dword(1)));
    }

    static CONNMGR_CONNECTIONINFO Request(const GUID& dest) {
        CONNMGR_CONNECTIONINFO info;
        info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
        info.dwPriority = CONNMGR_PRIORITY_USERBACKGROUND;
        info.guidDestNet = dest;
        return info;
    }

    CFakeDialer m_dialer;
    kvo::test::FakeClock m_clock;
};

TEST_F(ConnMgrTest, RequestDialsTheEntryOfTheMatchingDestinationThenStatusAndRelease) {
    AddConnection(u"other", kInternetDestination);
    AddConnection(u"kvonet", kOwnNetwork);
    m_dialer.answers[u"kvonet"] = CFakeDialer::Answer::Connect;
    uint32_t h = 0, status = 0;
    ASSERT_EQ(ConnMgrEstablishConnectionSync(Request(kOwnNetwork), &h, 60000, &status), S_OK);
    EXPECT_EQ(status, CONNMGR_STATUS_CONNECTED);
    EXPECT_NE(h, 0u);
    EXPECT_EQ(m_dialer.dialled, std::vector<std::u16string>{u"kvonet"});

    ASSERT_EQ(ConnMgrConnectionStatus(h, &status), S_OK);
    EXPECT_EQ(status, CONNMGR_STATUS_CONNECTED);
    m_dialer.links[h] = IConnectionDialer::LinkState::Dialling;
    ASSERT_EQ(ConnMgrConnectionStatus(h, &status), S_OK);
    EXPECT_EQ(status, CONNMGR_STATUS_WAITINGCONNECTION);
    m_dialer.links[h] = IConnectionDialer::LinkState::Connected;

    EXPECT_EQ(ConnMgrReleaseConnection(h, 0), S_OK);
    EXPECT_EQ(m_dialer.hungUp, std::vector<uint32_t>{h});
    ASSERT_EQ(ConnMgrConnectionStatus(h, &status), S_OK);
    EXPECT_EQ(status, CONNMGR_STATUS_DISCONNECTED);
    // Releasing again is harmless and dials nothing.
    EXPECT_EQ(ConnMgrReleaseConnection(h, 0), S_OK);
    EXPECT_EQ(m_dialer.hungUp.size(), 1u);
}

TEST_F(ConnMgrTest, NoConnectionForTheDestinationIsNoPath) {
    AddConnection(u"kvonet", kOwnNetwork, 0);  // switched off
    AddConnection(u"wap", kWapDestination);
    uint32_t h = 7, status = 0;
    EXPECT_NE(ConnMgrEstablishConnectionSync(Request(kOwnNetwork), &h, 60000, &status), S_OK);
    EXPECT_EQ(status, CONNMGR_STATUS_NOPATHTODESTINATION);
    EXPECT_EQ(h, 0u);
    EXPECT_TRUE(m_dialer.dialled.empty());
    EXPECT_NE(GetLastErrorText().find("{0000ABCD-1111-2222-3333-444455556666}"), std::string::npos);
}

TEST_F(ConnMgrTest, AFailedOrTimedOutDialIsConnectionFailedAndLeavesNothingUp) {
    AddConnection(u"kvonet", kOwnNetwork);
    uint32_t h = 0, status = 0;
    m_dialer.answers[u"kvonet"] = CFakeDialer::Answer::Fail;
    EXPECT_EQ(ConnMgrEstablishConnectionSync(Request(kOwnNetwork), &h, 60000, &status), E_FAIL);
    EXPECT_EQ(status, CONNMGR_STATUS_CONNECTIONFAILED);
    EXPECT_NE(GetLastErrorText().find("NO CARRIER"), std::string::npos);

    m_dialer.answers[u"kvonet"] = CFakeDialer::Answer::TimeOut;
    EXPECT_EQ(ConnMgrEstablishConnectionSync(Request(kOwnNetwork), &h, 60000, &status),
              HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    EXPECT_EQ(status, CONNMGR_STATUS_CONNECTIONFAILED);

    // A dialer that connects after the caller's time-out: that connection is hung up.
    m_dialer.answers[u"kvonet"] = CFakeDialer::Answer::ConnectLate;
    EXPECT_EQ(ConnMgrEstablishConnectionSync(Request(kOwnNetwork), &h, 5000, &status),
              HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    EXPECT_EQ(status, CONNMGR_STATUS_CONNECTIONFAILED);
    EXPECT_EQ(h, 0u);
    EXPECT_TRUE(m_dialer.links.empty());
    EXPECT_EQ(m_dialer.hungUp.size(), 1u);
}

TEST_F(ConnMgrTest, BadRequestsAndHandlesAreRefused) {
    uint32_t h = 0, status = 0;
    CONNMGR_CONNECTIONINFO noDest = Request(kOwnNetwork);
    noDest.dwParams = 0;
    EXPECT_EQ(ConnMgrEstablishConnectionSync(noDest, &h, 1000, &status), E_INVALIDARG);
    EXPECT_EQ(ConnMgrConnectionStatus(0, &status), E_HANDLE);
    EXPECT_EQ(ConnMgrReleaseConnection(0, 0), E_HANDLE);
    // Without a dial-up service nothing can be dialled.
    AddConnection(u"kvonet", kOwnNetwork);
    SetConnectionDialer(nullptr);
    EXPECT_EQ(ConnMgrEstablishConnectionSync(Request(kOwnNetwork), &h, 1000, &status), E_FAIL);
    EXPECT_EQ(status, CONNMGR_STATUS_CONNECTIONFAILED);
}

TEST(GuidText, ReadsTheRegistryFormAndRefusesOthers) {
    auto g = GuidFromString(u"{436ef144-B4FB-4863-A041-8F905A62C572}");
    ASSERT_TRUE(g);
    EXPECT_EQ(GuidToString(*g), u"{436EF144-B4FB-4863-A041-8F905A62C572}");
    EXPECT_EQ(g->Data1, 0x436EF144u);
    EXPECT_EQ(g->Data4[7], 0x72);
    for (const char16_t* bad :
         {u"436EF144-B4FB-4863-A041-8F905A62C572", u"{436EF144-B4FB-4863-A041-8F905A62C57}",
          u"{436EF144-B4FB-4863-A041_8F905A62C572}", u"{436EF144-B4FB-4863-A041-8F905A62C57G}",
          u"{436EF144-B4FB-4863-A041-8F905A62C5722}"})
        EXPECT_FALSE(GuidFromString(bad)) << ToUtf8(bad);
}

}  // namespace
