#include "error.h"

#include <cerrno>
#include <cstring>

namespace ce {
namespace {
thread_local uint32_t t_lastError = ERROR_SUCCESS;
thread_local std::string t_lastText;

const char* CodeText(uint32_t code) {
    switch (code) {
        case ERROR_SUCCESS: return "no error";
        case ERROR_FILE_NOT_FOUND: return "not found";
        case ERROR_PATH_NOT_FOUND: return "folder not found";
        case ERROR_ACCESS_DENIED: return "access denied";
        case ERROR_SHARING_VIOLATION: return "in use by another program";
        case ERROR_DISK_FULL: return "disk full";
        case ERROR_BAD_FORMAT: return "unreadable file";
        case ERROR_INVALID_NAME: return "invalid name";
        case ERROR_INVALID_PARAMETER: return "invalid parameter";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return "already exists";
        default: return "error";
    }
}
}  // namespace

uint32_t GetLastError() { return t_lastError; }
void SetLastError(uint32_t code) {
    t_lastError = code;
    t_lastText.clear();
}

void SetLastErrorWith(uint32_t code, std::string text) {
    t_lastError = code;
    t_lastText = std::move(text);
}

void SetLastErrorFromErrno(int err, std::string_view what) {
    SetLastErrorFromErrno(err);
    t_lastText = std::string(what) + ": " + std::strerror(err);
}

std::string GetLastErrorText() {
    if (!t_lastText.empty()) return t_lastText;
    return std::string(CodeText(t_lastError)) + " (" + std::to_string(t_lastError) + ")";
}

void SetLastErrorFromErrno(int err) {
    switch (err) {
        case 0: SetLastError(ERROR_SUCCESS); break;
        case ENOENT: SetLastError(ERROR_FILE_NOT_FOUND); break;
        case ENOTDIR: SetLastError(ERROR_PATH_NOT_FOUND); break;
        case EACCES:
        case EPERM:
        case EROFS:
        case ELOOP: SetLastError(ERROR_ACCESS_DENIED); break;
        case EEXIST: SetLastError(ERROR_ALREADY_EXISTS); break;
        case ENOSPC:
        case EDQUOT: SetLastError(ERROR_DISK_FULL); break;
        case ENOTEMPTY: SetLastError(ERROR_DIR_NOT_EMPTY); break;
        case EWOULDBLOCK: SetLastError(ERROR_SHARING_VIOLATION); break;
        case EBADF: SetLastError(ERROR_INVALID_HANDLE); break;
        case ENOMEM: SetLastError(ERROR_NOT_ENOUGH_MEMORY); break;
        case EINVAL: SetLastError(ERROR_INVALID_PARAMETER); break;
        default: SetLastError(ERROR_GEN_FAILURE); break;
    }
}

}  // namespace ce
