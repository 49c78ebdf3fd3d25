// The counters the monitor reads each second: the dial-up service through CLinkMeter, or
// a scripted link in tests.
#pragma once
#include <cstdint>
#include <string_view>

#include "linkmeter/link_meter.h"

namespace kvo::linkwatch {

class ILinkSource {
public:
    virtual ~ILinkSource() = default;
    virtual bool Init(std::u16string_view entryName) = 0;
    virtual bool Refresh() = 0;
    virtual uint32_t Received() const = 0;
    virtual uint32_t Transmitted() const = 0;
    virtual uint32_t Speed() const = 0;
};

class CLinkMeterSource : public ILinkSource {
public:
    bool Init(std::u16string_view entryName) override { return m_meter.Init(entryName) != 0; }
    bool Refresh() override { return m_meter.Refresh() != 0; }
    uint32_t Received() const override { return static_cast<uint32_t>(m_meter.GetBytesRecieved()); }
    uint32_t Transmitted() const override {
        return static_cast<uint32_t>(m_meter.GetBytesTransmited());
    }
    uint32_t Speed() const override {
        return static_cast<uint32_t>(m_meter.GetSpeedOfConnection());
    }

private:
    CLinkMeter m_meter;
};

}  // namespace kvo::linkwatch
