#include "archive/disk_space.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace varn {

DiskSpace ReadDiskSpace(const std::string& folder) {
  DiskSpace space;
  // The data folder may not exist yet; its file system is its parent's.
  std::filesystem::path p(folder.empty() ? "." : folder);
  std::error_code ec;
  while (!std::filesystem::exists(p, ec) && p.has_parent_path() && p.parent_path() != p)
    p = p.parent_path();
  struct statvfs st {};
  if (statvfs(p.c_str(), &st) != 0) {
    space.error = "cannot read the free space of " + folder + ": " + std::strerror(errno);
    return space;
  }
  space.known = true;
  space.freeBytes = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  space.totalBytes = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
  return space;
}

uint64_t MinFreeBytes(uint64_t minFreeMB, uint64_t totalBytes, bool* capped) {
  const uint64_t wanted = minFreeMB * kMegabyte;
  const bool over = totalBytes > 0 && wanted > totalBytes / 2;
  if (capped) *capped = over;
  return over ? totalBytes / 2 : wanted;
}

std::string MinFreeRefusal(uint64_t minFreeMB, const DiskSpace& space) {
  if (minFreeMB == 0 || !space.known || space.totalBytes == 0) return {};
  const uint64_t halfMB = space.totalBytes / 2 / kMegabyte;
  if (minFreeMB <= halfMB) return {};
  return "ArchiveMinFreeMB must be at most half the data folder's file system (" +
         std::to_string(halfMB) + " MB of " + std::to_string(space.totalBytes / kMegabyte) + " MB)";
}

}  // namespace varn
