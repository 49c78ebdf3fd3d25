#include "telmio/sms/sms_message.h"

#include "common/stored_string.h"

namespace kvo {
namespace {

constexpr uint32_t kFlagMarked = 1;
constexpr uint32_t kFlagFlash = 2;
// A part of a long message (or the message rejoined from them): part number in bits 8-15,
// part count in 16-23, and the reference in the folder field, which only messages in a user
// folder use. Readers that know only the two flags above ignore the rest.
constexpr uint32_t kFlagPart = 4;

RecordResult FromStringError(StoredStringError e) {
    switch (e) {
        case StoredStringError::ok:
            return RecordResult::ok;
        case StoredStringError::tooLong:
            return RecordResult::tooLong;
        case StoredStringError::shortRead:
            return RecordResult::cutShort;
        case StoredStringError::noTerminator:
            return RecordResult::bad;
    }
    return RecordResult::bad;
}

}  // namespace

uint64_t CSmsMessage::RecordSize() const {
    return 4 + StoredStringSize(m_strNumber) + StoredStringSize(m_strText) + 12 + 4 * 4;
}

bool WriteSmsRecord(BinWriter& out, const CSmsMessage& msg) {
    if (msg.m_strNumber.size() > kMaxStoreStringUnits ||
        msg.m_strText.size() > kMaxStoreStringUnits)
        return false;
    uint32_t flags = (msg.m_bMarked ? kFlagMarked : 0) | (msg.m_bFlash ? kFlagFlash : 0);
    int32_t folder = msg.m_nFolder;
    const CSmsPart& part = msg.m_part;
    if (part.IsPart() && msg.m_nState != SMS_USER_FOLDER && part.m_nCount <= 0xFF &&
        part.m_nSeq >= 0 && part.m_nSeq <= 0xFF) {
        flags |= kFlagPart | static_cast<uint32_t>(part.m_nSeq) << 8 |
                 static_cast<uint32_t>(part.m_nCount) << 16;
        folder = part.m_nReference;
    }
    return out.WriteI32(msg.m_nState) && WriteStoredString(out, msg.m_strNumber) &&
           WriteStoredString(out, msg.m_strText) && out.WriteDouble(msg.m_time.m_dt) &&
           out.WriteI32(msg.m_time.m_status) && out.WriteU32(flags) &&
           out.WriteI32(msg.m_nStorage) && out.WriteI32(folder) && out.WriteI32(msg.m_nIndex);
}

RecordResult ReadSmsRecord(BinReader& in, CSmsMessage& msg) {
    if (in.Remaining() == 0)
        return RecordResult::end;
    if (!in.ReadI32(msg.m_nState))
        return RecordResult::cutShort;
    RecordResult r = FromStringError(ReadStoredString(in, kMaxStoreStringUnits, msg.m_strNumber));
    if (r != RecordResult::ok)
        return r;
    r = FromStringError(ReadStoredString(in, kMaxStoreStringUnits, msg.m_strText));
    if (r != RecordResult::ok)
        return r;
    uint32_t flags;
    if (!in.ReadDouble(msg.m_time.m_dt) || !in.ReadI32(msg.m_time.m_status) || !in.ReadU32(flags) ||
        !in.ReadI32(msg.m_nStorage) || !in.ReadI32(msg.m_nFolder) || !in.ReadI32(msg.m_nIndex))
        return RecordResult::cutShort;
    msg.m_bMarked = (flags & kFlagMarked) != 0;
    msg.m_bFlash = (flags & kFlagFlash) != 0;
    msg.m_part = CSmsPart{};
    int32_t seq = static_cast<int32_t>((flags >> 8) & 0xFF);
    int32_t count = static_cast<int32_t>((flags >> 16) & 0xFF);
    if ((flags & kFlagPart) && msg.m_nState != SMS_USER_FOLDER && msg.m_nFolder >= 0 && count > 0 &&
        seq <= count) {
        msg.m_part = CSmsPart{msg.m_nFolder, count, seq};
        msg.m_nFolder = 0;
    }
    return RecordResult::ok;
}

}  // namespace kvo
