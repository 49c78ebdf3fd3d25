// "+CMGR:" replies: always one of the result codes; a message handed over exactly when the
// result says one was made.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/narrow.h"
#include "telmio/sms/cmgr_reply.h"
#include "telmio/sms/sms_message.h"
#include "telmio/sms/sms_pdu.h"

namespace {

class CCountingImport : public kvo::ISmsImport {
public:
    void ImportMessage(const std::u16string&, const std::string& stamp, const std::u16string& text,
                       char, const std::u16string&, int) override {
        if (text.empty() || stamp.size() != 14)
            abort();
        ++m_nCount;
    }
    int m_nCount = 0;
};

bool Known(int r) {
    return r == 0 || r == 1 || r == 2 || r == 4 || r == 5 || r == 6 || r == 7;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::u16string reply = kvo::Widen(bytes);
    kvo::CSmsPdu pdu;
    CCountingImport import;
    int r = pdu.ParseCmgrReply(reply, u"ME", 1, kvo::CMGR_IMPORT, &import, nullptr);
    if (!Known(r))
        abort();
    if (r != 0 && import.m_nCount != 0)
        abort();
    if (import.m_nCount > 1)
        abort();
    // A stored unsent message is skipped: its status, the first field after the colon, is 2.
    size_t at = 6;
    while (at < reply.size() && reply[at] == u' ') ++at;
    bool skipped = reply.size() > at && reply[at] == u'2';
    if (r == 0 && !skipped && import.m_nCount != 1)
        abort();

    kvo::CSmsMessage msg;
    int r1 = pdu.ParseCmgrReply(reply, u"SM", 2, kvo::CMGR_COMPARE, nullptr, &msg);
    if (r1 != r)
        abort();
    if (r1 == 0 && !skipped && (msg.m_strText.empty() || msg.m_nStorage != 2 || msg.m_nIndex != 2))
        abort();
    // The storage counts of a +CPMS reply: digits only, never more than six of them.
    int used = -1, total = -1;
    if (kvo::ParseCpmsCounts(reply, used, total) &&
        (used < 0 || total < 0 || used > 999999 || total > 999999))
        abort();
    return 0;
}
