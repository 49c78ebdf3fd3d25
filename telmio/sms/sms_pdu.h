// The SMS PDU codec: SMS-SUBMIT built for "AT+CMGS", SMS-DELIVER and SMS-SUBMIT read back from
// "AT+CMGR", and the GSM 7-bit default alphabet. Texts pass as GSM codes in 8-bit strings;
// callers narrow and widen around it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "telmio/sms/pdu_cursor.h"

namespace kvo {

class CSmsMessage;
class ISmsImport;

class CSmsPdu {
public:
    virtual ~CSmsPdu() = default;

    static constexpr int kMaxSeptets = 160;

    // Whole PDU (service centre included) as upper-case hex in `hex`. Result: octets without
    // the service-centre part, or -1 for a non-digit in a number, over 160 codes or a code
    // with bit 7 set.
    int EncodeSubmit(std::string& hex, std::string_view gsmText, std::string_view number,
                     std::string_view centre, bool bFlash) const;
    // Result: septets of text, or a PduError (negative) with the outputs left empty.
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

    // In place: GSM codes to the handheld's characters and back.
    void GsmToUnicode(std::u16string& text) const;
    void UnicodeToGsm(std::u16string& text) const;
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
};

}  // namespace kvo
