#include "telmio/sms/sms_message.h"

#include "common/stored_string.h"

namespace kvo {
namespace {

constexpr uint32_t kFlagMarked = 1;
constexpr uint32_t kFlagFlash = 2;

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
    return out.WriteI32(msg.m_nState) && WriteStoredString(out, msg.m_strNumber) &&
           WriteStoredString(out, msg.m_strText) && out.WriteDouble(msg.m_time.m_dt) &&
           out.WriteI32(msg.m_time.m_status) && out.WriteU32(flags) &&
           out.WriteI32(msg.m_nStorage) && out.WriteI32(msg.m_nFolder) &&
           out.WriteI32(msg.m_nIndex);
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
    return RecordResult::ok;
}

}  // namespace kvo
