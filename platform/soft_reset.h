// Soft reset of the emulated handheld: what comes back after a reset is the StartUp folder's
// programs, so a reset starts each of its shortcuts. Linux processes keep running: the device
// cannot tell which of them a reset would end.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ce {

struct SoftResetResult {
    struct Started {
        pid_t pid;
        std::string strShortcut;  // the shortcut's file name
    };
    std::vector<Started> started;     // programs started, in shortcut name order
    std::vector<std::string> errors;  // shortcuts that could not be started, and why
};
// Starts the programs of every "*.lnk" in the StartUp folder.
SoftResetResult SoftReset();

constexpr uint32_t IOCTL_HAL_REBOOT = 0x0101003C;
// IOCTL_HAL_REBOOT performs SoftReset; other codes fail with ERROR_INVALID_PARAMETER.
bool KernelIoControl(uint32_t code);

}  // namespace ce
