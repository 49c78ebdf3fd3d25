#include "connect/data/identification.h"

namespace kvo::connect {
namespace {

std::u16string WithoutSpaces(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (char16_t c : s)
        if (c != u' ') out += c;
    return out;
}

bool Contains(std::u16string_view hay, std::u16string_view needle) {
    return hay.find(needle) != std::u16string_view::npos;
}

}  // namespace

const CPhoneModel* IdentifyPhone(const CConnectionData& data, std::u16string_view makerReply,
                                 std::u16string_view modelReply, EDataReader rule) {
    // An empty identifier would be contained in every reply and catch any phone.
    if (makerReply.empty() || modelReply.empty()) return nullptr;
    for (const auto& p : data.Phones()) {
        if (p->m_strMakerId.empty() || p->m_strModelId.empty()) continue;
        if (!Contains(makerReply, p->m_strMakerId)) continue;
        bool model = rule == EDataReader::Connect ? modelReply == p->m_strModelId
                                                  : Contains(modelReply, p->m_strModelId);
        if (model) return p.get();
    }
    return nullptr;
}

std::u16string OperatorReplyText(std::u16string_view reply, EDataReader rule) {
    std::u16string s = WithoutSpaces(reply);
    size_t open = s.find(u'"');
    if (open == std::u16string::npos) return rule == EDataReader::Connect ? s : std::u16string();
    size_t close = s.find(u'"', open + 1);
    // A lone quote keeps what follows it.
    return s.substr(open + 1, close == std::u16string::npos ? std::u16string::npos
                                                             : close - open - 1);
}

EOperatorResult IdentifyOperator(const CConnectionData& data, std::u16string_view copsReply,
                                 std::u16string_view cscaReply, EDataReader rule,
                                 const CIspEntry** found) {
    if (found) *found = nullptr;
    std::u16string network = OperatorReplyText(copsReply, rule);
    std::u16string centre = OperatorReplyText(cscaReply, rule);
    if (network.empty() && centre.empty()) return EOperatorResult::NoReplies;
    for (const auto& isp : data.Isps()) {
        bool match = false;
        if (!network.empty()) {
            for (const auto& name : isp->m_strOperator) {
                if (!name.empty() && WithoutSpaces(name) == network) {
                    match = true;
                    break;
                }
            }
        } else {
            std::u16string own = WithoutSpaces(isp->m_strSmsCentre);
            match = !own.empty() && Contains(centre, own);
        }
        if (match) {
            if (found) *found = isp.get();
            return EOperatorResult::Found;
        }
    }
    return EOperatorResult::NotFound;
}

}  // namespace kvo::connect
