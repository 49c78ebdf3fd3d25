// PDU hex decoding, deliver and submit: a message or an error, never neither, and never a
// read outside the input. The input is the hex text as the phone sends it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "telmio/sms/sms_pdu.h"

namespace {

void CheckDecoded(int r, const std::string& text, const std::string& number) {
    if (r < 0) {
        if (!text.empty() || !number.empty())
            abort();  // an error leaves nothing half made
        return;
    }
    if (text.size() != static_cast<size_t>(r))
        abort();
    for (char c : text) {
        if (static_cast<uint8_t>(c) > 127)
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy, so that any read past the end is caught.
    std::vector<char> hex(data, data + size);
    std::string_view view(hex.data(), hex.size());
    kvo::CSmsPdu pdu;
    std::string text, number, stamp;
    int r = pdu.DecodeDeliver(view, text, number, stamp);
    if (r >= 0 && stamp.size() != 14)
        abort();
    CheckDecoded(r, text, number);
    r = pdu.DecodeSubmit(view, text, number);
    CheckDecoded(r, text, number);
    return 0;
}
