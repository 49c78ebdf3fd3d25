// Billing blocks: a session is charged in whole blocks, always at least one more than it
// fully used.
#pragma once
#include <cstdint>

namespace kvo::linkwatch {

struct SessionCounts {
    uint32_t nReceived = 0;
    uint32_t nTransmitted = 0;
};

// Rounds up to the next whole block of blockSizeKb kB (a multiple, 0 included, still gains
// one) and splits the result in the ratio of the real counts; an empty session is split
// evenly, as nothing tells which way its block went. blockSizeKb 0 changes nothing.
SessionCounts RoundSession(SessionCounts counts, int32_t blockSizeKb);

}  // namespace kvo::linkwatch
