// Thread-local last error with the handheld's error codes.
#pragma once
#include <cstdint>

namespace ce {

enum : uint32_t {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_GEN_FAILURE = 31,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_HANDLE_EOF = 38,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_DISK_FULL = 112,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_NO_MORE_ITEMS = 259,
    ERROR_INVALID_DATA = 13,
    ERROR_BAD_FORMAT = 11,
    ERROR_TIMEOUT = 1460,
};

uint32_t GetLastError();
void SetLastError(uint32_t code);
// Maps an errno value to the closest handheld code and stores it.
void SetLastErrorFromErrno(int err);

}  // namespace ce
