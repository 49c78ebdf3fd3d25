// The SMS PDU codec: SMS-SUBMIT built for "AT+CMGS", SMS-DELIVER and SMS-SUBMIT read back from
// "AT+CMGR", and the GSM 7-bit default alphabet. Texts pass as GSM codes in 8-bit strings;
// callers narrow and widen around it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "telmio/sms/pdu_cursor.h"
#include "telmio/sms/sms_message.h"

namespace kvo {

class ISmsImport;

// A received or stored message as the network sent it, decoded for the handheld.
struct CDecodedSms {
    std::u16string m_strNumber;  // digits (with '+'), or the sender's name
    std::string m_strStamp;      // 14 digits; empty for a stored outgoing message
    std::u16string m_strText;    // line breaks as sent
    CSmsPart m_part;             // from the concatenation element of the user-data header
    int m_nPort = -1;            // destination port of an application message, or -1
    bool m_bBinary = false;      // 8-bit data that is not text, shown as hex
};

class CSmsPdu {
public:
    virtual ~CSmsPdu() = default;

    static constexpr int kMaxSeptets = 160;
    static constexpr int kMaxUcs2Units = 70;

    // Whole PDU (service centre included) as upper-case hex in `hex`. Result: octets without
    // the service-centre part, or -1 for a non-digit in a number, over 160 codes or a code
    // with bit 7 set.
    int EncodeSubmit(std::string& hex, std::string_view gsmText, std::string_view number,
                     std::string_view centre, bool bFlash) const;
    // The same with UCS2 user data (coding scheme 8, 0x18 flashing): at most 70 UTF-16 units.
    int EncodeSubmitUcs2(std::string& hex, std::u16string_view text, std::string_view number,
                         std::string_view centre, bool bFlash) const;
    // A whole message as a network sends it: alphanumeric senders, the extension table, UCS2,
    // 8-bit data and a user-data header. bSubmit reads a stored outgoing message. Result: the
    // text's units, or a PduError with `out` cleared.
    int DecodeMessage(std::string_view hex, bool bSubmit, CDecodedSms& out) const;
    // Result: septets of text, or a PduError (negative) with the outputs left empty.
    // Reads every user data as septets from its first octet (the plain GSM form).
    int DecodeDeliver(std::string_view hex, std::string& gsmText, std::string& number,
                      std::string& timestamp) const;
    int DecodeSubmit(std::string_view hex, std::string& gsmText, std::string& number) const;

    // Appends an address field; the service-centre form counts octets, the other digits.
    bool EncodeAddress(std::vector<uint8_t>& out, std::string_view number,
                       bool bServiceCentre) const;
    // Originator or destination form.
    bool DecodeAddress(CPduCursor& in, std::string& number) const;
    // 7 octets into 14 digits.
    bool DecodeTimestamp(CPduCursor& in, std::string& digits) const;
    // Appends the septets of `codes` (each below 128) packed least significant bit first.
    void PackSeptets(std::vector<uint8_t>& out, std::string_view codes) const;
    // Unpacks `septets` codes from `octets` bytes; false when they do not hold that many.
    bool UnpackSeptets(const uint8_t* data, size_t octets, size_t septets,
                       std::string& codes) const;
    static size_t PackedOctets(size_t septets) { return (septets * 7 + 7) / 8; }
    // 0, PDU_ODD_LENGTH (-8) or PDU_BAD_HEX (-1). Upper-case digits only.
    int HexToBytes(std::string_view hex, std::vector<uint8_t>& bytes) const;
    std::string BytesToHex(const uint8_t* data, size_t size) const;
    std::string BytesToHex(const std::vector<uint8_t>& bytes) const {
        return BytesToHex(bytes.data(), bytes.size());
    }

    // In place, one code per character: GSM codes to the handheld's characters and back,
    // without the extension table (the escape reads as a space). The phonebook's texts.
    void GsmToUnicode(std::u16string& text) const;
    void UnicodeToGsm(std::u16string& text) const;
    // The same for message texts, with the extension table: an escape and the code after it
    // are one character, and '[', '\\', '€' and the like go out as such pairs.
    void SeptetsToUnicode(std::u16string& text) const;
    void UnicodeToSeptets(std::u16string& text) const;
    // True when every character has a GSM code (the extension table included): such a text
    // goes out as septets, any other as UCS2.
    bool FitsGsm(std::u16string_view text) const;
    // Septets the text takes: two for a character of the extension table.
    size_t GsmSeptets(std::u16string_view text) const;
    // Inserts a CR before every LF.
    void ExpandLineBreaks(std::u16string& text) const;

    // Mode 0 hands the message to `import`; mode 1 fills `out`. Result: one of CmgrResult.
    int ParseCmgrReply(std::u16string_view reply, std::u16string_view storage, int index, int mode,
                       ISmsImport* import, CSmsMessage* out) const;

private:
    int ReadDeliver(std::string_view hex, std::string& gsmText, std::string& number,
                    std::string& timestamp) const;
    int ReadSubmit(std::string_view hex, std::string& gsmText, std::string& number) const;
    int DecodeUserData(CPduCursor& in, uint8_t dcs, std::string& gsmText) const;
    int ReadMessage(std::string_view hex, bool bSubmit, CDecodedSms& out) const;
    int ReadUserData(CPduCursor& in, uint8_t dcs, bool bHeader, CDecodedSms& out) const;
    bool DecodeAnyAddress(CPduCursor& in, std::u16string& number) const;
};

}  // namespace kvo
