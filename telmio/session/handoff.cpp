#include "handoff.h"

#include "common/binio.h"
#include "common/recipients.h"
#include "common/stored_string.h"
#include "platform/file.h"
#include "platform/process.h"

namespace kvo {
namespace {

constexpr uint32_t kMaxHandoffUnits = 65536;
constexpr size_t kPartLength = 154;

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
    if (text.size() <= kPartLength) return {text};
    size_t n = (text.size() + kPartLength - 1) / kPartLength;
    std::vector<std::u16string> parts;
    for (size_t i = 0; i < n; ++i) {
        std::string head = std::to_string(i + 1) + "/" + std::to_string(n) + ":";
        parts.push_back(std::u16string(head.begin(), head.end()) +
                        text.substr(i * kPartLength, kPartLength));
    }
    return parts;
}

int MessageCount(const std::u16string& text) {
    if (text.empty()) return 1;
    return static_cast<int>((text.size() - 1) / kPartLength + 1);
}

}  // namespace kvo
