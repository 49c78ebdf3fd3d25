// Finds the active connection of a dial-up entry and reads its counters.
#pragma once
#include <string_view>

#include "platform/ras.h"

class CLinkMeter {
public:
    CLinkMeter();
    virtual ~CLinkMeter();
    CLinkMeter(const CLinkMeter& other);
    CLinkMeter& operator=(const CLinkMeter& other);

    // 1 when an active connection with exactly this entry name exists (case-sensitive).
    int Init(std::u16string_view entryName);
    // 1 when the statistics were read; 0 when the connection is gone or none was found.
    int Refresh();

    // The platform's spellings, kept for the callers that import them by name.
    unsigned long GetBytesTransmited() const;
    unsigned long GetBytesRecieved() const;
    unsigned long GetTimeOfConnection() const;
    unsigned long GetSpeedOfConnection() const;
    ce::HRASCONN GetHandleToConnection() const;

private:
    ce::HRASCONN m_hConn = 0;
    ce::RAS_STATS m_stats{};
};
