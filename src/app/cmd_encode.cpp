// varn encode IN.wav OUT.mp3 [--bitrate K] and varn decode IN.mp3 OUT.wav:
// the codec object's file conversions, with a progress bar on a terminal
// and Ctrl-C to stop (the unfinished target is removed).

#include <iostream>

#include "app/commands.h"
#include "app/console_progress.h"
#include "archive/file_access.h"
#include "archive/mp3acm.h"
#include "archive/mpeg_info.h"
#include "archive/wav_file.h"
#include "settings/program_setup.h"

namespace varn {
namespace {

void Attach(C_mp3acm& codec, ProgressBar& bar) {
  codec.EncProg = [&bar](float rate, int32_t& cancel) {
    bar.Show(rate);
    if (InterruptGuard::Interrupted()) cancel = 1;
  };
}

// Why an encode could not start, in the operator's terms.
std::string EncodeRefusal(const std::string& in, int32_t kbps) {
  ClearFileError();
  const WavInfo info = ReadWavInfo(in);
  if (info.Valid != 1) return FileFailure(in + " cannot be read as a WAV file");
  if (info.BitsPerSample != 16 || (info.Channels != 1 && info.Channels != 2))
    return "only 16-bit mono or stereo PCM can be encoded";
  if (!CanEncodeMp3(info.SampleRate, info.Channels, kbps))
    return std::to_string(kbps) + " kbit/s at " + std::to_string(info.SampleRate) +
           " Hz is not a bit rate MP3 defines for that rate";
  return "";
}

int Finish(C_mp3acm& codec, ProgressBar& bar, bool ok, const std::string& what) {
  bar.Finish(ok);
  if (ok) return 0;
  if (codec.Canceled() != 0) {
    std::cerr << "varn: " << what << " canceled\n";
    return kExitCanceled;
  }
  std::cerr << "varn: " << FileFailure(what + " failed") << "\n";
  return 1;
}

int RunEncode(const CommonOptions& options, const std::string& in, const std::string& out,
              int32_t kbps) {
  ProgramServices services(options.appFolder);
  services.ApplyStartupSettings();
  if (const std::string refusal = EncodeRefusal(in, kbps); !refusal.empty()) {
    std::cerr << "varn: " << refusal << "\n";
    return 1;
  }
  C_mp3acm codec;
  ProgressBar bar;
  Attach(codec, bar);
  InterruptGuard guard;
  ClearFileError();
  const bool ok = codec.EncFromWavfile(in, out, kbps);
  return Finish(codec, bar, ok, "encoding " + in);
}

int RunDecode(const CommonOptions& options, const std::string& in, const std::string& out) {
  ProgramServices services(options.appFolder);
  services.ApplyStartupSettings();
  MpegInfo info;
  ClearFileError();
  if (ReadMpegInfo(in, info) != 1) {
    std::cerr << "varn: " << FileFailure(in + " cannot be read as an MPEG audio file") << "\n";
    return 1;
  }
  C_mp3acm codec;
  ProgressBar bar;
  Attach(codec, bar);
  InterruptGuard guard;
  ClearFileError();
  const bool ok = codec.DecFrommp3file(in, out);
  return Finish(codec, bar, ok, "decoding " + in);
}

const CommandRegistration kEncode(40, [](CLI::App& app, const CommonOptions& options,
                                         int& exitCode) {
  auto* cmd = app.add_subcommand("encode", "Convert a 16-bit WAV file to MP3");
  auto in = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  auto kbps = std::make_shared<int32_t>(160);
  cmd->add_option("IN", *in, "WAV file")->required();
  cmd->add_option("OUT", *out, "MP3 file to write (replaced if it exists)")->required();
  cmd->add_option("--bitrate", *kbps, "Bit rate in kbit/s (default 160)");
  cmd->callback(
      [&options, in, out, kbps, &exitCode] { exitCode = RunEncode(options, *in, *out, *kbps); });
});

const CommandRegistration kDecode(41, [](CLI::App& app, const CommonOptions& options,
                                         int& exitCode) {
  auto* cmd = app.add_subcommand("decode", "Convert an MPEG audio (MP3) file to a 16-bit WAV file");
  auto in = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  cmd->add_option("IN", *in, "MPEG audio file")->required();
  cmd->add_option("OUT", *out, "WAV file to write (replaced if it exists)")->required();
  cmd->callback([&options, in, out, &exitCode] { exitCode = RunDecode(options, *in, *out); });
});

}  // namespace
}  // namespace varn
