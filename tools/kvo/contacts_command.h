// `kvo contacts ...` and the phonebook's Import and Export commands: the handheld's contacts
// store and the moves between it and the phonebook.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunContacts(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunPbImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunPbExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
