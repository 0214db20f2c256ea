// Real MP3 files made by the lame command-line tool: the file information
// must agree with what mpg123 reads from the frames, and the program's
// decoder must give what mpg123 gives.

#include <gtest/gtest.h>

#include "archive/mp3_file_reader.h"
#include "archive/mp3acm.h"
#include "archive/mpeg_info.h"
#include "archive_test_support.h"

namespace varn {
namespace {

struct LameCase {
  const char* name;
  int rate;
  int channels;
  const char* options;
  bool id3v2;   // an ID3v2 tag to skip at the start
  bool endTag;  // an ID3v1 tag in the last 128 bytes
};

const LameCase kCases[] = {
    {"cbr128", 44100, 2, "-b 128", false, false},
    {"vbr", 44100, 2, "-V 2", false, false},
    {"id3v2", 44100, 2, "-b 160 --add-id3v2 --pad-id3v2-size 2000 --tt Title --ta Artist", true,
     true},
    {"id3v1", 44100, 2, "-b 128 --id3v1-only --tt Title", false, true},
    {"vbr22", 22050, 2, "-V 4", false, false},
    {"mono48", 48000, 1, "-b 64 -m m", false, false},
    {"mono8", 8000, 1, "-b 24", false, false},
};

class LameFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new test::TempDir();
    if (!test::Shell("command -v lame") || !test::Shell("command -v mpg123")) return;
    for (const LameCase& c : kCases) {
      const std::string wav = *dir / (std::string(c.name) + ".wav");
      test::WriteWav(wav, c.rate, c.channels,
                     test::ToneFrames(440, c.rate, c.rate * 3, c.channels));
      if (!test::Shell("lame --quiet " + std::string(c.options) + " '" + wav + "' '" + Mp3(c) +
                       "'"))
        return;
    }
    ready = true;
  }
  static void TearDownTestSuite() { delete dir; }
  void SetUp() override {
    if (!ready) GTEST_SKIP() << "the lame and mpg123 tools are needed";
  }
  static std::string Mp3(const LameCase& c) { return *dir / (std::string(c.name) + ".mp3"); }

  static test::TempDir* dir;
  static bool ready;
};
test::TempDir* LameFiles::dir = nullptr;
bool LameFiles::ready = false;

TEST_F(LameFiles, InformationAgreesWithTheFrames) {
  for (const LameCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = Mp3(c);
    MpegInfo info;
    ASSERT_EQ(ReadMpegInfo(path, info), 1);
    test::Mpg123View view;
    ASSERT_TRUE(test::ViewWithMpg123(path, view));
    const std::vector<uint8_t> bytes = test::ReadBytes(path);

    EXPECT_EQ(info.Rate, view.rate);
    EXPECT_EQ(info.Rate, c.rate);
    EXPECT_EQ(info.Layer, 3);
    EXPECT_EQ(view.layer, "III");
    EXPECT_EQ(info.LowRate, view.version == "1.0" ? 0 : 1);
    EXPECT_EQ(info.ChannelCount, c.channels);
    EXPECT_EQ(info.ChannelMode, view.mode == "mono" ? 3 : view.mode == "j-s" ? 1 : 0);

    // The first frame: right after an ID3v2 tag (10 header bytes and a
    // syncsafe size), else at the start.
    int tagBytes = 0;
    if (c.id3v2) {
      ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
      tagBytes = 10 + (bytes[6] << 21 | bytes[7] << 14 | bytes[8] << 7 | bytes[9]);
      EXPECT_GT(tagBytes, 2000);
    }
    EXPECT_EQ(info.FirstFrame, tagBytes + 1);
    ASSERT_LT(static_cast<size_t>(info.FirstFrame + 2), bytes.size());
    EXPECT_EQ(bytes[static_cast<size_t>(info.FirstFrame - 1)], 0xFF);
    EXPECT_TRUE(std::equal(info.HeaderBytes.begin(), info.HeaderBytes.end(),
                           bytes.begin() + info.FirstFrame));
    EXPECT_EQ(info.AudioEnd, info.FileLength - (c.endTag ? 128 : 0));

    const int samplesPerFrame = info.LowRate ? 576 : 1152;
    if (view.bitrate == "vbr") {
      EXPECT_EQ(info.IsVbr, 1);
      EXPECT_EQ(info.VbrFrames, view.frames);
    } else {
      EXPECT_EQ(info.IsVbr, 0);
      EXPECT_EQ("cbr" + std::to_string(info.Kbps), view.bitrate);
    }
    // The playing time is the frames' time, within a frame or two (a CBR
    // length counts the tag frame lame puts first).
    const double framesMs = view.frames * samplesPerFrame * 1000.0 / c.rate;
    EXPECT_NEAR(info.LengthMs, framesMs, 2.0 * samplesPerFrame * 1000.0 / c.rate);
  }
}

TEST_F(LameFiles, DecodeGivesWhatMpg123Gives) {
  for (const LameCase& c : kCases) {
    SCOPED_TRACE(c.name);
    test::Decoded reference;
    ASSERT_TRUE(test::DecodeWithMpg123(Mp3(c), dir->Path(), reference));
    const std::string wav = *dir / "ours.wav";
    C_mp3acm codec;
    ASSERT_TRUE(codec.DecFrommp3file(Mp3(c), wav));
    const WavInfo w = ReadWavInfo(wav);
    ASSERT_EQ(w.Valid, 1);
    EXPECT_EQ(w.SampleRate, c.rate);
    EXPECT_EQ(w.Channels, c.channels);
    EXPECT_EQ(w.FileSize, w.DataOffset + w.DataSize);  // sizes patched
    EXPECT_EQ(test::ReadPcmWav(wav), reference.samples);
    EXPECT_EQ(codec.Stream, nullptr);  // closed after the conversion
  }
}

TEST_F(LameFiles, PullReaderGivesTheWholeFileInAnyStepSize) {
  for (const LameCase& c : kCases) {
    SCOPED_TRACE(c.name);
    test::Decoded reference;
    ASSERT_TRUE(test::DecodeWithMpg123(Mp3(c), dir->Path(), reference));
    Mp3FileReader reader;
    ASSERT_TRUE(reader.Open(Mp3(c)));
    EXPECT_EQ(reader.Rate(), c.rate);
    EXPECT_EQ(reader.Channels(), c.channels);
    std::vector<int16_t> all;
    std::vector<int16_t> step(static_cast<size_t>(1000 * c.channels));
    for (int64_t n = 0; (n = reader.Read(step.data(), 777)) > 0;)
      all.insert(all.end(), step.begin(), step.begin() + n * c.channels);
    EXPECT_EQ(reader.Read(step.data(), 10), 0);  // stays at the end
    EXPECT_EQ(all, reference.samples);
    // Again from the start, as a looping player does.
    ASSERT_TRUE(reader.Rewind());
    ASSERT_EQ(reader.Read(step.data(), 1000), 1000);
    EXPECT_TRUE(std::equal(step.begin(), step.end(), reference.samples.begin()));
  }
}

TEST_F(LameFiles, PullReaderRefusesWhatIsNotMpegAudio) {
  test::WriteText(*dir / "text.mp3", std::string(4000, 'x'));
  Mp3FileReader reader;
  EXPECT_FALSE(reader.Open(*dir / "text.mp3"));
  EXPECT_FALSE(reader.Open(*dir / "missing.mp3"));
  int16_t buf[4];
  EXPECT_EQ(reader.Read(buf, 2), -1);
}

}  // namespace
}  // namespace varn
