// The connection data file reader on unscrambled text: every input gives the tables or a
// failure with its code, never neither; both programs' readers agree on everything but the
// code; profiles only ever point at phones of the same data.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connect/data/data_reader.h"
#include "connect/data/identification.h"

using namespace kvo::connect;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::u16string text = DataFileText(bytes);
    CConnectionData c, t;
    CDataLoadResult rc = ParseConnectionData(text, EDataReader::Connect, c);
    CDataLoadResult rt = ParseConnectionData(text, EDataReader::Telmio, t);
    if (rc.m_error != rt.m_error || rc.m_nField != rt.m_nField) abort();
    if (c.Phones().size() != t.Phones().size() || c.Isps().size() != t.Isps().size() ||
        c.Profiles().size() != t.Profiles().size())
        abort();
    if (!rc.Ok()) {
        if (rc.Message().rfind(u"Corrupted data file. -", 0) != 0) abort();
        if (rt.Message().empty() && rt.m_error != EDataError::ProfileHeaderEnd) abort();
    }
    for (const auto& m : c.Profiles()) {
        if (!m->m_pPhone) continue;
        bool owned = false;
        for (const auto& p : c.Phones()) owned = owned || p.get() == m->m_pPhone;
        if (!owned || m->m_pPhone->m_strMakerId != m->m_strMakerId ||
            m->m_pPhone->m_strModelId != m->m_strModelId)
            abort();
    }
    // Identification over whatever was read, with replies taken from the records themselves.
    for (const auto& p : c.Phones()) {
        const CPhoneModel* found = IdentifyPhone(c, p->m_strMakerId, p->m_strModelId,
                                                 EDataReader::Connect);
        if (!p->m_strMakerId.empty() && !p->m_strModelId.empty() && !found) abort();
    }
    for (const auto& e : c.Isps()) {
        const CIspEntry* isp = nullptr;
        IdentifyOperator(c, e->m_strOperator[0], e->m_strSmsCentre, EDataReader::Connect, &isp);
        IdentifyOperator(c, e->m_strOperator[0], e->m_strSmsCentre, EDataReader::Telmio, &isp);
    }
    return 0;
}
