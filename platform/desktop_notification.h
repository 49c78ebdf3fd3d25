// Desktop notifications (the freedesktop notification service, through libnotify) for the
// shell notifications, where a session bus is there. Calls never wait for the bus: a worker
// thread of the process talks to it, and without a bus nothing is tried at all.
#pragma once
#include <string>

namespace ce {

// True when a session bus address is known ($DBUS_SESSION_BUS_ADDRESS or
// $XDG_RUNTIME_DIR/bus) and $KVO_DESKTOP_NOTIFICATIONS is not "0". Never starts a bus.
bool DesktopNotificationsAvailable();

// Shows (or replaces the one shown under `key` by this process) a notification; `html` is
// the handheld's HTML body, shown as plain text. timeoutMs 0: until closed.
void DesktopNotificationShow(const std::string& key, const std::string& title,
                             const std::string& html, int timeoutMs);
void DesktopNotificationClose(const std::string& key);

// The text a desktop shows for a handheld HTML body: tags dropped, <br> and block ends as
// line breaks, the common character references decoded.
std::string HtmlToText(const std::string& html);

}  // namespace ce
