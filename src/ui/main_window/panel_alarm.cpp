#include "ui/main_window/panel_alarm.h"

namespace varn {

bool PanelAlarm::Update(const LineConditions& conditions, double now) {
  const std::array<bool, 3> holds = {
      conditions.lowLevel, conditions.stalled || conditions.deviceFailed, conditions.overLevel};
  for (size_t i = 0; i < tracks_.size(); ++i) {
    Track& t = tracks_[i];
    if (holds[i] && !t.active) {
      ++t.count;
      t.latched = false;
    } else if (!holds[i] && t.active) {
      t.latched = true;
      t.endedAt = now;
    }
    t.active = holds[i];
    if (t.latched && now - t.endedAt >= kAlarmLatchSec) t = Track{};
  }
  last_ = conditions;
  const AlarmLook look = Compose(conditions);
  if (look == look_) return false;
  look_ = look;
  return true;
}

bool PanelAlarm::Acknowledge() {
  for (Track& t : tracks_) {
    t.latched = false;
    t.count = t.active ? 1 : 0;
  }
  const AlarmLook look = Compose(last_);
  if (look == look_) return false;
  look_ = look;
  return true;
}

AlarmLook PanelAlarm::Compose(const LineConditions& conditions) const {
  AlarmLook look;
  // The most urgent condition that holds; else the most urgent latched one.
  for (size_t i = tracks_.size(); i-- > 0;) {
    if (!tracks_[i].active) continue;
    look.frame = static_cast<AlarmColour>(i + 1);
    break;
  }
  if (look.frame == AlarmColour::None) {
    for (size_t i = tracks_.size(); i-- > 0;) {
      if (!tracks_[i].latched) continue;
      look.frame = static_cast<AlarmColour>(i + 1);
      look.latched = true;
      look.count = tracks_[i].count;
      break;
    }
  }
  if (conditions.deviceFailed)
    look.inputText = kDeviceFailedText;
  else if (conditions.stalled)
    look.inputText = kStalledText;
  look.writeFailBadge = conditions.writeFailing;
  look.defaultDeviceBadge = conditions.onDefaultDevice;
  return look;
}

}  // namespace varn
