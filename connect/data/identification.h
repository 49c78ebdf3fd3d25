// Recognising the attached phone and the operator it is logged into from its AT replies.
#pragma once
#include <string>
#include <string_view>

#include "connect/data/connection_data.h"
#include "connect/data/data_reader.h"

namespace kvo::connect {

// The first phone whose maker identifier occurs in the AT+CGMI reply and whose model
// identifier, for connect, equals the AT+CGMM reply or, for telmio, occurs in it. Empty
// replies or identifiers never match. Null when none does.
const CPhoneModel* IdentifyPhone(const CConnectionData& data, std::u16string_view makerReply,
                                 std::u16string_view modelReply, EDataReader rule);

enum class EOperatorResult {
    Found,
    NoReplies,  // both replies reduce to nothing: the detection failed
    NotFound,   // nothing in the table matches
};

// The text of an AT+COPS? or AT+CSCA? reply that identification compares: spaces removed,
// then the part between the first two double quotes. connect keeps a reply without quotes
// whole, telmio makes it empty.
std::u16string OperatorReplyText(std::u16string_view reply, EDataReader rule);

// The first ISP whose operator name equals the network name, or, only when the network name is
// empty, whose service centre occurs in the service-centre reply. Spaces in the record's names
// are ignored as they are in the replies. A network id reported in numeric mode is one more
// name. Where several records match, file order decides: the shipped database puts our own
// records first, then networks' own operators before virtual ones sharing their ids.
EOperatorResult IdentifyOperator(const CConnectionData& data, std::u16string_view copsReply,
                                 std::u16string_view cscaReply, EDataReader rule,
                                 const CIspEntry** found);

}  // namespace kvo::connect
