// Turning one "+CMGR:" reply into a message: result codes and the import hand-off.
#pragma once
#include <string>
#include <string_view>

#include "platform/datetime.h"
#include "telmio/sms/sms_message.h"

namespace kvo {

enum CmgrResult : int {
    CMGR_DONE = 0,           // made (or a stored unsent message, skipped)
    CMGR_NOT_CMGR = 1,       // does not begin with "+CMGR:"
    CMGR_NO_LINE_BREAK = 2,  // no CR LF after the header
    CMGR_PDU_TOO_LONG = 4,   // PDU line over 900 characters
    CMGR_UNDECODABLE = 5,
    CMGR_EMPTY_TEXT = 6,  // nothing left after trimming
    CMGR_EMPTY_SLOT = 7,  // "+CMGR: 0,,0": the phone's way of saying the slot is empty
};

// The numbers of a +CPMS reply for the first storage: "+CPMS: 3,20,...", "+CPMS:3,20",
// "+CPMS: \"ME\",3,20,..." (the query form). False when there are not two numbers.
bool ParseCpmsCounts(std::u16string_view reply, int& used, int& total);

inline constexpr size_t kMaxCmgrPduChars = 900;

enum CmgrMode : int { CMGR_IMPORT = 0, CMGR_COMPARE = 1 };

// What reading the phone hands over for each message; the message list implements it,
// builds the message and drops duplicates.
class ISmsImport {
public:
    virtual ~ISmsImport() = default;
    // status is '0' received unread, '1' received read, '3' stored sent (or another
    // character the phone sent); timestamp holds 14 digits.
    virtual void ImportMessage(const std::u16string& number, const std::string& timestamp,
                               const std::u16string& text, char status,
                               const std::u16string& storage, int index) = 0;
    // A message with its place in a long message; a list that does not rejoin parts takes
    // it as a message of its own.
    virtual void ImportPart(const std::u16string& number, const std::string& timestamp,
                            const std::u16string& text, char status, const std::u16string& storage,
                            int index, const CSmsPart& part) {
        (void)part;
        ImportMessage(number, timestamp, text, status, storage, index);
    }
};

// 1 for "ME", 2 for any other storage name.
int StorageCode(std::u16string_view storage);
// State of an imported message: '0' -> 0, '1' -> 1, '3' -> 3; anything else reads as received.
int StateFromStatus(char status);
// Year 2000 + the first pair, then month, day, hour, minute, second; the current local time
// when the digits are no valid date.
ce::OleDate TimeFromStamp(std::string_view digits);

}  // namespace kvo
