#pragma once
// A channel's disk buffer: archive data is collected here and written to
// its file only when the buffer is full, when the file changes, or when
// capture stops, so the disk sees one append per few seconds of audio.

#include <cstdint>
#include <string>
#include <vector>

namespace varn {

struct DiskBuffer {
  std::string FileName;        // the file the buffered bytes belong to; "" after a reset
  int32_t Fill = 0;            // bytes buffered
  int32_t Capacity = 0;        // flush threshold in bytes
  std::vector<uint8_t> Bytes;  // Capacity + 1025 bytes
  // What the files of this run are: BitRate 0 is WAV (16-bit PCM of Rate
  // and Channels), else MP3.
  int32_t BitRate = 0;
  int32_t Rate = 0;
  int32_t Channels = 0;
  // Set while appends fail (a full or missing disk), so the operator is
  // told once when writing stops and once when it resumes.
  bool WriteFailing = false;
  // Bytes that reached the files (audio and any header written here).
  uint64_t Written = 0;
  // Flushes tried, and the bytes of those that failed (dropped: the file
  // lacks them).
  uint64_t Flushes = 0;
  uint64_t Dropped = 0;
  // What failed writes dropped from the file HoleFile, written as silence
  // of the same length before anything newer once the disk takes writes
  // again, so the file keeps its length in time: zero bytes in a WAV file;
  // in an MP3 file, frames that keep their header and are zero after it
  // (silent frames), counted per header.
  std::string HoleFile;
  uint64_t HoleBytes = 0;
  std::vector<std::pair<uint32_t, uint64_t>> HoleFrames;
};

// Capacity for a WAV archive: four seconds of PCM.
int32_t WavBufferCapacity(int32_t blockAlign, int32_t rate);
// Capacity for an MP3 archive: about 11.3 s of MPEG data at the bit rate.
int32_t Mp3BufferCapacity(int32_t bitRate);

// Empties the buffer and sizes it for a run: bitRate 0 for WAV files of
// 16-bit PCM at rate with `channels`, else MP3 at that bit rate.
void ResetDiskBuffer(DiskBuffer& buffer, int32_t bitRate, int32_t rate, int32_t channels);

// Appends `length` bytes from `source` (none: just a flush or a change of
// file) for the file `fileName` ("" keeps the current one). flush 1 writes
// out what is buffered first. After every write of a WAV file its header
// sizes are brought up to date. Returns 1 when accepted, 0 when the data was
// refused (too large, or a source with no length). Failures go to the
// diagnostics file, with ch (0-based) naming the channel.
int32_t WriteDiskBuffer(DiskBuffer& buffer, int32_t ch, const uint8_t* source, int32_t length,
                        const std::string& fileName, int32_t flush);

}  // namespace varn
