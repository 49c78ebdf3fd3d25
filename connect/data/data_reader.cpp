#include "connect/data/data_reader.h"

#include <array>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "common/scramble.h"
#include "connect/data/data_conversions.h"
#include "platform/file.h"

namespace kvo::connect {
namespace {

// The end-of-text codes of each field, in field order; the numbering has gaps and sub-codes
// because the messages are what users have reported for years.
constexpr std::array<std::u16string_view, kPhoneFields> kPhoneFieldCodes = {
    u"-4-",  u"-5-",  u"-7-",  u"-8-",  u"-9-",  u"-10-", u"-11-", u"-12-", u"-13-", u"-14-",
    u"-15-", u"-16-", u"-17-", u"-18-", u"-19-", u"-20-", u"-21-", u"-22-", u"-23-"};
constexpr std::array<std::u16string_view, kIspFields> kIspFieldCodes = {
    u"-27-",    u"-28-",    u"-29-",    u"-30-",    u"-31-",   u"-35-",   u"-36-",
    u"-36-01-", u"-36-05-", u"-36-06-", u"-36-07-", u"-36-08-", u"-36-09-", u"-36-2-",
    u"-36-3-",  u"-36-4-",  u"-36-5-",  u"-36-6-",  u"-36-7-", u"-36-8-"};
constexpr std::array<std::u16string_view, kProfileFields> kProfileFieldCodes = {
    u"-42-", u"-43-", u"-44-", u"-44-1-", u"-44-2-"};

template <size_t N>
std::u16string_view FieldCode(const std::array<std::u16string_view, N>& codes, int field) {
    if (field < 1 || static_cast<size_t>(field) > N) return {};
    return codes[field - 1];
}

CDataLoadResult Fail(EDataReader reader, EDataError error, int field = 0) {
    CDataLoadResult r;
    r.m_error = error;
    r.m_nField = field;
    r.m_reader = reader;
    return r;
}

// A header runs from its '*' to the first record's '#' or, for an empty table, to the next
// header's '*'. False when the text ends first.
bool SkipHeader(std::u16string_view text, size_t& p) {
    while (p < text.size() && text[p] != u'#' && text[p] != u'*') ++p;
    return p < text.size();
}

enum class ETable { Phone, Isp, Profile };

struct CTableErrors {
    EDataError noHash, field, nothingAfter, noCr, endAfter;
};

constexpr CTableErrors kErrors[] = {
    {EDataError::PhoneNoHash, EDataError::PhoneField, EDataError::PhoneNothingAfter,
     EDataError::PhoneNoCr, EDataError::PhoneEndAfter},
    {EDataError::IspNoHash, EDataError::IspField, EDataError::IspNothingAfter, EDataError::IspNoCr,
     EDataError::IspEndAfter},
    {EDataError::ProfileNoHash, EDataError::ProfileField, EDataError::ProfileNothingAfter,
     EDataError::ProfileNoCr, EDataError::ProfileEndAfter},
};

CPhoneModel MakePhone(std::u16string* f) {
    CPhoneModel m;
    m.m_strName = f[0] + u" " + f[1];
    m.m_nBaudRate = ParseDecimal(f[2]);
    m.m_nDataBits = ParseDecimal(f[3]);
    m.m_nParity = ParseDecimal(f[4]);
    m.m_nStopBits = ParseDecimal(f[5]);
    m.m_nModemOptions = ParseDecimal(f[6]);
    m.m_strGsmInitAlt = std::move(f[7]);
    m.m_strGsmInit = std::move(f[8]);
    m.m_strHscsdInitAlt = std::move(f[9]);
    m.m_strHscsdInit = std::move(f[10]);
    m.m_strGprsInit = std::move(f[11]);
    m.m_strGprsNumber = std::move(f[12]);
    m.m_strMakerId = std::move(f[13]);
    m.m_strModelId = std::move(f[14]);
    m.m_nMemoryFallback = ParseDecimal(f[15]);
    m.m_bField17Empty = f[16].empty();
    m.m_strField18 = std::move(f[17]);
    m.m_strField19 = std::move(f[18]);
    return m;
}

CIspEntry MakeIsp(std::u16string* f) {
    CIspEntry e;
    e.m_strName = std::move(f[0]);
    e.m_strCountryCode = std::move(f[1]);
    e.m_strAreaCode = std::move(f[2]);
    e.m_strDialNumber = std::move(f[3]);
    e.m_strApn = std::move(f[4]);
    e.m_dnsPrimary = ParseDottedQuad(f[5]);
    e.m_dnsSecondary = ParseDottedQuad(f[6]);
    for (int k = 0; k < 6; ++k) e.m_strOperator[k] = std::move(f[7 + k]);
    e.m_strSmsCentre = std::move(f[13]);
    e.m_strUser = std::move(f[14]);
    e.m_strPassword = std::move(f[15]);
    e.m_bCsdAllowed = f[16].empty();
    e.m_bGprsAllowed = f[17].empty();
    e.m_bSwCompression = f[18].empty();
    e.m_bHeaderCompression = !f[19].empty();
    return e;
}

CModemProfile MakeProfile(std::u16string* f) {
    CModemProfile m;
    m.m_strLineName = std::move(f[0]);
    m.m_strPort = std::move(f[1]);
    m.m_strMakerId = std::move(f[2]);
    m.m_strModelId = std::move(f[3]);
    m.m_strInitTemplate = std::move(f[4]);
    return m;
}

// Reads the records of one table from `p` (on a '#' or the next '*') up to the next header.
CDataLoadResult ReadTable(std::u16string_view text, size_t& p, ETable table, EDataReader reader,
                          CConnectionData& data) {
    static constexpr int kCounts[] = {kPhoneFields, kIspFields, kProfileFields};
    const int count = kCounts[static_cast<int>(table)];
    const CTableErrors& err = kErrors[static_cast<int>(table)];
    const size_t n = text.size();
    std::array<std::u16string, kIspFields> f;
    for (;;) {
        if (text[p] == u'*') return {};
        if (text[p] != u'#') return Fail(reader, err.noHash);
        for (int k = 0; k < count; ++k)
            if (!ReadField(text, p, f[k])) return Fail(reader, err.field, k + 1);
        if (p + 1 >= n) return Fail(reader, err.nothingAfter);
        if (text[p + 1] != u'\r') return Fail(reader, err.noCr);
        p += 3;  // the LF after the CR is not checked
        if (p >= n) return Fail(reader, err.endAfter);
        switch (table) {
            case ETable::Phone: data.AddPhone(MakePhone(f.data())); break;
            case ETable::Isp: data.AddIsp(MakeIsp(f.data())); break;
            case ETable::Profile: data.AddProfile(MakeProfile(f.data())); break;
        }
    }
}

}  // namespace

std::u16string CDataLoadResult::Code() const {
    const bool telmio = m_reader == EDataReader::Telmio;
    switch (m_error) {
        case EDataError::None:
        case EDataError::FileUnreadable:
        case EDataError::LineDevices: return {};
        case EDataError::NoHeader: return u"-1-";
        case EDataError::NoFirstRecord: return u"-2-";
        case EDataError::PhoneNoHash: return u"-3-";
        case EDataError::PhoneField: return std::u16string(FieldCode(kPhoneFieldCodes, m_nField));
        case EDataError::PhoneNothingAfter: return telmio ? u"-23-" : u"-23-2-";
        case EDataError::PhoneNoCr: return telmio ? u"-24-" : u"-23-3-";
        case EDataError::PhoneEndAfter: return telmio ? u"-25-" : u"-24-";
        case EDataError::IspHeaderEnd: return u"-25-";
        case EDataError::IspNoHash: return u"-26-";
        case EDataError::IspField: return std::u16string(FieldCode(kIspFieldCodes, m_nField));
        case EDataError::IspNothingAfter: return u"-37-";
        case EDataError::IspNoCr: return u"-38-";
        case EDataError::IspEndAfter: return u"-39-";
        case EDataError::ProfileHeaderEnd: return telmio ? u"" : u"-40-";
        case EDataError::ProfileNoHash: return u"-41-";
        case EDataError::ProfileField:
            return std::u16string(FieldCode(kProfileFieldCodes, m_nField));
        case EDataError::ProfileNothingAfter: return u"-45-";
        case EDataError::ProfileNoCr: return u"-46-";
        case EDataError::ProfileEndAfter: return u"-47-";
    }
    return {};
}

std::u16string CDataLoadResult::Message() const {
    if (m_error == EDataError::FileUnreadable) return u"Cannot open data file!";
    std::u16string code = Code();
    if (code.empty()) return {};
    return u"Corrupted data file. " + code;
}

bool CDataLoadResult::InMessageBox() const {
    if (m_reader == EDataReader::Telmio) return true;
    switch (m_error) {
        case EDataError::FileUnreadable:
        case EDataError::PhoneNoHash:
        case EDataError::PhoneField:
        case EDataError::PhoneNothingAfter:
        case EDataError::PhoneNoCr:
        case EDataError::PhoneEndAfter: return true;
        default: return false;
    }
}

bool ReadField(std::u16string_view text, size_t& position, std::u16string& field) {
    field.clear();
    size_t i = position + 1;
    size_t end = i < text.size() ? text.find(u'#', i) : std::u16string_view::npos;
    if (end == std::u16string_view::npos) {
        if (i < text.size()) field.assign(text.substr(i));
        position = text.size();
        return false;
    }
    field.assign(text.substr(i, end - i));
    position = end;
    return true;
}

CDataLoadResult ParseConnectionData(std::u16string_view text, EDataReader reader,
                                    CConnectionData& data) {
    if (text.empty() || text[0] != u'*') return Fail(reader, EDataError::NoHeader);
    size_t p = 1;
    if (!SkipHeader(text, p)) return Fail(reader, EDataError::NoFirstRecord);
    if (auto r = ReadTable(text, p, ETable::Phone, reader, data); !r.Ok()) return r;
    ++p;
    if (!SkipHeader(text, p)) return Fail(reader, EDataError::IspHeaderEnd);
    if (auto r = ReadTable(text, p, ETable::Isp, reader, data); !r.Ok()) return r;
    ++p;
    if (!SkipHeader(text, p)) return Fail(reader, EDataError::ProfileHeaderEnd);
    if (auto r = ReadTable(text, p, ETable::Profile, reader, data); !r.Ok()) return r;
    // Whatever follows the final '*' is not ours to judge.
    CDataLoadResult ok;
    ok.m_reader = reader;
    return ok;
}

void ScrambleDataFile(std::string& bytes) { Scramble(bytes, kDataFileSeed); }

std::u16string DataFileText(std::string_view plainBytes) {
    return Widen(plainBytes.substr(0, plainBytes.find('\0')));
}

CDataLoadResult ParseDataFileBytes(std::string bytes, EDataReader reader, CConnectionData& data) {
    ScrambleDataFile(bytes);
    return ParseConnectionData(DataFileText(bytes), reader, data);
}

CDataLoadResult LoadConnectionData(CConnectionData& data, EDataReader reader,
                                   std::u16string_view programDir,
                                   const DataLoadedStep& afterLoad) {
    std::u16string path = programDir.empty() ? GetInstallDir() : std::u16string(programDir);
    path += kDataFileName;
    std::string bytes;
    if (!ce::ReadFileBytes(path, bytes)) return Fail(reader, EDataError::FileUnreadable);
    CDataLoadResult r = ParseDataFileBytes(std::move(bytes), reader, data);
    if (r.Ok() && afterLoad && !afterLoad(data)) return Fail(reader, EDataError::LineDevices);
    return r;
}

}  // namespace kvo::connect
