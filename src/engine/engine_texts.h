#pragma once
// The engine's own texts, as the event file and the operator see them.

#include <string_view>

namespace varn {

inline constexpr std::string_view kRecordStartText = "録音開始";
inline constexpr std::string_view kRecordStopText = "録音停止";
inline constexpr std::string_view kRecordStartFailedText = "録音開始失敗";
inline constexpr std::string_view kInputDeviceFaultText = "入力デバイス異常";
// The channel's named input device is missing: it records the system's
// default input in its place.
inline constexpr std::string_view kDefaultDeviceText = "既定デバイスで録音";
// The end of the previous run was not clean; its last tick's local time follows.
inline constexpr std::string_view kUncleanEndText = "前回異常終了 ";
// Diagnostics: the 1-based channel number and the details follow.
inline constexpr std::string_view kDeviceMissingText = "Input device missing ch";
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
