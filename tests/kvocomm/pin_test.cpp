// PIN release against a scripted phone.
#include <gtest/gtest.h>

#include "kvocomm/kvocomm.h"
#include "phone_responder.h"
#include "platform/serial.h"
#include "platform/text.h"

using kvo::test::CPhoneResponder;
using namespace std::chrono_literals;

TEST(DisablePin, ErrorRepliesDoNotStopTheSequenceAndLongPinsAreCut) {
    CPhoneResponder phone;
    phone.Add({"AT", "\r\nOK\r\n"});
    phone.Add({"", "\r\nERROR\r\n"});
    CKvoComm engine;
    engine.StartSAR();
    std::u16string pin = u"1234567890123456789012345";
    EXPECT_EQ(engine.DisablePIN(ce::FromUtf8(phone.Path()), pin, 9600, 0, 8, 0), 1);
    engine.StopSAR();
    EXPECT_EQ(phone.Lines(),
              (std::vector<std::string>{"AT", "at+cpin=\"12345678901234567890\"",
                                        "at+clck=\"SC\",0,\"12345678901234567890\""}));
    // Port closed again: it opens at once.
    EXPECT_TRUE(ce::CreateFile(ce::FromUtf8(phone.Path())));
}

TEST(DisablePin, HandshakeWithTextIsRetriedThreeTimes) {
    CPhoneResponder phone;
    phone.Add({"AT", "\r\nNOT READY\r\n\r\nOK\r\n"});
    CKvoComm engine;
    engine.StartSAR();
    EXPECT_EQ(engine.DisablePIN(ce::FromUtf8(phone.Path()), u"1234", 9600, 0, 8, 0), 1);
    engine.StopSAR();
    EXPECT_EQ(phone.Lines(), (std::vector<std::string>{"AT", "AT", "AT"}));
}

TEST(DisablePin, SilentPhoneCostsThreeHandshakeTimeouts) {
    CPhoneResponder phone;
    CKvoComm engine;
    engine.StartSAR();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.DisablePIN(ce::FromUtf8(phone.Path()), u"1234", 9600, 0, 8, 0), 1);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 30s);
    EXPECT_LT(took, 33s);
    EXPECT_EQ(phone.Lines(), (std::vector<std::string>{"AT", "AT", "AT"}));
    EXPECT_FALSE(engine.PortOpen());
    engine.StopSAR();
}

TEST(DisablePin, UnopenablePortSendsNothing) {
    CKvoComm engine;
    engine.StartSAR();
    EXPECT_EQ(engine.DisablePIN(u"/nonexistent/tty", u"1234", 9600, 0, 8, 0), 0);
    engine.StopSAR();
}
