// The device root and the mapping of handheld paths onto it.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace ce {

// $KVO_DEVICE, else ${XDG_DATA_HOME:-~/.local/share}/kvonet/device. Read once per change of
// the override; SetDeviceRoot wins over the environment (tests, --device options).
std::filesystem::path DeviceRoot();
void SetDeviceRoot(const std::filesystem::path& root);

// <device>/fs, <device>/registry, <device>/ras.
std::filesystem::path FileSystemRoot();
std::filesystem::path RegistryDir();
std::filesystem::path RasDir();

// Maps a handheld path ("\Windows\temp\x", "Windows/Temp/x") onto the host. Each existing
// component is found case-insensitively; missing ones keep the case given, so a new file keeps
// the case it was created with. "." is skipped and ".." never climbs above "\".
std::filesystem::path MapPath(std::u16string_view handheldPath);

// The handheld path of a host path under fs/ ("\Program Files\kvonet pro\kvo.ini"), or empty
// when the host path lies outside the device.
std::u16string UnmapPath(const std::filesystem::path& hostPath);

}  // namespace ce
