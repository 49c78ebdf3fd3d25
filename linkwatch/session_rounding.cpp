#include "linkwatch/session_rounding.h"

#include <algorithm>

namespace kvo::linkwatch {

SessionCounts RoundSession(SessionCounts c, int32_t blockSizeKb) {
    if (blockSizeKb <= 0)
        return c;
    const uint64_t block = static_cast<uint64_t>(blockSizeKb) * 1024;
    const uint64_t total = uint64_t{c.nReceived} + c.nTransmitted;
    // The log holds 32-bit counts; a rounding past them stays at the largest.
    const uint64_t rounded = std::min<uint64_t>((total / block + 1) * block, 0xFFFFFFFFu);
    SessionCounts out;
    if (total == 0) {
        out.nReceived = static_cast<uint32_t>(rounded / 2);
    } else {
        float share = static_cast<float>(c.nReceived) / static_cast<float>(total);
        float received = static_cast<float>(rounded) * share;
        out.nReceived =
            static_cast<uint32_t>(std::min<float>(received, static_cast<float>(rounded)));
        if (out.nReceived > rounded)
            out.nReceived = static_cast<uint32_t>(rounded);
    }
    out.nTransmitted = static_cast<uint32_t>(rounded - out.nReceived);
    return out;
}

}  // namespace kvo::linkwatch
