// The phone simulator's command interpreter fed arbitrary line bytes: it never breaks its own
// state (slots inside their storage, entries inside their range) whatever it is sent.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/kvophone/phone_core.h"
#include "tools/kvophone/scenario.h"

namespace {

kvo::phone::Scenario MakeScenario(uint8_t flags) {
    kvo::phone::Scenario s = kvo::phone::DefaultScenario();
    std::string error;
    kvo::phone::ParseScenario(
        "[sms ME]\nsize = 3\n1 = 0,+4917,2026-01-01 00:00:00,hi\n"
        "[sms SM]\nsize = 2\n[phonebook SM]\nrange = 1-3\nname_length = 6\n"
        "1 = +4917,145,Anna\n[phonebook ME]\nrange = 5-6\n",
        s, error);
    s.phone.bPinRequired = flags & 1;
    s.phone.strPin = "1234";
    s.quirks.bCmtiInReply = flags & 2;
    s.quirks.bCpmsEmpty = flags & 4;
    if (flags & 8) s.script.push_back({"AT+CGMI\r", "odd"});
    if (flags & 16) s.quirks.hangupIn.push_back("AT+CMGR");
    s.phone.bEcho = flags & 32;
    if (flags & 64) {
        s.data.nRate = 3000;
        s.data.nDuration = 2;
        s.data.failures.push_back({"*99#", kvo::phone::DialFailure::SILENT});
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    kvo::phone::CPhoneCore core(MakeScenario(data[0]));
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    // Arrive in uneven pieces, as reads from a line do.
    // The clock moves between pieces, so data calls, their end and the escape guard time run.
    size_t pos = 0, piece = 1;
    int64_t now = 0;
    while (pos < bytes.size()) {
        now += static_cast<int64_t>(piece) * 150;
        core.AdvanceClock(now);
        core.Receive(bytes.substr(pos, piece));
        pos += piece;
        piece = piece % 7 + 1;
        int index;
        std::string error;
        if (pos % 5 == 0) core.InjectSms("", 0, "0011000100", index, error);
    }
    core.TakeOutput();
    core.TakeJournal();
    const kvo::phone::Scenario& s = core.State();
    for (const auto& st : s.smsStorages) {
        if (static_cast<int>(st.slots.size()) > st.nSize) abort();
        for (const auto& [index, slot] : st.slots) {
            if (index < 1 || index > st.nSize || slot.nStatus < 0 || slot.nStatus > 3) abort();
        }
    }
    for (const auto& pb : s.phonebooks) {
        for (const auto& [index, e] : pb.entries) {
            if (index < pb.nFirst || index > pb.nLast) abort();
            if (static_cast<int>(e.strNumber.size()) > pb.nNumberLength) abort();
        }
    }
    // What the phone holds can always be written out and read back.
    std::string error;
    kvo::phone::Scenario back;
    if (!kvo::phone::ParseScenario(kvo::phone::FormatScenario(s), back, error)) abort();
    return 0;
}
