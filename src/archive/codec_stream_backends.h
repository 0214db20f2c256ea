#pragma once
// The two stream implementations behind OpenCodecStream (internal).

#include <memory>

#include "archive/codec_stream.h"

namespace varn {

// PCM to MPEG layer III with LAME: constant bit rate, no bit reservoir (so
// a file cut between any two frames decodes from its first frame), no tags.
std::unique_ptr<CodecStream> OpenLameEncoder(const CodecFormat& pcm, const CodecFormat& mp3,
                                             int32_t& result);

// MPEG audio (layer I, II or III) to 16-bit PCM with mpg123.
std::unique_ptr<CodecStream> OpenMpg123Decoder(const CodecFormat& mp3, const CodecFormat& pcm,
                                               int32_t& result);

}  // namespace varn
