// Little-endian binary reading and writing over a file or a memory buffer. Readers never
// read past their source: a short read is a failure, never garbage.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace kvo {

class BinReader {
public:
    virtual ~BinReader() = default;
    // Exactly n bytes or false.
    virtual bool Read(void* buf, size_t n) = 0;
    // Bytes left, when the source knows (files and buffers do).
    virtual uint64_t Remaining() = 0;
    virtual uint64_t Position() = 0;

    bool ReadU8(uint8_t& v) { return Read(&v, 1); }
    bool ReadU16(uint16_t& v);
    bool ReadU32(uint32_t& v);
    bool ReadI32(int32_t& v);
    bool ReadDouble(double& v);
};

class BinWriter {
public:
    virtual ~BinWriter() = default;
    virtual bool Write(const void* buf, size_t n) = 0;

    bool WriteU8(uint8_t v) { return Write(&v, 1); }
    bool WriteU16(uint16_t v);
    bool WriteU32(uint32_t v);
    bool WriteI32(int32_t v) { return WriteU32(static_cast<uint32_t>(v)); }
    bool WriteDouble(double v);
};

class MemReader : public BinReader {
public:
    explicit MemReader(std::string_view bytes) : m_data(bytes) {}
    bool Read(void* buf, size_t n) override;
    uint64_t Remaining() override { return m_data.size() - m_pos; }
    uint64_t Position() override { return m_pos; }

private:
    std::string_view m_data;
    size_t m_pos = 0;
};

class MemWriter : public BinWriter {
public:
    bool Write(const void* buf, size_t n) override;
    const std::string& Bytes() const { return m_data; }

private:
    std::string m_data;
};

// Buffered reader over an open file.
class FileReader : public BinReader {
public:
    explicit FileReader(ce::File& file);
    bool Read(void* buf, size_t n) override;
    uint64_t Remaining() override;
    uint64_t Position() override { return m_filePos - (m_end - m_pos); }

private:
    ce::File& m_file;
    char m_buf[16384];
    size_t m_pos = 0, m_end = 0;
    uint64_t m_filePos = 0;
    int64_t m_size = -1;
};

// Unbuffered writer onto an open file (callers write a whole record then check).
class FileWriter : public BinWriter {
public:
    explicit FileWriter(ce::File& file) : m_file(file) {}
    bool Write(const void* buf, size_t n) override { return m_file.Write(buf, n); }

private:
    ce::File& m_file;
};

}  // namespace kvo
