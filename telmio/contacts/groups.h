// Message groups: named recipient lists kept as "groups\<name>.grp". A member names where its
// entry lives (the contacts, or one phone's stored phonebook) and its identifier and name;
// its number is looked up each time the group is used.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "telmio/contacts/book_entry.h"

namespace kvo {

inline constexpr char16_t kContactsSource[] = u"Contacts";

struct CSmsGroup {
    std::u16string m_strName;
    int32_t m_nCount = 0;
};

class CGroupMember {
public:
    std::u16string m_strSource;  // "Contacts" or a phone's serial number
    uint32_t m_nId = 0;
    std::u16string m_strName;
};

using CGroupMemberList = std::vector<std::unique_ptr<CGroupMember>>;

// appDir + "groups\" + name + ".grp".
std::u16string GroupPath(std::u16string_view appDir, std::u16string_view name);

std::string FormatGroup(const CGroupMemberList& members);
// Appends the members of a file image; false on a short or damaged image, with the members
// read before the damage kept.
bool ParseGroup(std::string_view bytes, CGroupMemberList& members);

// 0 when the file cannot be opened or is damaged, else 1 with the members appended.
int ReadGroup(CGroupMemberList& members, std::u16string_view path);
// Replaces the file whole (temporary file and rename); 0 on any failure.
int WriteGroup(const CGroupMemberList& members, std::u16string_view path);
// The stored member count; 0 when the file cannot be opened.
int32_t ReadGroupCount(std::u16string_view path);
// Refills `groups` from the "*.grp" files of the folder.
void LoadGroupNames(std::vector<CSmsGroup>& groups, std::u16string_view folder);

// The Groups dialog's "Add": a message, or empty when the name can be taken.
std::u16string CheckNewGroupName(const std::vector<CSmsGroup>& groups, const std::u16string& name);
// Writes the empty group file, creating the folder; false when it cannot be written.
bool CreateGroup(std::u16string_view appDir, const std::u16string& name);
// Deletes the file; a file already gone is fine.
bool DeleteGroup(std::u16string_view appDir, const std::u16string& name);

// The Define Group dialog's "Add" for one entry: a message, or empty when the member was
// appended.
std::u16string AddMember(CGroupMemberList& members, const CBookEntry& entry,
                         const std::u16string& source, const std::u16string& groupName);
// Removes the first member with this name; false when there is none.
bool RemoveMember(CGroupMemberList& members, const std::u16string& name);

}  // namespace kvo
