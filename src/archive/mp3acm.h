#pragma once
// C_mp3acm: converts between 16-bit PCM and MPEG layer III over a codec
// stream (archive/codec_stream.h). The archive keeps one per channel and
// feeds it one capture block at a time; the audio settings dialog uses one
// to list the bit rates that can really be used; the file conversions serve
// the encode and decode commands. No member throws: results say whether a
// call worked, and failures are written to the diagnostics file.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/codec_format.h"
#include "archive/codec_stream.h"
#include "archive/mpeg_info.h"
#include "archive/wav_file.h"

namespace varn {

class ChoiceList;
class CodecRegistry;

// The bit rates the probe tries, in this order (kbit/s).
inline constexpr int32_t kBitRateCandidates[] = {320, 256, 224, 192, 160, 128, 112, 96,
                                                 80,  64,  56,  48,  40,  32,  24};
// Frames per piece of a WAV-to-MP3 conversion.
inline constexpr int32_t kEncodePieceFrames = 442368;

class C_mp3acm {
 public:
  C_mp3acm() = default;
  C_mp3acm(const C_mp3acm&) = delete;
  C_mp3acm& operator=(const C_mp3acm&) = delete;

  // The cancel flag of the file conversions.
  int32_t Canceled() const { return CanceledFlag; }
  void Canceled(int32_t pValue) { CanceledFlag = pValue; }
  // 1: every EncProc after an EncInit must pass the size the first one passed.
  void EncSizeFixed(int32_t pValue) { EncSizeFixedFlag = pValue; }

  // Whether MP3 encoding is possible: here, whether a LAME stream opens.
  // When it does not, the operator is told and EncAvailable stays 0.
  void Init();
  // The same decided by the codec registration rules over a registry.
  void Init(CodecRegistry& registry);
  int32_t EncAvailable() const { return EncAvailableFlag; }

  // Opens an encoding stream. pBitrate 0 keeps the previous bit rate, a
  // null PtrtW the previous source description.
  bool EncInit(int32_t pBitrate, const WavInfo* PtrtW);
  // Encodes pSize bytes of PCM. pOutData is enlarged when the output may not
  // fit; the outputs give the source bytes used and the bytes produced.
  bool EncProc(const uint8_t* pPtrSrc, int32_t pSize, std::vector<uint8_t>& pOutData,
               int32_t& pSrcLengthUsed, int32_t& pDstLengthUsed);
  // The frames the encoder still holds back, at the end of a recording.
  // After it the stream takes no more input.
  bool EncFlush(std::vector<uint8_t>& pOutData, int32_t& pDstLengthUsed);
  bool EncFromWavfile(const std::string& pSourceFN, const std::string& pTargetFN, int32_t pBitrate);

  // Fills the list with the bit rates a stream opens with for 16-bit PCM at
  // pFreq with the channels of format code pMode (2 mono, 3 stereo), and
  // shows pDefault when it is among them, else the first entry.
  void LoadBitRateToCombo(ChoiceList& pCombo, int32_t pFreq, int32_t pMode, int32_t pDefault);

  // Resets and closes the stream; harmless without one.
  void AcmClose();

  bool DecInit(const MpegInfo* Ptrmpginfo);
  // Decodes pSize bytes of MPEG audio; pOutData is sized for the output.
  // With no source (pSize 0) it hands out what the decoder still holds.
  bool DecProc(const uint8_t* pPtrSrc, int32_t pSize, std::vector<uint8_t>& pOutData,
               int32_t& pDstLengthUsed);
  bool DecFrommp3file(const std::string& pSourceFN, const std::string& pTargetFN);

  // Progress of the file conversions (fraction done, 0..1); the handler may
  // set pCancel to non-zero to stop.
  std::function<void(float pRate, int32_t& pCancel)> EncProg;

  // The number naming the open stream in diagnostics; 0 without one.
  uint32_t StreamHandle() const { return Stream ? Stream->Handle() : 0; }

  std::string TargetFile;
  CodecFormat Mp3Format;
  CodecFormat PcmFormat;
  CodecFormat DecPcmFormat;
  CodecFormat DecMp3Format;
  std::unique_ptr<CodecStream> Stream;
  int32_t EncAvailableFlag = 0;
  int32_t EncSizeFixedFlag = 0;
  int32_t EncSize = 0;
  int32_t EncBitRate = 0;
  WavInfo SourceInfo;
  int32_t CanceledFlag = 0;

 private:
  // Raises EncProg with the fraction done; true when the run is to stop.
  bool ReportProgress(double fraction);
  // Converts through the open stream: size query, prepare, convert, unprepare.
  bool RunConversion(const uint8_t* source, int32_t size, std::vector<uint8_t>& out, uint32_t flags,
                     int32_t& sourceUsed, int32_t& produced);
};

// True when a PCM-to-MP3 stream opens for that rate, channel count and bit rate.
bool CanEncodeMp3(int32_t rate, int32_t channels, int32_t kbps);

}  // namespace varn
