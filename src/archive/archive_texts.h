#pragma once
// The archive's own texts for the operator, used exactly as they stand.

#include <string_view>

namespace varn {

// Direct line of the event file when a channel's encoder will not start;
// the 1-based channel number follows.
inline constexpr std::string_view kEncoderInitFailed = "エンコーダ初期化失敗 ch";
// Message box when no MP3 encoder can be registered or used.
inline constexpr std::string_view kMp3RegistrationFailed = "mp3エンコーダー登録ができません";
// Event lines of a channel whose archive file stops taking data (a full or
// missing disk), and when it takes data again.
inline constexpr std::string_view kArchiveWriteFailed = "録音ファイル書込失敗";
inline constexpr std::string_view kArchiveWriteResumed = "録音ファイル書込再開";

// Event line (no channel) of a sweep that deleted archive files; the count,
// "件 " and the size in GB follow.
inline constexpr std::string_view kArchiveDeletedText = "アーカイブ削除 ";
// Event line (no channel) when the free-space guard has nothing left to delete.
inline constexpr std::string_view kDiskLowText = "ディスク容量不足";

}  // namespace varn
