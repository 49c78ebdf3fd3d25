// Under LeakSanitizer: the display libraries keep caches for the process's lifetime. Their
// allocations are not the monitor's leaks; everything else is still checked.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n"
           "leak:libfreetype\n"
           "leak:libQt6Core\n"
           "leak:libQt6Gui\n"
           "leak:libQt6Widgets\n"
           "leak:libQt6XcbQpa\n"
           "leak:libqoffscreen\n"
           "leak:libqxcb\n"
           "leak:libxcb\n"
           "leak:libX11\n"
           "leak:libglib\n"
           "leak:libdbus\n";
}
