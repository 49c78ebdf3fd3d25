#include "linkmeter/link_meter.h"

#include <cstring>
#include <vector>

CLinkMeter::CLinkMeter() = default;
CLinkMeter::~CLinkMeter() = default;
CLinkMeter::CLinkMeter(const CLinkMeter& other) = default;
CLinkMeter& CLinkMeter::operator=(const CLinkMeter& other) = default;

int CLinkMeter::Init(std::u16string_view entryName) {
    m_hConn = 0;
    std::vector<ce::RASCONN> buf(1);
    std::memset(buf.data(), 0, sizeof(ce::RASCONN));
    buf[0].dwSize = sizeof(ce::RASCONN);
    ce::DWORD cb = sizeof(ce::RASCONN);
    ce::DWORD count = 0;
    ce::DWORD r = ce::RasEnumConnections(buf.data(), &cb, &count);
    if (r == ce::ERROR_BUFFER_TOO_SMALL) {
        // Grown once to what the service asked for; rounded up to whole records.
        size_t n = (cb + sizeof(ce::RASCONN) - 1) / sizeof(ce::RASCONN);
        if (n == 0)
            return 0;
        buf.assign(n, ce::RASCONN{});
        std::memset(buf.data(), 0, n * sizeof(ce::RASCONN));
        buf[0].dwSize = sizeof(ce::RASCONN);
        cb = static_cast<ce::DWORD>(n * sizeof(ce::RASCONN));
        r = ce::RasEnumConnections(buf.data(), &cb, &count);
    }
    if (r != 0)
        return 0;
    if (count > buf.size())
        count = static_cast<ce::DWORD>(buf.size());
    for (ce::DWORD i = 0; i < count; ++i) {
        const ce::RASCONN& c = buf[i];
        size_t len = 0;
        while (len < ce::RAS_MaxEntryName + 1 && c.szEntryName[len]) ++len;
        if (std::u16string_view(c.szEntryName, len) == entryName) {
            m_hConn = c.hrasconn;
            break;
        }
    }
    return m_hConn != 0 ? 1 : 0;
}

int CLinkMeter::Refresh() {
    std::memset(&m_stats, 0, sizeof m_stats);
    m_stats.dwSize = sizeof(ce::RAS_STATS);
    if (m_hConn == 0)
        return 0;
    return ce::RasGetLinkStatistics(m_hConn, 1, &m_stats) == 0 ? 1 : 0;
}

unsigned long CLinkMeter::GetBytesTransmited() const {
    return m_stats.dwBytesXmited;
}
unsigned long CLinkMeter::GetBytesRecieved() const {
    return m_stats.dwBytesRcved;
}
unsigned long CLinkMeter::GetTimeOfConnection() const {
    return m_stats.dwConnectDuration;
}
unsigned long CLinkMeter::GetSpeedOfConnection() const {
    return m_stats.dwBps;
}
ce::HRASCONN CLinkMeter::GetHandleToConnection() const {
    return m_hConn;
}
