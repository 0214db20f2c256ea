#include "archive/mpeg_info.h"

#include <gtest/gtest.h>

#include <cstring>

#include "archive_test_support.h"

namespace varn {
namespace {

using Bytes = std::vector<uint8_t>;

// MPEG-1 layer III, 128 kbit/s, 44100 Hz, joint stereo, original: 417 bytes.
constexpr uint8_t kCbr128[4] = {0xFF, 0xFB, 0x90, 0x64};
constexpr int kCbr128Bytes = 417;

void AppendFrames(Bytes& b, const uint8_t* header, int frameBytes, int count) {
  for (int i = 0; i < count; ++i) {
    b.insert(b.end(), header, header + 4);
    b.insert(b.end(), static_cast<size_t>(frameBytes - 4), 0x11);
  }
}

Bytes EndTag() {
  Bytes t{'T', 'A', 'G'};
  t.resize(128, ' ');
  return t;
}

class MpegInfoTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& b) {
    test::WriteBytes(dir / name, b);
    return dir / name;
  }
  test::TempDir dir;
  MpegInfo info;
};

TEST_F(MpegInfoTest, DescribesACbrFileWithAnEndTag) {
  Bytes b;
  AppendFrames(b, kCbr128, kCbr128Bytes, 40);
  const Bytes tag = EndTag();
  b.insert(b.end(), tag.begin(), tag.end());
  const std::string path = Write("a.mp3", b);
  ASSERT_EQ(ReadMpegInfo(path, info), 1);
  EXPECT_EQ(info.FirstFrame, 1);
  EXPECT_EQ(info.FileLength, static_cast<int>(b.size()));
  EXPECT_EQ(info.AudioLength, static_cast<int>(b.size()) - 128);
  EXPECT_EQ(info.AudioEnd, 40 * kCbr128Bytes);
  EXPECT_EQ(info.Layer, 3);
  EXPECT_EQ(info.Rate, 44100);
  EXPECT_EQ(info.Kbps, 128);
  EXPECT_EQ(info.ChannelMode, 1);
  EXPECT_EQ(info.ChannelCount, 2);
  EXPECT_EQ(info.LowRate, 0);
  EXPECT_EQ(info.IsVbr, 0);
  EXPECT_EQ(info.LengthMs, 1042);  // 16680 bytes at 16 bytes per ms; the half goes to even
  EXPECT_EQ(info.SearchSpan, 1254);
  EXPECT_EQ(info.LongText, "mp3(44100Hz/128kbps/JointStereo)");
  EXPECT_EQ(info.ShortText, "mp3(44.1kHz/128kb/JS)");
  EXPECT_EQ(info.HeaderBytes, (std::array<uint8_t, 3>{0xFB, 0x90, 0x64}));
}

TEST_F(MpegInfoTest, OnlyATagAtTheFixedPositionEndsTheAudio) {
  Bytes b;
  AppendFrames(b, kCbr128, kCbr128Bytes, 10);
  // Audio bytes that read "TAG" in the last kilobyte are audio, not a tag.
  std::memcpy(&b[b.size() - 600], "TAG", 3);
  const std::string path = Write("b.mp3", b);
  ASSERT_EQ(ReadMpegInfo(path, info), 1);
  EXPECT_EQ(info.AudioLength, static_cast<int>(b.size()));
  EXPECT_EQ(info.AudioEnd, info.FileLength);
}

TEST_F(MpegInfoTest, SearchesAfterAnId3v2Tag) {
  // A 1000-byte tag: 10 bytes of header and a syncsafe size of 990, with a
  // frame-like pattern inside it that must not be taken.
  Bytes b{'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x07, 0x5E};
  b.resize(1000, 0);
  std::memcpy(&b[200], kCbr128, 4);
  AppendFrames(b, kCbr128, kCbr128Bytes, 5);
  const std::string path = Write("c.mp3", b);
  ASSERT_EQ(ReadMpegInfo(path, info), 1);
  EXPECT_EQ(info.FirstFrame, 1001);
  EXPECT_EQ(info.AudioLength, 5 * kCbr128Bytes);
  EXPECT_EQ(info.AudioEnd, 1000 + 5 * kCbr128Bytes);
}

TEST_F(MpegInfoTest, FindsTheFirstFrameAfterJunkEvenAcrossASearchChunk) {
  // The header starts two bytes before the end of the first 1000-byte chunk.
  Bytes b(998, 0x20);
  AppendFrames(b, kCbr128, kCbr128Bytes, 4);
  ASSERT_EQ(ReadMpegInfo(Write("d.mp3", b), info), 1);
  EXPECT_EQ(info.FirstFrame, 999);
  EXPECT_EQ(info.AudioLength, 4 * kCbr128Bytes);
}

TEST_F(MpegInfoTest, AStartWhoseThirdByteIsFFFixesTheSecondByte) {
  // FF FB FF at the start is not a header, but says which second byte the
  // real headers have; an FF FA candidate before them is passed over.
  Bytes b{0xFF, 0xFB, 0xFF, 0x00};
  b.resize(100, 0x20);
  const uint8_t other[4] = {0xFF, 0xFA, 0x90, 0x64};
  b.insert(b.end(), other, other + 4);
  b.resize(300, 0x20);
  AppendFrames(b, kCbr128, kCbr128Bytes, 3);
  ASSERT_EQ(ReadMpegInfo(Write("e.mp3", b), info), 1);
  EXPECT_EQ(info.FirstFrame, 301);
}

TEST_F(MpegInfoTest, AnMp3NameNeverStartsAFrameWithFFFF) {
  // FF FF 40 C0 reads as a layer I header, which a .mp3 file does not hold.
  Bytes b{0xFF, 0xFF, 0x40, 0xC0};
  b.resize(500, 0x20);
  AppendFrames(b, kCbr128, kCbr128Bytes, 3);
  ASSERT_EQ(ReadMpegInfo(Write("f.MP3", b), info), 1);
  EXPECT_EQ(info.FirstFrame, 501);
  EXPECT_EQ(info.Layer, 3);
  ASSERT_EQ(ReadMpegInfo(Write("f.mpa", b), info), 1);
  EXPECT_EQ(info.FirstFrame, 1);
  EXPECT_EQ(info.Layer, 1);
  EXPECT_EQ(info.ChannelMode, 3);
  EXPECT_EQ(info.LongText, "mp1(44100Hz/128kbps/Mono)");
}

TEST_F(MpegInfoTest, RefusesFilesWithoutAUsableHeader) {
  Bytes tiny(47, 0);
  std::memcpy(tiny.data(), kCbr128, 4);
  EXPECT_EQ(ReadMpegInfo(Write("tiny.mp3", tiny), info), 0);
  EXPECT_EQ(info.FirstFrame, 1);
  EXPECT_EQ(ReadMpegInfo(Write("none.mp3", Bytes(5000, 0x20)), info), 0);
  EXPECT_EQ(ReadMpegInfo(dir / "missing.mp3", info), 0);
  struct Case {
    uint8_t b2;
    uint8_t b3;
    const char* why;
  } cases[] = {{0xFB, 0x00, "free format"},
               {0xFB, 0xF0, "bit-rate index 15"},
               {0xFB, 0x9C, "reserved sample rate"},
               {0xF9, 0x90, "reserved layer"}};
  for (const Case& c : cases) {
    Bytes b{0xFF, c.b2, c.b3, 0x64};
    b.resize(2000, 0x20);
    EXPECT_EQ(ReadMpegInfo(Write("bad.mp3", b), info), 0) << c.why;
  }
  // A tag size pointing past the end of the file.
  Bytes id3{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
  id3.resize(400, 0);
  EXPECT_EQ(ReadMpegInfo(Write("id3.mp3", id3), info), 0);
}

// A first frame carrying a Xing tag (flags: frame count present).
Bytes XingFrame(const uint8_t* header, int frameBytes, int tagOffset, uint32_t frames) {
  Bytes f(static_cast<size_t>(frameBytes), 0);
  std::memcpy(f.data(), header, 4);
  std::memcpy(&f[static_cast<size_t>(tagOffset)], "Xing\0\0\0\x01", 8);
  f[static_cast<size_t>(tagOffset) + 8] = static_cast<uint8_t>(frames >> 24);
  f[static_cast<size_t>(tagOffset) + 9] = static_cast<uint8_t>(frames >> 16);
  f[static_cast<size_t>(tagOffset) + 10] = static_cast<uint8_t>(frames >> 8);
  f[static_cast<size_t>(tagOffset) + 11] = static_cast<uint8_t>(frames);
  return f;
}

TEST_F(MpegInfoTest, AXingTagGivesLengthAndAverageBitRate) {
  Bytes b = XingFrame(kCbr128, kCbr128Bytes, 36, 1000);
  AppendFrames(b, kCbr128, kCbr128Bytes, 20);
  ASSERT_EQ(ReadMpegInfo(Write("v.mp3", b), info), 1);
  EXPECT_EQ(info.IsVbr, 1);
  EXPECT_EQ(info.VbrFrames, 1000);
  EXPECT_EQ(info.LengthMs, 26122);  // 1000 * 1152 / 44.1
  EXPECT_EQ(info.Kbps, 3);          // 8757 bytes over 26.1 s
  EXPECT_EQ(info.LongText, "mp3(44100Hz/3kbps[VBR]/JointStereo)");
}

TEST_F(MpegInfoTest, LowerSamplingFrequencyLayer3FramesHold576Samples) {
  // MPEG-2, 64 kbit/s, 22050 Hz, mono: the Xing tag follows 9 bytes of side
  // information; each frame is 72 * 64000 / 22050 = 208 bytes.
  const uint8_t mono22[4] = {0xFF, 0xF3, 0x80, 0xC4};
  Bytes b = XingFrame(mono22, 208, 13, 441);
  AppendFrames(b, mono22, 208, 10);
  ASSERT_EQ(ReadMpegInfo(Write("lsf.mp3", b), info), 1);
  EXPECT_EQ(info.LowRate, 1);
  EXPECT_EQ(info.Rate, 22050);
  EXPECT_EQ(info.ChannelCount, 1);
  EXPECT_EQ(info.IsVbr, 1);
  EXPECT_EQ(info.LengthMs, 11520);  // 441 * 576 / 22.05
  EXPECT_EQ(info.ShortText, "mp3(22.05kHz/2kb/Mono)");
}

TEST_F(MpegInfoTest, ReadsMpeg25Files) {
  // MPEG-2.5, 24 kbit/s, 8000 Hz, mono.
  const uint8_t mono8[4] = {0xFF, 0xE3, 0x38, 0xC4};
  Bytes b;
  AppendFrames(b, mono8, 216, 12);
  ASSERT_EQ(ReadMpegInfo(Write("eight.mp3", b), info), 1);
  EXPECT_EQ(info.Rate, 8000);
  EXPECT_EQ(info.LowRate, 1);
  EXPECT_EQ(info.Kbps, 24);
  EXPECT_EQ(info.ShortText, "mp3(8kHz/24kb/Mono)");
  EXPECT_EQ(info.SearchSpan, 1296);
  // Frame starts are found with the MPEG-2.5 sync.
  EXPECT_EQ(FindFrameStart(dir / "eight.mp3", 300, info), 433);
}

class FrameStartTest : public MpegInfoTest {
 protected:
  void SetUp() override {
    // Frames whose bit rate changes (as in a VBR file), with false syncs in
    // the audio bytes that agree with the real header only in part.
    const uint8_t h160[4] = {0xFF, 0xFB, 0xA0, 0x64};  // 160 kbit/s: 522 bytes
    for (int i = 0; i < 12; ++i) {
      starts.push_back(static_cast<int>(file.size()) + 1);
      const bool big = i % 2 == 1;
      AppendFrames(file, big ? h160 : kCbr128, big ? 522 : kCbr128Bytes, 1);
      // A mono MPEG-2 lookalike in the middle of the frame.
      const size_t fake = file.size() - 200;
      file[fake] = 0xFF;
      file[fake + 1] = 0xF3;
      file[fake + 2] = 0x90;
      file[fake + 3] = 0xC4;
    }
    path = Write("vbr.mp3", file);
    ASSERT_EQ(ReadMpegInfo(path, info), 1);
  }
  Bytes file;
  std::vector<int> starts;  // 1-based positions of the real frames
  std::string path;
};

TEST_F(FrameStartTest, FindsTheNextRealFrameStart) {
  EXPECT_EQ(FindFrameStart(path, starts[2] - 10, info), starts[2]);
  EXPECT_EQ(FindFrameStart(path, starts[2], info), starts[2]);
  // Past frame 2's start, the lookalike and the 160 kbit/s frame 3 agree
  // only in part; frame 4 agrees in full and wins.
  EXPECT_EQ(FindFrameStart(path, starts[2] + 5, info), starts[4]);
  // A position before the first frame is taken as the first frame.
  EXPECT_EQ(FindFrameStart(path, -50, info), 1);
}

TEST_F(FrameStartTest, NearTheEndThereIsNoFrameToFind) {
  // Less than one SearchSpan left: the caller takes the rest as one piece.
  EXPECT_EQ(FindFrameStart(path, info.AudioEnd - 100, info), info.AudioEnd + 1);
  EXPECT_EQ(FindFrameStart(path, info.AudioEnd + 5000, info), info.AudioEnd + 1);
}

TEST_F(FrameStartTest, ABestPartialMatchIsTakenWhenNoHeaderMatchesFully) {
  // Only lookalikes in the window: the first of the best scores is taken.
  Bytes b;
  AppendFrames(b, kCbr128, kCbr128Bytes, 1);
  b.resize(6000, 0x20);
  const uint8_t near[4] = {0xFF, 0xFB, 0x90, 0xA4};    // dual channel: 34
  const uint8_t nearer[4] = {0xFF, 0xFB, 0x90, 0x60};  // not marked original: 41
  std::memcpy(&b[1500], near, 4);
  std::memcpy(&b[2000], nearer, 4);
  std::memcpy(&b[2500], nearer, 4);
  const std::string p = Write("partial.mp3", b);
  MpegInfo i;
  ASSERT_EQ(ReadMpegInfo(p, i), 1);
  EXPECT_EQ(FindFrameStart(p, 1000, i), 2001);
}

}  // namespace
}  // namespace varn
