// kvodat import-providers on any bytes: a provider list it accepts always becomes a database
// source that both programs load, with one record a line, and so does its merge with our
// own records.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connect/data/data_reader.h"
#include "tools/kvodat/provider_records.h"
#include "tools/kvodat/service_providers.h"

using namespace kvo::connect;
using namespace kvo::kvodat;

namespace {

const char kOwn[] =
    "*Phones\r\n*ISP\r\n#Ours#49#1#2#apn###NAME#26201#####+49###no####\r\n*Modems\r\n*";

void CheckLoads(const std::string& source) {
    size_t lines = 0;
    for (size_t i = 0; i < source.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(source[i]);
        if (c == '\n') {
            if (i == 0 || source[i - 1] != '\r') abort();
            ++lines;
        } else if (c != '\r' && (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))) {
            abort();
        }
    }
    for (EDataReader reader : {EDataReader::Connect, EDataReader::Telmio}) {
        CConnectionData d;
        if (!ParseConnectionData(DataFileText(source), reader, d).Ok()) abort();
        if (d.Phones().size() + d.Isps().size() + d.Profiles().size() + 3 != lines) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view xml(reinterpret_cast<const char*>(data), size);
    std::vector<CProvider> providers;
    std::vector<std::string> warnings;
    std::string error;
    if (!ReadServiceProviders(xml, providers, warnings, error)) {
        if (error.empty()) abort();
        return 0;
    }
    for (std::string_view own : {std::string_view(), std::string_view(kOwn)}) {
        CImportResult r;
        if (!BuildDatabaseSource(providers, own, r, error)) abort();
        CheckLoads(r.m_strSource);
    }
    return 0;
}
