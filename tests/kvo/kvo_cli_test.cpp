// `kvo phone info` against a scripted phone linked where the device's port map points.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "phone_responder.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "tests/support/temp_device.h"
#include "tools/kvo/commands.h"

namespace fs = std::filesystem;
using kvo::test::CPhoneResponder;

namespace {

class KvoCliTest : public kvo::test::DeviceTest {
protected:
    int Run(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return kvo::cli::Main(args, m_out, m_err);
    }
    void LinkPhone() {
        fs::create_directories(m_device.Root() / "dev");
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kPortMapKey, u"COM3:",
                                    ce::RegValue::Sz(u"dev/COM3")));
        ASSERT_TRUE(m_phone.Link((m_device.Root() / "dev/COM3").string()));
    }
    CPhoneResponder m_phone;
    std::ostringstream m_out, m_err;
};

TEST_F(KvoCliTest, PhoneInfoShowsIdentityAndOperator) {
    LinkPhone();
    m_phone.SetEcho(true);
    m_phone.Add({"AT", "\r\nOK\r\n"});
    m_phone.Add({"AT+CGMI", "\r\nNokia\r\n\r\nOK\r\n"});
    m_phone.Add({"AT+CGMM", "\r\nNokia 6230\r\n\r\nOK\r\n"});
    m_phone.Add({"AT+CGSN", "\r\n351234567890123\r\n\r\nOK\r\n"});
    m_phone.Add({"AT+COPS?", "\r\n+COPS: 0,0,\"Vodafone D2\"\r\n\r\nOK\r\n"});
    ASSERT_EQ(Run({"--device", m_device.Root().string(), "phone", "info"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(),
              "manufacturer: Nokia\nmodel: Nokia 6230\nserial number: 351234567890123\n"
              "operator: Vodafone D2\n");
    EXPECT_EQ(m_phone.Lines(),
              (std::vector<std::string>{"AT", "AT+CGMI", "AT+CGMM", "AT+CGSN", "AT+COPS?"}));
}

TEST_F(KvoCliTest, FailuresExitOneAndUsageErrorsTwo) {
    EXPECT_EQ(Run({"phone", "info", "--port", "COM7:"}), 1);
    EXPECT_NE(m_err.str().find("cannot open port COM7:"), std::string::npos);
    // The handshake answered, an identification command not: a failure, not a blank line.
    LinkPhone();
    m_phone.Add({"AT", "\r\nOK\r\n"});
    m_phone.Add({"AT+CGMI", "12\r\nOK\r\n"});
    EXPECT_EQ(Run({"phone", "info"}), 1);
    EXPECT_NE(m_err.str().find("did not answer AT+CGMI"), std::string::npos);

    EXPECT_EQ(Run({"phone", "info", "--bogus"}), 2);
    EXPECT_EQ(Run({"phone", "dial"}), 2);
    EXPECT_EQ(Run({"--frobnicate"}), 2);
    EXPECT_EQ(Run({}), 2);
    for (auto args :
         {std::vector<std::string>{"--help"}, {"phone", "--help"}, {"phone", "info", "--help"}}) {
        EXPECT_EQ(Run(args), 0);
        EXPECT_NE(m_out.str().find("phone info"), std::string::npos);
    }
}

}  // namespace
