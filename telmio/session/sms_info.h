// "\windows\smsinfo.dat": the operator's SMS services for the "SMS Service" view. 8-bit text:
//   *#<operator>#CR LF
//   #<f1>#<f2>#<f3>#<number>#<f5>#<f6>#<text, '|' = line break>#CR LF    (any number of these)
//   *
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kvo {

struct CSmsService {
    std::u16string m_strFields[7];  // the fourth is also in m_nValue
    int m_nValue = 0;
};

struct CSmsInfo {
    std::u16string m_strOperator;
    std::vector<CSmsService> m_services;
};

inline constexpr char16_t kSmsInfoCorrupted[] = u"Error, smsinfo.dat corrupted.";

// Pure parser (fuzzed): false when the text deviates from the form above.
bool ParseSmsInfo(std::string_view text, CSmsInfo& info);

enum class SmsInfoResult { missing, loaded, corrupted };
SmsInfoResult LoadSmsInfo(CSmsInfo& info, std::u16string_view path = u"\\windows\\smsinfo.dat");

}  // namespace kvo
