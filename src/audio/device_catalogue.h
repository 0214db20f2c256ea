#pragma once
// Device names to device numbers, and the device, format and sample-rate
// lists of the audio settings dialog. Settings store devices by name,
// because numbers change when devices come and go.

#include <array>
#include <string>
#include <string_view>

#include "audio/wave_service.h"
#include "util/choice_list.h"

namespace varn {

// The sample rates offered, in list order.
inline constexpr std::array<int, 12> kRateCandidates = {192000, 96000, 88200, 48000, 44100, 32000,
                                                        24000,  22050, 16000, 12000, 11025, 8000};

// Clears `list` and adds FormatName(0..lastCode). With selected >= 0 it
// selects that entry, or entry 0 when there is no such entry.
void FillFormatCombo(ChoiceList& list, int selected, int lastCode);

// Clears `list` and adds every candidate rate within [minRate, maxRate]
// (0 = no limit) as decimal text, then selects `current` if listed.
void FillRateCombo(ChoiceList& list, int current, int minRate, int maxRate);

// Clears `list`, adds every input (or output) device name and selects the
// entry for `name`: the same name ignoring case, else one DeviceNamesMatch
// accepts, else none.
void FillDeviceCombo(ChoiceList& list, bool isInput, std::string_view name,
                     DeviceDirectory& devices);

// The device number for a stored name: 0 for an empty name (the first
// device), the number itself for a numeric name, the first device of that
// name (case ignored), 0 when there are no devices, -1 (the default device)
// when no device has that name.
int FindDeviceId(bool isInput, std::string_view name, DeviceDirectory& devices);

// 1 when two names are taken to be the same device: the system numbers
// duplicate devices ("Microphone (2- USB Audio)"), and such a prefix is
// ignored.
int DeviceNamesMatch(std::string_view a, std::string_view b);

}  // namespace varn
