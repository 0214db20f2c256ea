#include "archive/mp3acm.h"

#include "archive/archive_texts.h"
#include "archive/codec_registration.h"
#include "log/event_log.h"
#include "util/choice_list.h"
#include "util/error_catch.h"
#include "util/numeric.h"
#include "util/user_notice.h"

namespace varn {

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

std::string Address(const void* p) { return std::to_string(reinterpret_cast<uintptr_t>(p)); }

void Diagnostic(const std::string& text) { WriteLogLine(text, true); }

}  // namespace

bool CanEncodeMp3(int32_t rate, int32_t channels, int32_t kbps) {
  return Trapped(false, [&] {
    int32_t result = 0;
    const auto stream =
        OpenCodecStream(MakePcmFormat(rate, 16, channels, 2 * channels),
                        MakeMp3Format(kbps, channels, rate, 0), kStreamOpenNonRealtime, result);
    if (stream) stream->Reset();
    return stream != nullptr;
  });
}

void C_mp3acm::Init() {
  TrappedStep([&] {
    EncAvailableFlag = CanEncodeMp3(44100, 2, 128) ? 1 : 0;
    if (!EncAvailableFlag) ShowNotice(kMp3RegistrationFailed, "varn", NoticeIcon::Error);
  });
}

void C_mp3acm::Init(CodecRegistry& registry) {
  TrappedStep([&] { EncAvailableFlag = CheckCodecRegistration(registry); });
}

bool C_mp3acm::EncInit(int32_t pBitrate, const WavInfo* PtrtW) {
  return Trapped(false, [&] {
    if (pBitrate != 0) EncBitRate = pBitrate;
    if (PtrtW) SourceInfo = *PtrtW;
    PcmFormat = MakePcmFormat(SourceInfo.SampleRate, SourceInfo.BitsPerSample, SourceInfo.Channels,
                              SourceInfo.BlockAlign);
    Mp3Format = MakeMp3Format(EncBitRate, SourceInfo.Channels, SourceInfo.SampleRate, 0);
    // A stream left open by an earlier run would otherwise be lost.
    Stream.reset();
    int32_t result = 0;
    Stream = OpenCodecStream(PcmFormat, Mp3Format, kStreamOpenNonRealtime, result);
    EncSize = 0;
    return Stream != nullptr;
  });
}

bool C_mp3acm::EncProc(const uint8_t* pPtrSrc, int32_t pSize, std::vector<uint8_t>& pOutData,
                       int32_t& pSrcLengthUsed, int32_t& pDstLengthUsed) {
  pSrcLengthUsed = 0;
  pDstLengthUsed = 0;
  return Trapped(false, [&] {
    if (pSize <= 0 || !pPtrSrc || !Stream) {
      Diagnostic("EncProc Fail pSize=" + Num(pSize) + " pPtrSrc=" + Address(pPtrSrc) +
                 " c_hacm=" + Num(StreamHandle()));
      return false;
    }
    if (EncSizeFixedFlag == 1) {
      if (EncSize == 0) {
        EncSize = pSize;
      } else if (pSize != EncSize) {
        Diagnostic("EncProc Fail c_EncSize=" + Num(EncSize) + " pSize=" + Num(pSize));
        return false;
      }
    }
    uint32_t size = 0;
    const int32_t r0 = Stream->Size(static_cast<uint32_t>(pSize), size);
    if (r0 != kStreamOk || size < 1) {
      Diagnostic("acmStreamSize Fail r(0)=" + Num(r0) + " pSize=" + Num(pSize) +
                 " tOutSize=" + Num(size));
      return false;
    }
    if (pOutData.size() < size) pOutData.resize(2 * static_cast<size_t>(size) + 1);
    StreamHeader header;
    header.source = pPtrSrc;
    header.sourceLength = static_cast<uint32_t>(pSize);
    header.destination = pOutData.data();
    header.destinationLength = size;
    bool ok = false;
    const int32_t r1 = Stream->Prepare(header);
    if (r1 != kStreamOk) {
      Diagnostic("acmStreamPrepareHeader Fail r(1)=" + Num(r1));
    } else {
      const int32_t r2 = Stream->Convert(header, kConvertBlockAlign);
      if (r2 != kStreamOk) {
        Diagnostic("acmStreamConvert Fail r(2)=" + Num(r2));
      } else {
        pSrcLengthUsed = static_cast<int32_t>(header.sourceLengthUsed);
        pDstLengthUsed = static_cast<int32_t>(header.destinationLengthUsed);
        ok = true;
      }
    }
    const int32_t r3 = Stream->Unprepare(header);
    if (r3 != kStreamOk) Diagnostic("acmStreamUnprepareHeader Fail r(3)=" + Num(r3));
    return ok;
  });
}

bool C_mp3acm::EncFlush(std::vector<uint8_t>& pOutData, int32_t& pDstLengthUsed) {
  pDstLengthUsed = 0;
  return Trapped(false, [&] {
    if (!Stream) return false;
    int32_t used = 0;
    const bool ok = RunConversion(nullptr, 0, pOutData, kConvertEnd, used, pDstLengthUsed);
    if (!ok) Diagnostic("EncFlush Fail c_hacm=" + Num(StreamHandle()));
    return ok;
  });
}

bool C_mp3acm::RunConversion(const uint8_t* source, int32_t size, std::vector<uint8_t>& out,
                             uint32_t flags, int32_t& sourceUsed, int32_t& produced) {
  sourceUsed = 0;
  produced = 0;
  uint32_t need = 0;
  if (!Stream || Stream->Size(static_cast<uint32_t>(size), need) != kStreamOk || need < 1)
    return false;
  if (out.size() < need) out.resize(need);
  StreamHeader header;
  header.source = source;
  header.sourceLength = static_cast<uint32_t>(size);
  header.destination = out.data();
  header.destinationLength = need;
  if (Stream->Prepare(header) != kStreamOk) return false;
  const bool ok = Stream->Convert(header, flags) == kStreamOk;
  Stream->Unprepare(header);
  if (!ok) return false;
  sourceUsed = static_cast<int32_t>(header.sourceLengthUsed);
  produced = static_cast<int32_t>(header.destinationLengthUsed);
  return true;
}

void C_mp3acm::LoadBitRateToCombo(ChoiceList& pCombo, int32_t pFreq, int32_t pMode,
                                  int32_t pDefault) {
  TrappedStep([&] {
    pCombo.Clear();
    int32_t channels = 0;
    if (pMode == 2)
      channels = 1;
    else if (pMode == 3)
      channels = 2;
    else if (pMode >= 0 && pMode <= 5)
      return;
    int remembered = -1;
    for (const int32_t kbps : kBitRateCandidates) {
      if (!CanEncodeMp3(pFreq, channels, kbps)) continue;
      pCombo.Add(std::to_string(kbps));
      if (kbps == pDefault) remembered = pCombo.Count() - 1;
    }
    if (remembered >= 0) pCombo.Select(remembered);
    if (pCombo.Selected() < 0 && pCombo.Count() > 0) pCombo.Select(0);
  });
}

void C_mp3acm::AcmClose() {
  TrappedStep([&] {
    if (Stream) Stream->Reset();
    Stream.reset();
  });
}

bool C_mp3acm::DecInit(const MpegInfo* Ptrmpginfo) {
  return Trapped(false, [&] {
    if (!Ptrmpginfo) return false;
    const MpegInfo& info = *Ptrmpginfo;
    const uint32_t flags = info.Rate % 1000 != 0 ? 1 : 0;
    DecMp3Format = MakeMp3Format(info.Kbps, info.ChannelCount, info.Rate, flags);
    DecPcmFormat = MakePcmFormat(info.Rate, 16, info.ChannelCount, 2 * info.ChannelCount);
    Stream.reset();
    int32_t result = 0;
    Stream = OpenCodecStream(DecMp3Format, DecPcmFormat, 0, result);
    return Stream != nullptr;
  });
}

bool C_mp3acm::DecProc(const uint8_t* pPtrSrc, int32_t pSize, std::vector<uint8_t>& pOutData,
                       int32_t& pDstLengthUsed) {
  pDstLengthUsed = 0;
  return Trapped(false, [&] {
    if (!Stream || pSize < 0 || (pSize > 0 && !pPtrSrc)) return false;
    uint32_t size = 0;
    if (Stream->Size(static_cast<uint32_t>(pSize), size) != kStreamOk || size < 1) return false;
    pOutData.resize(size);
    StreamHeader header;
    header.source = pPtrSrc;
    header.sourceLength = static_cast<uint32_t>(pSize);
    header.destination = pOutData.data();
    header.destinationLength = size;
    if (Stream->Prepare(header) != kStreamOk) return false;
    const bool ok = Stream->Convert(header, 0) == kStreamOk;
    Stream->Unprepare(header);
    if (ok) pDstLengthUsed = static_cast<int32_t>(header.destinationLengthUsed);
    return ok;
  });
}

bool C_mp3acm::ReportProgress(double fraction) {
  int32_t cancel = CanceledFlag;
  if (EncProg) EncProg(static_cast<float>(fraction), cancel);
  CanceledFlag = cancel;
  return CanceledFlag != 0;
}

}  // namespace varn
