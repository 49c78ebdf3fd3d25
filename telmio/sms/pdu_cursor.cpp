#include "telmio/sms/pdu_cursor.h"

namespace kvo {

const char* PduErrorText(int error) {
    switch (error) {
        case PDU_OK:
            return "ok";
        case PDU_BAD_HEX:
            return "PDU is not upper-case hex";
        case PDU_CENTRE:
            return "PDU too short: service-centre address";
        case PDU_FIRST_OCTET:
            return "PDU too short: first octet";
        case PDU_ADDRESS:
            return "PDU too short: address";
        case PDU_REFERENCE:
            return "PDU too short: message reference";
        case PDU_PID_DCS:
            return "PDU too short: protocol identifier or coding scheme";
        case PDU_TIMESTAMP:
            return "PDU too short: time stamp";
        case PDU_ODD_LENGTH:
            return "PDU has an odd number of hex digits";
        case PDU_VALIDITY:
            return "PDU too short: validity period";
        case PDU_USER_DATA_LENGTH:
            return "PDU too short: user-data length";
        case PDU_USER_DATA:
            return "PDU too short: user data";
        default:
            return "PDU error";
    }
}

}  // namespace kvo
