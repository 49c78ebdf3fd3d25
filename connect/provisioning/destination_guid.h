// Destination networks get a GUID of their own per provisioning run, made from the clock.
#pragma once
#include <cstdint>

#include "platform/guid.h"

namespace kvo::connect {

// From a 64-bit file time, a sequence number and a 6-byte node (pure; for tests).
ce::GUID MakeTimeGuid(uint64_t fileTime, uint16_t sequence, const uint8_t node[6]);

// A new GUID from the current time: the sequence starts at a random value plus one per
// process and goes up by one each call; the node is chosen once per process.
ce::GUID NewDestinationGuid();

}  // namespace kvo::connect
