// `kvo groups ...`: the message groups and their members.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunGroups(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The numbers of the named groups, in order, joined with ';' (as the recipients dialog puts
// them before the chosen entries); false after saying on err which group is missing.
bool GroupRecipients(const std::vector<std::string>& groups, std::u16string& recipients,
                     std::ostream& err);

}  // namespace kvo::cli
