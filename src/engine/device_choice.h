#pragma once
// Which input device a channel opens. A stored name that matches no device
// may fall back to the system's default device at a start, and says so;
// once a channel's own device has gone away, only that device (by its name,
// exactly or by the loose match the audio dialog uses) may take its place:
// an unplugged line must never be replaced by another line's audio.

#include <string>
#include <string_view>

namespace varn {

class DeviceDirectory;

struct DeviceChoice {
  enum class Kind {
    Named,     // a device of the stored name
    Numbered,  // the stored value is a device number
    Default,   // no name stored: the system's default device
    Fallback,  // the name matches no device: the default device stands in
    Missing,   // the name matches no device, and nothing may stand in
  };
  Kind kind = Kind::Default;
  int deviceId = -1;   // what to open (kDefaultDevice for the default)
  std::string stored;  // the stored name, trimmed
};

// At a start: the named device, else (with `fallback`) the default device.
DeviceChoice ChooseAtStart(std::string_view stored, bool fallback, DeviceDirectory& devices);

// After the channel's device went away. `onDefault`: the run that lost it
// had started on the default device in place of a missing named one, and
// so tries the default again. Numbered and blank names are chosen as at a
// start; a name is found exactly or by the loose match, else it is Missing.
DeviceChoice ChooseAfterLoss(std::string_view stored, bool onDefault, DeviceDirectory& devices);

}  // namespace varn
