#pragma once
// A conversion stream between 16-bit PCM and MPEG audio, with the steps of
// the original platform's audio compression manager: open with a source and
// a destination format record, ask the output size for a source size,
// prepare a header, convert, unprepare, reset, close (destroy the stream).
// LAME encodes and mpg123 decodes behind it. Only what MPEG audio defines is
// accepted: 1 or 2 channels, the nine MPEG sample rates, and for encoding a
// layer III bit rate of the version that carries the rate. So a probe open
// tells truthfully whether a combination can be archived.

#include <cstdint>
#include <memory>

#include "archive/codec_format.h"

namespace varn {

// Results, numbered as the compression manager numbered them (they appear
// in the diagnostics file).
inline constexpr int32_t kStreamOk = 0;
inline constexpr int32_t kStreamInvalidHandle = 5;
inline constexpr int32_t kStreamNoMemory = 7;
inline constexpr int32_t kStreamInvalidFlag = 10;
inline constexpr int32_t kStreamInvalidParam = 11;
inline constexpr int32_t kStreamNotPossible = 512;
inline constexpr int32_t kStreamUnprepared = 514;

inline constexpr uint32_t kStreamOpenNonRealtime = 0x4;
inline constexpr uint32_t kConvertBlockAlign = 0x4;
inline constexpr uint32_t kConvertEnd = 0x20;  // no more input: give out what is held back

inline constexpr uint32_t kHeaderPrepared = 0x20000;

struct StreamHeader {
  uint32_t structSize = 84;
  uint32_t status = 0;
  const uint8_t* source = nullptr;
  uint32_t sourceLength = 0;
  uint32_t sourceLengthUsed = 0;
  uint8_t* destination = nullptr;
  uint32_t destinationLength = 0;
  uint32_t destinationLengthUsed = 0;
};

class CodecStream {
 public:
  CodecStream();
  virtual ~CodecStream() = default;
  CodecStream(const CodecStream&) = delete;
  CodecStream& operator=(const CodecStream&) = delete;

  // A non-zero number naming this stream in diagnostics.
  uint32_t Handle() const { return handle_; }

  // The destination bytes a conversion of `sourceBytes` may need at most.
  virtual int32_t Size(uint32_t sourceBytes, uint32_t& destinationBytes) = 0;
  int32_t Prepare(StreamHeader& header);
  // Converts the whole source (block-aligned) into the destination.
  int32_t Convert(StreamHeader& header, uint32_t flags);
  int32_t Unprepare(StreamHeader& header);
  // Drops whatever the stream holds back.
  virtual int32_t Reset() = 0;

 protected:
  virtual int32_t DoConvert(StreamHeader& header, uint32_t flags) = 0;

 private:
  uint32_t handle_;
};

// Opens an encoder (PCM to MPEG layer III) or decoder (MPEG audio to PCM)
// stream. On failure returns null and the reason in `result`.
std::unique_ptr<CodecStream> OpenCodecStream(const CodecFormat& source,
                                             const CodecFormat& destination, uint32_t openFlags,
                                             int32_t& result);

}  // namespace varn
