#include "telmio/sms/sms_folders.h"

#include "telmio/sms/sms_message.h"

namespace kvo {

int FolderOfState(int32_t state) {
    switch (state) {
        case SMS_UNREAD:
        case SMS_READ:
            return FOLDER_INBOX;
        case SMS_OUTBOX:
        case SMS_OUTBOX_FLASH:
            return FOLDER_OUTBOX;
        case SMS_SENT_ON_PHONE:
        case SMS_SENT:
            return FOLDER_SENT;
        case SMS_DRAFT:
            return FOLDER_DRAFT;
        case SMS_TEMPLATE:
            return FOLDER_TEMPLATES;
        case SMS_USER_FOLDER:
            return FOLDER_USER;
        case SMS_DELETED:
            return FOLDER_RECYCLE_BIN;
        default:
            return FOLDER_NONE;
    }
}

bool StateForMoveCode(int code, int32_t& state, int32_t& folder) {
    folder = 0;
    switch (code) {
        case MOVE_OUTBOX:
            state = SMS_OUTBOX;
            return true;
        case MOVE_INBOX:
            state = SMS_READ;
            return true;
        case MOVE_DRAFT:
            state = SMS_DRAFT;
            return true;
        case MOVE_SENT:
            state = SMS_SENT;
            return true;
        case MOVE_RECYCLE_BIN:
            state = SMS_DELETED;
            return true;
        case MOVE_TEMPLATES:
            state = SMS_TEMPLATE;
            return true;
        default:
            break;
    }
    if (code < 0 || code >= kFirstSystemFolderCode)
        return false;
    state = SMS_USER_FOLDER;
    folder = code;
    return true;
}

}  // namespace kvo
