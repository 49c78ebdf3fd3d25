#include "scramble.h"

namespace kvo {

void Scramble(std::string& bytes, uint16_t seed) {
    CeRand rng(seed);
    for (char& c : bytes) c = static_cast<char>(static_cast<unsigned char>(c) ^ (rng.Next() & 0xFF));
}

}  // namespace kvo
