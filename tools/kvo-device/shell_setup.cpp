// The dialer's themes, the shell plug-ins and their registration: steps of `create`.
#include "shell_setup.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include "commands.h"
#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/pim_command.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/today.h"

namespace fs = std::filesystem;

namespace kvo::device {
namespace {

bool CopyIn(const fs::path& source, const std::u16string& target, std::string& error) {
    if (ce::FileExists(target))
        return true;  // one that is there stays, as the user has it
    std::ifstream in(source, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

// Sets the values that are missing, so a device someone changed keeps its own.
void SetMissing(ce::RegKey& key, std::u16string_view name, const ce::RegValue& value) {
    auto& slot = key.values[ce::FoldCase(name)];
    if (!slot.name.empty())
        return;
    slot.name = name;
    slot.value = value;
}

}  // namespace

bool InstallThemes(const fs::path& binDir, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(binDir / "themes", ec))
        return true;  // not built
    if (!ce::CreateDirectories(u"\\Windows\\dialer")) {
        error = "cannot create \\Windows\\dialer";
        return false;
    }
    for (fs::directory_iterator it(binDir / "themes", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().extension() != ".thm")
            continue;
        if (!CopyIn(it->path(),
                    u"\\Windows\\dialer\\" + ce::FromUtf8(it->path().filename().string()), error))
            return false;
    }
    return true;
}

bool InstallPlugins(const fs::path& binDir, std::string& error) {
    for (const char* lib : {"cardhook", "homestrip"}) {
        std::error_code ec;
        fs::path target = binDir / (std::string(lib) + ".so");
        if (!fs::exists(target, ec))
            continue;
        target = fs::canonical(target, ec);
        fs::path link = ce::MapPath(InstallPath(ce::FromUtf8(std::string(lib) + ".dll")));
        if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec) == target)
            continue;
        fs::path fresh = link;
        fresh += ".new" + std::to_string(::getpid());
        fs::remove(fresh, ec);
        fs::create_symlink(target, fresh, ec);
        if (!ec)
            fs::rename(fresh, link, ec);
        if (ec) {
            fs::remove(fresh, ec);
            error = "cannot install " + link.string() + ": " + ec.message();
            return false;
        }
    }
    std::error_code ec;
    if (fs::exists(binDir / "connect.tdy", ec) &&
        !CopyIn(binDir / "connect.tdy", InstallPath(u"connect.tdy"), error))
        return false;
    return true;
}

bool RegisterShellItems(const fs::path& binDir, std::string& error) {
    std::error_code ec;
    const bool today = fs::exists(binDir / "homestrip.so", ec);
    const bool command = fs::exists(binDir / "cardhook.so", ec);
    const std::u16string dir = std::u16string(kSuiteDir) + u"\\";
    bool ok = ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [&](ce::RegKey& root) {
        if (today) {
            ce::RegKey* k =
                root.Find(std::u16string(ce::kTodayItemsKey) + u"\\" + kTodayItemName, true);
            SetMissing(*k, u"Type", ce::RegValue::Dword(ce::kTodayItemCustom));
            SetMissing(*k, u"Enabled", ce::RegValue::Dword(1));
            SetMissing(*k, u"Options", ce::RegValue::Dword(0));
            SetMissing(*k, u"Order", ce::RegValue::Dword(0));
            SetMissing(*k, u"DLL", ce::RegValue::Sz(dir + u"homestrip.dll"));
        }
        if (command) {
            ce::RegKey* k =
                root.Find(std::u16string(ce::kPimAddInsKey) + u"\\" + kPimAddInName, true);
            SetMissing(*k, u"DLL", ce::RegValue::Sz(dir + u"cardhook.dll"));
            SetMissing(*k, u"Menu", ce::RegValue::Sz(u"Send SMS"));
        }
        return true;
    });
    if (!ok)
        error = "cannot write the registry: " + LastErrorText();
    return ok;
}

}  // namespace kvo::device
