// Process start by handheld path, and the snapshot of running process names.
#pragma once
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace ce {

// Starts the program at a handheld path ("\Program Files\kvonet pro\connect.exe") with one
// command-line string (passed as its only argument; none when empty). The child inherits the
// device root. Returns the process id, or -1 with GetLastError set.
pid_t CreateProcess(std::u16string_view path, std::u16string_view commandLine);

// Waits for a started process; its exit code, or -1 when it died by a signal.
int WaitProcess(pid_t pid);

struct ProcessEntry {
    pid_t pid;
    std::u16string exeName;  // as /proc/<pid>/comm reads it, "linkwatch.exe"
};
std::vector<ProcessEntry> ProcessSnapshot();
// The processes of this device only: several emulated handhelds share one Linux machine.
// A process belongs to the device its $KVO_DEVICE names (the default device when unset).
std::vector<ProcessEntry> DeviceProcessSnapshot();
// True when a process of that name (case-insensitive) runs.
bool IsProcessRunning(std::u16string_view exeName);

}  // namespace ce
