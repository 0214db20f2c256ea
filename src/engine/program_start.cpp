#include "engine/program_start.h"

#include <unistd.h>

#include "audio/wave_backend.h"
#include "settings/folders.h"

namespace varn {

bool ProgramStart::Begin(const std::string& appFolder) {
  SetAppFolder(appFolder);
  const std::string folder = AppFolder();
  if (!lock_.Acquire(folder, &message_)) return false;
  if (chdir(folder.c_str()) != 0) message_ = "cannot enter " + folder;
  program_ = std::make_unique<ProgramServices>(folder);
  dataFolderOk_ = program_->ApplyStartupSettings();
  RaiseProcessPriority();
  return true;
}

void ProgramStart::OpenAudio(const std::string& choice) {
  audio_ = CreateWaveService(choice, &audioNote_);
}

}  // namespace varn
