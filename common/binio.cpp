#include "binio.h"

#include <cstring>

namespace kvo {

bool BinReader::ReadU16(uint16_t& v) {
    uint8_t b[2];
    if (!Read(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool BinReader::ReadU32(uint32_t& v) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
        (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool BinReader::ReadI32(int32_t& v) {
    uint32_t u;
    if (!ReadU32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool BinReader::ReadDouble(double& v) {
    uint8_t b[8];
    if (!Read(b, 8)) return false;
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
    std::memcpy(&v, &u, 8);
    return true;
}

bool BinWriter::WriteU16(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    return Write(b, 2);
}

bool BinWriter::WriteU32(uint32_t v) {
    uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    return Write(b, 4);
}

bool BinWriter::WriteDouble(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
    return Write(b, 8);
}

bool MemReader::Read(void* buf, size_t n) {
    if (n > m_data.size() - m_pos) return false;
    if (n) std::memcpy(buf, m_data.data() + m_pos, n);
    m_pos += n;
    return true;
}

bool MemWriter::Write(const void* buf, size_t n) {
    m_data.append(static_cast<const char*>(buf), n);
    return true;
}

FileReader::FileReader(ce::File& file) : m_file(file) {
    int64_t pos = file.Tell();
    m_filePos = pos > 0 ? static_cast<uint64_t>(pos) : 0;
}

bool FileReader::Read(void* buf, size_t n) {
    auto out = static_cast<char*>(buf);
    while (n > 0) {
        if (m_pos == m_end) {
            size_t got;
            if (!m_file.Read(m_buf, sizeof m_buf, &got) || got == 0) return false;
            m_pos = 0;
            m_end = got;
            m_filePos += got;
        }
        size_t take = std::min(n, m_end - m_pos);
        std::memcpy(out, m_buf + m_pos, take);
        m_pos += take;
        out += take;
        n -= take;
    }
    return true;
}

uint64_t FileReader::Remaining() {
    if (m_size < 0) m_size = m_file.Size();
    uint64_t pos = Position();
    return m_size > 0 && static_cast<uint64_t>(m_size) > pos ? m_size - pos : 0;
}

}  // namespace kvo
