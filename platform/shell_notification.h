// Shell notifications. Every notification is one line in <device>/notifications.log:
//   YYYY-MM-DD HH:MM:SS <TAB> ADD|REMOVE <TAB> identifier <TAB> title <TAB> body
// (local time; in title and body a line break is written "\n", a carriage return "\r", a
// tab "\t", a backslash "\\"; removals leave title and body empty), and, where a desktop
// session bus is there, also a desktop notification. The notifications shown are the
// device's, not one program's: <device>/notifications.active lists them, so a second add
// with the same class and identifier replaces the first from any program, and one whose
// duration has run out is removed (and logged) by the program that added it or, when that
// one has ended, by the next program that uses notifications.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/datetime.h"
#include "platform/guid.h"

namespace ce {

enum SHNP : uint32_t { SHNP_ICONIC = 0, SHNP_INFORM = 0x1B1 };

struct SHNOTIFICATIONDATA {
    uint32_t dwID = 0;
    SHNP npPriority = SHNP_INFORM;
    uint32_t csDuration = 0;  // seconds; 0 stays until removed
    uint32_t grfFlags = 0;
    GUID clsid;
    std::u16string strTitle;
    std::u16string strHTML;
};

// ERROR_SUCCESS, or an error code (also in GetLastError) when it could not be recorded.
uint32_t SHNotificationAdd(const SHNOTIFICATIONDATA& data);
// Removes the notification of that class (any class when nullptr) and identifier;
// ERROR_FILE_NOT_FOUND when none is shown.
uint32_t SHNotificationRemove(const GUID* clsid, uint32_t dwID);

// The log line for one event, with its line break (pure; for tests and tools).
std::string FormatNotificationLine(const SYSTEMTIME& time, bool add, uint32_t id,
                                   std::u16string_view title, std::u16string_view body);

}  // namespace ce
