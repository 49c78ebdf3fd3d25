// Folder numbers the views show and the folder codes a move uses.
#pragma once
#include <cstdint>

namespace kvo {

enum SmsFolder : int {
    FOLDER_NONE = 0,  // states 10 and 11
    FOLDER_INBOX = 1,
    FOLDER_OUTBOX = 2,
    FOLDER_SENT = 3,
    FOLDER_DRAFT = 4,
    FOLDER_TEMPLATES = 5,
    FOLDER_USER = 6,
    FOLDER_RECYCLE_BIN = 7,
    FOLDER_SMS_SERVICE = 8,  // a catalogue, no messages
};

// Codes of a move; below 2000 a user folder id.
enum MoveCode : int {
    MOVE_OUTBOX = 2000,
    MOVE_INBOX = 2001,
    MOVE_DRAFT = 2002,
    MOVE_SENT = 2003,
    MOVE_RECYCLE_BIN = 2004,
    MOVE_TEMPLATES = 2005,
};
inline constexpr int kFirstSystemFolderCode = 2000;

int FolderOfState(int32_t state);
// State and user folder a move to `code` gives; false for a code that names no folder.
bool StateForMoveCode(int code, int32_t& state, int32_t& folder);

}  // namespace kvo
