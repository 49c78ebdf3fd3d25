#include "handoff.h"

#include "common/binio.h"
#include "common/recipients.h"
#include "common/stored_string.h"
#include "platform/file.h"
#include "platform/process.h"
#include "telmio/sms/sms_pdu.h"

namespace kvo {
namespace {

constexpr uint32_t kMaxHandoffUnits = 65536;
constexpr size_t kPartLength = 154;
// A text with characters outside the GSM alphabet goes as UCS2: 70 units in one message,
// 66 per part of a long one (so that "i/n:" fits), fewer once the header grows.
constexpr size_t kUcs2Single = 70;
constexpr size_t kUcs2Part = 66;

std::u16string PartHeader(size_t i, size_t n) {
    std::string head = std::to_string(i) + "/" + std::to_string(n) + ":";
    return std::u16string(head.begin(), head.end());
}

// Consecutive pieces of at most `limit` cost each; an extension character (two septets) or
// a surrogate pair is never cut in two.
std::vector<std::u16string> Pieces(const std::u16string& text, size_t limit, bool bUcs2) {
    CSmsPdu pdu;
    std::vector<std::u16string> pieces;
    std::u16string piece;
    size_t cost = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t units = 1;
        if (bUcs2 && text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size())
            units = 2;
        size_t c = bUcs2 ? units : pdu.GsmSeptets(std::u16string_view(&text[i], 1));
        if (cost + c > limit) {
            pieces.push_back(std::move(piece));
            piece.clear();
            cost = 0;
        }
        piece.append(text, i, units);
        cost += c;
        i += units - 1;
    }
    if (!piece.empty())
        pieces.push_back(std::move(piece));
    return pieces;
}

}  // namespace

bool TakeHandoffFile(const std::u16string& appDir, std::u16string& recipients) {
    std::u16string path = appDir + kHandoffFile;
    if (!ce::FileExists(path)) return false;
    std::u16string text;
    bool ok = false;
    {
        ce::File f = ce::File::OpenRead(path);
        if (f) {
            kvo::FileReader reader(f);
            ok = kvo::ReadStoredString(reader, kMaxHandoffUnits, text) == kvo::StoredStringError::ok;
        }
    }
    ce::DeleteFile(path);
    if (!ok) return false;
    recipients = kvo::CleanRecipients(text);
    return true;
}

bool WriteHandoffFile(const std::u16string& appDir, const std::u16string& recipients) {
    kvo::MemWriter w;
    if (!kvo::WriteStoredString(w, recipients)) return false;
    return ce::WriteFileAtomic(appDir + kHandoffFile, w.Bytes());
}

bool LaunchConnect(const std::u16string& appDir) {
    return ce::CreateProcess(appDir + u"connect.exe", u"s") > 0;
}

bool LaunchDialer(const std::u16string& appDir) {
    return ce::CreateProcess(appDir + u"dialer.exe", u"") > 0;
}

std::vector<std::u16string> SplitMessage(const std::u16string& text) {
    CSmsPdu pdu;
    bool bUcs2 = !pdu.FitsGsm(text);
    size_t cost = bUcs2 ? text.size() : pdu.GsmSeptets(text);
    if (cost <= (bUcs2 ? kUcs2Single : kPartLength))
        return {text};
    std::vector<std::u16string> pieces;
    if (!bUcs2) {
        pieces = Pieces(text, kPartLength, false);
    } else {
        // From the tenth part on the header is longer: shorter pieces keep it within 70.
        for (size_t limit = kUcs2Part;; limit -= 2) {
            pieces = Pieces(text, limit, true);
            if (PartHeader(pieces.size(), pieces.size()).size() + limit <= kUcs2Single ||
                limit <= 2)
                break;
        }
    }
    std::vector<std::u16string> parts;
    for (size_t i = 0; i < pieces.size(); ++i)
        parts.push_back(PartHeader(i + 1, pieces.size()) + pieces[i]);
    return parts;
}

int MessageCount(const std::u16string& text) {
    return static_cast<int>(SplitMessage(text).size());
}

}  // namespace kvo
