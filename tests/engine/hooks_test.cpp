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

}  // namespace
}  // namespace varn::test
