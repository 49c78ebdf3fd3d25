#include "telmio/sms/sms_rejoin.h"

#include <map>
#include <tuple>

namespace kvo {
namespace {

bool Joinable(const CSmsMessage& m) {
    return m.m_part.IsPart() && m.m_part.m_nSeq >= 1 && m.m_part.m_nSeq <= m.m_part.m_nCount &&
           (m.m_nState == SMS_UNREAD || m.m_nState == SMS_READ || m.m_nState == SMS_SENT_ON_PHONE);
}

bool Received(int32_t state) {
    return state != SMS_SENT_ON_PHONE;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

}  // namespace

std::vector<CSmsMessage*> RejoinParts(CSmsStore::List& list) {
    using Key = std::tuple<std::u16string, int32_t, int32_t, bool>;
    std::map<Key, std::vector<CSmsMessage*>> groups;
    for (const auto& m : list)
        if (Joinable(*m))
            groups[{m->m_strNumber, m->m_part.m_nReference, m->m_part.m_nCount,
                    Received(m->m_nState)}]
                .push_back(m.get());
    std::vector<CSmsMessage*> changed;
    for (auto& [key, members] : groups) {
        int32_t count = std::get<2>(key);
        // The first of each part number counts; a part read twice adds nothing.
        std::vector<CSmsMessage*> bySeq(static_cast<size_t>(count) + 1, nullptr);
        for (CSmsMessage* m : members)
            if (!bySeq[m->m_part.m_nSeq])
                bySeq[m->m_part.m_nSeq] = m;
        bool complete = true;
        for (int32_t i = 1; i <= count && complete; ++i) complete = bySeq[i] != nullptr;
        if (!complete)
            continue;
        auto joined = std::make_unique<CSmsMessage>();
        const CSmsMessage& first = *bySeq[1];
        joined->m_nState = first.m_nState;
        joined->m_strNumber = first.m_strNumber;
        joined->m_time = first.m_time;
        joined->m_nStorage = first.m_nStorage;
        joined->m_nIndex = first.m_nIndex;
        joined->m_part = CSmsPart{first.m_part.m_nReference, count, 0};
        for (int32_t i = 1; i <= count; ++i) {
            joined->m_strText += bySeq[i]->m_strText;
            if (bySeq[i]->m_nState == SMS_UNREAD)
                joined->m_nState = SMS_UNREAD;
        }
        // A part the network delivered twice hides with the others: its slot is one of them.
        for (CSmsMessage* part : members) {
            part->m_nState = SMS_JOINED_PART;
            changed.push_back(part);
        }
        std::u16string& text = joined->m_strText;
        size_t b = 0, e = text.size();
        while (b < e && IsBlank(text[b])) ++b;
        while (e > b && IsBlank(text[e - 1])) --e;
        text = text.substr(b, e - b);
        changed.push_back(list.emplace_back(std::move(joined)).get());
    }
    return changed;
}

std::vector<CSmsMessage*> PartsOf(CSmsStore::List& list, const CSmsMessage& joined) {
    std::vector<CSmsMessage*> parts;
    if (!joined.m_part.IsPart() || joined.m_part.m_nSeq != 0)
        return parts;
    for (const auto& m : list)
        if (m->m_nState == SMS_JOINED_PART && m->m_strNumber == joined.m_strNumber &&
            m->m_part.m_nReference == joined.m_part.m_nReference &&
            m->m_part.m_nCount == joined.m_part.m_nCount)
            parts.push_back(m.get());
    return parts;
}

}  // namespace kvo
