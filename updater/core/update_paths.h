// Where the updater reads and writes: the download folder, the destination of an offered
// file, and the checks that keep a list from the server inside the product's directory.
#pragma once
#include <string>
#include <string_view>

namespace kvo::updater {

inline constexpr std::u16string_view kTempDir = u"\\windows\\temp";

// dir + "\" + name, with exactly one backslash between them.
std::u16string JoinPath(std::u16string_view dir, std::u16string_view name);
// "\windows\temp\" + name.
std::u16string TempPath(std::u16string_view name);

// A plain file name: not empty, not "." or "..", no separator, drive colon, wildcard or
// control character.
bool IsPlainFileName(std::u16string_view name);

// The destination of a file with directory `dir` and name `name` under `target`: target +
// "\" + name for an empty directory, dir + name for one starting with a backslash, target +
// "\" + dir + name otherwise. False when the name is not plain or the result would lie
// outside `target` (a "..", a drive, a "/", an absolute folder elsewhere).
bool DestinationPath(std::u16string_view target, std::u16string_view dir, std::u16string_view name,
                     std::u16string& out);

// True when `path` is an absolute handheld path without "..", ".", empty parts, "/" or ":".
bool IsCleanAbsolutePath(std::u16string_view path);
// True when the clean absolute `path` lies inside the folder `dir` (case-insensitive).
bool IsInside(std::u16string_view path, std::u16string_view dir);

// "/auto_update/" + tag + "/" + name, with the bytes outside the unreserved set escaped.
std::string ObjectPath(std::u16string_view basePath, std::u16string_view tag,
                       std::u16string_view name);

}  // namespace kvo::updater
