// One message of the store and its record in "kvo.sms".
#pragma once
#include <cstdint>
#include <string>

#include "common/binio.h"
#include "platform/datetime.h"

namespace kvo {

// State codes; the folder that shows each is in sms_folders.h.
enum SmsState : int32_t {
    SMS_UNREAD = 0,
    SMS_READ = 1,
    SMS_SENT_ON_PHONE = 3,
    SMS_OUTBOX = 5,
    SMS_DRAFT = 6,
    SMS_TEMPLATE = 7,
    SMS_SENT = 8,
    SMS_DELETED = 9,
    SMS_DELETE_ON_PHONE = 10,
    SMS_PURGED = 11,
    SMS_OUTBOX_FLASH = 12,
    SMS_USER_FOLDER = 20,
};

enum SmsStorage : int32_t { STORAGE_ME = 1, STORAGE_SM = 2, STORAGE_NONE = 3 };

// State of a part of a long message once the parts were rejoined: hidden, kept so that the
// phone's slots are still known (for deletion and for the duplicate rule).
inline constexpr int32_t SMS_JOINED_PART = 21;

// Where a message stands in a long message sent as concatenated parts.
struct CSmsPart {
    int32_t m_nReference = -1;  // -1: not part of a long message
    int32_t m_nCount = 0;
    int32_t m_nSeq = 0;  // 1..count for a part; 0 for the message rejoined from them
    bool IsPart() const { return m_nReference >= 0 && m_nCount > 0; }
    bool operator==(const CSmsPart&) const = default;
};

class CSmsMessage {
public:
    virtual ~CSmsMessage() = default;

    int32_t m_nState = SMS_UNREAD;
    std::u16string m_strNumber;
    std::u16string m_strText;  // line breaks as CR LF
    ce::OleDate m_time;
    bool m_bMarked = false;
    int32_t m_nStorage = STORAGE_NONE;
    int32_t m_nIndex = -1;
    int32_t m_nFilePos = -1;  // -1 while it has no record
    int32_t m_nFolder = 0;    // user folder id in state 20
    bool m_bFlash = false;
    CSmsPart m_part;

    // Bytes its record takes.
    uint64_t RecordSize() const;
};

// Longest number or text the store reads or writes; writing refuses what loading would not
// accept, so a saved store always loads back whole.
inline constexpr uint32_t kMaxStoreStringUnits = 1u << 20;

enum class RecordResult { ok, end, tooLong, cutShort, bad };

// The record fields in file order; m_nFilePos is not touched.
bool WriteSmsRecord(BinWriter& out, const CSmsMessage& msg);
// `end` at a clean end of the source, `tooLong` for a string over the limit, `cutShort`
// when the source ends inside the record, `bad` for a string without its zero.
RecordResult ReadSmsRecord(BinReader& in, CSmsMessage& msg);

}  // namespace kvo
