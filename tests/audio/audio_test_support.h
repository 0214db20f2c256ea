#pragma once
// Shared pieces of the audio tests: a recorder that remembers what capture gave it, and a notice
// receiver.

#include <cstring>
#include <string>
#include <vector>

#include "archive/channel_recorder.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "util/clock.h"
#include "util/user_notice.h"

namespace varn::test {

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
