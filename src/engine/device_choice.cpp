#include "engine/device_choice.h"

#include "audio/device_catalogue.h"
#include "audio/wave_service.h"
#include "util/error_catch.h"
#include "util/numeric.h"
#include "util/text.h"

namespace varn {

DeviceChoice ChooseAtStart(std::string_view stored, bool fallback, DeviceDirectory& devices) {
  DeviceChoice choice;
  choice.stored = TrimBlanks(stored);
  if (choice.stored.empty()) return choice;
  const int id = FindDeviceId(true, choice.stored, devices);
  choice.deviceId = id;
  if (ParseNumber(ToLowerAscii(choice.stored))) {
    choice.kind = DeviceChoice::Kind::Numbered;
  } else if (id != kDefaultDevice) {
    choice.kind = DeviceChoice::Kind::Named;
  } else {
    choice.kind = fallback ? DeviceChoice::Kind::Fallback : DeviceChoice::Kind::Missing;
  }
  return choice;
}

DeviceChoice ChooseAfterLoss(std::string_view stored, bool onDefault, DeviceDirectory& devices) {
  if (onDefault) {
    DeviceChoice choice;
    choice.stored = TrimBlanks(stored);
    choice.kind = DeviceChoice::Kind::Fallback;
    choice.deviceId = kDefaultDevice;
    return choice;
  }
  DeviceChoice choice = ChooseAtStart(stored, false, devices);
  if (choice.kind != DeviceChoice::Kind::Missing) return choice;
  Trapped(0, [&] {
    const int count = devices.DeviceCount(true);
    for (int i = 0; i < count; ++i) {
      if (DeviceNamesMatch(devices.DeviceName(true, i), choice.stored) == 1) {
        choice.kind = DeviceChoice::Kind::Named;
        choice.deviceId = i;
        break;
      }
    }
    return 0;
  });
  return choice;
}

}  // namespace varn
