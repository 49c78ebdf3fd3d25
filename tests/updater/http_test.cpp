// The HTTP client against a real server on 127.0.0.1 that can misbehave on purpose.
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/http.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"
#include "tests/updater/test_http_server.h"

namespace {

using kvo::test::CTestHttpServer;

class HttpTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override { ASSERT_TRUE(ce::CreateDirectories(u"\\windows\\temp")); }
    std::string Read(std::u16string_view path) {
        std::string bytes;
        EXPECT_TRUE(ce::ReadFileBytes(path, bytes));
        return bytes;
    }
    CTestHttpServer m_server;
};

TEST_F(HttpTest, GetStoresTheWholeBodyAndHeadReadsOnlyTheLength) {
    std::string body(5000, 'x');
    body[4999] = 'y';
    m_server.Set("/a/b.bin", body);
    std::atomic<int64_t> received{0};
    ce::HttpReply r =
        ce::HttpGetFile(m_server.Url() + "/a/b.bin", u"\\windows\\temp\\b.bin", &received);
    ASSERT_EQ(r.result, ce::HttpResult::Ok) << r.strDetail;
    EXPECT_EQ(r.nLength, 5000);
    EXPECT_EQ(received.load(), 5000);
    EXPECT_EQ(Read(u"\\windows\\temp\\b.bin"), body);
    EXPECT_FALSE(ce::FileExists(u"\\windows\\temp\\b.bin~part"));

    ce::HttpReply head = ce::HttpQueryLength(m_server.Url() + "/a/b.bin");
    ASSERT_EQ(head.result, ce::HttpResult::Ok) << head.strDetail;
    EXPECT_EQ(head.nLength, 5000);
    EXPECT_EQ(m_server.Log(), "GET /a/b.bin\nHEAD /a/b.bin\n");

    // An empty object is a real size of 0.
    m_server.Set("/empty", "");
    EXPECT_EQ(ce::HttpGetFile(m_server.Url() + "/empty", u"\\windows\\temp\\e").result,
              ce::HttpResult::Ok);
    EXPECT_EQ(Read(u"\\windows\\temp\\e"), "");
}

TEST_F(HttpTest, ShortOrBrokenBodiesFailAndReplaceNothing) {
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\windows\\temp\\f", "old"));
    // Announces 4000 bytes, sends 1000 and hangs up.
    m_server.Set("/short", {200, std::string(4000, 'a'), -1, 1000});
    ce::HttpReply r = ce::HttpGetFile(m_server.Url() + "/short", u"\\windows\\temp\\f");
    EXPECT_EQ(r.result, ce::HttpResult::BodyFailed);
    // Lies: announces more than the body holds.
    m_server.Set("/lie", {200, std::string(100, 'a'), 5000, -1});
    EXPECT_EQ(ce::HttpGetFile(m_server.Url() + "/lie", u"\\windows\\temp\\f").result,
              ce::HttpResult::BodyFailed);
    // No length at all: no size of 0 made up, for GET and HEAD alike.
    m_server.Set("/nolength", {200, "abc", -2, -1});
    EXPECT_EQ(ce::HttpGetFile(m_server.Url() + "/nolength", u"\\windows\\temp\\f").result,
              ce::HttpResult::NoLength);
    m_server.Set("/nolength-empty", {200, "", -2, -1});
    EXPECT_EQ(ce::HttpGetFile(m_server.Url() + "/nolength-empty", u"\\windows\\temp\\f").result,
              ce::HttpResult::NoLength);
    EXPECT_EQ(ce::HttpQueryLength(m_server.Url() + "/nolength").result, ce::HttpResult::NoLength);
    EXPECT_EQ(ce::HttpQueryLength(m_server.Url() + "/missing").result, ce::HttpResult::NoLength);
    EXPECT_EQ(Read(u"\\windows\\temp\\f"), "old");
    EXPECT_FALSE(ce::FileExists(u"\\windows\\temp\\f~part"));

    // A cancelled transfer stops and keeps nothing.
    std::atomic<bool> cancel{true};
    m_server.Set("/big", std::string(100000, 'b'));
    EXPECT_EQ(
        ce::HttpGetFile(m_server.Url() + "/big", u"\\windows\\temp\\f", nullptr, &cancel).result,
        ce::HttpResult::Cancelled);
    EXPECT_EQ(Read(u"\\windows\\temp\\f"), "old");
}

TEST_F(HttpTest, ErrorPagesComeBackWithTheirStatus) {
    ce::HttpReply r = ce::HttpGetFile(m_server.Url() + "/nothing", u"\\windows\\temp\\p");
    EXPECT_EQ(r.result, ce::HttpResult::Ok);
    EXPECT_EQ(r.nStatus, 404);
}

TEST_F(HttpTest, AServerThatIsDownCannotBeConnected) {
    // A port that was just free: nobody listens there.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    std::string url = "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/x";
    EXPECT_EQ(ce::HttpGetFile(url, u"\\windows\\temp\\x").result, ce::HttpResult::ConnectFailed);
    EXPECT_EQ(ce::HttpQueryLength(url).result, ce::HttpResult::ConnectFailed);
    EXPECT_FALSE(ce::FileExists(u"\\windows\\temp\\x"));
    EXPECT_EQ(ce::HttpGetFile("ftp://127.0.0.1/x", u"\\windows\\temp\\x").result,
              ce::HttpResult::RequestFailed);
}

TEST(HttpServerAddress, HostAndPortOrNothing) {
    std::string host;
    uint16_t port = 0;
    ASSERT_TRUE(ce::ParseHttpServer(u"http://updates.example.org", host, port));
    EXPECT_EQ(host, "updates.example.org");
    EXPECT_EQ(port, 80);
    ASSERT_TRUE(ce::ParseHttpServer(u"HTTP://127.0.0.1:8080/", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8080);
    for (auto bad : {u"", u"http://", u"ftp://a", u"http://a:0", u"http://a:70000", u"http://a:",
                     u"http://a/b", u"http://user@a", u"http://a:8x"})
        EXPECT_FALSE(ce::ParseHttpServer(bad, host, port)) << ce::ToUtf8(bad);
}

}  // namespace
