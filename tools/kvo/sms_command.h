// `kvo sms ...` and `kvo settings ...`: the messaging client without its window.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunSms(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunSettings(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// One store line of `kvo sms list`: state, number, time, text, tab-separated; line breaks
// as \n, tabs as \t and backslashes doubled so that every message stays on one line.
std::string ListLine(int state, const std::u16string& number, const std::string& time,
                     const std::u16string& text);

}  // namespace kvo::cli
