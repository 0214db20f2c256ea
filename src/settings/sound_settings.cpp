#include "settings/sound_settings.h"

#include "archive/mp3acm.h"
#include "settings/number_field.h"
#include "settings/numeric_text.h"
#include "settings/setting_check.h"
#include "settings/setting_keys.h"
#include "settings/setting_value.h"
#include "settings/settings_store.h"
#include "util/choice_list.h"

namespace varn {

namespace {

// A list entry or a number the program wrote: a whole number in int32.
std::optional<int32_t> WholeNumber(std::string_view text) {
  return TextToInt(NarrowNumberText(text));
}

void StoreRow(int i, SoundRowValues& row) {
  if (row.device) WriteSetting(ChannelKey("DeviceName_", i), *row.device);
  WriteSetting(ChannelKey("RecMode_", i), static_cast<int32_t>(row.formatIndex));
  const std::optional<int32_t> rate = row.rate ? WholeNumber(*row.rate) : std::nullopt;
  if (rate) WriteSetting(ChannelKey("RecFreq_", i), *rate);
  if (auto stored = StoreFieldValue(ChannelKey("RecLevelDB_", i), row.level)) row.level = *stored;
  if (auto stored = StoreFieldValue(ChannelKey("BufferSec_", i), row.buffer)) row.buffer = *stored;
  WriteSetting(ChannelKey("ArcOn_", i), static_cast<int32_t>(row.arcOn != 0));
  // Without a rate the bit-rate list could not be made: the stored choice stays.
  if (!rate) return;
  const std::optional<int32_t> bitRate = row.mp3 ? WholeNumber(row.bitRate) : std::nullopt;
  WriteSetting(ChannelKey("BitRate_", i), bitRate.value_or(0));
}

}  // namespace

int BitRateToKeep(int bitRate, std::string_view currentText) {
  if (bitRate != 0) return bitRate;
  return WholeNumber(currentText).value_or(0);
}

void RefreshBitRateList(C_mp3acm& codec, ChoiceList& bitRates, std::string_view rateText,
                        int formatIndex, int bitRate) {
  const std::optional<int32_t> rate = WholeNumber(rateText);
  if (!rate) return;
  const int keep = BitRateToKeep(bitRate, bitRates.Text(bitRates.Selected()));
  codec.LoadBitRateToCombo(bitRates, *rate, formatIndex, keep);
}

std::string SoundSettingsRefusal(const SoundSettingsValues& values) {
  for (int i = 0; i < kSoundRows; ++i) {
    const SoundRowValues& row = values.rows[static_cast<size_t>(i)];
    if (!row.device) continue;
    if (std::string why = LengthRefusal(ChannelKey("DeviceName_", i), *row.device); !why.empty())
      return why;
  }
  return values.monitorDevice ? LengthRefusal("MonDeviceName", *values.monitorDevice) : "";
}

int StoreSoundSettings(SoundSettingsValues& values) {
  SettingsBatch batch;
  for (int i = 0; i < kSoundRows; ++i) {
    SoundRowValues& row = values.rows[static_cast<size_t>(i)];
    if (row.formatIndex != 2 && row.formatIndex != 3) return i;
    StoreRow(i, row);
  }
  if (auto stored = StoreFieldValue("BufferDelay", values.bufferDelay))
    values.bufferDelay = *stored;
  if (values.monitorDevice) WriteSetting("MonDeviceName", *values.monitorDevice);
  return -1;
}

}  // namespace varn
