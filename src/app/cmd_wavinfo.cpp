// varn wavinfo FILE: the fields of a WAV file's description.

#include <iostream>

#include "app/commands.h"
#include "archive/file_access.h"
#include "archive/wav_file.h"

namespace varn {
namespace {

int RunWavinfo(const std::string& path) {
  ClearFileError();
  const WavInfo w = ReadWavInfo(path);
  std::cout << "Valid=" << w.Valid << "\n"
            << "FrameCount=" << w.FrameCount << "\n"
            << "SampleRate=" << w.SampleRate << "\n"
            << "BitsPerSample=" << w.BitsPerSample << "\n"
            << "Channels=" << w.Channels << "\n"
            << "BlockAlign=" << w.BlockAlign << "\n"
            << "DataOffset=" << w.DataOffset << "\n"
            << "DataSize=" << w.DataSize << "\n"
            << "FileSize=" << w.FileSize << "\n"
            << "FormatCode=" << w.FormatCode << "\n"
            << "DurationMs=" << w.DurationMs << "\n"
            << "FormatTag=" << w.FormatTag << "\n";
  if (w.Valid != 1)
    std::cerr << "varn: " << FileFailure(path + " cannot be read as a WAV file") << "\n";
  return w.Valid == 1 ? 0 : 1;
}

const CommandRegistration kWavinfo(20, [](CLI::App& app, const CommonOptions&, int& exitCode) {
  auto* cmd = app.add_subcommand("wavinfo", "Print the description of a WAV file");
  auto path = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "WAV file")->required();
  cmd->callback([path, &exitCode] { exitCode = RunWavinfo(*path); });
});

}  // namespace
}  // namespace varn
