#pragma once
// The file-access layer every byte-level file operation goes through:
// 64-bit offsets, explicit open, read, write and close, and optional reuse
// of an open file across the steps of one operation. Offsets are 0-based.

#include <cstdint>
#include <string>

namespace varn {

// An open file descriptor, closed when the object goes.
class OpenFile {
 public:
  OpenFile() = default;
  explicit OpenFile(int fd) : fd_(fd) {}
  OpenFile(OpenFile&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  OpenFile& operator=(OpenFile&& o) noexcept;
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() { Close(); }

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  void Close();
  // Hands the descriptor over; the object no longer owns it.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

inline constexpr int64_t kAppend = -1;

// Reads count bytes at offset from the existing file `path`. A failed try
// waits 500 ms and tries again, `retries` tries in all (0 tries once).
bool ReadFileBytes(void* destination, int64_t count, int64_t offset, const std::string& path,
                   int retries = 0);
// The same on an open file.
bool ReadOpenFile(const OpenFile& file, void* destination, int64_t count, int64_t offset);

// Writes count bytes at offset, or at the end with kAppend. Uses `file` when
// it is open, else opens (or creates) `path`. With closeAfter the file is
// closed afterwards. On any failure the file is closed, even one the caller
// passed in, and an append that failed part-way is taken back, so the file
// never ends in a torn write.
bool WriteFileBytes(const void* source, int64_t count, int64_t offset, OpenFile& file,
                    const std::string& path, bool closeAfter);

OpenFile OpenForReading(const std::string& path);
bool SeekFile(const OpenFile& file, int64_t offset);
int64_t GetOpenFileSize(const OpenFile& file);       // -1 on failure
int64_t GetFileSizeByName(const std::string& path);  // 0 when it cannot be opened
// True when the file is absent (a path through a file names none), was
// deleted, or the name is a reserved device name (which is never touched).
// A failure is noted for LastFileError.
bool DeleteFileIfExists(const std::string& path);
bool FileExists(const std::string& path);

// The last failure of an open, read or write on this thread, naming the file
// and the system's reason ("cannot create /proc/x.mp3: No such file or
// directory"); "" when none since ClearFileError.
std::string LastFileError();
void ClearFileError();
// `line` with LastFileError in parentheses after it, when there is one: the
// diagnostics lines of failed file operations tell a full disk from a
// missing folder or a permission.
std::string WithLastFileError(std::string line);

}  // namespace varn
