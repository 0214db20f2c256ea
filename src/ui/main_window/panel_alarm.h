#pragma once
// What a channel panel shows of its line's trouble at a glance: a frame in
// the colour of the condition that holds (red over level, amber low level,
// grey for an input that stalled or a device that failed), latched in a
// paler colour with the count of occurrences once the condition has ended,
// until the operator acknowledges it or kAlarmLatchSec pass; and two
// badges that only follow their condition (writes failing, the default
// device recording in place of the named one). Plain logic: the panel
// draws the look, the window feeds the conditions every tick.

#include <array>
#include <string_view>

namespace varn {

// A latched frame clears itself this long after its condition ended.
inline constexpr double kAlarmLatchSec = 600.0;
inline constexpr std::string_view kStalledText = "入力途絶";
inline constexpr std::string_view kDeviceFailedText = "デバイス異常";
inline constexpr std::string_view kWriteFailBadge = "書込失敗";
inline constexpr std::string_view kDefaultDeviceBadge = "既定デバイス";

// A line's conditions as its detectors and the engine hold them now.
struct LineConditions {
  bool overLevel = false;     // either side over its level
  bool lowLevel = false;      // either side below its level, on a line that expects audio
  bool stalled = false;       // nothing arrives from the device
  bool deviceFailed = false;  // the device failed; the line waits for it
  bool writeFailing = false;  // archive writes fail, or the disk is short
  bool onDefaultDevice = false;
};

// Frame colours, least to most urgent.
enum class AlarmColour { None, Amber, Grey, Red };

struct AlarmLook {
  AlarmColour frame = AlarmColour::None;
  bool latched = false;        // the condition has ended: paler, with the count
  int count = 0;               // occurrences since the last acknowledge
  std::string_view inputText;  // over the waveform: stalled or device failed, or empty
  bool writeFailBadge = false;
  bool defaultDeviceBadge = false;
  bool operator==(const AlarmLook&) const = default;
};

class PanelAlarm {
 public:
  // The conditions at `now` (seconds on a clock that only goes forward).
  // True when the look changed.
  bool Update(const LineConditions& conditions, double now);
  // The operator has seen it: latched frames clear (one whose condition
  // holds stays, counted once). True when the look changed.
  bool Acknowledge();
  const AlarmLook& Look() const { return look_; }

 private:
  struct Track {
    bool active = false;
    bool latched = false;
    int count = 0;
    double endedAt = 0.0;
  };
  AlarmLook Compose(const LineConditions& conditions) const;

  // Indexed by AlarmColour less one: amber, grey, red.
  std::array<Track, 3> tracks_{};
  LineConditions last_;
  AlarmLook look_;
};

}  // namespace varn
