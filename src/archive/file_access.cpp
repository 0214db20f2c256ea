#include "archive/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "util/file_names.h"
#include "util/io_gate.h"

namespace varn {

namespace {
thread_local std::string tLastFileError;

void NoteFileError(const char* action, const std::string& path, int error) {
  tLastFileError = std::string(action) + " " + path + ": " + std::strerror(error);
}
}  // namespace

std::string LastFileError() { return tLastFileError; }
void ClearFileError() { tLastFileError.clear(); }

std::string WithLastFileError(std::string line) {
  if (!tLastFileError.empty()) line += " (" + tLastFileError + ")";
  return line;
}

OpenFile& OpenFile::operator=(OpenFile&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = o.fd_;
    o.fd_ = -1;
  }
  return *this;
}

void OpenFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

OpenFile OpenForReading(const std::string& path) {
  if (path.empty()) return OpenFile();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    NoteFileError("cannot open", path, errno);
    return OpenFile();
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    NoteFileError("cannot read", path, S_ISDIR(st.st_mode) ? EISDIR : errno);
    close(fd);
    return OpenFile();
  }
  return OpenFile(fd);
}

bool ReadOpenFile(const OpenFile& file, void* destination, int64_t count, int64_t offset) {
  if (!file.IsOpen() || count < 0 || offset < 0) return false;
  auto* out = static_cast<char*>(destination);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n =
        pread(file.Fd(), out + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // error or end of file before count bytes
    done += n;
  }
  return true;
}

bool ReadFileBytes(void* destination, int64_t count, int64_t offset, const std::string& path,
                   int retries) {
  const int tries = retries < 1 ? 1 : retries;
  for (int i = 0; i < tries; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    OpenFile f = OpenForReading(path);
    if (f.IsOpen() && ReadOpenFile(f, destination, count, offset)) return true;
  }
  return false;
}

bool WriteFileBytes(const void* source, int64_t count, int64_t offset, OpenFile& file,
                    const std::string& path, bool closeAfter) {
  if (!PassIoGate(path)) {
    NoteFileError("cannot write", path, ENOSPC);
    file.Close();
    return false;
  }
  if (!file.IsOpen()) {
    if (path.empty()) return false;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      NoteFileError("cannot create", path, errno);
      return false;
    }
    file = OpenFile(fd);
  }
  if (count < 0 || (offset < 0 && offset != kAppend)) {
    file.Close();
    return false;
  }
  int64_t at = offset;
  if (offset == kAppend) {
    at = lseek(file.Fd(), 0, SEEK_END);
    if (at < 0) {
      NoteFileError("cannot write", path, errno);
      file.Close();
      return false;
    }
  }
  const auto* in = static_cast<const char*>(source);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = pwrite(file.Fd(), in + done, static_cast<size_t>(count - done), at + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteFileError("cannot write", path, n < 0 ? errno : ENOSPC);
      // A full disk can leave part of an append behind; take it back so the
      // file keeps whole frames.
      if (offset == kAppend && done > 0) (void)!ftruncate(file.Fd(), at);
      file.Close();
      return false;
    }
    done += n;
  }
  lseek(file.Fd(), at + count, SEEK_SET);
  if (!closeAfter || close(file.Release()) == 0) return true;
  NoteFileError("cannot write", path, errno);
  return false;
}

bool SeekFile(const OpenFile& file, int64_t offset) {
  return file.IsOpen() && offset >= 0 && lseek(file.Fd(), offset, SEEK_SET) == offset;
}

int64_t GetOpenFileSize(const OpenFile& file) {
  struct stat st {};
  if (!file.IsOpen() || fstat(file.Fd(), &st) != 0) return -1;
  return st.st_size;
}

int64_t GetFileSizeByName(const std::string& path) {
  const OpenFile f = OpenForReading(path);
  const int64_t size = GetOpenFileSize(f);
  return size < 0 ? 0 : size;
}

bool DeleteFileIfExists(const std::string& path) {
  if (IsReservedDeviceName(path)) return true;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;  // cannot be there
    NoteFileError("cannot remove", path, errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    NoteFileError("cannot remove", path, EISDIR);
    return false;
  }
  if (!(st.st_mode & S_IWUSR)) chmod(path.c_str(), st.st_mode | S_IWUSR);
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  NoteFileError("cannot remove", path, errno);
  return false;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace varn
