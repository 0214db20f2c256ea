#include "log/event_kinds.h"

namespace varn {

namespace {

bool Starts(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}
bool Ends(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

struct Prefix {
  std::string_view text;
  std::string_view kind;
};

// Longer texts first where one begins another ("録音開始失敗").
constexpr Prefix kPrefixes[] = {
    {"**************起動", "start"},
    {"**************正常終了", "end"},
    {"-----------------------------", "separator"},
    {"録音開始失敗", "start_failed"},
    {"録音開始", "record_start"},
    {"録音停止", "record_stop"},
    {"プチ音検出", "click"},
    {"FFT変化", "spectrum_change"},
    {"入力デバイス異常", "device_error"},
    {"エンコーダ初期化失敗", "encoder_error"},
    {"録音ファイル書込失敗", "file_write_failed"},
    {"録音ファイル書込再開", "file_write_resumed"},
    {"制御戻らず", "watchdog"},
    {"入力途絶", "input_stalled"},
    {"入力再開", "input_resumed"},
    {"音声欠落", "audio_lost"},
    {"既定デバイスで録音", "default_device"},
    {"前回異常終了", "unclean_end"},
    {"ラウドネス", "loudness"},
    {"アーカイブ削除", "archive_deleted"},
    {"ディスク容量不足", "disk_low"},
};

}  // namespace

std::string_view EventKind(std::string_view message) {
  // The level monitors share their words: a peak going up is over-level, a
  // mean going down is low level, and the other way round each ends.
  if (Starts(message, "レベルUP ")) {
    if (Ends(message, "(Peak)")) return "over_level";
    if (Ends(message, "(RMS)")) return "low_level_end";
  }
  if (Starts(message, "レベルDOWN ")) {
    if (Ends(message, "(Peak)")) return "over_level_end";
    if (Ends(message, "(RMS)")) return "low_level";
  }
  for (const Prefix& p : kPrefixes)
    if (Starts(message, p.text)) return p.kind;
  return "other";
}

}  // namespace varn
