// An installation package: started by the installer under the name it is to play
// ("WM2003_updater_Eng.bin", "WM2003_kvopro_Ger.bin", ...), it puts the updater or the suite
// into the attached handheld as `kvo-device create` would.
#include <filesystem>
#include <iostream>
#include <string>

#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/rapi.h"
#include "tools/kvo-device/commands.h"
#include "tools/kvo-device/device_setup.h"

namespace fs = std::filesystem;

namespace {

// The steps of `create` each package runs; the programs step goes by folder.
bool Install(bool updater, std::string& error) {
    fs::path binDir = kvo::device::ProgramDir();
    for (auto& [name, step] : kvo::device::SetupSteps()) {
        bool ok = true;
        if (name == "programs") {
            ok = kvo::device::InstallProgramsIn(binDir, updater ? kvo::kUpdaterDir : kvo::kSuiteDir,
                                                error);
        } else if (name == "updater list") {
            if (updater)
                ok = step(binDir, error);
        } else if (name == "folders" || name == "registry" || !updater) {
            ok = step(binDir, error);
        }
        if (!ok) {
            error = name + ": " + error;
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string self = fs::path(argc > 0 ? argv[0] : "").filename().string();
    bool updater = self.find("_updater_") != std::string::npos;
    bool suite = self.find("_kvopro_") != std::string::npos;
    if (argc > 1 || updater == suite || self.size() < 4 ||
        self.compare(self.size() - 4, 4, ".bin") != 0) {
        std::cerr << "usage: PLATFORM_updater_LNG.bin | PLATFORM_kvopro_LNG.bin (no arguments)\n"
                     "  installs into the attached device ($KVO_DEVICE; `kvo-device attach`)\n";
        return 2;
    }
    if (ce::DeviceRoot().empty()) {
        std::cerr << self << ": " << ce::NoDeviceRootReason() << "\n";
        return 1;
    }
    if (!ce::RapiIsAttached()) {
        std::cerr << self << ": no handheld attached at " << ce::DeviceRoot().string()
                  << " (`kvo-device attach`)\n";
        return 1;
    }
    std::string error;
    if (!Install(updater, error)) {
        std::cerr << self << ": " << error << "\n";
        return 1;
    }
    std::cout << self << ": " << (updater ? "the updater" : "kvonet pro") << " installed into "
              << ce::DeviceRoot().string() << "\n";
    return 0;
}
