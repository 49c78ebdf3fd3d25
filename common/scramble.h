// Scrambling of the suite's data files: XOR with the handheld C runtime's rand() from a fixed
// seed. The generator is implemented here, never taken from the host, so that a file
// scrambled once reads the same on every machine.
#pragma once
#include <cstdint>
#include <string>

namespace kvo {

// The handheld runtime's generator: x = x * 214013 + 2531011, result (x >> 16) & 0x7FFF.
class CeRand {
public:
    explicit CeRand(uint32_t seed) : m_state(seed) {}
    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }

private:
    uint32_t m_state;
};

// The fixed seed of "kvo.dat" ("KV").
inline constexpr uint16_t kDataFileSeed = 0x4B56;

// XORs byte i with the low 8 bits of the i-th rand() after seeding; its own inverse.
void Scramble(std::string& bytes, uint16_t seed);

}  // namespace kvo
