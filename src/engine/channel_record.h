#pragma once
// Everything one channel owns for the whole run: capture, archive, analysis
// and the display choices the operator made. Records are made once at
// start-up and never move (the archive writer points at the archive record).

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/channel_analysis.h"
#include "archive/archive_channel.h"
#include "archive/archive_worker.h"
#include "archive/channel_archive.h"
#include "audio/capture_channel.h"
#include "engine/line_watch.h"

namespace varn {

// A channel's capture settings as the settings file gives them. A run
// records with what was loaded at its start; a settings reload restarts the
// channel only when these changed.
struct CaptureKeys {
  std::string deviceName;   // DeviceName_
  int32_t recMode = 0;      // RecMode_
  int32_t recFreq = 0;      // RecFreq_
  int32_t bitRate = 0;      // BitRate_
  int32_t bufferSec = 0;    // BufferSec_
  float recLevelDb = 0.0f;  // RecLevelDB_
  int32_t arcOn = 0;        // ArcOn_

  bool operator==(const CaptureKeys&) const = default;
};

struct ChannelRecord {
  ChannelRecord(int ch, const Clock& clock, const std::string& dataFolder)
      : writer(ch, writerRecord, clock, dataFolder) {}
  ChannelRecord(const ChannelRecord&) = delete;
  ChannelRecord& operator=(const ChannelRecord&) = delete;

  // Declared in this order so the device (in capture) is released last of
  // all, after nothing else can touch the blocks.
  CaptureChannel capture;
  ArchiveChannel archive;  // the program's: what runs, and the file being written
  // The archive writer's own record, on the worker's thread: the path it
  // writes to reaches `archive` as a note.
  ArchiveChannel writerRecord;
  ChannelArchive writer;
  ArchiveLane* lane = nullptr;  // what capture feeds: the writer, through the archive worker
  ChannelAnalysis analysis;

  std::string name;         // ChName_
  bool expectAudio = true;  // ExpectAudio_: 0 for a line meant to be silent at times
  CaptureKeys formatKeys;   // as SetFmt last loaded them: every start does
  float fftOffset = 50.0f;  // FFTOffset_: spectrum marker height in percent

  // The device failed while the channel ran; the engine tries to start it
  // again every few seconds until it runs or the operator stops it.
  bool awaitingDevice = false;
  // Stopped by a settings reload and started again after a short pause.
  bool restartPending = false;
  // The device was lost while the channel ran: its retries open only a
  // device of its stored name (or the default, when the lost run had
  // started on it in place of a missing one).
  bool afterLoss = false;
  bool onDefaultDevice = false;  // the run records the default in place of its named device
  bool missingNoted = false;     // "入力デバイス異常" is written for the missing device
  std::string openedDevice;      // the name of the device the run opened
  double lastAttempt = 0.0;             // RunNow of the last try
  InputWatch input;                     // audio that stops arriving
  double lastArrival = 0.0;             // RunNow when the device last delivered
  uint32_t fillingBytes = 0;            // what the buffer being filled held then
  LossWatch loss;                       // audio lost on the way
  std::vector<std::string> retryNotes;  // failures already in the diagnostics file
};

}  // namespace varn
