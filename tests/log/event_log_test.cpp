#include "log/event_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "log/log_writer.h"
#include "settings/folders.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

struct Row {
  std::string local, utc, channel, side, message;
};

class RecordingSink : public LogSink {
 public:
  void AddLine(const std::string& l, const std::string& u, const std::string& c,
               const std::string& s, const std::string& m) override {
    rows.push_back({l, u, c, s, m});
  }
  std::vector<Row> rows;
};

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override { log.SetFolder(dir.Path() + "data"); }
  std::string EventFile(const char* date) {
    return dir.Path() + "data/varn" + std::string(date) + ".txt";
  }

  test::TempDir dir;
  // Tokyo time: local is nine hours ahead of UTC.
  ManualClock clock{DateTime{2026, 12, 6, 18, 16, 54, 250}, 9 * 3600};
  EventLog log{clock};
};

TEST_F(EventLogTest, EventLinesCarryLocalTimeUtcChannelAndSide) {
  log.LogEvent("プチ音検出 1.52倍", 1, 1);
  log.LogEvent("**************起動*****************", -1, -1);
  log.LogEvent("録音開始", 9, -1);
  log.LogEvent("", -1, -1);
  EXPECT_EQ(test::ReadText(EventFile("20261206")),
            "2026/12/06 18:16:54 2026/12/06 09:16:54 ch2 Rch プチ音検出 1.52倍\r\n"
            "2026/12/06 18:16:54 2026/12/06 09:16:54 **************起動*****************\r\n"
            "2026/12/06 18:16:54 2026/12/06 09:16:54 ch10 録音開始\r\n"
            "2026/12/06 18:16:54 2026/12/06 09:16:54\r\n");
}

TEST_F(EventLogTest, SideLabelsFollowTheSideNumber) {
  RecordingSink sink;
  log.SetSink(&sink);
  log.LogEvent("a", 0, 0);
  log.LogEvent("b", 0, 5);
  log.LogEvent("c", 0, -1);
  ASSERT_EQ(sink.rows.size(), 3u);
  EXPECT_EQ(sink.rows[0].channel, "ch1");
  EXPECT_EQ(sink.rows[0].side, "Lch");
  EXPECT_EQ(sink.rows[1].side, "Rch");
  EXPECT_EQ(sink.rows[2].side, "");
  EXPECT_EQ(sink.rows[0].local, "2026/12/06 18:16:54");
  EXPECT_EQ(sink.rows[0].utc, "2026/12/06 09:16:54");
  EXPECT_EQ(sink.rows[0].message, "a");
}

TEST_F(EventLogTest, LinesEitherSideOfMidnightGoToTwoFiles) {
  clock.Set(DateTime{2026, 12, 6, 23, 59, 59, 900});
  log.LogEvent("before", 0, 0);
  clock.Advance(0.2);
  log.LogEvent("after", 0, 0);
  EXPECT_NE(test::ReadText(EventFile("20261206"))
                .find("2026/12/06 23:59:59 2026/12/06 14:59:59 ch1 Lch before"),
            std::string::npos);
  EXPECT_EQ(test::ReadText(EventFile("20261207")),
            "2026/12/07 00:00:00 2026/12/06 15:00:00 ch1 Lch after\r\n");
}

TEST_F(EventLogTest, DiagnosticsGoToTheErrFileWithoutUtc) {
  log.WriteLogLine("Buffer irregular 4#3", true);
  EXPECT_EQ(test::ReadText(dir.Path() + "data/varn20261206.err"),
            "2026/12/06 18:16:54 Buffer irregular 4#3\r\n");
  EXPECT_FALSE(test::PathExists(EventFile("20261206")));
}

TEST_F(EventLogTest, DisabledLoggingWritesNothingButTheWindowStillGetsRows) {
  RecordingSink sink;
  log.SetSink(&sink);
  log.SetEnabled(false);
  log.LogEvent("レベルUP -3.0db(Peak)", 0, 0);
  log.WriteLogLine("x", true);
  EXPECT_FALSE(test::PathExists(dir.Path() + "data"));
  EXPECT_EQ(sink.rows.size(), 1u);
}

TEST_F(EventLogTest, AnUnwritableFolderDropsTheLineQuietly) {
  test::WriteText(dir.Path() + "data", "a file where the folder should be");
  RecordingSink sink;
  log.SetSink(&sink);
  log.LogEvent("lost", 0, 0);
  EXPECT_EQ(sink.rows.size(), 1u);  // the window still shows it
  EXPECT_NE(log.LastLogTime(), -1);
}

// A line whose file can never be written is given up, and the end of the
// program says how many and why.
TEST(LogFileWriter, LinesThatCanNeverBeWrittenAreCountedWithTheSystemsReason) {
  test::TempDir dir;
  test::WriteText(dir / "plain", "a file where the folder should be");
  LogFileWriter writer;
  writer.Append(dir / "plain/data", dir / "plain/data/varn20261206.txt", "line\r\n");
  writer.Append(dir / "data", dir / "data/varn20261206.txt", "kept\r\n");
  ASSERT_TRUE(writer.WaitIdle(5.0));
  EXPECT_EQ(writer.Lost(), 1u);
  EXPECT_EQ(test::ReadText(dir / "data/varn20261206.txt"), "kept\r\n");
  EXPECT_EQ(writer.Backlog(),
            std::vector<std::string>{"Log lines not written: 0, 1 lost (Not a directory)"});
}

TEST_F(EventLogTest, WithoutAFolderLinesGoToLogUnderTheProgramFolder) {
  SetAppFolder(dir.Path() + "prog");
  ASSERT_TRUE(MakeFolder(dir.Path() + "prog"));
  log.SetFolder("");
  log.SetExtension("");
  log.WriteLogLine("early", false);
  EXPECT_TRUE(test::PathExists(dir.Path() + "prog/log/varn20261206.log"));
  SetAppFolder("");
}

TEST_F(EventLogTest, ASeparatorClosesABurstThreeSecondsAfterItsLastLine) {
  EXPECT_FALSE(log.WriteSeparatorIfDue());  // nothing logged yet
  log.LogEvent("one", 0, 0);
  clock.Advance(1.0);
  log.LogEvent("two", 0, 0);
  clock.Advance(3.0);
  EXPECT_FALSE(log.WriteSeparatorIfDue());  // exactly 3 s: not yet
  clock.Advance(0.1);
  EXPECT_TRUE(log.WriteSeparatorIfDue());
  EXPECT_EQ(log.LastLogTime(), -1);
  clock.Advance(10.0);
  EXPECT_FALSE(log.WriteSeparatorIfDue());  // quiet periods add nothing
  const std::string text = test::ReadText(EventFile("20261206"));
  EXPECT_NE(text.find("2026/12/06 18:16:58 2026/12/06 09:16:58 -----------------------------\r\n"),
            std::string::npos);
}

TEST(GetDateTimeText, GivesTheThreeFormsInUseAndClampsTheClock) {
  ClockReading r;
  r.local = DateTime{2026, 12, 6, 18, 16, 54, 0};
  r.secondsSinceMidnight = 18 * 3600 + 16 * 60 + 54.7;
  EXPECT_EQ(GetDateTimeText(r, DateTimeStyle::Plain, DateTimeParts::DateAndTime),
            "2026/12/06 18:16:54");
  EXPECT_EQ(GetDateTimeText(r, DateTimeStyle::Compact, DateTimeParts::DateOnly), "20261206");
  EXPECT_EQ(GetDateTimeText(r, DateTimeStyle::Compact, DateTimeParts::DateAndTime),
            "20261206181654");
  r.secondsSinceMidnight = 86400.5;
  EXPECT_EQ(GetDateTimeText(r, DateTimeStyle::Plain, DateTimeParts::DateAndTime),
            "2026/12/06 23:59:59");
  r.secondsSinceMidnight = -3;
  EXPECT_EQ(GetDateTimeText(r, DateTimeStyle::Plain, DateTimeParts::DateAndTime),
            "2026/12/06 00:00:00");
}

}  // namespace
}  // namespace varn
