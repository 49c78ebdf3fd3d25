// Files and processes other programs use to hand work to the client, and the client to them.
#pragma once
#include <string>
#include <vector>

namespace kvo {

inline constexpr char16_t kHandoffFile[] = u"newsms.tmp";

// Reads and deletes the hand-off file in the application directory. False when there is none
// or it cannot be read (a broken file is deleted too, so it cannot block every activation).
// The recipients come back cleaned.
bool TakeHandoffFile(const std::u16string& appDir, std::u16string& recipients);
// Writes it, as the contacts command does.
bool WriteHandoffFile(const std::u16string& appDir, const std::u16string& recipients);

// "connect.exe s" and "dialer.exe" from the application directory; false if they cannot start.
bool LaunchConnect(const std::u16string& appDir);
bool LaunchDialer(const std::u16string& appDir);

// A message text cut into the parts sent one by one: unchanged up to 154 septets, else
// pieces of 154 septets headed "i/n:"; a text the GSM alphabet cannot hold goes as UCS2,
// unchanged up to 70 characters, else pieces of 66 (64 from ten parts on) headed "i/n:".
std::vector<std::u16string> SplitMessage(const std::u16string& text);
// What the editor shows: how many messages the text takes.
int MessageCount(const std::u16string& text);

}  // namespace kvo
