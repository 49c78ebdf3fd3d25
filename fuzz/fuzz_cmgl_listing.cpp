// "AT+CMGL=4" listings: either refused whole (nothing handed out) or split into distinct slots
// whose replies the "+CMGR:" parser takes like any other.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "common/narrow.h"
#include "telmio/sms/cmgl_listing.h"
#include "telmio/sms/cmgr_reply.h"
#include "telmio/sms/sms_pdu.h"

namespace {

class CCount : public kvo::ISmsImport {
public:
    void ImportMessage(const std::u16string&, const std::string&, const std::u16string& text, char,
                       const std::u16string&, int) override {
        if (text.empty())
            abort();
        ++m_nCount;
    }
    int m_nCount = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string payload = kvo::Widen(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<kvo::CListedSlot> slots;
    if (!kvo::ParseCmglListing(payload, slots)) {
        if (!slots.empty())
            abort();
        return 0;
    }
    std::set<int> seen;
    kvo::CSmsPdu pdu;
    for (const kvo::CListedSlot& slot : slots) {
        if (slot.m_nIndex < 0 || slot.m_nIndex > kvo::kMaxListedIndex ||
            !seen.insert(slot.m_nIndex).second)
            abort();
        if (slot.m_strReply.rfind(u"+CMGR: ", 0) != 0 ||
            slot.m_strReply.find(u"\r\n") == std::u16string::npos)
            abort();
        CCount count;
        int r = pdu.ParseCmgrReply(slot.m_strReply, u"ME", slot.m_nIndex, kvo::CMGR_IMPORT, &count,
                                   nullptr);
        if (r == kvo::CMGR_NOT_CMGR || r == kvo::CMGR_NO_LINE_BREAK || count.m_nCount > 1)
            abort();
    }
    return 0;
}
