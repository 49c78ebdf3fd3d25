// The device root and the mapping of handheld paths onto it.
#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace ce {

// $KVO_DEVICE, else ${XDG_DATA_HOME:-~/.local/share}/kvonet/device (the home folder from the
// password database when HOME is unset), else $XDG_RUNTIME_DIR/kvonet/device. Empty when none
// of them is known: a shared folder anyone could prepare is never taken. Read once per change
// of the override; SetDeviceRoot wins over the environment (tests, --device options).
std::filesystem::path DeviceRoot();
void SetDeviceRoot(const std::filesystem::path& root);
// Why DeviceRoot() is empty, for messages.
std::string NoDeviceRootReason();

// <device>/fs, <device>/registry, <device>/ras; empty without a device root.
std::filesystem::path FileSystemRoot();
std::filesystem::path RegistryDir();
std::filesystem::path RasDir();

// Maps a handheld path ("\Windows\temp\x", "Windows/Temp/x") onto the host. Each existing
// component is found case-insensitively; missing ones keep the case given, so a new file keeps
// the case it was created with. "." is skipped and ".." never climbs above "\".
std::filesystem::path MapPath(std::u16string_view handheldPath);

// MapPath for file operations: the host path with every symbolic link on the way resolved
// (and the last one too when `followLast`; a delete or rename acts on a link itself). Fails
// with ERROR_ACCESS_DENIED and a trace line when the result lies outside fs/, and with
// ERROR_INVALID_NAME for a name holding a control character, as the handheld refuses those.
bool MapPathInside(std::u16string_view handheldPath, std::filesystem::path& host,
                   bool followLast = true);

// The handheld path of a host path under fs/ ("\Program Files\kvonet pro\kvo.ini"), or empty
// when the host path lies outside the device.
std::u16string UnmapPath(const std::filesystem::path& hostPath);

// The device is one person's: its files are 0600 and its folders 0700 whatever the umask.
inline constexpr mode_t kPrivateFileMode = 0600;
inline constexpr mode_t kPrivateDirMode = 0700;
// Creates the missing folders of a host path, each 0700; 0 or the errno of the failure.
int CreatePrivateDirectories(const std::filesystem::path& hostDir);

}  // namespace ce
