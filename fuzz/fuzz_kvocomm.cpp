// The phone's reply as arbitrary bytes: framing must agree with the whole-text tests at every
// byte, and shaping must give a result or a failure, never read past the reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kvocomm/reply_framer.h"
#include "kvocomm/reply_shaper.h"

namespace {

bool EndsWith(const std::u16string& s, std::u16string_view t) {
    return s.size() >= t.size() && std::u16string_view(s).substr(s.size() - t.size()) == t;
}

kvocomm::FrameVerdict Naive(const std::u16string& r, int mode) {
    if (r.size() >= 4 && (EndsWith(r, u"OK\r\n") || (r.back() == u'>' && mode != 1) ||
                          kvocomm::HoldsPduMessage(r) || kvocomm::HoldsMessageInfo(r)))
        return kvocomm::FrameVerdict::Complete;
    if (r.find(u"ERROR") != std::u16string::npos && EndsWith(r, u"\r\n"))
        return kvocomm::FrameVerdict::Error;
    return kvocomm::FrameVerdict::More;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 4096)
        return 0;
    const int mode = data[0] & 1;
    // The command: the next bytes up to a CR (what the echo would repeat).
    size_t i = 1;
    std::u16string command;
    while (i < size && data[i] != '\r' && command.size() < 32) command.push_back(data[i++]);
    kvocomm::CReplyFramer framer(mode);
    kvocomm::FrameVerdict verdict = kvocomm::FrameVerdict::More;
    for (; i < size && verdict == kvocomm::FrameVerdict::More; ++i) {
        if (data[i] == 0)
            continue;  // the engine skips zero bytes
        verdict = framer.Feed(static_cast<char16_t>(data[i]));
        if (verdict != Naive(framer.Reply(), mode))
            abort();
        if (framer.PduMessage() != kvocomm::HoldsPduMessage(framer.Reply()))
            abort();
        if (framer.MessageInfo() != kvocomm::HoldsMessageInfo(framer.Reply()))
            abort();
    }
    // With the command, unsolicited lines are taken out: the reply never grows past the bytes
    // fed, never keeps a whole unsolicited line, and shaping stays within it.
    kvocomm::CReplyFramer cleaning(mode, command);
    size_t fed = 0;
    for (size_t k = 1 + command.size(); k < size; ++k) {
        if (data[k] == 0)
            continue;
        ++fed;
        kvocomm::FrameVerdict v = cleaning.Feed(static_cast<char16_t>(data[k]));
        if (cleaning.Reply().size() > fed)
            abort();
        if (v != kvocomm::FrameVerdict::More)
            break;
    }
    {
        const std::u16string& r = cleaning.Reply();
        size_t start = 0;
        while (start < r.size()) {
            size_t end = r.find(u"\r\n", start);
            if (end == std::u16string::npos)
                break;
            if (kvocomm::IsUnsolicitedLine(std::u16string_view(r).substr(start, end - start),
                                           command) &&
                (start == 0 || r[start - 1] == u'\n'))
                abort();
            start = end + 2;
        }
        kvocomm::ShapedReply s2 = kvocomm::ShapeReply(r + u"\r\nOK\r\n", command);
        if (s2.text.size() > r.size() + 6)
            abort();
    }
    if (verdict != kvocomm::FrameVerdict::Complete)
        return 0;
    kvocomm::ShapedReply shaped = kvocomm::ShapeReply(framer.Reply(), command);
    if (shaped.status != 1 && shaped.status != 2)
        abort();
    if (shaped.text.size() > framer.Reply().size())
        abort();
    if (shaped.kind == kvocomm::ReplyKind::Prompt && shaped.text != u">")
        abort();
    if ((shaped.kind == kvocomm::ReplyKind::MessageInfo ||
         shaped.kind == kvocomm::ReplyKind::PduMessage) &&
        shaped.text != framer.Reply())
        abort();
    return 0;
}
