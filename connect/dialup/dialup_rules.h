// The rules of the dial-up set-up that need no phone, registry or user: the connection
// method, the init string, the detection template, the dial pattern and number.
#pragma once
#include <string>
#include <vector>

#include "connect/data/isp_entry.h"
#include "connect/data/phone_model.h"

namespace kvo::connect {

enum EMethod : int { METHOD_NONE = 0, METHOD_GPRS = 1, METHOD_GSM = 2, METHOD_HSCSD = 3 };

// "GPRS", "GSM", "HSCSD", otherwise "unknown".
std::u16string MethodText(int method);

// The method for a phone and an ISP given the saved method text `saved`, which it may
// rewrite in memory ("HSCSD" when GPRS is out of reach, "GSM" as the last resort).
int ChooseMethod(std::u16string& saved, const CPhoneModel& phone, const CIspEntry& isp);

// Replaces every occurrence of `what` in `text`.
void ReplaceAll(std::u16string& text, std::u16string_view what, std::u16string_view with);

// The init string's length limit of the entry's modem set-up.
inline constexpr size_t kInitStringLimit = 100;

struct CInitString {
    std::u16string m_strText;
    bool m_bPinMustBeDisabled = false;  // the PIN command was dropped to fit the limit
    bool m_bTooLong = false;            // it did not fit even without: the text is empty
};

// The modem init string of the method: the phone's template with "APN" (the override, else
// the ISP's) and "PIN" filled in; an empty PIN's command removed; over `limit` characters
// the PIN command is dropped, and if it still does not fit the text is emptied.
CInitString BuildInitString(int method, const CPhoneModel& phone, const CIspEntry& isp,
                            const std::u16string& apnOverride, const std::u16string& pin,
                            size_t limit = kInitStringLimit);

// The commands a modem profile's template sends during detection, in order.
std::vector<std::u16string> ProfileTemplatePieces(const std::u16string& initTemplate,
                                                  const std::u16string& apn,
                                                  const std::u16string& pin);
inline constexpr size_t kTemplatePieceMax = 199;

// Dialling location pattern: "+E" with a country code, "F" with an area code, then "G".
std::u16string DialPattern(int countryCode, const std::u16string& areaCode);

struct CDialNumber {
    int m_nCountryCode = 0;
    std::u16string m_strAreaCode;
    std::u16string m_strNumber;
};
CDialNumber DialNumberFor(int method, const CPhoneModel& phone, const CIspEntry& isp);

// The PIN field of the set-up pages is editable only for a phone whose GPRS template asks
// for the PIN.
bool PinFieldEditable(const CPhoneModel* phone);

}  // namespace kvo::connect
