#include "status_notification.h"

#include "connect/dialup/connect_strings.h"
#include "platform/datetime.h"
#include "platform/shell_notification.h"

#include <unistd.h>

namespace kvo::connect {

CStatusNotification::CStatusNotification() {
    // Made once per process from the time and the tick count, so two runs never share one.
    ce::SYSTEMTIME t = ce::GetLocalTime();
    uint32_t tick = ce::GetTickCount();
    m_clsid.Data1 = static_cast<uint32_t>(t.wYear) << 16 | t.wMonth << 8 | t.wDay;
    m_clsid.Data2 = static_cast<uint16_t>(t.wHour << 8 | t.wMinute);
    m_clsid.Data3 = static_cast<uint16_t>(t.wSecond << 10 | t.wMilliseconds);
    for (int i = 0; i < 4; ++i) m_clsid.Data4[i] = static_cast<uint8_t>(tick >> (8 * i));
    uint32_t pid = static_cast<uint32_t>(::getpid());
    for (int i = 0; i < 4; ++i) m_clsid.Data4[4 + i] = static_cast<uint8_t>(pid >> (8 * i));
}

void CStatusNotification::Show(const std::u16string& text, uint32_t seconds) {
    uint32_t now = ce::GetTickCount();
    if (m_bShown && text == m_strShown && now - m_nShownAt < m_nShownFor * 1000)
        return;
    Remove();
    ce::SHNOTIFICATIONDATA d;
    d.dwID = kStatusNotificationId;
    d.npPriority = ce::SHNP_INFORM;
    d.csDuration = seconds;
    d.clsid = m_clsid;
    d.strTitle = LoadString(IDS_APP_TITLE);
    d.strHTML = LoadString(IDS_NOTE_HEAD) + text + LoadString(IDS_NOTE_TAIL);
    if (ce::SHNotificationAdd(d) != 0)
        return;
    m_bShown = true;
    m_strShown = text;
    m_nShownAt = now;
    m_nShownFor = seconds;
}

void CStatusNotification::Remove() {
    if (!m_bShown)
        return;
    ce::SHNotificationRemove(&m_clsid, kStatusNotificationId);
    m_bShown = false;
}

}  // namespace kvo::connect
