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

// Whole PDUs as upper-case hex, service-centre part first. Texts are UTF-8 in the GSM
// alphabet, at most 160 septets.
bool EncodeDeliver(std::string_view smsc, std::string_view sender, std::string_view time,
                   std::string_view text, std::string& hex, std::string& error);
bool EncodeStoredSubmit(std::string_view recipient, std::string_view text, std::string& hex,
                        std::string& error);

// Octets after the service-centre part, as +CMGR and +CMGS count them; -1 when the hex is not
// a PDU (odd length, not hex, service-centre part longer than the PDU, nothing after it).
int TpduLength(std::string_view hex);
// Message type of the TPDU (0 deliver, 1 submit, 2 status/command); -1 as above.
int TpduType(std::string_view hex);

}  // namespace kvo::phone
