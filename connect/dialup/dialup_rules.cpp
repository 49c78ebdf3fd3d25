#include "dialup_rules.h"

#include "connect/data/data_conversions.h"

namespace kvo::connect {

std::u16string MethodText(int method) {
    switch (method) {
        case METHOD_GPRS:
            return u"GPRS";
        case METHOD_GSM:
            return u"GSM";
        case METHOD_HSCSD:
            return u"HSCSD";
        default:
            return u"unknown";
    }
}

int ChooseMethod(std::u16string& saved, const CPhoneModel& phone, const CIspEntry& isp) {
    bool gprs = !phone.m_strGprsInit.empty() && isp.m_bGprsAllowed;
    bool hscsd = !phone.m_strHscsdInit.empty() && isp.m_bCsdAllowed;
    if ((saved.empty() || saved == u"GPRS") && gprs)
        return METHOD_GPRS;
    if (!gprs && saved != u"GSM")
        saved = u"HSCSD";
    if (saved == u"HSCSD" && hscsd)
        return METHOD_HSCSD;
    if (hscsd)
        return METHOD_GSM;
    saved = u"GSM";
    return METHOD_GSM;
}

void ReplaceAll(std::u16string& text, std::u16string_view what, std::u16string_view with) {
    if (what.empty())
        return;
    for (size_t pos = 0; (pos = text.find(what, pos)) != std::u16string::npos; pos += with.size())
        text.replace(pos, what.size(), with);
}

namespace {

void RemoveEmptyPin(std::u16string& text) {
    ReplaceAll(text, u"+cpin=\"\";", u"");
    ReplaceAll(text, u";+cpin=\"\"", u"");
}

}  // namespace

CInitString BuildInitString(int method, const CPhoneModel& phone, const CIspEntry& isp,
                            const std::u16string& apnOverride, const std::u16string& pin,
                            size_t limit) {
    CInitString r;
    std::u16string& text = r.m_strText;
    switch (method) {
        case METHOD_GPRS:
            text = phone.m_strGprsInit;
            ReplaceAll(text, u"APN", apnOverride.empty() ? isp.m_strApn : apnOverride);
            break;
        case METHOD_GSM:
            text = phone.m_strGsmInit;
            break;
        case METHOD_HSCSD:
            text = phone.m_strHscsdInit;
            break;
        default:
            text = u"Z";
            return r;
    }
    ReplaceAll(text, u"PIN", pin);
    RemoveEmptyPin(text);
    if (text.size() > limit) {
        ReplaceAll(text, u"+cpin=\"" + pin + u"\";", u"");
        ReplaceAll(text, u";+cpin=\"" + pin + u"\"", u"");
        if (text.size() <= limit) {
            r.m_bPinMustBeDisabled = true;
        } else {
            r.m_bTooLong = true;
            text.clear();
        }
    }
    return r;
}

std::vector<std::u16string> ProfileTemplatePieces(const std::u16string& initTemplate,
                                                  const std::u16string& apn,
                                                  const std::u16string& pin) {
    std::u16string text = initTemplate + u";";
    ReplaceAll(text, u"APN", apn);
    ReplaceAll(text, u"PIN", pin);
    RemoveEmptyPin(text);
    std::vector<std::u16string> pieces;
    size_t start = 0;
    for (size_t semi; (semi = text.find(u';', start)) != std::u16string::npos; start = semi + 1)
        pieces.push_back(text.substr(start, semi - start));
    // What follows the last ';' is never sent, as the template's own end.
    return pieces;
}

std::u16string DialPattern(int countryCode, const std::u16string& areaCode) {
    std::u16string p;
    if (countryCode != 0)
        p += u"+E";
    if (!areaCode.empty())
        p += u"F";
    return p + u"G";
}

CDialNumber DialNumberFor(int method, const CPhoneModel& phone, const CIspEntry& isp) {
    CDialNumber d;
    if (method == METHOD_GPRS) {
        d.m_strNumber = phone.m_strGprsNumber;
        for (char16_t& c : d.m_strNumber)
            if (c == u'$')
                c = u'#';
    } else {
        d.m_nCountryCode = isp.m_strCountryCode.empty() ? 0 : ParseDecimal(isp.m_strCountryCode);
        d.m_strAreaCode = isp.m_strAreaCode;
        d.m_strNumber = isp.m_strDialNumber;
    }
    return d;
}

bool PinFieldEditable(const CPhoneModel* phone) {
    return phone && phone->m_strGprsInit.find(u"cpin") != std::u16string::npos;
}

}  // namespace kvo::connect
