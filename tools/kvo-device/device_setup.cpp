#include "device_setup.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/install_dir.h"
#include "commands.h"
#include "modem.h"
#include "shell_setup.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/rapi.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace kvo::device {
namespace {

const char16_t* const kFolders[] = {
    u"\\Windows", u"\\Windows\\StartUp", u"\\Windows\\temp", u"\\My Documents",
};

bool MakeFolders(const fs::path&, std::string& error) {
    std::vector<std::u16string> all(std::begin(kFolders), std::end(kFolders));
    all.emplace_back(kSuiteDir);
    all.emplace_back(kUpdaterDir);
    for (const auto& f : all) {
        if (!ce::CreateDirectories(f)) {
            error = "cannot create " + ce::ToUtf8(f) + ": " + ce::MapPath(f).string();
            return false;
        }
    }
    if (int err = ce::CreatePrivateDirectories(ce::RasDir())) {
        error = "cannot create " + ce::RasDir().string() + ": " + std::strerror(err);
        return false;
    }
    return true;
}

bool WriteRegistryDefaults(const fs::path&, std::string& error) {
    // Only what is missing: a device someone changed keeps its values.
    bool ok = ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [](ce::RegKey& root) {
        for (auto [key, dir] : {std::pair{kSuiteKey, kSuiteDir}, std::pair{kUpdaterKey, kUpdaterDir}}) {
            ce::RegKey* k = root.Find(std::u16string(kAppsKey) + u"\\" + std::u16string(key), true);
            auto& slot = k->values[ce::FoldCase(u"InstlDir")];
            if (slot.name.empty()) {
                slot.name = u"InstlDir";
                slot.value = ce::RegValue::Sz(dir);
            }
        }
        return true;
    });
    ok = ok && ce::RegCreateKey(ce::HKEY_CURRENT_USER, u"Software\\Orvane kvonet pro");
    if (!ok) {
        error = "cannot write the registry: " + LastErrorText();
    }
    return ok;
}

bool InstallPrograms(const fs::path& binDir, std::string& error) {
    return InstallProgramsIn(binDir, {}, error);
}

// What the handheld reports over the Remote API; a device someone set to another keeps it.
bool WriteOsVersion(const fs::path&, std::string& error) {
    bool ok = ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [](ce::RegKey& root) {
        ce::RegKey* k = root.Find(ce::kOsVersionKey, true);
        for (auto [name, value] : {std::pair{u"Major", 4u}, {u"Minor", 20u}, {u"Build", 1081u}}) {
            auto& slot = k->values[ce::FoldCase(name)];
            if (slot.name.empty()) {
                slot.name = name;
                slot.value = ce::RegValue::Dword(value);
            }
        }
        return true;
    });
    if (!ok)
        error = "cannot write the registry: " + LastErrorText();
    return ok;
}

}  // namespace

bool InstallProgramsIn(const fs::path& binDir, std::u16string_view folder, std::string& error) {
    for (const auto& p : InstalledPrograms()) {
        if (!folder.empty() && p.folder != folder) continue;
        fs::path target = binDir / p.program;
        std::error_code ec;
        if (!fs::exists(target, ec)) continue;
        target = fs::canonical(target, ec);
        fs::path link = ce::MapPath(std::u16string(p.folder) + u"\\" +
                                    ce::FromUtf8(std::string(p.program) + ".exe"));
        if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec) == target) continue;
        // Made aside and renamed over the old one: two tools installing at once both succeed.
        fs::path fresh = link;
        fresh += ".new" + std::to_string(::getpid());
        fs::remove(fresh, ec);
        fs::create_symlink(target, fresh, ec);
        if (!ec) fs::rename(fresh, link, ec);
        if (ec) {
            fs::remove(fresh, ec);
            error = "cannot install " + link.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

namespace {

// The phone's port: "COM3:" maps to <device>/dev/COM3, where the simulator links its pty. A
// port someone pointed elsewhere (a real phone on /dev/ttyUSB0) keeps its entry.
bool RegisterPorts(const fs::path&, std::string& error) {
    if (int err = ce::CreatePrivateDirectories(ce::DeviceRoot() / "dev")) {
        error = "cannot create " + (ce::DeviceRoot() / "dev").string() + ": " + std::strerror(err);
        return false;
    }
    bool ok = ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [](ce::RegKey& root) {
        ce::RegKey* k = root.Find(ce::kPortMapKey, true);
        auto& slot = k->values[ce::FoldCase(u"COM3:")];
        if (slot.name.empty()) {
            slot.name = u"COM3:";
            slot.value = ce::RegValue::Sz(u"dev/COM3");
        }
        return true;
    });
    if (!ok) error = "cannot write the port map: " + LastErrorText();
    return ok;
}

// A fresh handheld has the infrared modem the demo phone sits behind.
// Looked for and added in one transaction, so two tools creating at once add it once.
bool RegisterDemoModem(const fs::path&, std::string& error) {
    bool ok = ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [](ce::RegKey& root) {
        if (!root.Find(kExtModemsKey))
            AddModemTo(root, kDemoModemName, kDemoPort, kDemoPortDevice, /*bSimulated=*/true);
        return true;
    });
    if (!ok) error = "cannot write the registry: " + LastErrorText();
    return ok;
}

// The connection database goes into the installation directory as a copy, so that an update
// on the device is its own; one that is there already stays.
bool InstallDatabase(const fs::path& binDir, std::string& error) {
    fs::path source = binDir / "kvo.dat";
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) return true;  // not built
    std::u16string target = InstallPath(u"kvo.dat");
    if (ce::FileExists(target)) return true;
    std::string bytes;
    std::ifstream in(source, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = "cannot read " + source.string();
        return false;
    }
    if (!ce::WriteFileAtomic(target, bytes)) {
        error = "cannot write " + ce::MapPath(target).string();
        return false;
    }
    return true;
}

// The updater keeps its own files up to date as it does a product's: its "version.info"
// names them. One that is there already stays, with what the updater wrote into it.
bool InstallUpdaterList(const fs::path& binDir, std::string& error) {
    std::error_code ec;
    if (!fs::exists(binDir / "updater", ec)) return true;  // not built
    std::u16string target = InstallPath(u"version.info", kUpdaterKey);
    if (ce::FileExists(target)) return true;
    const char* list =
        "<VER>0.01\r\n<FILE>updater.exe\t0300\r\n<FILE>SelfUpdate.exe\t0300\r\n"
        "<FILE>copy.exe\t0300\r\n";
    if (!ce::WriteFileAtomic(target, list)) {
        error = "cannot write " + ce::MapPath(target).string();
        return false;
    }
    return true;
}

}  // namespace

const std::vector<InstalledProgram>& InstalledPrograms() {
    static const std::vector<InstalledProgram> programs = {
        {"telmio", kSuiteDir},   {"connect", kSuiteDir}, {"linkwatch", kSuiteDir},
        {"dialer", kSuiteDir},   {"updater", kUpdaterDir},
        {"SelfUpdate", kUpdaterDir}, {"copy", kUpdaterDir},
    };
    return programs;
}

std::vector<std::pair<std::string, SetupStep>>& SetupSteps() {
    static std::vector<std::pair<std::string, SetupStep>> steps = {
        {"folders", MakeFolders},
        {"registry", WriteRegistryDefaults},
        {"programs", InstallPrograms},
        {"ports", RegisterPorts},
        {"modem", RegisterDemoModem},
        {"database", InstallDatabase},
        {"updater list", InstallUpdaterList},
        {"os version", WriteOsVersion},
        {"dialer themes", InstallThemes},
        {"shell plug-ins", InstallPlugins},
        {"shell registration", RegisterShellItems},
    };
    return steps;
}

bool CreateDevice(const fs::path& binDir, std::string& error) {
    for (auto& [name, step] : SetupSteps()) {
        if (!step(binDir, error)) {
            error = name + ": " + error;
            return false;
        }
    }
    return true;
}

}  // namespace kvo::device
