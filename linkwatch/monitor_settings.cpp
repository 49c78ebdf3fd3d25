#include "linkwatch/monitor_settings.h"

#include <cmath>
#include <cstring>

#include "platform/file.h"

namespace kvo::linkwatch {
namespace {

class Cursor {
public:
    explicit Cursor(std::string_view b) : m_bytes(b) {}
    bool Take(void* out, size_t n) {
        if (m_bytes.size() - m_pos < n)
            return false;
        std::memcpy(out, m_bytes.data() + m_pos, n);
        m_pos += n;
        return true;
    }
    bool U32(uint32_t& v) {
        uint8_t b[4];
        if (!Take(b, 4))
            return false;
        v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        return true;
    }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
};

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

bool UsableAmount(float v) {
    return std::isfinite(v) && v >= 0;
}

}  // namespace

MonitorSettings MonitorDefaults() {
    return MonitorSettings{};
}

int ParseMonitorSettings(std::string_view bytes, MonitorSettings& s) {
    Cursor c(bytes);
    int fields = 0;
    auto floatField = [&](float& target) {
        uint32_t raw;
        if (!c.U32(raw))
            return false;
        float v;
        std::memcpy(&v, &raw, 4);
        if (UsableAmount(v))
            target = v;
        ++fields;
        return true;
    };
    auto intField = [&](int32_t& target, auto usable) {
        uint32_t raw;
        if (!c.U32(raw))
            return false;
        int32_t v = static_cast<int32_t>(raw);
        if (usable(v))
            target = v;
        ++fields;
        return true;
    };
    auto flagField = [&](int32_t& target) {
        uint8_t b;
        if (!c.Take(&b, 1))
            return false;
        target = b ? 1 : 0;
        ++fields;
        return true;
    };
    auto any = [](int32_t) { return true; };
    // Each field is taken only when whole; the rest keep the values given.
    floatField(s.monthlyPayment) && floatField(s.inclusiveMegabytes) &&
        floatField(s.additionalPrice) &&
        intField(s.priceUnitKb, [](int32_t v) { return v > 0 && v <= 1024 * 1024; }) &&
        intField(s.blockSizeKb, [](int32_t v) { return v >= 0 && v <= 1024 * 1024; }) &&
        flagField(s.hourlyRounding) && flagField(s.monitorOn) &&
        intField(s.monthStartDay, [](int32_t v) { return v >= 1 && v <= 31; }) &&
        intField(s.iconX, any) && flagField(s.firstRun);
    if (s.iconX < -1)
        s.iconX = -1;
    return fields;
}

std::string FormatMonitorSettings(const MonitorSettings& s) {
    std::string out;
    auto putFloat = [&](float v) {
        uint32_t raw;
        std::memcpy(&raw, &v, 4);
        PutU32(out, raw);
    };
    putFloat(s.monthlyPayment);
    putFloat(s.inclusiveMegabytes);
    putFloat(s.additionalPrice);
    PutU32(out, static_cast<uint32_t>(s.priceUnitKb));
    PutU32(out, static_cast<uint32_t>(s.blockSizeKb));
    out.push_back(s.hourlyRounding ? 1 : 0);
    out.push_back(s.monitorOn ? 1 : 0);
    PutU32(out, static_cast<uint32_t>(s.monthStartDay));
    PutU32(out, static_cast<uint32_t>(s.iconX));
    out.push_back(s.firstRun ? 1 : 0);
    return out;
}

bool LoadMonitorSettings(std::u16string_view path, MonitorSettings& settings) {
    std::string bytes;
    if (!ce::ReadFileBytes(path, bytes))
        return false;
    ParseMonitorSettings(bytes, settings);
    return true;
}

bool SaveMonitorSettings(std::u16string_view path, const MonitorSettings& settings) {
    return ce::WriteFileAtomic(path, FormatMonitorSettings(settings));
}

}  // namespace kvo::linkwatch
