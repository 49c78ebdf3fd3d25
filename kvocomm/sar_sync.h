// What the caller and the workers of one engine share besides the counters: the lock that
// hands the caller's reply from one worker to the next, and the wake-ups.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A worker that was replaced; it sets pDone as its last act, and is joined then.
struct CRetiredWorker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> pDone;
};

struct CSarSync {
    // Held for every touch of the caller's reply and the request fields, and around every
    // byte a worker takes from the port: a worker retired under it never reads again. Taken
    // before the port's own locks, never while holding one of them.
    std::mutex mutex;
    std::condition_variable cvRequest;  // a request or the stop signal was posted
    std::condition_variable cvStatus;   // a status, a start or an end
    // The live worker's number; a retired worker sees another one and keeps out. Changed under
    // the lock; read without it where the port's locks are held (a write's stop check).
    std::atomic<uint64_t> nGeneration{0};
    // The newest worker that has come up (or found itself replaced before it did).
    uint64_t nStartedGeneration = 0;
    std::shared_ptr<std::atomic<bool>> pDone;  // the live worker's
    std::vector<CRetiredWorker> retired;
};
