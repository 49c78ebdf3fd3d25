// Many exchanges with time-outs, worker restarts and stops: every byte the phone sent reaches
// exactly one reply, in order.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "common/narrow.h"
#include "kvocomm/kvocomm.h"
#include "phone_responder.h"
#include "platform/text.h"

using kvo::test::CPhoneResponder;
using kvo::test::PhoneRule;
using namespace std::chrono_literals;

TEST(EngineStress, NoByteLostOrReadTwiceAcrossRestarts) {
    CPhoneResponder phone;
    // Indications come back whole and a timed-out exchange keeps its part: so the replies,
    // laid end to end, must be exactly what the phone sent.
    for (int i = 0; i < 4; ++i) {
        std::string n = std::to_string(i);
        phone.Add({"AT+N" + n, "\r\n+CMTI: \"SM\"," + n + "\r\n", i * 4});
    }
    phone.Add({"AT+SPLIT", "\r\n+CMTI: \"ME\",", 0});
    phone.Add({"AT+REST", "77\r\n", 3});

    CKvoComm engine;
    engine.StartSAR();
    ASSERT_TRUE(engine.OpenPort(ce::FromUtf8(phone.Path())));
    ASSERT_TRUE(engine.SetParams(115200, 0, 8, 0));
    std::mt19937 rng(12345);
    std::u16string all;
    int timeouts = 0, stops = 0;
    const char* commands[] = {"AT+N0", "AT+N1", "AT+N2", "AT+N3", "AT+SPLIT", "AT+REST"};
    for (int i = 0; i < 400; ++i) {
        int pick = static_cast<int>(rng() % 6);
        // Time-out 0 gives up at once: the worker is retired with or without the command sent,
        // mid-reply or idle.
        int timeout = rng() % 3 == 0 ? 1 : 0;
        std::u16string reply;
        if (engine.SendAndReceive(commands[pick], reply, 0, timeout) == 0)
            ++timeouts;
        all += reply;
        if (rng() % 40 == 0) {
            engine.StopSAR();
            engine.StartSAR();
            ++stops;
        }
    }
    // Let the phone finish, then collect what is still on the line.
    std::this_thread::sleep_for(200ms);
    for (;;) {
        std::u16string reply;
        int ok = engine.SendAndReceive("AT+IGNORED", reply, 0, 1);
        all += reply;
        if (!ok && reply.empty())
            break;
    }
    engine.ClosePort();
    engine.StopSAR();
    EXPECT_GT(timeouts, 50);
    EXPECT_GT(stops, 0);
    EXPECT_EQ(kvo::Narrow(all), phone.Sent());
    EXPECT_GT(phone.BytesSent(), 1000u);
}
