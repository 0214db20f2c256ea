#pragma once
// Shared pieces of the audio tests: a diagnostics log in a temporary folder,
// a recorder that remembers what capture gave it, and a notice receiver.

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "audio/channel_recorder.h"
#include "log/event_log.h"
#include "support/temp_dir.h"
#include "util/clock.h"
#include "util/user_notice.h"

namespace varn::test {

// Installs an event log writing into a temporary folder for the life of
// the object.
class LogCapture {
 public:
  LogCapture() : clock_(DateTime{2026, 3, 14, 10, 0, 0, 0}), log_(clock_) {
    log_.SetFolder(dir_.Path());
    SetActiveLog(&log_);
  }
  ~LogCapture() { SetActiveLog(nullptr); }

  // The texts of the diagnostics lines, without their time stamps.
  std::vector<std::string> Diagnostics() const {
    const std::string path = log_.CurrentFilePath(true);
    std::vector<std::string> lines;
    if (!PathExists(path)) return lines;
    std::istringstream in(ReadText(path));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line.size() > 20 ? line.substr(20) : line);
    }
    return lines;
  }

 private:
  TempDir dir_;
  ManualClock clock_;
  EventLog log_;
};

class FakeRecorder final : public ChannelRecorder {
 public:
  struct Fed {
    int32_t bufferIndex;
    std::vector<int16_t> samples;
  };
  int32_t StartArchive(const ArchiveStart& s) override {
    starts.push_back(s);
    return bitRateToReturn < 0 ? s.bitRate : bitRateToReturn;
  }
  void FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) override {
    if (throwOnFeed) throw std::runtime_error("disk gone");
    Fed f{bufferIndex, std::vector<int16_t>(static_cast<size_t>(byteCount) / 2)};
    std::memcpy(f.samples.data(), bytes, static_cast<size_t>(byteCount));
    fed.push_back(std::move(f));
  }
  void StopArchive() override { ++stops; }

  std::vector<ArchiveStart> starts;
  std::vector<Fed> fed;
  int stops = 0;
  int32_t bitRateToReturn = -1;  // -1: the requested one
  bool throwOnFeed = false;
};

class NoticeRecorder final : public UserNotice {
 public:
  NoticeRecorder() { SetActiveNotice(this); }
  ~NoticeRecorder() override { SetActiveNotice(nullptr); }
  void Show(std::string_view text, std::string_view title, NoticeIcon icon) override {
    texts.emplace_back(text);
    titles.emplace_back(title);
    icons.push_back(icon);
  }
  std::vector<std::string> texts;
  std::vector<std::string> titles;
  std::vector<NoticeIcon> icons;
};

}  // namespace varn::test
