#include "util/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varn {

namespace {
// As far up as an ordinary service would go: above desktop programs, below
// the sound server's real-time threads.
constexpr int kHighNice = -10;
}  // namespace

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

void RaiseProcessPriority() {
  const int now = getpriority(PRIO_PROCESS, 0);
  if (now > kHighNice) (void)setpriority(PRIO_PROCESS, 0, kHighNice);
}

}  // namespace varn
