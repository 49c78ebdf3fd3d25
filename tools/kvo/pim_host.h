// The contacts application's side of its command add-ins: the add-ins registered in the
// device, loaded and called for chosen contacts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pim_command.h"

namespace kvo::cli {

struct CPimAddIn {
    std::u16string m_strName;  // its registry key
    std::u16string m_strDll;   // handheld path
    std::u16string m_strMenu;  // the command's text
};

std::vector<CPimAddIn> PimAddIns();

// Loads the add-in (kept loaded for the life of the process, as the application keeps it)
// and calls its command for the items. False with the reason when it cannot be loaded.
bool RunPimCommand(const CPimAddIn& addIn, const std::vector<uint32_t>& oids, ce::HRESULT& hr,
                   std::string& error);

}  // namespace kvo::cli
