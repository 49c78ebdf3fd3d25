#include "tests/support/temp_device.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "platform/device.h"

namespace fs = std::filesystem;

namespace kvo::test {

TempDevice::TempDevice() {
    std::string tmpl = (fs::temp_directory_path() / "kvo-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    m_root = tmpl;
    if (const char* old = getenv("KVO_DEVICE")) {
        m_hadEnv = true;
        m_oldEnv = old;
    }
    setenv("KVO_DEVICE", m_root.c_str(), 1);
    ce::SetDeviceRoot(m_root);
    // As the suite makes its folders, so that tests may check every mode under the root.
    if (ce::CreatePrivateDirectories(m_root / "fs") != 0)
        throw std::runtime_error("cannot create " + (m_root / "fs").string());
}

TempDevice::~TempDevice() {
    ce::SetDeviceRoot({});
    if (m_hadEnv) {
        setenv("KVO_DEVICE", m_oldEnv.c_str(), 1);
    } else {
        unsetenv("KVO_DEVICE");
    }
    std::error_code ec;
    fs::remove_all(m_root, ec);
}

void WriteHostFile(const fs::path& p, std::string_view bytes) {
    fs::create_directories(p.parent_path());
    // Installed programs are links to the build's binaries: replace the link, never write
    // through it into the build.
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(p, ec)))
        fs::remove(p, ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadHostFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace kvo::test
