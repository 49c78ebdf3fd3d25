// The program's window-less commands with its start-up and end: the registry key, the
// root lock "\kvo.lock", the MONITORSTARTED marker.
#pragma once
#include <string>

#include "connect/flow/connection.h"
#include "platform/file.h"

namespace kvo::connect {

enum ECommandExit : int { kCommandOk = 0, kCommandFailed = 1, kCommandBusy = 3 };

// Creates HKCU\Software\<key> and finds the installation folder (with its backslash);
// false with "Access to registers failed." shown.
bool StartUp(CConnection& conn);

// Runs "c", "d", "e", "x" or "z NUMBER" (the command text as given) from start-up to end;
// kCommandBusy when another instance holds the lock.
int RunWindowlessCommand(CConnection& conn, const std::u16string& commandText);

// Takes "\kvo.lock" exclusively; an empty file with `busy` set when another instance holds
// it. The holder deletes the file before closing it.
ce::File TakeRootLock(bool& busy);

// True for the letters that need no window.
bool IsWindowlessCommand(const std::u16string& commandText);

}  // namespace kvo::connect
