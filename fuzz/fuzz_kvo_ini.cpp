// "kvo.ini": a result or a failure, never neither; what loads saves and loads back the same
// (the detection text aside, which is written empty); a save merging its changes into what
// another program saved carries every field it changed and no other.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "telmio/settings/client_settings.h"
#include "telmio/settings/kvo_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    kvo::CKvoIni ini;
    kvo::IniLoad r = kvo::ParseKvoIni(bytes, ini);
    if (r != kvo::IniLoad::ok && r != kvo::IniLoad::defaulted && r != kvo::IniLoad::failed)
        abort();
    if (r == kvo::IniLoad::failed)
        return 0;
    std::string saved = kvo::FormatKvoIni(ini);
    kvo::CKvoIni back;
    if (kvo::ParseKvoIni(saved, back) != kvo::IniLoad::ok)
        abort();
    ini.m_strDetectionText.clear();
    if (!(back == ini))
        abort();
    kvo::CKvoIni onDisk;
    kvo::ApplyChangedFields(kvo::CKvoIni{}, ini, onDisk);
    if (!(onDisk == ini))
        abort();
    kvo::CKvoIni untouched;
    kvo::ApplyChangedFields(ini, ini, untouched);
    if (!(untouched == kvo::CKvoIni{}))
        abort();
    return 0;
}
