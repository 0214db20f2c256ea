// varn mpeginfo FILE: what an MPEG audio file holds, one field a line.

#include <cstdio>
#include <iostream>

#include "app/commands.h"
#include "archive/file_access.h"
#include "archive/mpeg_info.h"

namespace varn {
namespace {

std::string HexBytes(const std::array<uint8_t, 3>& bytes) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", bytes[0], bytes[1], bytes[2]);
  return text;
}

int RunMpeginfo(const std::string& path) {
  MpegInfo m;
  ClearFileError();
  const int32_t ok = ReadMpegInfo(path, m);
  std::cout << "FirstFrame=" << m.FirstFrame << "\n"
            << "AudioLength=" << m.AudioLength << "\n"
            << "AudioEnd=" << m.AudioEnd << "\n"
            << "FileLength=" << m.FileLength << "\n"
            << "SearchSpan=" << m.SearchSpan << "\n"
            << "IsVbr=" << m.IsVbr << "\n"
            << "VbrFrames=" << m.VbrFrames << "\n"
            << "Rate=" << m.Rate << "\n"
            << "Layer=" << m.Layer << "\n"
            << "Kbps=" << m.Kbps << "\n"
            << "ChannelCount=" << m.ChannelCount << "\n"
            << "ChannelMode=" << m.ChannelMode << "\n"
            << "LowRate=" << m.LowRate << "\n"
            << "LengthMs=" << m.LengthMs << "\n"
            << "ShortText=" << m.ShortText << "\n"
            << "LongText=" << m.LongText << "\n"
            << "HeaderBytes=" << HexBytes(m.HeaderBytes) << "\n";
  if (ok != 1)
    std::cerr << "varn: " << FileFailure(path + " cannot be read as an MPEG audio file") << "\n";
  return ok == 1 ? 0 : 1;
}

const CommandRegistration kMpeginfo(21, [](CLI::App& app, const CommonOptions&, int& exitCode) {
  auto* cmd = app.add_subcommand("mpeginfo", "Print the description of an MPEG audio (MP3) file");
  auto path = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "MPEG audio file")->required();
  cmd->callback([path, &exitCode] { exitCode = RunMpeginfo(*path); });
});

}  // namespace
}  // namespace varn
