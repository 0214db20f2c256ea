#include "util/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varn {

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

bool InstanceLock::Acquire(const std::string& folder, std::string* error) {
  if (fd_ >= 0) return true;
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += kInstanceLockName;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (error)
      *error = errno == EWOULDBLOCK ? "another varn is running on " + folder
                                    : "cannot lock " + path + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace varn
