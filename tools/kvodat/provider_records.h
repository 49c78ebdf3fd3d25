// The operator table of the connection database built from a service provider list, joined
// with our own records: what `kvodat import-providers` writes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "tools/kvodat/service_providers.h"

namespace kvo::kvodat {

struct CImportResult {
    std::string m_strSource;  // a whole database source, CR LF lines
    std::vector<std::string> m_warnings;
    int m_nCurated = 0;    // our records kept
    int m_nJoined = 0;     // of them, joined with a provider of the list
    int m_nImported = 0;   // records from the list alone
    int m_nProviders = 0;  // providers of the list that gave records
    int m_nSkipped = 0;    // access points or providers left out: text the file cannot hold
};

// The data file's text is one byte per character (Latin-1). Converts UTF-8 to it; with
// `transliterate` (names) letters with marks outside it lose their marks and typographic
// punctuation becomes plain, else (access point names, logins) any such character fails.
// '#' and control characters always fail: no field can hold them.
bool ToFileText(std::string_view utf8, bool transliterate, std::string& out);

// One record per internet access point of every provider, ordered so that the first record
// that matches a network is the right one: our records first (each joined with the provider
// sharing its network id), then the list's network operators (primary), then the rest in the
// list's order. `curatedSource` is empty or a database source whose phone and modem tables
// are copied as they are and whose operators are kept. False with `error` when it does not
// parse.
bool BuildDatabaseSource(const std::vector<CProvider>& providers, std::string_view curatedSource,
                         CImportResult& result, std::string& error);

}  // namespace kvo::kvodat
