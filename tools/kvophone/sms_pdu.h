// The few SMS PDUs the simulated phone makes itself: received messages (SMS-DELIVER) and stored
// outgoing ones (SMS-SUBMIT), from a readable sender, time and text; and the length checks that
// +CMGR and +CMGS need.
#pragma once
#include <string>
#include <string_view>

namespace kvo::phone {

// "+4917..." (international), "0171..." (unknown type) or, for a sender only, up to 11
// characters of text (alphanumeric address).
bool EncodeAddress(std::string_view number, bool bAllowText, std::string& octets,
                   std::string& error);
// The service-centre form: length in octets, type, digits; "" gives the single octet 0.
bool EncodeServiceCentre(std::string_view number, std::string& octets, std::string& error);
// "YYYY-MM-DD HH:MM:SS" with an optional zone "+HH:MM" / "-HH:MM" (quarter hours) to the
// 7 semi-octet time stamp.
bool EncodeTimestamp(std::string_view text, std::string& octets, std::string& error);

// How a received message is built beyond sender, time and text.
struct DeliverForm {
    bool bData = false;   // the text is hex octets, sent as 8-bit data
    int nRef = -1;        // part of a long message: its reference (above 255: a 16-bit one)
    bool bRef16 = false;  // a 16-bit reference element even for a small reference
    int nSeq = 0, nCount = 0;
    int nPort = -1;  // application port (16-bit port addressing), -1 for none
    bool operator==(const DeliverForm&) const = default;
};

// Whole PDUs as upper-case hex, service-centre part first. Texts are UTF-8: in the GSM
// alphabet at most 160 septets (header included), any other text as UCS2 in at most 140
// octets; a user-data header when the form names a part or a port.
bool EncodeDeliver(std::string_view smsc, std::string_view sender, std::string_view time,
                   std::string_view text, std::string& hex, std::string& error,
                   const DeliverForm& form = {});
// Recipient and text (UTF-8) of an SMS-SUBMIT as a phone sent it: 7-bit with the extension
// table, UCS2, or 8-bit data as hex; a user-data header is skipped. False when it is not one.
bool DecodeSubmitText(std::string_view hex, std::string& recipient, std::string& text);
bool EncodeStoredSubmit(std::string_view recipient, std::string_view text, std::string& hex,
                        std::string& error);

// Octets after the service-centre part, as +CMGR and +CMGS count them; -1 when the hex is not
// a PDU (odd length, not hex, service-centre part longer than the PDU, nothing after it).
int TpduLength(std::string_view hex);
// Message type of the TPDU (0 deliver, 1 submit, 2 status/command); -1 as above.
int TpduType(std::string_view hex);

}  // namespace kvo::phone
