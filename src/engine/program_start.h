#pragma once
// The start-up steps the window and the headless monitor share: one monitor
// per program folder, the program folder as the current folder, the
// settings store, the error switch and log switches, the data folder, a
// higher process priority and the audio backend.

#include <memory>
#include <string>

#include "audio/wave_service.h"
#include "settings/program_setup.h"
#include "util/instance_lock.h"

namespace varn {

class ProgramStart {
 public:
  // False when another monitor runs on the program folder (or its lock file
  // cannot be made); `Message` then says so in one line.
  bool Begin(const std::string& appFolder);
  // The audio backend ("pulse", "sim" or "auto"); `AudioNote` says which.
  void OpenAudio(const std::string& choice);

  const std::string& Message() const { return message_; }
  const std::string& AudioNote() const { return audioNote_; }
  bool DataFolderOk() const { return dataFolderOk_; }
  ProgramServices& Program() { return *program_; }
  WaveService& Audio() { return *audio_; }

 private:
  InstanceLock lock_;
  std::unique_ptr<ProgramServices> program_;
  std::unique_ptr<WaveService> audio_;
  std::string message_;
  std::string audioNote_;
  bool dataFolderOk_ = false;
};

}  // namespace varn
