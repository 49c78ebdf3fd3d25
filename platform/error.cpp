#include "error.h"

#include <cerrno>

namespace ce {
namespace {
thread_local uint32_t t_lastError = ERROR_SUCCESS;
}

uint32_t GetLastError() { return t_lastError; }
void SetLastError(uint32_t code) { t_lastError = code; }

void SetLastErrorFromErrno(int err) {
    switch (err) {
        case 0: SetLastError(ERROR_SUCCESS); break;
        case ENOENT: SetLastError(ERROR_FILE_NOT_FOUND); break;
        case ENOTDIR: SetLastError(ERROR_PATH_NOT_FOUND); break;
        case EACCES:
        case EPERM:
        case EROFS: SetLastError(ERROR_ACCESS_DENIED); break;
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
