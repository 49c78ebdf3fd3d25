// PDU hex decoding, deliver and submit, plain and full: a message or an error, never neither, and
// never a read outside the input. The input is the hex text as the phone sends it.
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

    // The full decoding: headers, UCS2, 8-bit data, sender names.
    for (bool bSubmit : {false, true}) {
        kvo::CDecodedSms decoded;
        int n = pdu.DecodeMessage(view, bSubmit, decoded);
        if (n < 0) {
            if (!decoded.m_strText.empty() || !decoded.m_strNumber.empty() ||
                decoded.m_part.IsPart())
                abort();
            continue;
        }
        if (static_cast<size_t>(n) != decoded.m_strText.size() || decoded.m_strText.size() > 510)
            abort();
        const kvo::CSmsPart& part = decoded.m_part;
        if (part.IsPart() && (part.m_nCount > 255 || part.m_nSeq < 1 ||
                              part.m_nSeq > part.m_nCount || part.m_nReference > 0xFFFF))
            abort();
        for (size_t i = 0; i < decoded.m_strText.size(); ++i) {
            char16_t c = decoded.m_strText[i];
            // Surrogates only in pairs: the text converts to UTF-8 anywhere.
            if (c >= 0xD800 && c <= 0xDBFF) {
                if (i + 1 >= decoded.m_strText.size() || decoded.m_strText[i + 1] < 0xDC00 ||
                    decoded.m_strText[i + 1] > 0xDFFF)
                    abort();
                ++i;
            } else if (c >= 0xDC00 && c <= 0xDFFF) {
                abort();
            }
        }
    }
    return 0;
}
