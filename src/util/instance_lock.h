#pragma once
// One monitor per program folder: a lock on a file in that folder, held for
// the life of the process (the system drops it when the process ends, even
// when it is killed).

#include <string>

namespace varn {

inline constexpr const char* kInstanceLockName = "varn.lock";

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock on folder + "varn.lock", creating the file when missing.
  // False when another process holds it (or the file cannot be opened;
  // `error` then says why).
  bool Acquire(const std::string& folder, std::string* error = nullptr);
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace varn
