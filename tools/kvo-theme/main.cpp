// kvo-theme: the dialer's theme packages.
//   kvo-theme pack DIR OUT.thm      every file of DIR as one package
//   kvo-theme unpack PKG.thm DIR    its entries as files of DIR
//   kvo-theme list PKG.thm          entry names and sizes
//   kvo-theme draw LOOK.txt DIR     our themes' pictures, drawn from their look
#include <QGuiApplication>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "dialer/draw/theme_art.h"
#include "dialer/theme_package.h"

namespace fs = std::filesystem;
using kvo::dialer::ThemeEntry;

namespace {

const char kUsage[] =
    "usage: kvo-theme pack DIR OUT.thm\n"
    "       kvo-theme unpack PKG.thm DIR\n"
    "       kvo-theme list PKG.thm\n"
    "       kvo-theme draw LOOK.txt DIR\n";

bool ReadHost(const fs::path& p, std::string& out) {
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteHost(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out.flush());
}

int Fail(const std::string& why) {
    std::cerr << "kvo-theme: " << why << "\n";
    return 1;
}

int Pack(const fs::path& dir, const fs::path& out) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file())
            files.push_back(it->path());
    if (ec)
        return Fail("cannot read the folder " + dir.string() + ": " + ec.message());
    std::sort(files.begin(), files.end());
    std::vector<ThemeEntry> entries;
    for (const auto& f : files) {
        ThemeEntry e{f.filename().string(), {}};
        if (!kvo::dialer::IsSafeThemeEntryName(e.strName))
            return Fail("\"" + e.strName + "\" cannot be a theme file name");
        if (!ReadHost(f, e.content))
            return Fail("cannot read " + f.string());
        if (e.content.size() >= 0x80000000u)
            return Fail(f.string() + " is too big for a theme");
        entries.push_back(std::move(e));
    }
    if (entries.empty())
        return Fail(dir.string() + " holds no files");
    bool hasCfg = std::any_of(entries.begin(), entries.end(), [](const ThemeEntry& e) {
        return e.strName.size() > 4 && e.strName.substr(e.strName.size() - 4) == ".cfg";
    });
    if (!hasCfg)
        return Fail(dir.string() + " has no .cfg file: the dialer could not use it");
    if (!WriteHost(out, kvo::dialer::FormatThemePackage(entries)))
        return Fail("cannot write " + out.string());
    return 0;
}

int Unpack(const fs::path& pkg, const fs::path& dir, bool bListOnly) {
    std::string bytes, error;
    if (!ReadHost(pkg, bytes))
        return Fail("cannot read " + pkg.string());
    std::vector<ThemeEntry> entries;
    if (!kvo::dialer::ParseThemePackage(bytes, entries, error))
        return Fail(pkg.string() + " is no usable theme package: " + error);
    if (bListOnly) {
        for (const auto& e : entries) std::cout << e.strName << "\t" << e.content.size() << "\n";
        return 0;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (const auto& e : entries)
        if (!WriteHost(dir / e.strName, e.content))
            return Fail("cannot write " + (dir / e.strName).string());
    return 0;
}

int Draw(const fs::path& look, const fs::path& dir, int argc, char** argv) {
    std::string text, error;
    if (!ReadHost(look, text))
        return Fail("cannot read " + look.string());
    kvo::dialer::CThemeLook l;
    if (!kvo::dialer::ParseThemeLook(text, l, error))
        return Fail(look.string() + ": " + error);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts and image writers need one
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!kvo::dialer::DrawThemeArt(l, dir.string(), error))
        return Fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    if (!a.empty() && (a[0] == "--help" || a[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (a.size() == 3 && a[0] == "pack")
        return Pack(a[1], a[2]);
    if (a.size() == 3 && a[0] == "unpack")
        return Unpack(a[1], a[2], false);
    if (a.size() == 2 && a[0] == "list")
        return Unpack(a[1], {}, true);
    if (a.size() == 3 && a[0] == "draw")
        return Draw(a[1], a[2], argc, argv);
    std::cerr << kUsage;
    return 2;
}
