#include "settings/setting_notes.h"

#include <array>

namespace varn {

namespace {

// clang-format off
constexpr std::array kNotes = {
  // Global keys.
  SettingNotes{"ErrorCatch", "", "non-zero lets an unexpected internal error end the program (for a developer); 0 notes it in the diagnostics file and goes on (an ec.txt in the program folder counts as 1)"},
  SettingNotes{"LogError", "", "0 stops writing the event and diagnostics files"},
  SettingNotes{"LangMode", "", "on a Japanese system, non-zero skips the check that the log window has a font that shows Japanese"},
  SettingNotes{"Soundpath", "", "the data folder: daily event and diagnostics files, and the archive folders ch1 to ch8"},
  SettingNotes{"TimerUpdateInt", "ms", "interval of the update tick that reads the lines, runs the detectors and draws the views"},
  SettingNotes{"ShowLevelValues", "", "1 shows each meter's highest and lowest levels"},
  SettingNotes{"NumRec", "", "how many lines are monitored; read at start-up only"},
  SettingNotes{"MaxNumX", "", "line panels side by side in the window"},
  SettingNotes{"SelectedSetting", "", "the setting set (display scales and detector thresholds) every line uses"},
  SettingNotes{"ShowRecButton", "", "1 shows each panel's record and listen buttons; 0 hides them and every line records from the start"},
  SettingNotes{"ShowChName", "", "1 shows each panel's line name"},
  SettingNotes{"LoudnessView", "", "1 adds the LUFS mode to the meters (RMS, Peak, PH, LUFS)"},
  SettingNotes{"AlarmView", "", "1 frames a panel in red, amber or grey while its line is over level, low or without input, latched paler until its waveform is clicked or 10 minutes pass, with badges for failing writes and the default device"},
  SettingNotes{"VULevelTrim", "dBFS", "level from which the meter bar is drawn red"},
  SettingNotes{"MonDeviceName", "", "output device a line is played through for listening: a name, a number from varn devices, or empty for the system's default"},
  SettingNotes{"BufferDelay", "ms", "how far the listening output runs behind capture"},
  SettingNotes{"InputTimeoutSec", "s", "a running line whose input delivers nothing this long logs 入力途絶"},
  SettingNotes{"LoudnessLog", "", "1 writes each running line's EBU R128 loudness to the event file every hour and at its stop"},
  SettingNotes{"DeviceFallback", "", "1: a line whose named input device is missing at its start records the default device and says so; 0: it waits for its own device"},
  SettingNotes{"EventCommand", "", "program run for every event line: a program and its arguments, never a shell; ${VARN_...} replaced"},
  SettingNotes{"ArchiveCommand", "", "program run for every finished archive file, as EventCommand"},
  SettingNotes{"HookTimeoutSec", "s", "a run of EventCommand or ArchiveCommand longer than this is ended"},
  SettingNotes{"LoudnessTarget", "LUFS", "the loudness each line should have; published for the alert rule on the last hour's loudness"},
  SettingNotes{"ArchiveKeepDays", "days", "archive files that ended longer ago than this are deleted at start-up and every hour (never a held one, nor one still queued for ArchiveCommand); 0 keeps everything"},
  SettingNotes{"ArchiveMinFreeMB", "MB", "free space kept on the data folder's file system by deleting the oldest archive files; at most half the file system; 0: off"},
  SettingNotes{"ArchiveChecksum", "", "1 writes FILE.sha256 (sha256sum's format) beside each archive file when it closes, for varn archive verify"},
  SettingNotes{"MetricsListen", "", "[ADDR:]PORT of the Prometheus metrics and the web console (the older name of HttpListen; address 127.0.0.1 unless given); empty: none; read at start-up"},
  SettingNotes{"HttpListen", "", "[ADDR:]PORT of the web console and the metrics (the same listener as MetricsListen; address 127.0.0.1 unless given); empty: none; read at start-up"},
  SettingNotes{"HttpUsersFile", "", "file of name:hash lines (made by varn passwd NAME) whose users may use the web console and /metrics; set: every path asks for a password"},
  SettingNotes{"HttpOpen", "", "1 opens the console and its API beyond loopback without a users file; 0 answers them there with 403 (/metrics stays open)"},
  SettingNotes{"HttpTlsCert", "", "PEM certificate file: with HttpTlsKey the listener speaks HTTPS; a file that cannot be used ends varn with status 2"},
  SettingNotes{"HttpTlsKey", "", "PEM private key file of HttpTlsCert"},
  SettingNotes{"Stream_", "", "a network stream listed as an input device after the sound server's: its device name and its URL, separated by a vertical bar; the URL http:// or https:// (Icecast or shoutcast mount, audio file, HLS playlist); a line records it when DeviceName_ names it"},
  SettingNotes{"StreamBufferMs", "ms", "a stream's jitter buffer: audio held back to ride out network bursts and whole HLS segments; its fill steers the stream's clock"},
  SettingNotes{"WindowLeft", "twips", "left edge of the main window, kept by the window"},
  SettingNotes{"WindowTop", "twips", "top edge of the main window, kept by the window"},
  SettingNotes{"WindowHeight", "twips", "height of the main window, kept by the window"},
  SettingNotes{"WindowWidth", "twips", "width of the main window, kept by the window"},
  SettingNotes{"WindowState", "", "the main window's state: 0 normal, 1 minimised, 2 maximised"},
  SettingNotes{"LogWindowLeft", "twips", "left edge of the log window, kept by the window"},
  SettingNotes{"LogWindowTop", "twips", "top edge of the log window, kept by the window"},
  SettingNotes{"LogWindowHeight", "twips", "height of the log window, kept by the window"},
  SettingNotes{"LogWindowWidth", "twips", "width of the log window, kept by the window"},
  SettingNotes{"LogWindowState", "", "the log window's state: 0 normal, 1 minimised, 2 maximised"},
  SettingNotes{"TabWidth_LV_", "twips", "width of the log window's column N"},
  // Channel keys.
  SettingNotes{"ChName_", "", "the line's name: in its panel, the event lines' channel column and the hooks' VARN_CHANNEL_NAME"},
  SettingNotes{"DeviceName_", "", "the line's input device: a name, a number from varn devices, or empty for the system's default"},
  SettingNotes{"RecMode_", "", "capture format: 2 mono, 3 stereo, 16-bit either way"},
  SettingNotes{"RecFreq_", "Hz", "capture sample rate"},
  SettingNotes{"BitRate_", "kbit/s", "bit rate of the line's MP3 archive files; 0 archives WAV instead"},
  SettingNotes{"BufferSec_", "s", "audio the line's capture ring holds"},
  SettingNotes{"RecLevelDB_", "dB", "gain applied to the line before the meters, detectors and archive"},
  SettingNotes{"ExpectAudio_", "", "1: the line should carry audio (silence alerts apply); 0: it may be silent at times"},
  SettingNotes{"ArchiveKeepDays_", "days", "this line's own ArchiveKeepDays; -1 takes the global value"},
  SettingNotes{"ArcOn_", "", "1 archives the line to a new file at every start and every hour; 0 only monitors it"},
  SettingNotes{"StereoMode_", "", "what the meters and detectors watch: 0 stereo (L and R), 1 mono of L+R, 2 mono of L, 3 mono of R"},
  SettingNotes{"VUValueShows_", "", "the number beside the meter: 0 RMS, 1 Peak, 2 PH (peak hold), 3 LUFS (with LoudnessView)"},
  SettingNotes{"FFTOffset_", "%", "vertical offset of the line's spectrum view"},
  // Setting-set keys.
  SettingNotes{"WaveRate_", "times", "magnification of the waveform view"},
  SettingNotes{"FFTRate_", "times", "magnification of the spectrum view"},
  SettingNotes{"PeakHoldSec_", "s", "how long the meters and the spectrum hold a peak"},
  SettingNotes{"FFTAvrSec_", "s", "averaging time of the spectrum"},
  SettingNotes{"MaxGateLevel_", "dBFS peak", "over-level threshold: a peak above it logs レベルUP, falling back logs レベルDOWN"},
  SettingNotes{"MinGateLevel_", "dBFS RMS", "low-level threshold: a window of MinGateSpan_N below it logs レベルDOWN, one back at or above it レベルUP"},
  SettingNotes{"MinGateSpan_", "ms", "length of the windows the low-level threshold is measured over"},
  SettingNotes{"FFTInfinite_", "", "1 holds the spectrum's peaks for the whole run"},
  SettingNotes{"PuchiSense_", "", "sensitivity of the click (プチ音) detector; 0 turns it off"},
  SettingNotes{"PuchiOKLength_", "s", "after a click, that side logs no other click for this long"},
  SettingNotes{"FFTSense_", "", "sensitivity of the spectrum-change (FFT変化) detector; 0 turns it off"},
};
// clang-format on

}  // namespace

const SettingNotes* FindSettingNotes(std::string_view name) {
  for (const SettingNotes& n : kNotes)
    if (n.name == name) return &n;
  return nullptr;
}

}  // namespace varn
