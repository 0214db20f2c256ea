// Recordings read as 16-bit PCM: WAV of every integer size, archive files
// cut short, and MP3 files through the program's decoder.

#include "archive/pcm_file.h"

#include <gtest/gtest.h>

#include "archive/mp3acm.h"
#include "archive/wav_file.h"
#include "archive_test_support.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

TEST(PcmFile, ReadsEightSixteenAndTwentyFourBitWav) {
  test::TempDir dir;
  test::WriteBytes(dir / "16.wav", test::WavBytes(8000, 16, 2, {1000, -1000, -32768, 32767}));
  test::WriteBytes(dir / "8.wav", test::WavBytes(8000, 8, 1, {128, 0, 255}));
  test::WriteBytes(dir / "24.wav", test::WavBytes(8000, 24, 1, {0x123456, -0x123456}));
  std::string error;
  auto r16 = OpenPcmFile(dir / "16.wav", &error);
  ASSERT_NE(r16, nullptr) << error;
  EXPECT_EQ(r16->Channels(), 2);
  EXPECT_EQ(r16->SampleRate(), 8000);
  std::vector<int16_t> out(8, 99);
  EXPECT_EQ(r16->Read(out.data(), 4), 2);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 4),
            (std::vector<int16_t>{1000, -1000, -32768, 32767}));
  EXPECT_EQ(r16->Read(out.data(), 4), 0);
  EXPECT_TRUE(r16->Rewind());
  EXPECT_EQ(r16->Read(out.data(), 1), 1);
  EXPECT_EQ(out[0], 1000);

  auto r8 = OpenPcmFile(dir / "8.wav", &error);
  ASSERT_NE(r8, nullptr);
  EXPECT_EQ(r8->Read(out.data(), 3), 3);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 3),
            (std::vector<int16_t>{0, -32768, 32512}));
  auto r24 = OpenPcmFile(dir / "24.wav", &error);
  ASSERT_NE(r24, nullptr);
  EXPECT_EQ(r24->Read(out.data(), 2), 2);
  EXPECT_EQ(out[0], 0x1234);
  EXPECT_EQ(out[1], static_cast<int16_t>((-0x123456) >> 8));
}

TEST(PcmFile, ACutOffArchiveFilePlaysToItsEndAndBadFilesAreRefused) {
  test::TempDir dir;
  // A header still saying 0 bytes, with data behind it (the program stopped
  // before patching the sizes).
  std::vector<uint8_t> cut = BuildWavHeader(8000, 16, 1, 0);
  for (const uint8_t b : {1, 0, 2, 0, 3}) cut.push_back(b);  // 2.5 frames
  test::WriteBytes(dir / "cut.wav", cut);
  std::string error;
  auto r = OpenPcmFile(dir / "cut.wav", &error);
  ASSERT_NE(r, nullptr) << error;
  std::vector<int16_t> out(4);
  EXPECT_EQ(r->Read(out.data(), 4), 2);
  EXPECT_EQ(out[1], 2);

  test::WriteText(dir / "junk.wav", "RIFF....WAVEjunk");
  EXPECT_EQ(OpenPcmFile(dir / "junk.wav", &error), nullptr);
  EXPECT_EQ(error, "cannot be read as a WAV file");
  test::WriteText(dir / "song.flac", "fLaC and more");
  EXPECT_EQ(OpenPcmFile(dir / "song.flac", &error), nullptr);
  EXPECT_EQ(error, "cannot be read as a WAV file");
  EXPECT_FALSE(IsPcmFileName("song.mp3.txt"));
  EXPECT_TRUE(IsPcmFileName("Take.MP3"));
}

TEST(PcmFile, ReadsWhatTheFileHoldsWhenTheDataSizeClaimsMore) {
  test::TempDir dir;
  std::vector<uint8_t> bytes = BuildWavHeader(8000, 16, 1, 1000);
  bytes.insert(bytes.end(), {1, 0, 2, 0});
  test::WriteBytes(dir / "c.wav", bytes);
  std::string error;
  auto r = OpenPcmFile(dir / "c.wav", &error);
  ASSERT_NE(r, nullptr) << error;
  int16_t buf[10] = {};
  EXPECT_EQ(r->Read(buf, 10), 2);
  EXPECT_EQ(buf[1], 2);
  EXPECT_EQ(OpenPcmFile(dir / "none.wav", &error), nullptr);
  EXPECT_EQ(error, "does not exist or is not a file");
  EXPECT_EQ(OpenPcmFile(dir.Path(), &error), nullptr);
  test::WriteBytes(dir / "id3.mp3", {'I', 'D', '3', 4, 0});
  EXPECT_EQ(OpenPcmFile(dir / "id3.mp3", &error), nullptr);
  EXPECT_EQ(error, "cannot be read as MPEG audio");
}

TEST(PcmFile, DecodesMp3FilesAndLoopsBackToTheirStart) {
  test::TempDir dir;
  const auto tone = test::ToneFrames(1000, 44100, 44100, 2);
  test::WriteWav(dir / "tone.wav", 44100, 2, tone);
  C_mp3acm codec;
  ASSERT_TRUE(codec.EncFromWavfile(dir / "tone.wav", dir / "tone.mp3", 128));
  std::string error;
  auto r = OpenPcmFile(dir / "tone.mp3", &error);
  ASSERT_NE(r, nullptr) << error;
  EXPECT_EQ(r->SampleRate(), 44100);
  EXPECT_EQ(r->Channels(), 2);
  std::vector<int16_t> pcm(2 * 4096);
  int64_t total = 0;
  int16_t peak = 0;
  for (int64_t n; (n = r->Read(pcm.data(), 4096)) > 0;) {
    total += n;
    for (int64_t i = 0; i < 2 * n; ++i)
      peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(pcm[i])));
  }
  // Whole frames of 1152 samples, at least the second that went in, and the
  // tone (about -12 dBFS, 8000 peak) rather than silence or noise.
  EXPECT_GE(total, 44100);
  EXPECT_EQ(total % 1152, 0);
  EXPECT_GT(peak, 6000);
  EXPECT_LT(peak, 10000);
  ASSERT_TRUE(r->Rewind());
  EXPECT_EQ(r->Read(pcm.data(), 4096), 4096);
}

TEST(PcmFile, AnMp3FileCutInsideItsFirstFrameReadsAsEmpty) {
  // Found by fuzz_pcmfile: with no sample decoded yet, the decoder copied
  // from a null buffer (undefined even for 0 bytes; UBSan reports it).
  test::TempDir dir;
  test::WriteWav(dir / "tone.wav", 44100, 2, test::ToneFrames(1000, 44100, 4410, 2));
  C_mp3acm codec;
  ASSERT_TRUE(codec.EncFromWavfile(dir / "tone.wav", dir / "tone.mp3", 160));
  std::vector<uint8_t> bytes = test::ReadBytes(dir / "tone.mp3");
  ASSERT_GT(bytes.size(), 200u);
  bytes.resize(200);  // a 160 kbit/s frame at 44.1 kHz takes 522 bytes
  test::WriteBytes(dir / "cut.mp3", bytes);
  std::string error;
  auto r = OpenPcmFile(dir / "cut.mp3", &error);
  ASSERT_NE(r, nullptr) << error;
  std::vector<int16_t> pcm(2 * 1152);
  EXPECT_EQ(r->Read(pcm.data(), 1152), 0);
  EXPECT_EQ(r->Read(pcm.data(), 1152), 0);
}

}  // namespace
}  // namespace varn
