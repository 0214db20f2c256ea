// The day's event file read back as the console shows it: every kind of
// line the log writes, split into its columns, and the days that have files.

#include "log/event_file.h"

#include <gtest/gtest.h>

#include "log/event_log.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

TEST(EventFileTest, TheLinesTheLogWritesReadBackIntoTheirColumns) {
  test::TempDir dir;
  ManualClock clock{DateTime{2026, 12, 6, 18, 16, 54, 250}, 9 * 3600};
  EventLog log{clock};
  log.SetFolder(dir.Path() + "log");
  log.WriteLogLine(kStartBanner, false);
  log.LogEvent("録音開始", 0);
  log.LogEvent("プチ音検出 2.10倍", 2, 1);
  log.LogEvent("レベルUP -1.0db(Peak)", 7, 0);
  log.WriteLogLine("エンコーダ初期化失敗 ch3", false);
  log.WriteLogLine(kSeparatorLine, false);

  const std::vector<EventFileLine> lines = ReadEventFile(log.CurrentFilePath(false));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].localTime, "2026/12/06 18:16:54");
  EXPECT_EQ(lines[0].utcTime, "");
  EXPECT_EQ(lines[0].kind, "start");
  EXPECT_EQ(lines[0].channel, -1);

  EXPECT_EQ(lines[1].utcTime, "2026/12/06 09:16:54");
  EXPECT_EQ(lines[1].channel, 0);
  EXPECT_EQ(lines[1].side, -1);
  EXPECT_EQ(lines[1].message, "録音開始");
  EXPECT_EQ(lines[1].kind, "record_start");

  EXPECT_EQ(lines[2].channel, 2);
  EXPECT_EQ(lines[2].side, 1);
  EXPECT_EQ(lines[2].message, "プチ音検出 2.10倍");
  EXPECT_EQ(lines[2].kind, "click");
  EXPECT_EQ(lines[3].channel, 7);
  EXPECT_EQ(lines[3].side, 0);
  EXPECT_EQ(lines[3].kind, "over_level");

  // A plain line names its channel at its end.
  EXPECT_EQ(lines[4].channel, 2);
  EXPECT_EQ(lines[4].kind, "encoder_error");
  EXPECT_EQ(lines[5].kind, "separator");

  // What is no line of the log is left out; a missing file reads as none.
  test::WriteText(dir.Path() + "odd.txt",
                  "garbage\r\n2026/12/06 18:16 short\r\n2026/12/06 18:16:54\r\n"
                  "2026/12/06 18:16:54 2026/12/06 09:16:54 ch9 x\r\n");
  const std::vector<EventFileLine> odd = ReadEventFile(dir.Path() + "odd.txt");
  ASSERT_EQ(odd.size(), 2u);
  EXPECT_EQ(odd[0].message, "");
  EXPECT_EQ(odd[1].channel, -1);  // no ninth channel
  EXPECT_EQ(odd[1].message, "ch9 x");
  EXPECT_TRUE(ReadEventFile(dir.Path() + "none.txt").empty());
}

TEST(EventFileTest, DaysAreTheDatesOfTheFilesThatExistAndDayTextsAreChecked) {
  test::TempDir dir;
  for (const char* name :
       {"varn20261208.txt", "varn20261207.txt", "varn20261207.err", "varn2026120.txt",
        "varnabcdefgh.txt", "other20261201.txt", "varn20261308.txt", "varn20261209.txt.bak"})
    test::WriteText(dir.Path() + name, "");
  EXPECT_EQ(EventFileDays(dir.Path(), ".txt"), (std::vector<std::string>{"20261207", "20261208"}));
  EXPECT_TRUE(EventFileDays(dir.Path() + "missing/", ".txt").empty());

  EXPECT_EQ(EventDay("20261208"), "20261208");
  EXPECT_EQ(EventDay("2026-12-08"), "20261208");
  EXPECT_EQ(EventDay("2024-02-29"), "20240229");
  for (const char* bad : {"2026-02-29", "1900-02-29", "20261232", "2026-13-01", "2026/12/08",
                          "2026-12-8", "202612080", "", "../../etc", "2026-12-08 "})
    EXPECT_EQ(EventDay(bad), "") << bad;
}

}  // namespace
}  // namespace varn
