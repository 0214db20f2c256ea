#pragma once
// The kind of an event line, as one fixed lowercase English word, for the
// programs and systems that act on events (hooks, metrics, alerts): the
// texts are the operator's, in Japanese; the kinds are stable names.

#include <string_view>

namespace varn {

// "start", "end", "separator", "record_start", "record_stop", "start_failed",
// "over_level", "over_level_end", "low_level", "low_level_end", "click",
// "spectrum_change", "device_error", "encoder_error", "file_write_failed",
// "file_write_resumed", "watchdog", "input_stalled", "input_resumed",
// "audio_lost", "loudness", "default_device", "unclean_end",
// "archive_deleted", "disk_low", or "other" for a line no kind names.
std::string_view EventKind(std::string_view message);

// Every kind but "other", in the order above.
inline constexpr std::string_view kEventKinds[] = {"start",
                                                   "end",
                                                   "separator",
                                                   "record_start",
                                                   "record_stop",
                                                   "start_failed",
                                                   "over_level",
                                                   "over_level_end",
                                                   "low_level",
                                                   "low_level_end",
                                                   "click",
                                                   "spectrum_change",
                                                   "device_error",
                                                   "encoder_error",
                                                   "file_write_failed",
                                                   "file_write_resumed",
                                                   "watchdog",
                                                   "input_stalled",
                                                   "input_resumed",
                                                   "audio_lost",
                                                   "loudness",
                                                   "default_device",
                                                   "unclean_end",
                                                   "archive_deleted",
                                                   "disk_low"};

}  // namespace varn
