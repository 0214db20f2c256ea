#pragma once
// A private scratch folder for the fuzz targets that hand their input to a
// reader as a file: under $TMPDIR (scripts/fuzz_smoke.sh points it into its
// work folder), else /dev/shm (no disk writes), else /tmp. Named after the
// process, so targets running side by side never share one, and removed when
// the run ends normally.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace varn::fuzz {

// The folder, with a trailing "/"; made on the first call. Kept on the heap
// so it outlives the static destructors that run before the removal.
inline const std::string& TempFolder() {
  static const std::string* folder = [] {
    struct stat st {};
    const char* env = std::getenv("TMPDIR");
    const std::string root = env && *env ? env : stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp";
    auto* f = new std::string(root + "/varn-fuzz-" + std::to_string(getpid()) + "/");
    std::filesystem::create_directories(*f);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(TempFolder(), ignored);
    });
    return f;
  }();
  return *folder;
}

}  // namespace varn::fuzz
