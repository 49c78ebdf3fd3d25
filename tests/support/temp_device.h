// A fresh device root per test, removed afterwards.
#pragma once
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace kvo::test {

class TempDevice {
public:
    TempDevice();
    ~TempDevice();
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;
    const std::filesystem::path& Root() const { return m_root; }

private:
    std::filesystem::path m_root;
    std::string m_oldEnv;
    bool m_hadEnv = false;
};

// A test fixture that sets up a TempDevice as the device root (also in $KVO_DEVICE, so that
// child processes see it).
class DeviceTest : public ::testing::Test {
protected:
    TempDevice m_device;
};

// Writes a file on the host, creating its folders.
void WriteHostFile(const std::filesystem::path& p, std::string_view bytes);
std::string ReadHostFile(const std::filesystem::path& p);

}  // namespace kvo::test
