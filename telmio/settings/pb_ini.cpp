#include "telmio/settings/pb_ini.h"

#include "common/binio.h"
#include "common/stored_string.h"
#include "telmio/settings/kvo_ini.h"

namespace kvo {

bool ParsePbIni(std::string_view bytes, CPbIni& ini) {
    ini = CPbIni{};
    MemReader in(bytes);
    CPbIni read;
    if (!in.ReadU32(read.m_nStorages))
        return false;
    if (ReadStoredString(in, kSettingsMaxStringUnits, read.m_strName) != StoredStringError::ok)
        return false;
    ini = std::move(read);
    return true;
}

std::string FormatPbIni(const CPbIni& ini) {
    MemWriter out;
    out.WriteU32(ini.m_nStorages);
    std::u16string_view name = ini.m_strName;
    WriteStoredString(out, name.substr(0, kSettingsMaxStringUnits));
    return out.Bytes();
}

}  // namespace kvo
