#include "log/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "settings/folders.h"
#include "util/io_gate.h"

namespace varn {

namespace {

constexpr size_t kRingItems = 4096;

// One write per line, so a line is never interleaved with another writer's.
// Returns 0, or the errno of the failure.
int WriteAll(const std::string& path, const std::string& text, int flags, bool ownerOnly = false) {
  if (!PassIoGate(path)) return ENOSPC;
  const int fd =
      open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC | (ownerOnly ? O_NOFOLLOW : 0),
           ownerOnly ? 0600 : 0666);
  if (fd < 0) return errno;
  if (ownerOnly) (void)fchmod(fd, 0600);
  size_t done = 0;
  int error = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0 && error == 0) error = errno;
  return error;
}

// Failures that pass: a disk that is full now may have room later.
bool WorthRetrying(int error) { return error == ENOSPC || error == EDQUOT || error == EIO; }

}  // namespace

LogFileWriter::LogFileWriter() : ring_(kRingItems) {
  thread_ = std::thread([this] {
    ThreadRoleScope role(gLogThreadRole);
    Run();
  });
}

LogFileWriter::~LogFileWriter() { Finish(10.0); }

void LogFileWriter::Append(std::string folder, std::string path, std::string text) {
  Queue(Item{Kind::Append, std::move(folder), std::move(path), std::move(text)});
}

void LogFileWriter::Replace(std::string path, std::string text, bool ownerOnly) {
  Queue(Item{
      ownerOnly ? Kind::ReplaceOwnerOnly : Kind::Replace, {}, std::move(path), std::move(text)});
}

void LogFileWriter::Remove(std::string path) { Queue(Item{Kind::Remove, {}, std::move(path), {}}); }

void LogFileWriter::Queue(Item item) {
  if (ended_.load(std::memory_order_acquire)) return;
  if (waiting_.size() >= kLogBacklogLimit) {
    waiting_.pop_front();
    ++dropped_;
  }
  waiting_.push_back(std::move(item));
  Feed();
}

void LogFileWriter::Feed() {
  bool pushed = false;
  while (!waiting_.empty() && ring_.TryPush(std::move(waiting_.front()))) {
    waiting_.pop_front();
    ++queued_;
    pushed = true;
  }
  if (pushed) {
    work_.fetch_add(1, std::memory_order_release);
    work_.notify_one();
  }
}

bool LogFileWriter::Idle() const {
  return waiting_.empty() && done_.load(std::memory_order_acquire) == queued_;
}

bool LogFileWriter::WaitIdle(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    Feed();
    if (Idle()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool LogFileWriter::Finish(double seconds) {
  if (ended_.load(std::memory_order_acquire)) return Idle();
  const bool drained = WaitIdle(seconds);
  ended_.store(true, std::memory_order_release);
  quit_.store(true, std::memory_order_release);
  work_.fetch_add(1, std::memory_order_release);
  work_.notify_one();
  if (drained && thread_.joinable()) {
    thread_.join();
  } else if (thread_.joinable()) {
    // A disk that does not answer: the thread stays blocked in it, and the
    // process ends without it. Its items stay with this object, which the
    // program keeps to the end.
    thread_.detach();
  }
  return drained;
}

std::vector<std::string> LogFileWriter::Backlog() const {
  std::vector<std::string> lines;
  const uint64_t inRing = queued_ - done_.load(std::memory_order_acquire);
  const uint64_t lost = lost_.load(std::memory_order_acquire);
  if (inRing + waiting_.size() == 0 && dropped_ == 0 && lost == 0) return lines;
  const int error = lastError_.load(std::memory_order_acquire);
  lines.push_back("Log lines not written: " + std::to_string(inRing + waiting_.size()) +
                  (dropped_ > 0 ? ", " + std::to_string(dropped_) + " dropped" : std::string()) +
                  (lost > 0 ? ", " + std::to_string(lost) + " lost" : std::string()) +
                  (error != 0 ? " (" + std::string(std::strerror(error)) + ")" : std::string()));
  for (const Item& item : waiting_)
    if (item.kind == Kind::Append) lines.push_back(item.path + ": " + item.text);
  return lines;
}

bool LogFileWriter::Do(const Item& item) {
  int error = 0;
  switch (item.kind) {
    case Kind::Append:
      if (!item.folder.empty() && !FolderExists(item.folder)) MakeFolder(item.folder);
      error = WriteAll(item.path, item.text, O_APPEND);
      break;
    case Kind::Replace:
      error = WriteAll(item.path, item.text, O_TRUNC);
      break;
    case Kind::ReplaceOwnerOnly:
      error = WriteAll(item.path, item.text, O_TRUNC, true);
      break;
    case Kind::Remove:
      if (!PassIoGate(item.path)) return false;
      std::remove(item.path.c_str());
      break;
  }
  // Nowhere to write it (a folder that cannot be made, no permission): it
  // never will be; a full disk may take it later.
  if (error != 0) lastError_.store(error, std::memory_order_release);
  if (WorthRetrying(error)) return false;
  if (error != 0) lost_.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

void LogFileWriter::Run() {
  for (;;) {
    const uint32_t seen = work_.load(std::memory_order_acquire);
    Item* item = ring_.Front();
    if (item) {
      if (!Do(*item)) {
        if (quit_.load(std::memory_order_acquire)) return;
        std::this_thread::sleep_for(std::chrono::duration<double>(kLogRetrySec));
        continue;
      }
      ring_.Pop();
      done_.fetch_add(1, std::memory_order_release);
      continue;
    }
    if (quit_.load(std::memory_order_acquire)) return;
    work_.wait(seen, std::memory_order_acquire);
  }
}

}  // namespace varn
