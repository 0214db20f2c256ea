#include "archive/codec_stream.h"

#include <atomic>

#include "archive/codec_stream_backends.h"
#include "util/error_catch.h"

namespace varn {

namespace {
std::atomic<uint32_t> gNextHandle{1};
}  // namespace

CodecStream::CodecStream() : handle_(gNextHandle.fetch_add(1)) {
  if (handle_ == 0) handle_ = gNextHandle.fetch_add(1);
}

int32_t CodecStream::Prepare(StreamHeader& header) {
  if (header.structSize < 84 || (!header.source && header.sourceLength > 0) || !header.destination)
    return kStreamInvalidParam;
  if (header.status & kHeaderPrepared) return kStreamInvalidParam;
  header.status |= kHeaderPrepared;
  return kStreamOk;
}

int32_t CodecStream::Convert(StreamHeader& header, uint32_t flags) {
  if (!(header.status & kHeaderPrepared)) return kStreamUnprepared;
  header.sourceLengthUsed = 0;
  header.destinationLengthUsed = 0;
  return Trapped<int32_t>(kStreamNotPossible, [&] { return DoConvert(header, flags); });
}

int32_t CodecStream::Unprepare(StreamHeader& header) {
  if (!(header.status & kHeaderPrepared)) return kStreamUnprepared;
  header.status &= ~kHeaderPrepared;
  return kStreamOk;
}

std::unique_ptr<CodecStream> OpenCodecStream(const CodecFormat& source,
                                             const CodecFormat& destination, uint32_t /*openFlags*/,
                                             int32_t& result) {
  result = kStreamNotPossible;
  return Trapped<std::unique_ptr<CodecStream>>(nullptr, [&]() -> std::unique_ptr<CodecStream> {
    if (source.formatTag == kFormatTagPcm && destination.formatTag == kFormatTagMpegLayer3)
      return OpenLameEncoder(source, destination, result);
    if (source.formatTag == kFormatTagMpegLayer3 && destination.formatTag == kFormatTagPcm)
      return OpenMpg123Decoder(source, destination, result);
    return nullptr;
  });
}

}  // namespace varn
