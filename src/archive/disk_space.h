#pragma once
// The free space of the file system that holds the data folder, and the
// rule for ArchiveMinFreeMB: at most half the file system's size.

#include <cstdint>
#include <functional>
#include <string>

namespace varn {

struct DiskSpace {
  bool known = false;      // false: the file system could not be asked
  uint64_t freeBytes = 0;  // what an unprivileged writer may still use
  uint64_t totalBytes = 0;
  std::string error;
};

// statvfs of the folder (or of its nearest existing parent).
DiskSpace ReadDiskSpace(const std::string& folder);

// How the sweeps read the free space; tests give a fake one.
using DiskSpaceReader = std::function<DiskSpace(const std::string& folder)>;

inline constexpr uint64_t kMegabyte = 1024 * 1024;

// The free space the guard keeps, in bytes: ArchiveMinFreeMB, but at most
// half the file system's size (`capped` tells it was more).
uint64_t MinFreeBytes(uint64_t minFreeMB, uint64_t totalBytes, bool* capped = nullptr);

// Why `config set` refuses an ArchiveMinFreeMB for the data folder: "" when
// it is allowed (0, or at most half the file system; or the file system
// cannot be asked).
std::string MinFreeRefusal(uint64_t minFreeMB, const DiskSpace& space);

}  // namespace varn
