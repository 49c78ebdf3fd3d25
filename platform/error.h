// Thread-local last error with the handheld's error codes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

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
    ERROR_INVALID_NAME = 123,
    ERROR_BAD_FORMAT = 11,
    ERROR_TIMEOUT = 1460,
};

uint32_t GetLastError();
void SetLastError(uint32_t code);
// Maps an errno value to the closest handheld code and stores it.
void SetLastErrorFromErrno(int err);

// The same with a sentence for people: what failed, on which path, and the system's reason
// ("cannot write /x/registry/user.reg.12.0.tmp: Read-only file system"). SetLastError
// drops the sentence, so it always belongs to the current code.
void SetLastErrorWith(uint32_t code, std::string text);
void SetLastErrorFromErrno(int err, std::string_view what);
// The sentence of the last error, or the code's own wording when none was given.
std::string GetLastErrorText();

}  // namespace ce
