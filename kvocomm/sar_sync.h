// What the caller and the workers of one engine share besides the counters: the lock that
// hands the caller's reply from one worker to the next, and the wake-ups.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct CSarSync {
    // Held for every touch of the caller's reply and the request fields, and around every
    // byte a worker takes from the port: a worker retired under it never reads again.
    std::mutex mutex;
    std::condition_variable cvRequest;  // a request or the stop signal was posted
    std::condition_variable cvStatus;   // a status, a start or an end
    // The live worker's number; a retired worker sees another one and keeps out.
    uint64_t nGeneration = 0;
    // Retired workers end within one wait slice; they are joined when the engine stops.
    std::vector<std::thread> retired;
};
