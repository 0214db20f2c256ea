// The kinds of event lines, and the listeners that receive every line as a
// record: what the hooks and the metrics act on.

#include "log/event_kinds.h"

#include <gtest/gtest.h>

#include <vector>

#include "analysis/analysis_texts.h"
#include "log/event_log.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

TEST(EventKind, EveryLineTheProgramWritesHasItsKind) {
  struct Case {
    std::string message;
    std::string_view kind;
  };
  const Case cases[] = {
      {std::string(kStartBanner), "start"},
      {std::string(kEndBanner), "end"},
      {std::string(kSeparatorLine), "separator"},
      {"録音開始", "record_start"},
      {"録音停止", "record_stop"},
      {"録音開始失敗", "start_failed"},
      {OverLevelMessage(true, -0.5), "over_level"},
      {OverLevelMessage(false, -3.0), "over_level_end"},
      {LowLevelMessage(false, -99.0), "low_level"},
      {LowLevelMessage(true, -20.1), "low_level_end"},
      {ClickMessage(1.23), "click"},
      {SpectrumChangeMessage(1.07), "spectrum_change"},
      {"入力デバイス異常", "device_error"},
      {"エンコーダ初期化失敗 ch3", "encoder_error"},
      {"録音ファイル書込失敗", "file_write_failed"},
      {"録音ファイル書込再開", "file_write_resumed"},
      {"制御戻らず 12.500", "watchdog"},
      {"入力途絶", "input_stalled"},
      {"入力再開 12.0秒", "input_resumed"},
      {"音声欠落 11.0秒", "audio_lost"},
      {"ラウドネス I -23.1LUFS LRA 5.2LU TP -1.0dBTP", "loudness"},
      {"something else", "other"},
      {"レベルUP", "other"},
  };
  for (const Case& c : cases) EXPECT_EQ(EventKind(c.message), c.kind) << c.message;
}

class RecordingListener final : public EventListener {
 public:
  void OnEvent(const EventRecord& e) override {
    events.push_back(
        {e.localTime, e.utcTime, e.channel, e.side, std::string(e.message), std::string(e.kind)});
  }
  struct Seen {
    std::string local, utc;
    int channel, side;
    std::string message, kind;
  };
  std::vector<Seen> events;
};

TEST(EventListenerTest, HearsEveryEventFileLineOnceAndNoDiagnostics) {
  test::TempDir dir;
  ManualClock clock{DateTime{2026, 12, 7, 22, 1, 41, 0}, 9 * 3600};
  EventLog log{clock};
  log.SetFolder(dir.Path() + "data");
  RecordingListener listener;
  log.AddListener(&listener);
  log.AddListener(&listener);  // once is enough
  log.LogEvent(ClickMessage(2.0), 2, 1);
  log.WriteLogLine("エンコーダ初期化失敗 ch3", false);
  log.WriteLogLine("Capture overrun ch1", true);
  log.SetEnabled(false);  // no files: the listeners still hear the events
  log.LogEvent("録音停止", 0);
  ASSERT_EQ(listener.events.size(), 3u);
  const auto& click = listener.events[0];
  EXPECT_EQ(click.local, "2026/12/07 22:01:41");
  EXPECT_EQ(click.utc, "2026/12/07 13:01:41");
  EXPECT_EQ(click.channel, 2);
  EXPECT_EQ(click.side, 1);
  EXPECT_EQ(click.kind, "click");
  EXPECT_EQ(listener.events[1].channel, 2);  // read from the line's own "ch3"
  EXPECT_EQ(listener.events[1].kind, "encoder_error");
  EXPECT_EQ(listener.events[2].message, "録音停止");
  log.RemoveListener(&listener);
  log.LogEvent("録音開始", 0);
  EXPECT_EQ(listener.events.size(), 3u);
}

}  // namespace
}  // namespace varn
