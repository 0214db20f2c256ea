// The keeping pieces of the core: the holds file, the .sha256 sums and the
// free-space limit.

#include <gtest/gtest.h>

#include "archive/archive_holds.h"
#include "archive/disk_space.h"
#include "archive/file_checksum.h"
#include "archive_test_support.h"

namespace varn::test {
namespace {

TEST(ArchiveHolds, RoundTripKeepsEveryFieldAndOverlapDecidesWhatIsHeld) {
  TempDir dir;
  const std::string path = HoldsFilePath(dir.Path());
  std::vector<ArchiveHold> holds = {
      {1, 0, 1000, 2000, 500, "complaint 42"},
      {7, 3, 5000, 9000, 600, "tab\there and\na line end"},
  };
  ASSERT_EQ(WriteHoldsFile(path, holds), "");
  const HoldsFile back = ReadHoldsFile(path);
  ASSERT_TRUE(back.ok) << back.error;
  holds[1].reason = "tab here and a line end";  // one line per hold
  EXPECT_EQ(back.holds, holds);
  EXPECT_EQ(NextHoldId(back.holds), 8u);

  // A file overlapping the range by any part is held; one that only
  // touches it, or another channel's, is not.
  EXPECT_TRUE(Held(holds, 0, 1999, 5000));
  EXPECT_TRUE(Held(holds, 0, 0, 1001));
  EXPECT_FALSE(Held(holds, 0, 2000, 3000));
  EXPECT_FALSE(Held(holds, 0, 0, 1000));
  EXPECT_FALSE(Held(holds, 1, 1000, 2000));
}

TEST(ArchiveHolds, AMissingFileHoldsNothingAndABrokenOneIsRefusedWhole) {
  TempDir dir;
  const HoldsFile none = ReadHoldsFile(dir / "absent.txt");
  EXPECT_TRUE(none.ok);
  EXPECT_TRUE(none.holds.empty());

  const std::string header = std::string(kHoldsFileHeader) + "\n";
  const std::string good = "1\t1\t1000\t2000\t5\tok\n";
  struct Case {
    std::string text;
    std::string says;
  };
  for (const Case& c : {Case{"garbage\n", "line 1"}, Case{"", "empty"},
                        Case{header + good + "2\t9\t1000\t2000\t5\tx\n", "line 3: bad channel"},
                        Case{header + good + "2\t1\t3000\t2000\t5\tx\n", "line 3: bad time range"},
                        Case{header + good + "1\t2\t1000\t2000\t5\tx\n", "ID 1 twice"},
                        Case{header + "1\t1\t1000\t2000\n", "line 2: a hold has 6 fields"}}) {
    WriteText(dir / "h.txt", c.text);
    const HoldsFile f = ReadHoldsFile(dir / "h.txt");
    EXPECT_FALSE(f.ok) << c.text;
    EXPECT_NE(f.error.find(c.says), std::string::npos) << f.error;
    // Nothing of a broken file is taken: the good line before the bad one neither.
    EXPECT_TRUE(f.holds.empty());
  }
}

TEST(FileChecksum, Sha256sumAgreesAndAChangedByteOrALostSumIsFound) {
  TempDir dir;
  const std::string file = dir / "20260314100000.wav";
  std::vector<uint8_t> bytes(200000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  WriteBytes(file, bytes);
  ASSERT_EQ(WriteChecksumFile(file), "");
  // The sum file is sha256sum's own format.
  EXPECT_TRUE(Shell("cd '" + dir.Path() + "' && sha256sum --quiet -c 20260314100000.wav.sha256"));
  EXPECT_EQ(VerifyChecksumFile(file).state, ChecksumState::Agrees);

  bytes[123456] ^= 0x01;
  WriteBytes(file, bytes);
  const ChecksumCheck changed = VerifyChecksumFile(file);
  EXPECT_EQ(changed.state, ChecksumState::Differs);

  WriteText(file + ".sha256", "not a sum\n");
  EXPECT_EQ(VerifyChecksumFile(file).state, ChecksumState::BadSum);
  std::remove((file + ".sha256").c_str());
  EXPECT_EQ(VerifyChecksumFile(file).state, ChecksumState::NoSum);
}

TEST(DiskSpace, TheGuardKeepsAtMostHalfTheFileSystemFree) {
  bool capped = false;
  EXPECT_EQ(MinFreeBytes(100, 1000 * kMegabyte, &capped), 100 * kMegabyte);
  EXPECT_FALSE(capped);
  EXPECT_EQ(MinFreeBytes(600, 1000 * kMegabyte, &capped), 500 * kMegabyte);
  EXPECT_TRUE(capped);

  DiskSpace space{true, 10 * kMegabyte, 1000 * kMegabyte, ""};
  EXPECT_EQ(MinFreeRefusal(500, space), "");
  EXPECT_NE(MinFreeRefusal(501, space).find("at most half"), std::string::npos);
  EXPECT_EQ(MinFreeRefusal(0, space), "");
  // The real file system answers for an existing folder and a missing one below it.
  TempDir dir;
  const DiskSpace real = ReadDiskSpace(dir / "not/yet/made");
  EXPECT_TRUE(real.known) << real.error;
  EXPECT_GT(real.totalBytes, 0u);
  EXPECT_LE(real.freeBytes, real.totalBytes);
}

}  // namespace
}  // namespace varn::test
