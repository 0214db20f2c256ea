#include "archive/disk_buffer.h"

#include <gtest/gtest.h>

#include "archive/wav_file.h"
#include "archive_test_support.h"
#include "settings/folders.h"

namespace varn {
namespace {

class DiskBufferTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> Block(int bytes, uint8_t seed) {
    std::vector<uint8_t> b(static_cast<size_t>(bytes));
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
  }
  int32_t Put(const std::vector<uint8_t>& b, const std::string& file, int32_t ch = 0) {
    return WriteDiskBuffer(buffer, ch, b.data(), static_cast<int32_t>(b.size()), file, 0);
  }
  int32_t Flush() { return WriteDiskBuffer(buffer, 0, nullptr, 0, "", 1); }
  uint32_t RiffSize(const std::string& p) { return test::Le32(test::ReadBytes(p), 4); }
  uint32_t DataSize(const std::string& p) { return test::Le32(test::ReadBytes(p), 40); }

  test::TempDir dir;
  ManualClock clock{DateTime{2026, 12, 6, 9, 13, 20}};
  test::LogCapture log{clock, dir / "log"};
  DiskBuffer buffer;
};

TEST_F(DiskBufferTest, CapacityIsFourSecondsOfPcmOrAboutElevenSecondsOfMp3) {
  ResetDiskBuffer(buffer, 0, 44100, 2);
  EXPECT_EQ(buffer.Capacity, 705600);
  EXPECT_EQ(buffer.Bytes.size(), 705600u + 1025u);
  EXPECT_EQ(buffer.Fill, 0);
  EXPECT_EQ(buffer.FileName, "");
  ResetDiskBuffer(buffer, 160, 44100, 2);
  EXPECT_EQ(buffer.Capacity, 225280);
  ResetDiskBuffer(buffer, -5, 8000, 1);  // below 1 means WAV
  EXPECT_EQ(buffer.BitRate, 0);
  EXPECT_EQ(buffer.Capacity, 64000);
}

TEST_F(DiskBufferTest, WavDataIsWrittenOnceTheNextBlockWouldFillTheBuffer) {
  const std::string path = dir / "a.wav";
  ASSERT_TRUE(WriteWavHeader(44100, 16, 2, path, 0));
  ResetDiskBuffer(buffer, 0, 44100, 2);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 13; ++i) {
    const auto b = Block(50800, static_cast<uint8_t>(i));
    ASSERT_EQ(Put(b, path), 1);
    expected.insert(expected.end(), b.begin(), b.end());
  }
  EXPECT_EQ(buffer.Fill, 660400);
  EXPECT_EQ(GetFileSizeByName(path), 44);  // nothing written yet
  const auto fourteenth = Block(50800, 99);
  ASSERT_EQ(Put(fourteenth, path), 1);
  EXPECT_EQ(GetFileSizeByName(path), 660444);
  EXPECT_EQ(RiffSize(path), 660436u);
  EXPECT_EQ(DataSize(path), 660400u);
  EXPECT_EQ(buffer.Fill, 50800);
  // The stop writes the rest and patches the sizes again.
  ASSERT_EQ(Flush(), 1);
  expected.insert(expected.end(), fourteenth.begin(), fourteenth.end());
  EXPECT_EQ(buffer.Fill, 0);
  EXPECT_EQ(buffer.FileName, path);
  const std::vector<uint8_t> file = test::ReadBytes(path);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44));
  EXPECT_EQ(ReadWavInfo(path).DataSize, static_cast<int64_t>(expected.size()));
  EXPECT_EQ(log.Diagnostics(), "");
}

TEST_F(DiskBufferTest, AStopWithNothingBufferedTouchesNothing) {
  const std::string path = dir / "b.wav";
  ASSERT_TRUE(WriteWavHeader(44100, 16, 2, path, 999));  // sizes deliberately off
  ResetDiskBuffer(buffer, 0, 44100, 2);
  ASSERT_EQ(Put(Block(400, 1), path), 1);
  ASSERT_EQ(Flush(), 1);
  EXPECT_EQ(DataSize(path), 400u);
  ASSERT_TRUE(WriteWavHeader(44100, 16, 2, path, 999));
  EXPECT_EQ(Flush(), 1);  // Fill is 0: no write, no size patch
  EXPECT_EQ(DataSize(path), 999u);
  EXPECT_EQ(GetFileSizeByName(path), 44);
}

TEST_F(DiskBufferTest, ANewFileNameSendsTheBufferedBytesToTheOldFile) {
  ResetDiskBuffer(buffer, 128, 44100, 2);  // MP3: no WAV header handling
  const auto a = Block(1000, 1);
  const auto b = Block(500, 2);
  ASSERT_EQ(Put(a, dir / "a.mp3"), 1);
  EXPECT_FALSE(test::PathExists(dir / "a.mp3"));
  // "" differs from the current name, so it writes out, but keeps the name.
  ASSERT_EQ(Put(a, ""), 1);
  EXPECT_EQ(test::ReadBytes(dir / "a.mp3"), a);
  EXPECT_EQ(buffer.FileName, dir / "a.mp3");
  ASSERT_EQ(Put(b, dir / "b.mp3"), 1);
  EXPECT_EQ(test::ReadBytes(dir / "a.mp3").size(), 2000u);
  EXPECT_EQ(buffer.FileName, dir / "b.mp3");
  EXPECT_EQ(buffer.Fill, 500);
  // A name that differs only in case is another file.
  ASSERT_EQ(Put(b, dir / "B.mp3"), 1);
  EXPECT_EQ(test::ReadBytes(dir / "b.mp3"), b);
}

TEST_F(DiskBufferTest, RefusedDataIsLoggedAndTheBufferKeepsItsBytes) {
  ResetDiskBuffer(buffer, 0, 44100, 2);
  const std::string path = dir / "c.wav";
  ASSERT_EQ(Put(Block(100, 1), path, 2), 1);
  const auto huge = Block(705601, 3);
  EXPECT_EQ(Put(huge, path, 2), 0);
  EXPECT_EQ(log.CountDiagnostics("WriteDiskBuffer err1a pl=2 FN=" + path + "pLen=705601"), 1);
  const uint8_t byte = 0;
  EXPECT_EQ(WriteDiskBuffer(buffer, 2, &byte, 0, path, 0), 0);
  EXPECT_EQ(log.CountDiagnostics("WriteDiskBuffer err1b pl=2 FN=" + path + "pLen=0 pSrcVar=" +
                                 std::to_string(reinterpret_cast<uintptr_t>(&byte))),
            1);
  EXPECT_EQ(buffer.Fill, 100);
  EXPECT_FALSE(test::PathExists(path));
  // A block of exactly the capacity is taken (the buffer never holds more).
  ASSERT_EQ(Put(Block(705600, 4), path, 2), 1);
  EXPECT_EQ(buffer.Fill, 705600);
}

TEST_F(DiskBufferTest, AFailingDiskIsReportedOnceAndItsRecoveryToo) {
  // The folder of the file is missing: every append fails.
  const std::string path = dir / "gone/d.wav";
  ResetDiskBuffer(buffer, 0, 8000, 1);
  ASSERT_EQ(Put(Block(3000, 1), path), 1);
  ASSERT_EQ(Flush(), 1);
  EXPECT_EQ(log.CountDiagnostics("WriteDiskBuffer err2 pl=0 FN=" + path + " CurrentSize=3000"), 1);
  EXPECT_EQ(buffer.Fill, 0);  // the bytes are dropped
  EXPECT_TRUE(buffer.WriteFailing);
  ASSERT_EQ(Put(Block(2000, 2), path), 1);
  ASSERT_EQ(Flush(), 1);
  EXPECT_EQ(log.CountDiagnostics("err2"), 2);
  EXPECT_EQ(log.CountEvents("ch1 録音ファイル書込失敗"), 1);

  // Space returns: the data lands in a valid WAV file, header included,
  // after silence as long as what was dropped, so it keeps its place in time.
  ASSERT_TRUE(EnsureFolder(dir / "gone"));
  const auto last = Block(1000, 3);
  ASSERT_EQ(Put(last, path), 1);
  ASSERT_EQ(Flush(), 1);
  EXPECT_EQ(log.CountEvents("ch1 録音ファイル書込再開"), 1);
  EXPECT_FALSE(buffer.WriteFailing);
  const WavInfo info = ReadWavInfo(path);
  ASSERT_EQ(info.Valid, 1);
  EXPECT_EQ(info.SampleRate, 8000);
  EXPECT_EQ(info.Channels, 1);
  EXPECT_EQ(info.DataSize, 5000 + 1000);
  const std::vector<uint8_t> file = test::ReadBytes(path);
  EXPECT_TRUE(std::all_of(file.begin() + 44, file.begin() + 44 + 5000, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::equal(last.begin(), last.end(), file.begin() + 44 + 5000));
}

}  // namespace
}  // namespace varn
