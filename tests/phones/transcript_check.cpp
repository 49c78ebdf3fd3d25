// Checks one recorded phone transcript (tests/data/phones/*.txt): each command's raw reply
// bytes go through the client's framing and parsing, and the outcome must be the one the
// file expects (listings: `listing N`, `listed INDEX "number" "text"`, `nolisting`). Usage:
// phone_transcript_check FILE. Exit 0 when every exchange matches.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/narrow.h"
#include "kvocomm/reply_framer.h"
#include "kvocomm/reply_shaper.h"
#include "platform/text.h"
#include "telmio/sms/cmgl_listing.h"
#include "telmio/sms/cmgr_reply.h"
#include "telmio/sms/sms_pdu.h"

namespace {

// "\r", "\n", "\"", "\\", "\xHH"; false on anything else after a backslash.
bool Unescape(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i >= in.size())
            return false;
        switch (in[i]) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x': {
                if (i + 2 >= in.size())
                    return false;
                unsigned v = 0;
                if (std::sscanf(in.substr(i + 1, 2).c_str(), "%2x", &v) != 1)
                    return false;
                out += static_cast<char>(v);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

// The quoted strings of a line, in order.
bool Quoted(const std::string& line, std::vector<std::string>& out) {
    out.clear();
    size_t i = 0;
    while ((i = line.find('"', i)) != std::string::npos) {
        size_t j = i + 1;
        while (j < line.size() && line[j] != '"') j += line[j] == '\\' ? 2 : 1;
        if (j >= line.size())
            return false;
        std::string text;
        if (!Unescape(line.substr(i + 1, j - i - 1), text))
            return false;
        out.push_back(text);
        i = j + 1;
    }
    return true;
}

class CCollect : public kvo::ISmsImport {
public:
    void ImportMessage(const std::u16string& number, const std::string&, const std::u16string& text,
                       char, const std::u16string&, int) override {
        m_number = number;
        m_text = text;
        ++m_nCount;
    }
    std::u16string m_number, m_text;
    int m_nCount = 0;
};

struct Outcome {
    kvocomm::FrameVerdict verdict = kvocomm::FrameVerdict::More;
    bool bByShape = false;
    kvocomm::ShapedReply shaped{kvocomm::ReplyKind::TooShort, 2, u""};
    int nIndications = 0;
};

Outcome Frame(const std::string& command, const std::string& bytes) {
    Outcome o;
    std::u16string wide = kvo::Widen(command);
    kvocomm::CReplyFramer framer(0, wide);
    for (char c : bytes) {
        if (c == 0 || o.verdict != kvocomm::FrameVerdict::More)
            continue;
        o.verdict = framer.Feed(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    o.nIndications = framer.MessageIndications();
    if (o.verdict == kvocomm::FrameVerdict::More && framer.ShapeComplete())
        o.bByShape = true;
    if (o.verdict == kvocomm::FrameVerdict::Complete || o.bByShape) {
        o.shaped =
            kvocomm::ShapeReply(o.bByShape ? framer.Reply() + u"\r\nOK\r\n" : framer.Reply(), wide);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: phone_transcript_check FILE\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    std::string line, command, reply;
    int nLine = 0, nChecked = 0, nFailed = 0;
    auto fail = [&](const std::string& why) {
        std::cerr << argv[1] << ":" << nLine << ": " << command << ": " << why << "\n";
        ++nFailed;
    };
    while (std::getline(in, line)) {
        ++nLine;
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> q;
        if (!Quoted(line, q)) {
            fail("bad quoting");
            continue;
        }
        if (line.rfind("> ", 0) == 0) {
            command = line.substr(2);
            reply.clear();
            continue;
        }
        if (line.rfind("< ", 0) == 0) {
            if (q.size() != 1)
                fail("a reply line wants one quoted string");
            else
                reply += q[0];
            continue;
        }
        if (line.rfind("= ", 0) != 0) {
            fail("unknown line: " + line);
            continue;
        }
        ++nChecked;
        std::istringstream words(line.substr(2));
        std::string kind;
        words >> kind;
        Outcome o = Frame(command, reply);
        bool bDone = o.verdict == kvocomm::FrameVerdict::Complete || o.bByShape;
        std::string got = ce::ToUtf8(o.shaped.text);
        if (kind == "error") {
            if (o.verdict != kvocomm::FrameVerdict::Error)
                fail("not read as an error reply");
        } else if (kind == "payload") {
            if (!bDone || o.shaped.status != 1 || q.size() != 1 || got != q[0]) {
                fail("payload \"" + got + "\"");
            }
        } else if (kind == "indications") {
            int n = -1;
            words >> n;
            if (o.nIndications != n)
                fail("indications " + std::to_string(o.nIndications));
        } else if (kind == "empty") {
            // Every form of an empty slot: an error reply, a bare OK, or an empty header.
            kvo::CSmsPdu pdu;
            CCollect c;
            bool bEmpty = o.verdict == kvocomm::FrameVerdict::Error ||
                          (bDone && o.shaped.status == 1 &&
                           (o.shaped.text.empty() ||
                            pdu.ParseCmgrReply(o.shaped.text, u"ME", 1, kvo::CMGR_IMPORT, &c,
                                               nullptr) == kvo::CMGR_EMPTY_SLOT));
            if (!bEmpty || c.m_nCount)
                fail("not read as an empty slot: \"" + got + "\"");
        } else if (kind == "message") {
            kvo::CSmsPdu pdu;
            CCollect c;
            int r = bDone
                        ? pdu.ParseCmgrReply(o.shaped.text, u"SM", 1, kvo::CMGR_IMPORT, &c, nullptr)
                        : -1;
            if (r != kvo::CMGR_DONE || c.m_nCount != 1 || q.size() != 2 ||
                ce::ToUtf8(c.m_number) != q[0] || ce::ToUtf8(c.m_text) != q[1]) {
                fail("message not imported as expected (result " + std::to_string(r) + ", \"" +
                     ce::ToUtf8(c.m_text) + "\")");
            }
        } else if (kind == "cpms") {
            int used = -1, total = -1, u = -2, t = -2;
            words >> used >> total;
            if (!bDone || !kvo::ParseCpmsCounts(o.shaped.text, u, t) || u != used || t != total) {
                fail("storage counts not read from \"" + got + "\"");
            }
        } else if (kind == "listing" || kind == "nolisting") {
            // A listing: whole, and every slot it names holds a message that imports.
            int n = -1;
            words >> n;
            std::vector<kvo::CListedSlot> slots;
            bool parsed =
                bDone && o.shaped.status == 1 && kvo::ParseCmglListing(o.shaped.text, slots);
            int imported = 0;
            for (const kvo::CListedSlot& slot : slots) {
                CCollect c;
                kvo::CSmsPdu().ParseCmgrReply(slot.m_strReply, u"ME", slot.m_nIndex,
                                              kvo::CMGR_IMPORT, &c, nullptr);
                imported += c.m_nCount;
            }
            if (kind == "nolisting" && parsed)
                fail("a listing was taken from \"" + got + "\"");
            if (kind == "listing" &&
                (!parsed || static_cast<int>(slots.size()) != n || imported != n))
                fail("listing of " + std::to_string(slots.size()) + " (" +
                     std::to_string(imported) + " imported) from \"" + got + "\"");
        } else if (kind == "listed") {
            int index = -1;
            words >> index;
            std::vector<kvo::CListedSlot> slots;
            CCollect c;
            if (bDone && kvo::ParseCmglListing(o.shaped.text, slots)) {
                for (const kvo::CListedSlot& slot : slots)
                    if (slot.m_nIndex == index)
                        kvo::CSmsPdu().ParseCmgrReply(slot.m_strReply, u"ME", index,
                                                      kvo::CMGR_IMPORT, &c, nullptr);
            }
            if (c.m_nCount != 1 || q.size() != 2 || ce::ToUtf8(c.m_number) != q[0] ||
                ce::ToUtf8(c.m_text) != q[1])
                fail("slot " + std::to_string(index) + " not listed as expected");
        } else {
            fail("unknown expectation '" + kind + "'");
        }
    }
    if (nChecked == 0) {
        std::cerr << argv[1] << ": no expectations\n";
        return 1;
    }
    return nFailed ? 1 : 0;
}
