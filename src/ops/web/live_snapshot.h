#pragma once
// What the web console shows of the running monitor, as the program's
// thread publishes it ten times a second, and the event lines as they are
// written. Plain values only: the console's threads never see a record of
// the program.

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace varn {

struct LiveLine {
  std::string name;    // ChName_
  std::string device;  // the device the run really opened; "" while stopped
  bool capturing = false;
  bool fallback = false;  // recording the default in place of a missing device
  bool awaiting = false;  // should run, but its device failed (入力デバイス異常)
  bool stalled = false;   // running, but the input delivers nothing (入力途絶)
  bool writeFailing = false;
  bool levels = false;          // the figures below are measured
  std::array<bool, 2> shown{};  // the sides the meter shows
  std::array<double, 2> peakDb{};
  std::array<double, 2> rmsDb{};
  std::array<bool, 2> overLevel{};
  std::array<bool, 2> lowLevel{};
  std::optional<double> shortTermLufs;
};

struct LiveSnapshot {
  uint64_t sequence = 0;
  double publishedUnixMs = 0.0;  // wall clock when the program's thread made it
  std::vector<LiveLine> lines;
  std::string logFolder;     // where the day's event files are, with the final "/"
  std::string logExtension;  // ".txt"
  std::string dataFolder;    // the archive's channel folders are in it
};

// One line of the event file as the console shows it (the log window's
// five columns, and the line's kind).
struct LiveEvent {
  std::string localTime;
  std::string utcTime;
  int channel = -1;  // 0-based; -1 none
  int side = -1;
  std::string message;
  std::string kind;
};

}  // namespace varn
