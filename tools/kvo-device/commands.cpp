#include "commands.h"

#include <unistd.h>

#include <cstdlib>
#include <ostream>

#include "platform/contacts.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/rapi.h"
#include "platform/registry.h"
#include "platform/soft_reset.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo-device/modem.h"
#include "tools/kvo-device/reg_command.h"

namespace fs = std::filesystem;

namespace kvo::device {
namespace {

int RunCreate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo-device [--device DIR] create\n";
        return 2;
    }
    std::string error;
    if (!CreateDevice(ProgramDir(), error)) {
        err << "kvo-device: " << error << "\n";
        return 1;
    }
    out << "device ready: " << ce::DeviceRoot().string() << "\n";
    return 0;
}

int RunSetContacts(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0].empty()) {
        err << "usage: kvo-device [--device DIR] set-contacts FOLDER\n";
        return 2;
    }
    std::error_code ec;
    fs::path folder = fs::absolute(args[0], ec);
    if (!ec) fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        err << "kvo-device: " << args[0] << " is not a folder that can be used\n";
        return 1;
    }
    if (!ce::SetContactsFolderPath(folder)) {
        err << "kvo-device: the registry cannot be written\n";
        return 1;
    }
    out << "contacts: " << folder.string() << "\n";
    return 0;
}

int RunShow(const std::vector<std::string>&, std::ostream& out, std::ostream&) {
    fs::path fsRoot = ce::FileSystemRoot();
    out << "device " << ce::DeviceRoot().string() << "\n";
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(fsRoot, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        fs::path rel = it->path().lexically_relative(fsRoot);
        std::string shown = "\\" + rel.string();
        for (auto& c : shown)
            if (c == '/') c = '\\';
        out << "  " << shown;
        if (it->is_symlink(ec)) {
            out << " -> " << fs::read_symlink(it->path(), ec).string();
        } else if (it->is_directory(ec)) {
            out << "\\";
        }
        out << "\n";
    }
    return 0;
}

// As after a reset of the handheld: the StartUp folder's programs start.
int RunReset(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo-device [--device DIR] reset\n";
        return 2;
    }
    ce::SoftResetResult r = ce::SoftReset();
    for (const auto& s : r.started)
        out << "started " << s.strShortcut << " (process " << s.pid << ")\n";
    for (const std::string& e : r.errors) err << "kvo-device: " << e << "\n";
    if (r.started.empty() && r.errors.empty()) out << "no programs in \\Windows\\StartUp\n";
    return r.errors.empty() ? 0 : 1;
}

// As a handheld put into its cradle: the desktop's Remote API reaches it.
int RunAttach(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              bool attach) {
    if (!args.empty()) {
        err << "usage: kvo-device [--device DIR] " << (attach ? "attach" : "detach") << "\n";
        return 2;
    }
    std::error_code ec;
    if (!fs::is_directory(ce::FileSystemRoot(), ec)) {
        err << "kvo-device: no device at " << ce::DeviceRoot().string()
            << "; make one with `kvo-device create`\n";
        return 1;
    }
    if (!ce::RapiAttach(attach)) {
        err << "kvo-device: cannot " << (attach ? "attach" : "detach") << " the device: "
            << LastErrorText() << "\n";
        return 1;
    }
    out << (attach ? "attached: " : "detached: ") << ce::DeviceRoot().string() << "\n";
    return 0;
}

void Usage(std::ostream& o) {
    o << "usage: kvo-device [--device DIR] COMMAND ...\n"
         "Makes and tends an emulated handheld (default: $KVO_DEVICE, else\n"
         "~/.local/share/kvonet/device).\n\ncommands:\n";
    for (const auto& [name, c] : Commands()) o << "  " << c.usage << "\n      " << c.help << "\n";
}

}  // namespace

std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands = {
        {"create",
         {"create", "create the device skeleton, registry defaults, installed programs and database",
          RunCreate}},
        {"show", {"show", "list the device's files", RunShow}},
        {"add-modem",
         {"add-modem [--sim] NAME PORT [LINUXDEVICE]",
          "register a modem: ExtModems entry, line device and port map entry", RunAddModem}},
        {"set-contacts",
         {"set-contacts FOLDER",
          "keep the handheld's contacts in this vCard folder (a vdir) instead of <device>/contacts",
          RunSetContacts}},
        {"reset",
         {"reset", "soft reset: start the programs of the StartUp folder's shortcuts", RunReset}},
        {"attach",
         {"attach", "connect the device to the desktop (the installer's Remote API reaches it)",
          [](const std::vector<std::string>& a, std::ostream& o, std::ostream& e) {
              return RunAttach(a, o, e, true);
          }}},
        {"detach",
         {"detach", "disconnect the device from the desktop",
          [](const std::vector<std::string>& a, std::ostream& o, std::ostream& e) {
              return RunAttach(a, o, e, false);
          }}},
        {"reg",
         {"reg get|set|delete|export ...", "read and write the emulated registry (reg --help)",
          RunRegCommand}},
    };
    return commands;
}

std::string LastErrorText() {
    switch (uint32_t code = ce::GetLastError()) {
        case ce::ERROR_BAD_FORMAT: {
            std::string load = ce::RegLastLoadError();
            return load.empty() ? "unreadable file" : load;
        }
        case ce::ERROR_FILE_NOT_FOUND: return "not found";
        case ce::ERROR_PATH_NOT_FOUND: return "folder not found";
        case ce::ERROR_ACCESS_DENIED: return "permission denied";
        case ce::ERROR_SHARING_VIOLATION: return "in use by another program";
        case ce::ERROR_DISK_FULL: return "disk full";
        case ce::ERROR_NOT_ENOUGH_MEMORY: return "out of memory";
        default: return "error " + std::to_string(code);
    }
}

fs::path ProgramDir() {
    if (const char* dir = std::getenv("KVO_BIN_DIR"); dir && *dir) return dir;
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

int Main(const std::vector<std::string>& all, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = all;
    size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0) {
        if (args[i] == "--help" || args[i] == "-h") {
            Usage(out);
            return 0;
        }
        if (args[i] == "--device" && i + 1 < args.size()) {
            ce::SetDeviceRoot(args[i + 1]);
            i += 2;
            continue;
        }
        Usage(err);
        return 2;
    }
    if (i >= args.size()) {
        Usage(err);
        return 2;
    }
    auto it = Commands().find(args[i]);
    if (it == Commands().end()) {
        err << "kvo-device: unknown command " << args[i] << "\n";
        Usage(err);
        return 2;
    }
    std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
    if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h") && args[i] != "reg") {
        out << "usage: kvo-device " << it->second.usage << "\n  " << it->second.help << "\n";
        return 0;
    }
    if (ce::DeviceRoot().empty()) {
        err << "kvo-device: " << ce::NoDeviceRootReason() << "\n";
        return 1;
    }
    return it->second.run(rest, out, err);
}

}  // namespace kvo::device
