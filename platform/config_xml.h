// Configuration documents: a provisioning document ("<wap-provisioningdoc>") read with libxml2
// and applied to the registry. Known services: "CM_Networks" (destination networks) and
// "EMAIL2" (mail accounts).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/connmgr.h"

namespace ce {

class RegKey;

enum : uint32_t { CFGFLAG_PROCESS = 0x1, CFGFLAG_METADATA = 0x2 };

// Where mail accounts go (HKEY_LOCAL_MACHINE): <key>\<account id> with one text value per
// parameter, so one transaction holds a whole document.
extern const char16_t* const kEmail2Key;  // SOFTWARE\Microsoft\EMAIL2

// One parsed document: the registry changes it asks for.
struct ConfigSetting {
    std::u16string strKey;  // under HKEY_LOCAL_MACHINE
    std::u16string strName;
    std::u16string strValue;
};
struct ConfigDocument {
    std::vector<ConfigSetting> settings;
};

// Pure parser (fuzzed): false with a reason in `error` for anything that is not a well-formed
// document of the known services. DTDs and entity declarations are refused; nothing is
// loaded from outside.
bool ParseConfigXml(std::string_view utf8, ConfigDocument& doc, std::string& error);
// Applies the settings to a hive's root (inside a transaction).
void ApplyConfigDocument(const ConfigDocument& doc, RegKey& root);

// Parses and applies the document in one registry transaction: all of it or, for a
// malformed document, nothing (HRESULT_FROM_WIN32(ERROR_INVALID_DATA), with the reason in
// GetLastErrorText()). Only CFGFLAG_PROCESS is supported. `result` gets the document back.
HRESULT DMProcessConfigXML(std::u16string_view xml, uint32_t flags, std::u16string* result);

}  // namespace ce
