#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>
#include "platform/pty.h"
TEST(Pty, BytesPassBothWaysUntranslated) {
    ce::PtyMaster pty;
    std::string error;
    ASSERT_TRUE(pty.Open(error)) << error;
    int s = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(s, 0);
    std::string e2;
    ASSERT_TRUE(ce::MakeRaw(s, 115200, e2)) << e2;
    ASSERT_EQ(write(s, "AT\r", 3), 3);
    char buf[16];
    ASSERT_EQ(read(pty.Fd(), buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), "AT\r");
    ASSERT_EQ(write(pty.Fd(), "\r\nOK\r\n\x1a", 7), 7);
    ASSERT_EQ(read(s, buf, sizeof buf), 7);
    EXPECT_EQ(std::string(buf, 7), "\r\nOK\r\n\x1a");
    close(s);
}
TEST(Pty, LinkPointsAtSlaveAndIsRemovedOnClose) {
    char dir[] = "/tmp/ptyXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string link = std::string(dir) + "/COM3";
    {
        ce::PtyMaster pty;
        std::string error;
        ASSERT_TRUE(pty.Open(error) && pty.Link(link, error)) << error;
        char t[256]; ssize_t n = readlink(link.c_str(), t, 255);
        ASSERT_GT(n, 0); t[n] = 0;
        EXPECT_EQ(pty.SlavePath(), t);
    }
    EXPECT_NE(access(link.c_str(), F_OK), 0);
    rmdir(dir);
}
