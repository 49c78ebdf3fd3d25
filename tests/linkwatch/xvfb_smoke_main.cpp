// Under a real X server (xvfb-run): linkwatch comes up on a desktop (with its tray icon where
// the desktop has a tray), ticks, and ends with 1 on a stop request. Exit 0 on success.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "linkwatch/monitor_files.h"
#include "platform/device.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"

using namespace kvo::linkwatch;

namespace {

bool WaitFor(const CMonitorFiles& files, std::u16string_view marker, bool present) {
    for (int i = 0; i < 200; ++i) {
        if (files.HasMarker(marker) == present)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

int main() {
    if (!std::getenv("DISPLAY")) {
        std::cerr << "linkwatch_xvfb_smoke: needs an X display (run it under xvfb-run -a)\n";
        return 1;
    }
    kvo::test::TempDevice device;
    std::string error;
    if (!kvo::device::CreateDevice(std::filesystem::path(KVO_BINARY_DIR) / "bin", error)) {
        std::cerr << "linkwatch_xvfb_smoke: " << error << "\n";
        return 1;
    }
    CMonitorFiles files = CMonitorFiles::Installed();
    pid_t pid = kvo::test::StartProgram(ce::MapPath(files.Path(kMonitorExe)).string(), {}, -1, 2);
    if (!WaitFor(files, kDrun, true) || !WaitFor(files, kNewCfg, true)) {
        std::cerr << "linkwatch_xvfb_smoke: the monitor did not start\n";
        kvo::test::WaitProgram(pid, 0);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // a few ticks
    files.SetMarker(kTerminate);
    int status = kvo::test::WaitProgram(pid, 10000);
    if (status != 1 || files.HasMarker(kDrun)) {
        std::cerr << "linkwatch_xvfb_smoke: ended with " << status << "\n";
        return 1;
    }
    return 0;
}
