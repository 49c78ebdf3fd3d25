#include "reply_shaper.h"

#include "kvocomm/reply_framer.h"

namespace kvocomm {
namespace {

std::u16string WithoutLineBreaks(std::u16string_view s) {
    std::u16string out;
    for (char16_t c : s)
        if (c != u'\r' && c != u'\n')
            out.push_back(c);
    return out;
}

}  // namespace

ShapedReply ShapeReply(std::u16string_view reply, std::u16string_view command) {
    if (HoldsMessageInfo(reply))
        return {ReplyKind::MessageInfo, 1, std::u16string(reply)};
    if (HoldsPduMessage(reply))
        return {ReplyKind::PduMessage, 1, std::u16string(reply)};
    if (!reply.empty() && reply.back() == u'>')
        return {ReplyKind::Prompt, 1, u">"};

    std::u16string_view s = reply;
    // The echo: the command and its CR. Cut at most what is there.
    if (s.find(command) != std::u16string_view::npos) {
        s.remove_prefix(std::min(s.size(), command.size() + 1));
    } else if (size_t cr = s.find(u"\r\r\n");
               !command.empty() && cr != std::u16string_view::npos && s.substr(0, 2) != u"\r\n") {
        // An echo with bytes lost or changed on the line still ends in the command's CR.
        s.remove_prefix(cr + 1);
    }
    // The final CR LF, OK, CR LF.
    s.remove_suffix(std::min<size_t>(s.size(), 6));
    if (s.empty())
        return {ReplyKind::Payload, 1, u""};
    if (s.size() < 4)
        return {ReplyKind::TooShort, 2, u""};
    // Leading and trailing line breaks go; those between lines of a long reply stay.
    const long n = static_cast<long>(s.size());
    std::u16string out;
    if (n - 10 > 0)
        out.assign(s.substr(2, static_cast<size_t>(n - 10)));
    out += WithoutLineBreaks(s.substr(static_cast<size_t>(std::max(n - 8, 0L))));
    return {ReplyKind::Payload, 1, std::move(out)};
}

}  // namespace kvocomm
