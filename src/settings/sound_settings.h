#pragma once
// The values of the audio settings dialog (FrmConfSound): eight channel
// rows and the monitor output, the bit-rate list of a row, and the order
// everything is stored in.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace varn {

class C_mp3acm;
class ChoiceList;

inline constexpr const char* kSoundCaption = "オーディオ設定";
inline constexpr const char* kOnly16BitText = "16bit録音のみ対応しています";
inline constexpr int kSoundRows = 8;
// The rate list starts at this rate; the format list ends at "Stereo16bit".
inline constexpr int kSoundMinRate = 44100;
inline constexpr int kSoundLastFormat = 3;
inline constexpr const char* kArcOnCaption = "保存";
inline constexpr const char* kMp3Caption = "mp3";

struct SoundRowValues {
  int formatIndex = -1;               // the format list index
  std::optional<std::string> device;  // the chosen capture device; none when no entry is chosen
  std::optional<std::string> rate;    // the chosen rate text; none when no entry is chosen
  std::string level;                  // dB, "0.0"
  std::string buffer;                 // seconds
  int arcOn = 1;
  bool mp3 = true;
  std::string bitRate;  // the chosen bit-rate text, "" for none
};

struct SoundSettingsValues {
  std::array<SoundRowValues, kSoundRows> rows;
  std::string bufferDelay;
  std::optional<std::string> monitorDevice;
};

// The bit rate a refreshed list keeps: `bitRate` when non-zero, else the
// number in the list's current text, else 0.
int BitRateToKeep(int bitRate, std::string_view currentText);

// Refills a row's bit-rate list through the codec's probe for the row's rate
// and format, keeping BitRateToKeep(bitRate, current text). A rate text that
// is not a number leaves the list as it is.
void RefreshBitRateList(C_mp3acm& codec, ChoiceList& bitRates, std::string_view rateText,
                        int formatIndex, int bitRate);

// "" when every device name fits its key, else why the values cannot be
// stored: the dialog then stores nothing rather than a cut name.
std::string SoundSettingsRefusal(const SoundSettingsValues& values);

// Stores the rows in order, then the monitor delay and device. A row whose
// format is not 16-bit stops the save there: the rows before it stay stored
// and its index is returned. -1 when everything was stored.
//
// A row without a chosen device, or without a chosen rate (a rate the list
// does not offer), keeps the stored device, or rate and bit rate, rather
// than storing an empty choice. Number fields that are not numeric leave
// their keys alone; the others are clamped and their texts replaced by what
// was stored.
int StoreSoundSettings(SoundSettingsValues& values);

}  // namespace varn
