// The event and archive hooks: programs started with an argument list and
// the line in their environment, never through a shell; repeats held back;
// a hook that hangs ended without holding up the ticks; a settings file
// others may write refused; the archive hook given each file only once it is
// complete.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "archive/wav_file.h"
#include "engine/engine_fixture.h"
#include "engine/hooks/hook_command.h"
#include "engine/hooks/hook_service.h"
#include "support/text_lines.h"
#include "support/wait_for.h"

namespace varn::test {
namespace {

TEST(HookCommand, SplitsAtBlanksGroupsQuotedWordsAndKeepsEverythingElsePlain) {
  EXPECT_EQ(SplitHookCommand(R"(  /bin/x  "two words" a;b|c it's$HOME "" x"y"z "open)"),
            (std::vector<std::string>{"/bin/x", "two words", "a;b|c", "it's$HOME", "", "x\"y\"z",
                                      "open"}));
  EXPECT_TRUE(SplitHookCommand("   ").empty());
  const std::map<std::string, std::string> vars = {{"VARN_FILE", "/d/ch1/a.wav"},
                                                   {"VARN_CHANNEL", "1"}};
  EXPECT_EQ(ExpandHookWord("remote:${VARN_CHANNEL}/${VARN_FILE}", vars), "remote:1//d/ch1/a.wav");
  EXPECT_EQ(ExpandHookWord("${VARN_NONE}|${HOME}|$VARN_FILE|${VARN_FILE", vars),
            "|${HOME}|$VARN_FILE|${VARN_FILE");
}

// The service on its own, on a clock the test sets: what reaches the
// programs and when.
class HookServiceTest : public ::testing::Test {
 protected:
  ~HookServiceTest() override { service.reset(); }
  void Make(const std::string& eventCommand, const std::string& archiveCommand) {
    service = std::make_unique<HookService>([](int ch) { return "line " + std::to_string(ch + 1); },
                                            [this] { return now; }, data);
    service->Configure(HookSettings{eventCommand, archiveCommand, 30.0});
  }
  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = dir / name;
    WriteText(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
  }
  // An event hook that appends a line for each run to `received`.
  std::string Receiver() {
    return Script("receive.sh",
                  "echo \"$VARN_SIDE $VARN_EVENT $VARN_SUPPRESSED $VARN_TEXT $VARN_LOCAL_TIME "
                  "$VARN_UTC_TIME\" >> " +
                      received);
  }
  // A line of channel 1 at `at` seconds, with times of that second.
  void Event(double at, int side, const std::string& kind, const std::string& text) {
    now = at;
    const std::string second = (at < 10 ? "0" : "") + std::to_string(static_cast<int>(at));
    service->OnEvent(EventRecord{"2026/03/14 10:20:" + second, "2026/03/14 01:20:" + second, 0,
                                 side, text, kind});
    ASSERT_TRUE(service->Drain(10));
  }
  void TickAt(double at) {
    now = at;
    service->Report();
    ASSERT_TRUE(service->Drain(10));
  }
  std::vector<std::string> Received() const { return Lines(ReadText(received)); }
  // An archive file of channel 1 in the data folder.
  std::string ArchiveFile(const std::string& name) {
    std::filesystem::create_directories(data + "ch1");
    WriteText(data + "ch1/" + name, "RIFF");
    return data + "ch1/" + name;
  }
  std::string QueueFile() const { return data + std::string(kArchiveQueueName); }

  TempDir dir;
  LogCapture logs;
  double now = 100.0;
  std::string data = dir / "data/";
  std::string received = dir / "received";
  std::unique_ptr<HookService> service;
};

TEST_F(HookServiceTest, AConditionsStartAndEndShareOneWindowAndTheNewestStateIsRunWhenItCloses) {
  Make(Receiver(), "");
  // Left: over, cleared, over again within ten seconds: the program told
  // already knows "over", so nothing more goes.
  Event(0, 0, "over_level", "L over 1");
  Event(2, 0, "over_level_end", "L clear 2");
  Event(4, 0, "over_level", "L over 4");
  // Right: the same, then cleared again: the clearing goes late, with its
  // own text and times, and how many were held back besides it.
  Event(0, 1, "over_level", "R over 0");
  Event(2, 1, "over_level_end", "R clear 2");
  Event(4, 1, "over_level", "R over 4");
  Event(6, 1, "over_level_end", "R clear 6");
  TickAt(9.9);
  EXPECT_EQ(Received().size(), 2u);
  TickAt(10.0);
  const std::vector<std::string> expected = {
      "L over_level 0 L over 1 2026/03/14 10:20:00 2026/03/14 01:20:00",
      "R over_level 0 R over 0 2026/03/14 10:20:00 2026/03/14 01:20:00",
      "R over_level_end 2 R clear 6 2026/03/14 10:20:06 2026/03/14 01:20:06"};
  EXPECT_EQ(Received(), expected);
  TickAt(30.0);
  EXPECT_EQ(Received().size(), 3u);
  // The next line on the left runs at once and counts the two held back.
  Event(31, 0, "over_level_end", "L clear 31");
  ASSERT_EQ(Received().size(), 4u);
  EXPECT_EQ(Received()[3], "L over_level_end 2 L clear 31 2026/03/14 10:20:31 2026/03/14 01:20:31");
}

TEST_F(HookServiceTest, ALateRunOpensAWindowOfItsOwnAndOtherKindsKeepTheirOwnLimit) {
  Make(Receiver(), "");
  Event(0, 0, "input_stalled", "stalled 0");
  Event(3, 0, "input_resumed", "resumed 3");
  TickAt(10.05);  // within a tick of the window's end
  ASSERT_EQ(Received().size(), 2u);
  EXPECT_EQ(Received()[1], "L input_resumed 0 resumed 3 2026/03/14 10:20:03 2026/03/14 01:20:03");
  // The late run opened a window: a stall at 12 waits until 20.05.
  Event(12, 0, "input_stalled", "stalled 12");
  TickAt(20.0);
  EXPECT_EQ(Received().size(), 2u);
  TickAt(20.1);
  ASSERT_EQ(Received().size(), 3u);
  EXPECT_EQ(Received()[2], "L input_stalled 0 stalled 12 2026/03/14 10:20:12 2026/03/14 01:20:12");
  // A kind of no pair: once in ten seconds, and never late.
  Event(21, 0, "click", "click 21");
  Event(23, 0, "click", "click 23");
  // low_level has a window of its own.
  Event(24, 0, "low_level", "low 24");
  TickAt(40.0);
  ASSERT_EQ(Received().size(), 5u);
  EXPECT_EQ(Received()[3], "L click 0 click 21 2026/03/14 10:20:21 2026/03/14 01:20:21");
  EXPECT_EQ(Received()[4], "L low_level 0 low 24 2026/03/14 10:20:24 2026/03/14 01:20:24");
  // At the end of the program a state held back goes at once, unless the
  // program told knows it already.
  Event(41, 0, "low_level_end", "fine 41");
  Event(42, 0, "low_level", "low 42");
  Event(43, 0, "low_level_end", "fine 43");
  Event(44, 0, "input_resumed", "resumed 44");
  Event(45, 0, "input_stalled", "stalled 45");
  ASSERT_EQ(Received().size(), 7u);
  service->Finish(10);
  ASSERT_EQ(Received().size(), 8u);
  EXPECT_EQ(Received()[7], "L input_stalled 0 stalled 45 2026/03/14 10:20:45 2026/03/14 01:20:45");
}

TEST_F(HookServiceTest, EightFilesClosingAtOnceAllRunInClosingOrderTwoAtATime) {
  const std::string log = dir / "uploads";
  Make("", Script("upload.sh", "echo \"start $1\" >> " + log + "; sleep 0.1; echo \"end $1\" >> " +
                                   log + "; echo \"sent $1 for $VARN_CHANNEL_NAME\"") +
               " ${VARN_FILE}");
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i)
    files.push_back(ArchiveFile("2026031410200" + std::to_string(i) + ".wav"));
  for (const std::string& f : files) service->FileFinished(0, f);
  // The queue file holds them all until they have run.
  EXPECT_EQ(Lines(ReadText(QueueFile())), files);
  ASSERT_TRUE(service->Drain(20));
  service->Report();
  EXPECT_FALSE(PathExists(QueueFile()));
  int going = 0;
  int most = 0;
  std::vector<std::string> started;
  for (const std::string& line : Lines(ReadText(log))) {
    if (line.starts_with("start ")) {
      started.push_back(line.substr(6));
      most = std::max(most, ++going);
    } else {
      --going;
    }
  }
  // In closing order: two started together may print in either order, but
  // no file starts before one that closed two places earlier.
  ASSERT_EQ(started.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const auto at = std::find(started.begin(), started.end(), files[i]) - started.begin();
    EXPECT_LE(std::abs(at - static_cast<std::ptrdiff_t>(i)), 1) << files[i];
  }
  EXPECT_LE(most, 2);
  EXPECT_EQ(going, 0);
  for (const std::string& f : files)
    EXPECT_EQ(logs.CountDiagnostics("ArchiveCommand output: sent " + f + " for line 1"), 1) << f;
}

TEST_F(HookServiceTest, ArchiveRunsStillGoingAtTheEndRunAtTheNextStart) {
  const std::string a = ArchiveFile("20260314100000.wav");
  const std::string b = ArchiveFile("20260314110000.wav");
  const std::string c = ArchiveFile("20260314120000.wav");
  Make("", "/bin/sleep 30");
  for (const std::string& f : {a, b, c}) service->FileFinished(0, f);
  service->Finish(0.2);
  service.reset();  // the two going are ended
  EXPECT_EQ(ReadText(QueueFile()), a + "\n" + b + "\n" + c + "\n");
  struct stat st {};
  ASSERT_EQ(stat(QueueFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const std::string sent = dir / "sent";
  Make("", Script("send.sh", "echo \"$VARN_CHANNEL $1\" >> " + sent) + " ${VARN_FILE}");
  ASSERT_TRUE(service->Drain(10));
  // Two run at once, so the first two may finish either way round.
  std::vector<std::string> got = Lines(ReadText(sent));
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{"1 " + a, "1 " + b, "1 " + c}));
  EXPECT_EQ(logs.CountDiagnostics("ArchiveCommand queue: 3 files left by the last run"), 1);
  service->Report();
  EXPECT_FALSE(PathExists(QueueFile()));
}

TEST_F(HookServiceTest, AQueueFileOthersMayWriteOrNamingFilesOutsideTheDataFolderIsRefused) {
  const std::string sent = dir / "sent";
  const std::string send = Script("send.sh", "echo \"$1\" >> " + sent) + " ${VARN_FILE}";
  const std::string inside = ArchiveFile("20260314100000.wav");
  WriteText(dir / "elsewhere.wav", "RIFF");
  std::filesystem::create_directories(data);
  WriteText(QueueFile(), inside + "\n");
  chmod(QueueFile().c_str(), 0666);
  Make("", send);
  ASSERT_TRUE(service->Drain(10));
  EXPECT_FALSE(PathExists(sent));
  EXPECT_EQ(logs.CountDiagnostics("ArchiveCommand queue not taken: " + QueueFile() +
                                  " is writable by its group and others (mode 0666)"),
            1)
      << logs.Diagnostics();

  WriteText(QueueFile(), dir / "elsewhere.wav\n" + data + "ch1/../../elsewhere.wav\n" + inside +
                             "\n" + data + "ch1/gone.wav\n");
  chmod(QueueFile().c_str(), 0600);
  Make("", send);
  ASSERT_TRUE(service->Drain(10));
  EXPECT_EQ(Lines(ReadText(sent)), std::vector<std::string>{inside});
  EXPECT_EQ(logs.CountDiagnostics(dir / "elsewhere.wav is not inside the data folder"), 1)
      << logs.Diagnostics();
  EXPECT_EQ(logs.CountDiagnostics("ch1/../../elsewhere.wav is not inside the data folder"), 1);
  EXPECT_EQ(logs.CountDiagnostics("ch1/gone.wav no longer exists; not run"), 1);
}

TEST_F(HookServiceTest, WhatAHookPrintsGoesToTheDiagnosticsFileCutAtFourKilobytes) {
  Make(Script("print.sh",
              "echo \"seen $VARN_EVENT\"; echo \"to errors\" >&2; "
              "head -c 5000 /dev/zero | tr '\\0' x"),
       "");
  Event(0, -1, "start", "start");
  service->Report();
  const std::vector<std::string> lines = logs.DiagnosticLines();
  const std::vector<std::string> expected = {
      "EventCommand output: seen start", "EventCommand output: to errors",
      "EventCommand output: " + std::string(kHookOutputLimit - 21, 'x'),
      "EventCommand output: cut at 4096 bytes; 925 more not kept"};
  EXPECT_EQ(lines, expected);
}

class HooksTest : public EngineFixture {
 protected:
  // A hook program that writes its arguments and its VARN_ variables, one a
  // line, into a file of its own in `out`, then runs `tail` (a shell line).
  std::string Recorder(const std::string& tail = "") {
    const std::string script = dir / "record.sh";
    WriteText(script, "#!/bin/sh\nf=" + out +
                          "/run.$$\nfor a in \"$@\"; do echo \"arg=$a\" >> $f; done\n"
                          "env | grep -E '^VARN_(EVENT|CHANNEL|CHANNEL_NAME|SIDE|TEXT|LOCAL_TIME|"
                          "UTC_TIME|SUPPRESSED|FILE)=' | sort >> $f\n" +
                          tail + "\n");
    chmod(script.c_str(), 0755);
    std::filesystem::create_directories(out);
    return script;
  }
  std::vector<std::vector<std::string>> Runs() const {
    std::vector<std::vector<std::string>> runs;
    for (const auto& e : std::filesystem::directory_iterator(out))
      runs.push_back(Lines(ReadText(e.path().string())));
    return runs;
  }
  static bool Has(const std::vector<std::string>& run, const std::string& line) {
    return std::find(run.begin(), run.end(), line) != run.end();
  }
  size_t RunsOf(const std::string& event) const {
    size_t n = 0;
    for (const auto& run : Runs()) n += Has(run, "VARN_EVENT=" + event);
    return n;
  }
  std::string out = dir / "runs";
};

TEST_F(HooksTest, AnEventRunsItsProgramWithTheLineInItsEnvironmentAndNoShell) {
  const std::string hook = Recorder();
  Build(
      "NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nChName_1=FM東京 本線\n"
      "EventCommand=" +
      hook + " \"two words\" a;b|c ${VARN_EVENT}:${VARN_CHANNEL}\n");
  engine->StartChannel(0);
  ASSERT_TRUE(WaitFor([&] { return RunsOf("record_start") == 1; }, 10));
  std::vector<std::string> run;
  for (const auto& r : Runs())
    if (Has(r, "VARN_EVENT=record_start")) run = r;
  const std::vector<std::string> expected = {"arg=two words",
                                             "arg=a;b|c",
                                             "arg=record_start:1",
                                             "VARN_CHANNEL=1",
                                             "VARN_CHANNEL_NAME=FM東京 本線",
                                             "VARN_EVENT=record_start",
                                             "VARN_LOCAL_TIME=2026/03/14 10:20:00",
                                             "VARN_SIDE=",
                                             "VARN_SUPPRESSED=0",
                                             "VARN_TEXT=録音開始",
                                             "VARN_UTC_TIME=2026/03/14 01:20:00"};
  EXPECT_EQ(run, expected);
}

TEST_F(HooksTest, AKindOfEventRunsOnceInTenSecondsAndTheNextRunCountsWhatWasHeldBack) {
  Build("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nEventCommand=" +
        Recorder() + "\n");
  engine->BeginRunning(false);
  for (int i = 0; i < 4; ++i) {  // four starts (and stops) within a few seconds
    engine->StartChannel(0);
    TickAfter(1.0);
    engine->StopChannel(0);
    TickAfter(1.0);
  }
  TickAfter(3.0);  // ten seconds after the first
  engine->StartChannel(0);
  ASSERT_TRUE(WaitFor([&] { return RunsOf("record_start") == 2; }, 10)) << RunsOf("record_start");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(RunsOf("record_start"), 2u);  // no catch-up run
  size_t withThree = 0;
  for (const auto& run : Runs())
    withThree += Has(run, "VARN_EVENT=record_start") && Has(run, "VARN_SUPPRESSED=3");
  EXPECT_EQ(withThree, 1u);
  EXPECT_EQ(RunsOf("start"), 1u);  // another kind has its own count
}

TEST_F(HooksTest, AHookThatHangsIsEndedAndTheTicksKeepTheirPace) {
  Build(
      "NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nHookTimeoutSec=1\n"
      "EventCommand=/bin/sleep 60\n");
  engine->BeginRunning(true);
  int ticks = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3500);
  while (std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    TickAfter(0.01);
    ++ticks;
  }
  // A tick that waited for the hook would have left room for a few only.
  EXPECT_GT(ticks, 150);
  EXPECT_NE(Diagnostics().find("EventCommand: timed out after 1 s"), std::string::npos)
      << Diagnostics();
  // Reported once an hour, however many runs time out.
  EXPECT_EQ(Diagnostics().find("EventCommand: timed out after 1 s"),
            Diagnostics().rfind("EventCommand: timed out after 1 s"));
}

TEST_F(HooksTest, ASettingsFileOthersMayWriteRunsNoHook) {
  const std::string hook = Recorder();
  WriteText(dir / "varn.ini", "[conf]\n");
  chmod((dir / "varn.ini").c_str(), 0666);
  // Build rewrites the file; its mode stays.
  Build("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nEventCommand=" + hook +
        "\n");
  chmod((dir / "varn.ini").c_str(), 0666);
  engine->GetMiscSetting();
  engine->StartChannel(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(Runs().empty());
  EXPECT_NE(Diagnostics().find("EventCommand and ArchiveCommand are not run: " + dir / "varn.ini" +
                               " is writable by its group and others (mode 0666)"),
            std::string::npos)
      << Diagnostics();
}

TEST_F(HooksTest, TheArchiveHookGetsEachFileOnceItIsCompleteAcrossTheHour) {
  // The hook keeps a copy of the file as it is when the hook runs.
  const std::string hook = Recorder("cp \"$1\" \"$1.copy\"");
  clock.Set(DateTime{2026, 3, 14, 10, 59, 58, 0});
  Build("NumRec=1\nDeviceName_1=Sim Ramp\nRecFreq_1=8000\nBitRate_1=0\nArchiveCommand=" + hook +
        " ${VARN_FILE}\n");
  engine->BeginRunning(true);
  Run(4.0, {kRampDevice}, 8000);  // across 11:00:00
  engine->CloseChannels();
  engine.reset();  // waits for the runs of the files it has just closed
  std::vector<std::string> files;
  for (const auto& run : Runs()) {
    EXPECT_TRUE(Has(run, "VARN_CHANNEL=1"));
    for (const std::string& line : run)
      if (line.rfind("VARN_FILE=", 0) == 0) files.push_back(line.substr(10));
  }
  ASSERT_EQ(files.size(), 2u);
  for (const std::string& file : files) {
    EXPECT_TRUE(std::filesystem::path(file).is_absolute()) << file;
    const WavInfo info = ReadWavInfo(file + ".copy");
    EXPECT_EQ(info.Valid, 1) << file;
    EXPECT_GT(info.DataSize, 0) << file;
    // The copy taken by the hook is the whole file.
    EXPECT_EQ(ReadBytes(file + ".copy"), ReadBytes(file)) << file;
  }
}

TEST_F(HooksTest, AReloadThatChangesTheArchiveCommandLetsARunningUploadFinish) {
  const std::string log = dir / "uploads";
  const std::string first = dir / "first.sh";
  WriteText(first, "#!/bin/sh\necho started >> " + log + "\nsleep 0.3\necho \"first $1\" >> " +
                       log + "\n");
  const std::string second = dir / "second.sh";
  WriteText(second, "#!/bin/sh\necho \"second $1\" >> " + log + "\n");
  chmod(first.c_str(), 0755);
  chmod(second.c_str(), 0755);
  Build("NumRec=1\nDeviceName_1=Sim Ramp\nRecFreq_1=8000\nBitRate_1=0\nArchiveCommand=" + first +
        " ${VARN_FILE}\n");
  engine->BeginRunning(false);
  engine->StartChannel(0);
  Run(0.5, {kRampDevice}, 8000);
  const std::string firstFile = engine->Channel(0).archive.CurrentPath;
  engine->StopChannel(0);
  TickAfter(0.01);
  ASSERT_TRUE(WaitFor([&] { return PathExists(log); }, 10));
  WriteSetting("ArchiveCommand", second + " ${VARN_FILE}");
  engine->ReloadSettings();
  engine->StartChannel(0);
  Run(0.5, {kRampDevice}, 8000);
  const std::string secondFile = engine->Channel(0).archive.CurrentPath;
  engine->CloseChannels();
  engine.reset();
  std::vector<std::string> lines = Lines(ReadText(log));
  std::sort(lines.begin(), lines.end());
  const std::vector<std::string> expected = {
      "first " + std::filesystem::absolute(firstFile).lexically_normal().string(),
      "second " + std::filesystem::absolute(secondFile).lexically_normal().string(), "started"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace varn::test
