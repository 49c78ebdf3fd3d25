// The link process (`kvo-link`): one per dial-up connection, started by RasDial and owned by
// no requester. It opens the entry's port, sends the init string of the dial modifier,
// dials and waits for CONNECT; then a simulated phone's call is counted here, while on a
// real phone the line goes to pppd (with chat doing the same dialogue) and the counters
// come from the kernel. It keeps the connection's record in <device>/ras/ and removes it
// however the call ends.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ras.h"

namespace ce {

// What the dial needs from the entry and the line device.
struct LinkPlan {
    std::u16string strEntry;
    RASENTRY entry;
    std::vector<uint8_t> devConfig;
    std::string strInit;      // the dial modifier, sent as "AT" + init
    std::string strDial;      // what follows ATD
    std::string strUser, strPassword;
    std::u16string strDevice;  // line device name
    std::u16string strPort;    // "COM3:"
    bool bSimulated = false;
    uint32_t nBaud = 9600;
    uint32_t nSetupSeconds = 60;
};

// The dial-modifier text of a unimodem block (up to its terminating zero).
std::u16string DialModifier(const std::vector<uint8_t>& devConfig);
void SetDialModifier(std::vector<uint8_t>& devConfig, std::u16string_view text);

// The number to dial: the override, else GPRS-style the local number alone, else with
// country and area code through the dialling location's pattern (E country, F area, G number;
// "+EFG" when there is none).
std::string BuildDialString(const RASENTRY& entry, std::u16string_view overrideNumber);

// The chat script for the same dialogue; false with a reason when the init string cannot be
// written as a chat string.
bool BuildChatScript(const LinkPlan& plan, std::string& script, std::string& error);
// pppd's arguments (without the program) for the entry; the login goes in an options file
// (`optionsFile`) so the password never shows on a command line.
std::vector<std::string> BuildPppdArgs(const LinkPlan& plan, const std::string& device,
                                       const std::string& chatProgram,
                                       const std::string& chatScript,
                                       const std::string& optionsFile);
std::string BuildPppdOptionsFile(const LinkPlan& plan);

// PPP support on this machine: /dev/ppp and pppd ($KVO_PPP_DEVICE and $KVO_PPPD replace
// them for tests). False with a message a person can act on.
bool CheckPppSupport(std::string& pppd, std::string& error);

// kvo-link's main: `kvo-link --channel-fd N ENTRY`.
int RunLinkProgram(int argc, char** argv);

}  // namespace ce
