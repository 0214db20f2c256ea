#pragma once
// The engine's own texts, as the event file and the operator see them.

#include <string_view>

namespace varn {

inline constexpr std::string_view kRecordStartText = "録音開始";
inline constexpr std::string_view kRecordStopText = "録音停止";
inline constexpr std::string_view kRecordStartFailedText = "録音開始失敗";
inline constexpr std::string_view kInputDeviceFaultText = "入力デバイス異常";
inline constexpr std::string_view kWatchdogText = "制御戻らず ";
// A running channel's input stopped delivering audio, and came back after
// the seconds that follow the text ("入力再開 12.0秒").
inline constexpr std::string_view kInputStalledText = "入力途絶";
inline constexpr std::string_view kInputResumedText = "入力再開 ";
// Seconds of a channel's audio that were lost (a capture ring that
// overflowed, blocks the archive could not take): a hole in the archive.
inline constexpr std::string_view kAudioLostText = "音声欠落 ";
inline constexpr std::string_view kSecondsUnit = "秒";
inline constexpr std::string_view kDataFolderFailedText = "データ用フォルダを作成できません";

}  // namespace varn
