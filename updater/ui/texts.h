// The texts of the window's views and dialogs.
#pragma once

namespace kvo::updater::ui {

inline constexpr char kTitle[] = "Updater";
inline constexpr char kAppTitle[] = "Orvane Application Updater";
inline constexpr char kVersionText[] = "Updater version 3.00";
inline constexpr char kPressText[] =
    "Press 'Quit' to end or press 'Check updates' to check for new updates.";
inline constexpr char kUpdateInfoText[] = "Update info";
inline constexpr char kProductText[] = "Product to update:";
inline constexpr char kCheckText[] = "Check updates";
inline constexpr char kQuitText[] = "Quit";
inline constexpr char kRetryText[] = "Retry";
inline constexpr char kCancelText[] = "Cancel";
inline constexpr char kUpdateText[] = "Update";
inline constexpr char kResetText[] = "Reset";
inline constexpr char kPreparingText[] = "Preparing to check. ";
inline constexpr char kPleaseWaitText[] = "Please wait.";

}  // namespace kvo::updater::ui
