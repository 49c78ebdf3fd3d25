// Putting a set of files in place so that a failure on the way leaves the old set: every
// file is copied beside its destination first, then the copies are renamed over the old
// files, and a failed rename puts the old files back.
#pragma once
#include <string>
#include <vector>

namespace kvo::updater {

struct CPlacement {
    std::u16string strSource;
    std::u16string strDestination;
};

// False with the reason in `error`; the destinations are then as they were.
bool PlaceFiles(const std::vector<CPlacement>& files, std::string& error);

}  // namespace kvo::updater
