// "\windows\temp\postresetcopy.ini": files waiting in the download folder to be copied over
// ones that cannot be replaced while the handheld runs. Two lines per file, each ending in a
// line feed: the source ("\windows\temp\" + name) and the destination.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/file_placement.h"

namespace kvo::updater {

inline constexpr std::u16string_view kPostResetCopyFile = u"\\windows\\temp\\postresetcopy.ini";

std::string FormatPostResetLines(std::u16string_view source, std::u16string_view destination);

// Pure reader (fuzzed): nullopt for a file that does not hold pairs of a download-folder
// source with a plain name and a clean absolute destination. Carriage returns before the
// line feeds are allowed.
std::optional<std::vector<CPlacement>> ParsePostResetCopy(std::string_view bytes);

enum class PostResetResult { Nothing, Applied, Failed };

// Puts the recorded files in place, all or none, when `allowed` accepts every destination;
// then deletes the sources and the list. A failed list stays for the next attempt.
PostResetResult ApplyPostResetCopy(const std::function<bool(std::u16string_view)>& allowed,
                                   std::string& error);

// Any destination inside a folder that holds a "version.info": a folder the updater keeps.
bool IsInsideUpdatedFolder(std::u16string_view destination);

}  // namespace kvo::updater
