#pragma once
// The engine's own texts, as the event file and the operator see them.

#include <string_view>

namespace varn {

inline constexpr std::string_view kRecordStartText = "録音開始";
inline constexpr std::string_view kRecordStopText = "録音停止";
inline constexpr std::string_view kRecordStartFailedText = "録音開始失敗";
inline constexpr std::string_view kInputDeviceFaultText = "入力デバイス異常";
inline constexpr std::string_view kWatchdogText = "制御戻らず ";
inline constexpr std::string_view kDataFolderFailedText = "データ用フォルダを作成できません";

}  // namespace varn
