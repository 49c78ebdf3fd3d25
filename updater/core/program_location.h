// Where the updater's programs find themselves, and their command line as one string.
#pragma once
#include <string>

namespace kvo::updater {

// The handheld folder (ending in a backslash) of the program file a process was started as
// (argv[0], a link in the device); the updater's "InstlDir" when it was started from
// outside the device.
std::u16string ProgramFolder(const char* argv0);

// The arguments joined by blanks: a handheld start passes its command line as one argument,
// a shell as several; both read the same.
std::u16string JoinCommandLine(int argc, char** argv);

}  // namespace kvo::updater
