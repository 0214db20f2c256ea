#include "archive/mp3acm.h"

#include <gtest/gtest.h>

#include "archive_test_support.h"
#include "util/choice_list.h"

namespace varn {
namespace {

WavInfo Source(int rate, int channels, int bits = 16) {
  WavInfo w;
  w.Valid = 1;
  w.SampleRate = rate;
  w.Channels = static_cast<int16_t>(channels);
  w.BitsPerSample = static_cast<int16_t>(bits);
  w.BlockAlign = bits * channels / 8;
  w.FormatCode = channels == 1 ? 2 : 3;
  w.FormatTag = 1;
  return w;
}

class Mp3AcmTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  ManualClock clock{DateTime{2026, 12, 6, 9, 13, 20}, 9 * 3600};
  test::LogCapture log{clock, dir / "log"};
  C_mp3acm codec;
};

TEST_F(Mp3AcmTest, EncInitBuildsTheFormatRecords) {
  const WavInfo w = Source(44100, 2);
  ASSERT_TRUE(codec.EncInit(128, &w));
  EXPECT_EQ(codec.Mp3Format.channels, 2);
  EXPECT_EQ(codec.Mp3Format.samplesPerSec, 44100u);
  EXPECT_EQ(codec.Mp3Format.avgBytesPerSec, 16000u);
  EXPECT_EQ(codec.Mp3Format.blockSize, 419);  // round(417.96 + 1)
  EXPECT_EQ(codec.PcmFormat.blockAlign, 4);
  EXPECT_EQ(codec.PcmFormat.avgBytesPerSec, 176400u);
  EXPECT_NE(codec.StreamHandle(), 0u);

  // 0 and null keep the previous bit rate and source.
  const WavInfo w48 = Source(48000, 2);
  ASSERT_TRUE(codec.EncInit(0, &w48));
  EXPECT_EQ(codec.Mp3Format.blockSize, 384);
  EXPECT_EQ(codec.EncBitRate, 128);
  ASSERT_TRUE(codec.EncInit(320, nullptr));
  EXPECT_EQ(codec.Mp3Format.samplesPerSec, 48000u);
  EXPECT_EQ(codec.Mp3Format.avgBytesPerSec, 40000u);
}

TEST_F(Mp3AcmTest, EncInitRefusesWhatMpegAudioCannotCarry) {
  struct Case {
    int rate, channels, bits, kbps;
    const char* why;
  } refused[] = {{96000, 2, 16, 160, "rate above MPEG audio"},
                 {44100, 2, 16, 24, "24 kbit/s is not an MPEG-1 rate"},
                 {22050, 2, 16, 192, "192 kbit/s is not an MPEG-2 rate"},
                 {8000, 1, 16, 320, "320 kbit/s is not an MPEG-2.5 rate"},
                 {11025, 1, 16, 128, "the encoder carries at most 64 kbit/s at MPEG-2.5 rates"},
                 {44100, 2, 16, 150, "not a table rate"},
                 {44100, 3, 16, 160, "three channels"},
                 {44100, 2, 8, 160, "8-bit PCM"},
                 {44000, 2, 16, 160, "not an MPEG sample rate"}};
  for (const Case& c : refused) {
    const WavInfo w = Source(c.rate, c.channels, c.bits);
    EXPECT_FALSE(codec.EncInit(c.kbps, &w)) << c.why;
    EXPECT_EQ(codec.Stream, nullptr) << c.why;
  }
  for (const auto& [rate, kbps] : {std::pair{8000, 24},
                                   {11025, 64},
                                   {12000, 64},
                                   {16000, 8 * 18},
                                   {22050, 160},
                                   {24000, 32},
                                   {32000, 320},
                                   {44100, 32},
                                   {48000, 256}}) {
    const WavInfo w = Source(rate, 1);
    EXPECT_TRUE(codec.EncInit(kbps, &w)) << rate << " Hz " << kbps << " kbit/s";
  }
}

TEST_F(Mp3AcmTest, AFixedSizeRefusesABlockOfAnotherSize) {
  const WavInfo w = Source(44100, 2);
  ASSERT_TRUE(codec.EncInit(160, &w));
  codec.EncSizeFixed(1);
  const std::vector<int16_t> pcm = test::ToneFrames(1000, 44100, 13824, 2);
  const auto* src = reinterpret_cast<const uint8_t*>(pcm.data());
  std::vector<uint8_t> out(10);  // too small: EncProc enlarges it
  int32_t used = -1;
  int32_t produced = -1;
  ASSERT_TRUE(codec.EncProc(src, 55296, out, used, produced));
  EXPECT_EQ(used, 55296);
  EXPECT_GT(produced, 0);
  EXPECT_GE(out.size(), static_cast<size_t>(produced));
  EXPECT_FALSE(codec.EncProc(src, 50000, out, used, produced));
  EXPECT_EQ(used, 0);
  EXPECT_EQ(produced, 0);
  EXPECT_EQ(log.CountDiagnostics("EncProc Fail c_EncSize=55296 pSize=50000"), 1);
  // A new EncInit lets the next call fix a new size.
  ASSERT_TRUE(codec.EncInit(0, nullptr));
  EXPECT_TRUE(codec.EncProc(src, 50000, out, used, produced));
  EXPECT_FALSE(codec.EncProc(src, 55296, out, used, produced));
}

TEST_F(Mp3AcmTest, EncProcWithoutAStreamOrDataFailsAndSaysWhy) {
  std::vector<uint8_t> out;
  int32_t used = 0;
  int32_t produced = 0;
  const uint8_t byte = 0;
  EXPECT_FALSE(codec.EncProc(&byte, 4, out, used, produced));
  EXPECT_EQ(log.CountDiagnostics("EncProc Fail pSize=4 pPtrSrc="), 1);
  EXPECT_EQ(log.CountDiagnostics(" c_hacm=0"), 1);
  const WavInfo w = Source(44100, 1);
  ASSERT_TRUE(codec.EncInit(128, &w));
  EXPECT_FALSE(codec.EncProc(&byte, 0, out, used, produced));
  EXPECT_FALSE(codec.EncProc(nullptr, 4, out, used, produced));
  EXPECT_EQ(log.CountDiagnostics("EncProc Fail pSize="), 3);
  // Closing twice, or without a stream, is harmless.
  codec.AcmClose();
  codec.AcmClose();
  EXPECT_EQ(codec.Stream, nullptr);
}

TEST_F(Mp3AcmTest, BlockEncodingPlusFlushKeepsEveryFrame) {
  // Five 13824-frame blocks and the final flush make a stream that an
  // independent decoder reads at the right rate, channels and length, and
  // whose every frame stands alone (no bit reservoir).
  const WavInfo w = Source(48000, 2);
  ASSERT_TRUE(codec.EncInit(192, &w));
  codec.EncSizeFixed(1);
  std::vector<uint8_t> file;
  std::vector<uint8_t> out;
  int32_t used = 0;
  int32_t produced = 0;
  for (int b = 0; b < 5; ++b) {
    const std::vector<int16_t> pcm = test::ToneFrames(700, 48000, 13824, 2);
    ASSERT_TRUE(
        codec.EncProc(reinterpret_cast<const uint8_t*>(pcm.data()), 55296, out, used, produced));
    file.insert(file.end(), out.begin(), out.begin() + produced);
  }
  ASSERT_TRUE(codec.EncFlush(out, produced));
  EXPECT_GT(produced, 0);
  file.insert(file.end(), out.begin(), out.begin() + produced);
  // Nothing more can be encoded after the flush.
  std::vector<int16_t> more(200, 0);
  EXPECT_FALSE(
      codec.EncProc(reinterpret_cast<const uint8_t*>(more.data()), 400, out, used, produced));

  test::WriteBytes(dir / "blocks.mp3", file);
  test::Decoded d;
  ASSERT_TRUE(test::DecodeWithMpg123(dir / "blocks.mp3", dir.Path(), d));
  EXPECT_EQ(d.rate, 48000);
  EXPECT_EQ(d.channels, 2);
  // Encoder delay and padding add under two frames; none of the input is missing.
  EXPECT_GE(d.frames, 5 * 13824);
  EXPECT_LT(d.frames, 5 * 13824 + 2 * 1152 + 576);
  const std::vector<int> begins = test::MainDataBegins(file);
  ASSERT_FALSE(begins.empty());
  EXPECT_EQ(std::count(begins.begin(), begins.end(), 0), static_cast<long>(begins.size()));
}

TEST_F(Mp3AcmTest, BlocksThatAreNotWholeFramesAreCountedShort) {
  const WavInfo w = Source(44100, 2);
  ASSERT_TRUE(codec.EncInit(128, &w));
  std::vector<uint8_t> pcm(4003, 0);
  std::vector<uint8_t> out;
  int32_t used = 0;
  int32_t produced = 0;
  ASSERT_TRUE(codec.EncProc(pcm.data(), 4003, out, used, produced));
  EXPECT_EQ(used, 4000);
}

TEST_F(Mp3AcmTest, BitRateListHoldsWhatTheStreamAccepts) {
  VectorChoiceList list;
  list.Add("stale");
  codec.LoadBitRateToCombo(list, 44100, 0, 160);
  EXPECT_EQ(list.Count(), 0);  // 8-bit mono: no MP3

  codec.LoadBitRateToCombo(list, 44100, 3, 160);
  EXPECT_EQ(list.Entries(),
            (std::vector<std::string>{"320", "256", "224", "192", "160", "128", "112", "96", "80",
                                      "64", "56", "48", "40", "32"}));
  EXPECT_EQ(list.Text(list.Selected()), "160");

  codec.LoadBitRateToCombo(list, 22050, 2, 192);
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"160", "128", "112", "96", "80", "64", "56",
                                                      "48", "40", "32", "24"}));
  EXPECT_EQ(list.Selected(), 0);  // 192 not offered: the first entry

  codec.LoadBitRateToCombo(list, 96000, 3, 160);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Selected(), -1);
  codec.LoadBitRateToCombo(list, 44100, 9, 160);  // unknown code: no channels
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(codec.Stream, nullptr);  // probes leave no stream behind
}

TEST_F(Mp3AcmTest, InitFindsTheEncoder) {
  codec.Init();
  EXPECT_EQ(codec.EncAvailable(), 1);
}

class FileConversionTest : public Mp3AcmTest {
 protected:
  std::vector<float> progress;
  void WatchProgress(int cancelAtCall = -1) {
    codec.EncProg = [this, cancelAtCall](float rate, int32_t& cancel) {
      progress.push_back(rate);
      if (static_cast<int>(progress.size()) == cancelAtCall) cancel = 1;
    };
  }
};

TEST_F(FileConversionTest, EncodesAWavFileInPiecesWithProgress) {
  // 500000 frames: two pieces of at most 442368.
  test::WriteWav(dir / "in.wav", 8000, 1, test::ToneFrames(300, 8000, 500000, 1));
  WatchProgress();
  ASSERT_TRUE(codec.EncFromWavfile(dir / "in.wav", dir / "out.mp3", 32));
  EXPECT_EQ(progress, (std::vector<float>{0.0f, 442368.0f / 500000.0f}));
  EXPECT_EQ(codec.Stream, nullptr);
  test::Decoded d;
  ASSERT_TRUE(test::DecodeWithMpg123(dir / "out.mp3", dir.Path(), d));
  EXPECT_EQ(d.rate, 8000);
  EXPECT_EQ(d.channels, 1);
  EXPECT_GE(d.frames, 500000);
  EXPECT_LT(d.frames, 500000 + 2 * 576 + 1152);
  MpegInfo info;
  ASSERT_EQ(ReadMpegInfo(dir / "out.mp3", info), 1);
  EXPECT_EQ(info.Kbps, 32);
  EXPECT_EQ(info.Rate, 8000);
}

TEST_F(FileConversionTest, ACanceledEncodeLeavesNoTarget) {
  test::WriteWav(dir / "in.wav", 8000, 1, test::ToneFrames(300, 8000, 500000, 1));
  test::WriteText(dir / "out.mp3", "old");
  WatchProgress(2);
  EXPECT_FALSE(codec.EncFromWavfile(dir / "in.wav", dir / "out.mp3", 32));
  EXPECT_EQ(codec.Canceled(), 1);
  EXPECT_FALSE(test::PathExists(dir / "out.mp3"));
  EXPECT_EQ(log.CountEvents("Canceled#" + dir / "out.mp3"), 1);
  // The next run starts uncanceled.
  progress.clear();
  WatchProgress();
  EXPECT_TRUE(codec.EncFromWavfile(dir / "in.wav", dir / "out.mp3", 32));
  EXPECT_EQ(codec.Canceled(), 0);
}

TEST_F(FileConversionTest, EncodeFailsOnWhatItCannotRead) {
  test::WriteText(dir / "bad.wav", "not a wave file at all, not even close to one");
  EXPECT_FALSE(codec.EncFromWavfile(dir / "bad.wav", dir / "out.mp3", 128));
  EXPECT_FALSE(test::PathExists(dir / "out.mp3"));
  test::WriteWav(dir / "hi.wav", 96000, 2, test::ToneFrames(300, 96000, 1000, 2));
  EXPECT_FALSE(codec.EncFromWavfile(dir / "hi.wav", dir / "out.mp3", 128));
  EXPECT_FALSE(test::PathExists(dir / "out.mp3"));
  // Never onto itself.
  test::WriteWav(dir / "same.wav", 44100, 2, test::ToneFrames(300, 44100, 1000, 2));
  EXPECT_FALSE(codec.EncFromWavfile(dir / "same.wav", dir / "same.wav", 128));
  EXPECT_EQ(ReadWavInfo(dir / "same.wav").FrameCount, 1000);
}

TEST_F(FileConversionTest, AWavFileCutShortIsEncodedAsFarAsItGoes) {
  test::WriteWav(dir / "cut.wav", 44100, 2, test::ToneFrames(300, 44100, 44100, 2));
  std::vector<uint8_t> bytes = test::ReadBytes(dir / "cut.wav");
  bytes.resize(44 + 4 * 20000);  // the header still says 44100 frames
  test::WriteBytes(dir / "cut.wav", bytes);
  ASSERT_TRUE(codec.EncFromWavfile(dir / "cut.wav", dir / "cut.mp3", 128));
  test::Decoded d;
  ASSERT_TRUE(test::DecodeWithMpg123(dir / "cut.mp3", dir.Path(), d));
  EXPECT_GE(d.frames, 20000);
  EXPECT_LT(d.frames, 20000 + 3 * 1152);
}

TEST_F(FileConversionTest, DecodeRoundTripAndCancel) {
  const std::vector<int16_t> pcm = test::ToneFrames(440, 44100, 441000, 2);
  test::WriteWav(dir / "in.wav", 44100, 2, pcm);
  ASSERT_TRUE(codec.EncFromWavfile(dir / "in.wav", dir / "mid.mp3", 160));
  WatchProgress();
  ASSERT_TRUE(codec.DecFrommp3file(dir / "mid.mp3", dir / "back.wav"));
  ASSERT_GT(progress.size(), 3u);  // pieces of about 64 frames each
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_LT(progress.back(), 1.0f);
  test::Decoded reference;
  ASSERT_TRUE(test::DecodeWithMpg123(dir / "mid.mp3", dir.Path(), reference));
  EXPECT_EQ(test::ReadPcmWav(dir / "back.wav"), reference.samples);

  progress.clear();
  WatchProgress(3);
  EXPECT_FALSE(codec.DecFrommp3file(dir / "mid.mp3", dir / "back.wav"));
  EXPECT_FALSE(test::PathExists(dir / "back.wav"));
  EXPECT_FALSE(codec.DecFrommp3file(dir / "in.wav.missing", dir / "back.wav"));
  EXPECT_FALSE(test::PathExists(dir / "back.wav"));
}

}  // namespace
}  // namespace varn
