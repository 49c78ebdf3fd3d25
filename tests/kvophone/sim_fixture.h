// A phone served on a pty and a client on its slave, for the tests that talk over the line.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/kvophone/phone_client.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace kvo::phone::test {

// Hello from +491711234567 at 2026-12-08 10:15:00, centre +491710760000.
inline constexpr char kHelloPdu[] = "0791947101670000040C9194711132547600006221800151000005C8329BFD06";
// SMS-SUBMIT to +491711234567, "Hello"; 19 octets after the centre part.
inline constexpr char kSubmitPdu[] = "0011000C919471113254760000FF05C8329BFD06";

inline constexpr char kTestScenario[] = R"([phone]
manufacturer = KVO Mobile
model = SP-1
serial = 350000000000001
operator = T-Mobile D
smsc = +491710760000
echo = off
[sms ME]
size = 20
1 = 1,0791947101670000040C9194711132547600006221800151000005C8329BFD06
2 = 0,+491711234567,2026-12-08 10:15:00,Hello
3 = 3,+491719876543,,Sent
[sms SM]
size = 10
[phonebook SM]
range = 1-20
number_length = 20
name_length = 18
1 = +491711234567,145,Anna Miller
2 = 0301234567,129,Bob
)";

class SimTest : public ::testing::Test {
protected:
    // Starts a phone from scenario text and opens the slave.
    void StartPhone(std::string_view text = kTestScenario, int baud = 0) {
        Scenario s;
        std::string error;
        ASSERT_TRUE(ParseScenario(text, s, error)) << error;
        m_sim = std::make_unique<CPhoneSim>(s);
        ASSERT_TRUE(m_sim->Start("", baud, error)) << error;
        ASSERT_TRUE(m_client.Open(m_sim->SlavePath()));
    }
    void TearDown() override {
        if (m_sim) m_sim->Stop();
    }

    std::unique_ptr<CPhoneSim> m_sim;
    CLineClient m_client;
};

}  // namespace kvo::phone::test
