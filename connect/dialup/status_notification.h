// connect's status notification: one at a time (identifier 12100), the same text not shown
// twice while it is on screen.
#pragma once
#include <cstdint>
#include <string>

#include "platform/guid.h"

namespace kvo::connect {

inline constexpr uint32_t kStatusNotificationId = 12100;

class CStatusNotification {
public:
    CStatusNotification();
    // Removes the previous notification and shows `text` for `seconds`; nothing when the
    // same text is still on screen.
    void Show(const std::u16string& text, uint32_t seconds = 10);
    void Remove();
    const ce::GUID& Clsid() const { return m_clsid; }

private:
    ce::GUID m_clsid;
    std::u16string m_strShown;
    uint32_t m_nShownAt = 0;
    uint32_t m_nShownFor = 0;
    bool m_bShown = false;
};

}  // namespace kvo::connect
