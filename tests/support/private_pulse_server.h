#pragma once
// A PulseAudio server of one test's own with one null sink, for taking a
// device (or the whole server) away under a running capture.

#include <sys/types.h>

#include <string>

namespace varn::test {

class PrivatePulseServer {
 public:
  PrivatePulseServer(const std::string& sinkName, const std::string& description);
  ~PrivatePulseServer();
  PrivatePulseServer(const PrivatePulseServer&) = delete;
  PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

  bool Running() const;
  // For PULSE_SERVER or a service's server argument.
  std::string Address() const;
  // pactl against this server; its exit status.
  int Pactl(const std::string& args) const;
  void Kill();
  // Freezes the server (SIGSTOP) and lets it go on (SIGCONT), as a server
  // that stops answering for a while.
  void Freeze(bool frozen);

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

}  // namespace varn::test
