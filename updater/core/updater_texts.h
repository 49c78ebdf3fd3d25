// The updater's string table.
#pragma once
#include <string>
#include <string_view>

namespace kvo::updater {

enum : int {
    IDS_NO_INTERNET = 65012,
    IDS_NO_SERVER = 65013,
    IDS_NO_REQUEST = 65014,
    IDS_NOT_FOUND = 65015,
    IDS_UPDATED = 65016,
    IDS_NOT_UPDATED = 65017,
    IDS_NO_VERSION_INFO = 65018,
    IDS_UPDATED_RESET = 65019,
    IDS_NAME_COLUMN = 65020,
    IDS_SIZE_COLUMN = 65021,
    IDS_CHECKING = 65023,
    IDS_FOUND_UPDATER = 65024,
    IDS_NEED_NEW_UPDATER = 65025,
};

inline constexpr std::u16string_view kUpdaterTag = u"RE2003_dezezed_Uza_300";
inline constexpr std::u16string_view kUpdaterVersion = u"0.01";
inline constexpr std::u16string_view kBasePath = u"/auto_update/";
// Where the maker's update server would be; "Server" under the updater's key points
// anywhere else.
inline constexpr std::u16string_view kDefaultServer = u"http://updates.orvane.invalid";

inline constexpr std::u16string_view kNoUpdatesText = u"No available updates";
inline constexpr std::u16string_view kAppRunningText = u"Application is still running";
inline constexpr std::u16string_view kTotalSizeText = u"Total size:";
inline constexpr std::u16string_view kDownloadText = u"Download:";
inline constexpr std::u16string_view kUpdatingText = u"Updating:";
inline constexpr std::u16string_view kUpgradingText = u"Upgrading files, please wait.";
inline constexpr std::u16string_view kPostResetLogText = u"post reset copy enabled";

// The text of a message; "%s" in it is replaced by `arg` (each occurrence).
std::u16string LoadText(int id, std::u16string_view arg = {});

}  // namespace kvo::updater
