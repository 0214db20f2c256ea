#include "ops/web/extract_stream.h"

#include <microhttpd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "log/event_log.h"

namespace varn {

namespace {

// What the cutting thread says through the log's free functions goes
// nowhere: the program's log belongs to the program's thread.
class Quiet final : public LineRedirect {
 public:
  void Event(std::string_view, int, int) override {}
  void Line(std::string_view, bool) override {}
};

class ExtractStream {
 public:
  ExtractStream(ExtractPlan plan, std::atomic<int>& running)
      : plan_(std::move(plan)), running_(running) {}

  void Start() {
    thread_ = std::thread([this] {
      Quiet quiet;
      SetThreadRedirect(&quiet);
      ExtractEvents events;
      events.write = [this](const uint8_t* bytes, size_t count) { return Push(bytes, count); };
      const ExtractResult result = RunExtract(plan_, events);
      SetThreadRedirect(nullptr);
      std::lock_guard lock(mutex_);
      done_ = true;
      failed_ = !result.ok;
      changed_.notify_all();
    });
  }

  ~ExtractStream() {
    {
      std::lock_guard lock(mutex_);
      cancel_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    running_.fetch_sub(1, std::memory_order_acq_rel);
  }

  ssize_t Read(char* out, size_t max) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return sent_ < buffer_.size() || done_; });
    if (sent_ >= buffer_.size()) {
      return failed_ ? MHD_CONTENT_READER_END_WITH_ERROR : MHD_CONTENT_READER_END_OF_STREAM;
    }
    const size_t n = std::min(max, buffer_.size() - sent_);
    std::memcpy(out, buffer_.data() + sent_, n);
    sent_ += n;
    if (sent_ == buffer_.size()) {
      buffer_.clear();
      sent_ = 0;
    }
    changed_.notify_all();
    return static_cast<ssize_t>(n);
  }

 private:
  bool Push(const uint8_t* bytes, size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return cancel_ || buffer_.size() - sent_ < kExtractBufferBytes; });
    if (cancel_) return false;
    if (sent_ > 0) {  // keep the buffer from growing: drop what was sent
      buffer_.erase(0, sent_);
      sent_ = 0;
    }
    buffer_.append(reinterpret_cast<const char*>(bytes), count);
    changed_.notify_all();
    return true;
  }

  const ExtractPlan plan_;
  std::atomic<int>& running_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string buffer_;
  size_t sent_ = 0;
  bool done_ = false;
  bool failed_ = false;
  bool cancel_ = false;
  std::thread thread_;
};

ssize_t ReadExtract(void* cls, uint64_t /*pos*/, char* buffer, size_t max) {
  return static_cast<ExtractStream*>(cls)->Read(buffer, max);
}

void FreeExtract(void* cls) { delete static_cast<ExtractStream*>(cls); }

}  // namespace

bool TakeExtractionSlot(std::atomic<int>& running) {
  int now = running.load(std::memory_order_acquire);
  while (now < kMaxExtractions)
    if (running.compare_exchange_weak(now, now + 1, std::memory_order_acq_rel)) return true;
  return false;
}

MHD_Response* ExtractResponse(ExtractPlan plan, std::atomic<int>& running) {
  const uint64_t size = plan.bytes >= 0 ? static_cast<uint64_t>(plan.bytes) : MHD_SIZE_UNKNOWN;
  auto* stream = new ExtractStream(std::move(plan), running);
  MHD_Response* r =
      MHD_create_response_from_callback(size, 64 * 1024, &ReadExtract, stream, &FreeExtract);
  if (!r) {
    delete stream;
    return nullptr;
  }
  stream->Start();
  return r;
}

}  // namespace varn
