#include "archive/wav_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace varn {
namespace {

using test::Le16;
using test::Le32;

std::vector<uint8_t> Chunk(const char* id, std::vector<uint8_t> body, bool pad = true) {
  std::vector<uint8_t> c(id, id + 4);
  const uint32_t n = static_cast<uint32_t>(body.size());
  for (int i = 0; i < 4; ++i) c.push_back(static_cast<uint8_t>(n >> (8 * i)));
  c.insert(c.end(), body.begin(), body.end());
  if (pad && (n & 1)) c.push_back(0);
  return c;
}

std::vector<uint8_t> Fmt(int tag, int channels, int rate, int bits) {
  std::vector<uint8_t> b;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(static_cast<uint32_t>(tag), 2);
  put(static_cast<uint32_t>(channels), 2);
  put(static_cast<uint32_t>(rate), 4);
  put(static_cast<uint32_t>(rate * channels * bits / 8), 4);
  put(static_cast<uint32_t>(channels * bits / 8), 2);
  put(static_cast<uint32_t>(bits), 2);
  return Chunk("fmt ", b);
}

std::vector<uint8_t> Riff(std::vector<std::vector<uint8_t>> chunks) {
  std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
  for (auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body, false);
}

TEST(WavHeader, PlainLayoutIs44Bytes) {
  const auto h = BuildWavHeader(44100, 16, 2, 0);
  ASSERT_EQ(h.size(), 44u);
  EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(h, 4), 36u);
  EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32(h, 16), 16u);
  EXPECT_EQ(Le16(h, 20), 1u);
  EXPECT_EQ(Le16(h, 22), 2u);
  EXPECT_EQ(Le32(h, 24), 44100u);
  EXPECT_EQ(Le32(h, 28), 176400u);
  EXPECT_EQ(Le16(h, 32), 4u);
  EXPECT_EQ(Le16(h, 34), 16u);
  EXPECT_EQ(std::string(h.begin() + 36, h.begin() + 40), "data");
  EXPECT_EQ(Le32(h, 40), 0u);
}

TEST(WavHeader, SixAndEightChannelsUseTheExtensibleLayout) {
  const auto h = BuildWavHeader(48000, 24, 6, 100);
  ASSERT_EQ(h.size(), 68u);
  EXPECT_EQ(Le32(h, 4), 160u);
  EXPECT_EQ(Le32(h, 16), 40u);
  EXPECT_EQ(Le16(h, 20), 0xFFFEu);
  EXPECT_EQ(Le32(h, 28), 864000u);
  EXPECT_EQ(Le16(h, 32), 18u);
  EXPECT_EQ(Le16(h, 36), 22u);
  EXPECT_EQ(Le16(h, 38), 24u);
  EXPECT_EQ(Le32(h, 40), 0x3Fu);
  const std::vector<uint8_t> guid = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  EXPECT_EQ(std::vector<uint8_t>(h.begin() + 44, h.begin() + 60), guid);
  EXPECT_EQ(std::string(h.begin() + 60, h.begin() + 64), "data");
  EXPECT_EQ(Le32(h, 64), 100u);
  EXPECT_EQ(Le32(BuildWavHeader(48000, 16, 8, 0), 40), 0xFFu);
}

TEST(WavFile, ArchiveFileStaysValidAfterEveryAppend) {
  test::TempDir dir;
  const std::string path = dir / "20261206091320.wav";
  test::WriteText(path, "an older recording that must be replaced");
  ASSERT_TRUE(WriteWavHeader(44100, 16, 2, path, 0));
  EXPECT_EQ(GetFileSizeByName(path), 44);
  const std::vector<uint8_t> pcm(660400, 0x11);
  OpenFile f;
  ASSERT_TRUE(WriteFileBytes(pcm.data(), static_cast<int64_t>(pcm.size()), kAppend, f, path, true));
  ASSERT_TRUE(UpdateWavSizes(path));
  const auto bytes = test::ReadBytes(path);
  ASSERT_EQ(bytes.size(), 660444u);
  EXPECT_EQ(Le32(bytes, 4), 660436u);
  EXPECT_EQ(Le32(bytes, 40), 660400u);

  const WavInfo w = ReadWavInfo(path);
  EXPECT_EQ(w.Valid, 1);
  EXPECT_EQ(w.FrameCount, 165100);
  EXPECT_EQ(w.SampleRate, 44100);
  EXPECT_EQ(w.Channels, 2);
  EXPECT_EQ(w.BitsPerSample, 16);
  EXPECT_EQ(w.BlockAlign, 4);
  EXPECT_EQ(w.DataOffset, 44);
  EXPECT_EQ(w.DataSize, 660400);
  EXPECT_EQ(w.FileSize, 660444);
  EXPECT_EQ(w.FormatCode, 3);
  EXPECT_EQ(w.DurationMs, 3744);
  EXPECT_EQ(w.FormatTag, 1);
}

TEST(WavFile, WriteWavHeaderCanHandBackTheOpenFile) {
  test::TempDir dir;
  const std::string path = dir / "k.wav";
  OpenFile f;
  ASSERT_TRUE(WriteWavHeader(8000, 16, 1, path, 0, &f));
  ASSERT_TRUE(f.IsOpen());
  const int16_t samples[4] = {1, 2, 3, 4};
  ASSERT_TRUE(WriteFileBytes(samples, 8, kAppend, f, path, false));
  ASSERT_TRUE(UpdateWavSizes(path, 0, false, &f));
  EXPECT_TRUE(f.IsOpen());  // the caller's handle stays open
  f.Close();
  EXPECT_EQ(ReadWavInfo(path).FrameCount, 4);
}

TEST(WavFile, UpdateWavSizesNeverChangesTheLength) {
  test::TempDir dir;
  test::WriteBytes(dir / "short", std::vector<uint8_t>(43, 0));
  EXPECT_FALSE(UpdateWavSizes(dir / "short"));
  EXPECT_EQ(test::ReadBytes(dir / "short"), std::vector<uint8_t>(43, 0));

  // A data chunk that trails bytes the caller does not count.
  auto file = Riff({Fmt(1, 1, 8000, 16), Chunk("data", std::vector<uint8_t>(10, 7))});
  file[40] = 0xFF;  // a wrong data size to be mended
  test::WriteBytes(dir / "t.wav", file);
  ASSERT_TRUE(UpdateWavSizes(dir / "t.wav", 4));
  const auto b = test::ReadBytes(dir / "t.wav");
  EXPECT_EQ(b.size(), file.size());
  EXPECT_EQ(Le32(b, 40), 6u);
  EXPECT_EQ(Le32(b, 4), static_cast<uint32_t>(file.size() - 8));
  EXPECT_FALSE(UpdateWavSizes(dir / "missing.wav"));
}

TEST(WavFile, FindChunkStepsOverPadBytes) {
  test::TempDir dir;
  auto file = Riff({Chunk("odd ", {1, 2, 3}), Fmt(1, 2, 44100, 16), Chunk("data", {0, 0, 0, 0})});
  test::WriteBytes(dir / "p.wav", file);
  EXPECT_EQ(FindChunk(dir / "p.wav", "odd "), 13);
  EXPECT_EQ(FindChunk(dir / "p.wav", "fmt "), 25);  // 8 + 3 + one pad byte further
  EXPECT_EQ(FindChunk(dir / "p.wav", "data"), 25 + 24);
  EXPECT_EQ(FindChunk(dir / "p.wav", "LIST"), -1);
  const WavInfo w = ReadWavInfo(dir / "p.wav");
  EXPECT_EQ(w.Valid, 1);
  EXPECT_EQ(w.DataOffset, 25 + 24 + 7);
}

TEST(ReadWavInfo, DerivesTheFormatCode) {
  test::TempDir dir;
  struct Case {
    int channels, bits, code;
  };
  for (const Case c :
       {Case{1, 8, 0}, Case{2, 8, 1}, Case{1, 16, 2}, Case{2, 16, 3}, Case{1, 24, 4},
        Case{2, 24, 5}, Case{6, 16, 6}, Case{8, 16, 7}, Case{6, 24, 8}, Case{8, 24, 9}}) {
    test::WriteBytes(dir / "f.wav", Riff({Fmt(1, c.channels, 48000, c.bits), Chunk("data", {})}));
    const WavInfo w = ReadWavInfo(dir / "f.wav");
    EXPECT_EQ(w.Valid, 1) << c.channels << "x" << c.bits;
    EXPECT_EQ(w.FormatCode, c.code);
    EXPECT_EQ(w.BlockAlign, c.channels * c.bits / 8);
  }
  for (const Case c :
       {Case{2, 12, 0}, Case{6, 8, 0}, Case{3, 16, 0}, Case{2, 32, 0}, Case{0, 16, 0}}) {
    test::WriteBytes(dir / "f.wav", Riff({Fmt(1, c.channels, 48000, c.bits), Chunk("data", {})}));
    EXPECT_EQ(ReadWavInfo(dir / "f.wav").Valid, 0) << c.channels << "x" << c.bits;
  }
}

TEST(ReadWavInfo, FindsChunksInEitherOrderAndKeepsTheTag) {
  test::TempDir dir;
  test::WriteBytes(dir / "r.wav",
                   Riff({Chunk("data", std::vector<uint8_t>(12, 0)), Fmt(0xFFFE, 2, 96000, 24)}));
  const WavInfo w = ReadWavInfo(dir / "r.wav");
  EXPECT_EQ(w.Valid, 1);
  EXPECT_EQ(w.FormatTag, 0xFFFE);
  EXPECT_EQ(w.FrameCount, 2);
  EXPECT_EQ(w.DataOffset, 20);
}

TEST(ReadWavInfo, RefusesBrokenFiles) {
  test::TempDir dir;
  const std::string p = dir / "bad.wav";
  auto good = Riff({Fmt(1, 2, 44100, 16), Chunk("data", std::vector<uint8_t>(400, 0))});

  test::WriteText(p, "not a wave file at all, just text");
  EXPECT_EQ(ReadWavInfo(p).Valid, 0);
  test::WriteBytes(p,
                   std::vector<uint8_t>(good.begin(), good.begin() + 30));  // cut in the fmt chunk
  EXPECT_EQ(ReadWavInfo(p).Valid, 0);
  test::WriteBytes(
      p, std::vector<uint8_t>(good.begin(), good.begin() + 40));  // cut in the data header
  EXPECT_EQ(ReadWavInfo(p).Valid, 0);
  auto notRiff = good;
  notRiff[0] = 'X';
  test::WriteBytes(p, notRiff);
  EXPECT_EQ(ReadWavInfo(p).Valid, 0);
  // A first chunk claiming 4 GB jumps past the end: fmt is never found.
  test::WriteBytes(p, Riff({Chunk("junk", {}), Fmt(1, 2, 44100, 16)}));
  auto absurd = test::ReadBytes(p);
  absurd[16] = absurd[17] = absurd[18] = absurd[19] = 0xFF;
  test::WriteBytes(p, absurd);
  EXPECT_EQ(ReadWavInfo(p).Valid, 0);
  // Millions of empty chunks and no fmt: the walk gives up.
  std::vector<std::vector<uint8_t>> many(200000, Chunk("nope", {}));
  test::WriteBytes(p, Riff(many));
  EXPECT_EQ(ReadWavInfo(p).Valid, 0);
  // A rate of zero would divide by zero.
  test::WriteBytes(p, Riff({Fmt(1, 2, 0, 16), Chunk("data", {})}));
  EXPECT_EQ(ReadWavInfo(p).Valid, 0);
  EXPECT_EQ(ReadWavInfo(dir / "missing.wav").Valid, 0);
}

TEST(ReadWavInfo, CapsTheFrameCountOfHugeDataChunks) {
  test::TempDir dir;
  auto file = Riff({Fmt(1, 1, 8000, 8), Chunk("data", {})});
  file[40] = file[41] = file[42] = file[43] = 0xFF;  // 4294967295 bytes claimed
  test::WriteBytes(dir / "h.wav", file);
  const WavInfo w = ReadWavInfo(dir / "h.wav");
  EXPECT_EQ(w.Valid, 1);
  EXPECT_EQ(w.DataSize, 4294967295LL);
  EXPECT_EQ(w.FrameCount, 2147483647);
}

}  // namespace
}  // namespace varn
