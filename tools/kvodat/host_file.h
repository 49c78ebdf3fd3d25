// Files of the build machine that kvodat reads and writes: bounded reads, so a device file or
// a folder given by mistake fails with a message, and writes that replace a file whole.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

#include <sys/types.h>

namespace kvo::kvodat {

// Data files and their sources are far smaller; anything larger is not one.
inline constexpr size_t kMaxInputBytes = 16u << 20;

// Reads the whole file. False with `error` in words (a folder, unreadable, larger than
// `limit` bytes) otherwise.
bool ReadHostFile(const std::string& path, std::string& bytes, std::string& error,
                  size_t limit = kMaxInputBytes);

// The write(2) the atomic writer calls; tests put one in that fails part-way.
using WriteCall = std::function<ssize_t(int fd, const void* data, size_t size)>;

// Writes into a new temporary file beside `path`, syncs it, renames it over `path` and syncs
// the folder, so readers see the old file or the new one, never a part. On failure the old
// file stays as it was, the temporary file is removed and `error` says why.
bool WriteHostFileAtomic(const std::string& path, const std::string& bytes, std::string& error,
                         const WriteCall& write = {});

}  // namespace kvo::kvodat
