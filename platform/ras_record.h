// The record of one active dial-up connection in <device>/ras/<pid>.conn, written by its
// link process (temporary file and rename, 0600) and read by every process. A record whose
// link process has gone, and leftovers of a link process that died (".<pid>.*"), are removed
// by the first reader that sees them.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

struct RasConnectionRecord {
    enum State { DIALING, CONNECTED };
    std::u16string strEntry;
    uint32_t nPid = 0;        // the link process, also the connection's handle
    uint64_t nStartTime = 0;  // its start time (/proc/<pid>/stat), so a reused pid is no match
    State eState = DIALING;
    uint32_t nSpeed = 0;      // bits a second
    int64_t nSinceMs = 0;     // boot-time clock when connected
    uint64_t nReceived = 0;
    uint64_t nTransmitted = 0;
    std::string strInterface;  // pppN when pppd carries the link: counters come from the kernel
    std::u16string strDevice;  // the line device
    bool operator==(const RasConnectionRecord&) const = default;
};

constexpr size_t kRasRecordMaxSize = 4096;

std::string FormatRasRecord(const RasConnectionRecord& record);
// Rejects anything that does not fit: unknown or repeated keys, bad numbers, a bad entry name.
bool ParseRasRecord(std::string_view text, RasConnectionRecord& record, std::string& error);

// <device>/ras/<pid>.conn, written atomically; false with errno's text in error.
bool WriteRasRecord(const RasConnectionRecord& record, std::string& error);
void RemoveRasRecord(uint32_t pid);
// The records of live link processes, in handle order; removes what is stale.
std::vector<RasConnectionRecord> ReadRasRecords();

// The start time of a running process, 0 when it is gone (or only a zombie).
uint64_t ProcessStartTime(pid_t pid);
// Milliseconds of the boot-time clock, the same in every process.
int64_t BootTimeMs();

}  // namespace ce
