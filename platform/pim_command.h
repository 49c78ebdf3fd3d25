// The contacts application's command add-in contract: an add-in library exports CePimCommand,
// which the application calls with the chosen items' object identifiers.
#pragma once
#include <cstdint>

#include "platform/window.h"

namespace ce {

inline constexpr char kPimCommandEntry[] = "CePimCommand";
// Add-ins the contacts application loads: one subkey each, "DLL" (handheld path) and
// "Menu" (the command's text).
inline constexpr char16_t kPimAddInsKey[] = u"SOFTWARE\\Microsoft\\PimApps\\Contacts\\AddIns";
inline constexpr uint32_t kPimTypeContact = 2;

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = int32_t(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = int32_t(0x80070057u);

using PFNCEPIMCOMMAND = HRESULT (*)(HWND hwnd, uint32_t type, uint32_t count, const uint32_t* oids,
                                    void* reserved);

}  // namespace ce
