// varn devices: the input and output devices of the chosen audio backend,
// with the numbers a stored device name resolves to. A backend that cannot
// be reached fails the command: an empty list would read as "no devices".

#include <algorithm>
#include <iostream>
#include <memory>

#include "app/commands.h"
#include "audio/device_catalogue.h"
#include "audio/wave_backend.h"
#include "settings/program_setup.h"
#include "settings/stream_setting.h"

namespace varn {
namespace {

int RunDevices(const std::string& audio, const std::string& appFolder) {
  ProgramServices program(appFolder);
  std::vector<std::string> problems;
  StreamInputs streams;
  streams.streams = ReadStreamSettings(&problems);
  for (const std::string& p : problems) std::cerr << "varn: " << p << "\n";
  const size_t streamCount = streams.streams.size();
  std::string note;
  const std::unique_ptr<WaveService> service = CreateWaveService(audio, &note, std::move(streams));
  std::cerr << "varn: " << note << "\n";
  if (const std::string why = service->Unreachable(); !why.empty()) {
    std::cerr << "varn: " << why << "; no devices can be listed\n";
    return 1;
  }
  for (const bool isInput : {true, false}) {
    const int count = service->DeviceCount(isInput);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(service->DeviceName(isInput, i));
    // The streams come last among the inputs.
    const size_t firstStream =
        isInput ? names.size() - std::min(names.size(), streamCount) : names.size();
    for (size_t i = 0; i < names.size(); ++i)
      std::cout << (isInput ? "in " : "out ") << FindDeviceId(isInput, names[i], *service) << " "
                << names[i] << (i >= firstStream ? " (stream)" : "") << "\n";
  }
  return 0;
}

const CommandRegistration kDevices(40, [](CLI::App& app, const CommonOptions& options,
                                          int& exitCode) {
  auto* cmd = app.add_subcommand("devices", "List the audio input and output devices");
  auto audio = std::make_shared<std::string>();
  cmd->add_option("--audio", *audio, "Audio backend: pulse, sim or auto")
      ->check(CLI::IsMember({"pulse", "sim", "auto"}));
  cmd->callback([audio, &options, &exitCode] {
    exitCode = RunDevices(audio->empty() ? options.audio : *audio, options.appFolder);
  });
});

}  // namespace
}  // namespace varn
