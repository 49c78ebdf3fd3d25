// A program for the shell tests: "touch=PATH" creates PATH (what a StartUp program does for
// the soft reset test); "notify FIRST COUNT" adds and removes COUNT notifications; "add ID
// SECONDS" adds one for that long and ends.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/shell_notification.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    std::string first = argc > 1 ? argv[1] : "";
    if (first.rfind("touch=", 0) == 0) {
        int fd = open(first.c_str() + 6, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        return fd >= 0 && close(fd) == 0 ? 0 : 1;
    }
    if (first == "notify" && argc == 4) {
        uint32_t id = static_cast<uint32_t>(std::atoi(argv[2]));
        int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i, ++id) {
            ce::SHNOTIFICATIONDATA n;
            n.dwID = id;
            n.strTitle = u"title " + ce::FromUtf8(std::to_string(id));
            n.strHTML = u"<b>first line</b>\nsecond line, a little longer so lines are not tiny";
            if (ce::SHNotificationAdd(n) != 0 || ce::SHNotificationRemove(&n.clsid, id) != 0)
                return 1;
        }
        return 0;
    }
    if (first == "add" && argc == 4) {
        ce::SHNOTIFICATIONDATA n;
        n.dwID = static_cast<uint32_t>(std::atoi(argv[2]));
        n.csDuration = static_cast<uint32_t>(std::atoi(argv[3]));
        n.strTitle = u"gone";
        return ce::SHNotificationAdd(n) == 0 ? 0 : 1;
    }
    return 2;
}
