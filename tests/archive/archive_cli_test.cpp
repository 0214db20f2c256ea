// varn archive list and varn extract as an operator runs them, against
// ffmpeg's decoding and ffprobe's frame count of the same files.

#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "archive/mp3acm.h"
#include "archive_test_support.h"
#include "support/child_process.h"
#include "support/run_command.h"

namespace varn {
namespace {

class ArchiveCliTest : public ::testing::Test {
 protected:
  void SetUp() override { test::Shell("mkdir -p " + Ch1()); }
  test::CommandResult Varn(const std::string& args, const std::string& tz = "UTC0") {
    return test::RunCommand("TZ='" + tz + "' XDG_CONFIG_HOME=" + home.Path() + " " + VARN_EXE +
                            " --app-folder " + app.Path() + " " + args + " 2>" + app.Path() +
                            "stderr.txt");
  }
  std::string Stderr() { return test::ReadText(app / "stderr.txt"); }
  std::string Ch1() const { return app / "varn_data/ch1/"; }
  // The samples ffmpeg decodes a file to, interleaved 16-bit.
  std::vector<int16_t> FfmpegDecode(const std::string& file) {
    EXPECT_TRUE(test::Shell("ffmpeg -v error -y -i " + file + " -f s16le " + app / "ff.raw"));
    const auto bytes = test::ReadBytes(app / "ff.raw");
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
  }
  int FfprobeFrames(const std::string& file) {
    const auto r = test::RunCommand(
        "ffprobe -v error -count_frames -select_streams a:0 -show_entries "
        "stream=nb_read_frames -of csv=p=0 " +
        file);
    return r.exitCode == 0 ? std::stoi(r.output) : -1;
  }
  test::TempDir app;
  test::TempDir home;
};

TEST_F(ArchiveCliTest, ListShowsFilesAndHolesAsTextAndJson) {
  ASSERT_EQ(Varn("config set ChName_1 'Studio A'").exitCode, 0);
  test::WriteRampWav(Ch1() + "20261206100000.wav", 4);
  test::WriteRampWav(Ch1() + "20261206100004.wav", 2);
  test::WriteRampWav(Ch1() + "20261206100010.wav", 2, 0, 16000, 2);
  test::WriteText(Ch1() + "readme.txt", "not audio");

  auto r = Varn("archive list");
  ASSERT_EQ(r.exitCode, 0) << Stderr();
  EXPECT_EQ(r.output,
            "ch1 Studio A: 3 files, 224.1 kB\n"
            "  2026-12-06 10:00:00  2026-12-06 10:00:04  wav 8000Hz 1ch 16bit  64.0 kB  " +
                Ch1() +
                "20261206100000.wav\n"
                "  2026-12-06 10:00:04  2026-12-06 10:00:06  wav 8000Hz 1ch 16bit  32.0 kB  " +
                Ch1() +
                "20261206100004.wav\n"
                "  2026-12-06 10:00:06  2026-12-06 10:00:10  hole 4s\n"
                "  2026-12-06 10:00:10  2026-12-06 10:00:12  wav 16000Hz 2ch 16bit  128.0 kB  " +
                Ch1() + "20261206100010.wav\n");

  r = Varn(
      "archive list --json --utc --channel 1 --from '2026-12-06 10:00:05' --to "
      "2026-12-06T11:00:11+01:00");
  ASSERT_EQ(r.exitCode, 0) << Stderr();
  const auto j = nlohmann::json::parse(r.output);
  const auto& ch = j["channels"][0];
  EXPECT_EQ(ch["name"], "Studio A");
  ASSERT_EQ(ch["files"].size(), 2u);
  EXPECT_EQ(ch["files"][0]["name"], "20261206100004.wav");
  EXPECT_EQ(ch["files"][1]["start"], "2026-12-06 10:00:10Z");
  EXPECT_EQ(ch["files"][1]["rate"], 16000);
  ASSERT_EQ(ch["holes"].size(), 1u);
  EXPECT_EQ(ch["holes"][0]["seconds"], 4.0);
}

TEST_F(ArchiveCliTest, Mp3DecodedAndCopiedAcrossTheJoin) {
  // Two of the program's own MP3 files, 4 s each, the second named where
  // the first ends (the first runs a little longer: the encoder's delay).
  for (const auto& [name, tone] : {std::pair{"20261206100000", 440.0}, {"20261206100004", 650.0}}) {
    test::WriteWav(app / "src.wav", 48000, 2, test::ToneFrames(tone, 48000, 4 * 48000, 2));
    C_mp3acm codec;
    ASSERT_TRUE(codec.EncFromWavfile(app / "src.wav", Ch1() + name + ".mp3", 128));
  }
  const auto a = FfmpegDecode(Ch1() + "20261206100000.mp3");
  const auto b = FfmpegDecode(Ch1() + "20261206100004.mp3");
  const int64_t firstFrames = static_cast<int64_t>(a.size()) / 2;
  ASSERT_GT(firstFrames, 4 * 48000);

  auto r = Varn("extract --channel 1 --from '2026-12-06 10:00:02' --to '2026-12-06 10:00:07' " +
                app / "d.wav");
  ASSERT_EQ(r.exitCode, 0) << Stderr();
  const auto d = test::ReadPcmWav(app / "d.wav");
  ASSERT_EQ(d.size(), 5u * 48000 * 2);
  // The first file to its end, then the second from the same instant on.
  std::vector<int16_t> want(a.begin() + 2 * 48000 * 2, a.end());
  want.insert(want.end(), b.begin() + (firstFrames - 4 * 48000) * 2, b.end());
  want.resize(d.size());
  int worst = 0;
  for (size_t i = 0; i < d.size(); ++i) worst = std::max(worst, std::abs(d[i] - want[i]));
  EXPECT_LE(worst, 2);

  r = Varn("extract --channel 1 --from '2026-12-06 10:00:02' --to '2026-12-06 10:00:07' --copy " +
           app / "c.mp3");
  ASSERT_EQ(r.exitCode, 0) << Stderr();
  // Every frame that overlaps the range, the overlap of the two files once.
  const int64_t first = 2 * 48000 / 1152;
  const int64_t fromSecond = (firstFrames - 4 * 48000) / 1152;
  const int64_t toSecond = (3 * 48000 + 1151) / 1152;
  EXPECT_EQ(FfprobeFrames(app / "c.mp3"), firstFrames / 1152 - first + toSecond - fromSecond);
  // A hole in a copy is filled with silent frames of the same format.
  r = Varn("extract --channel 1 --from '2026-12-06 10:00:06' --duration 6 --copy " + app / "h.mp3");
  ASSERT_EQ(r.exitCode, 0) << Stderr();
  EXPECT_NE(Stderr().find("hole from 2026-12-06 10:00:08"), std::string::npos) << Stderr();
  EXPECT_NEAR(FfprobeFrames(app / "h.mp3"), 6 * 48000 / 1152, 2);
}

TEST_F(ArchiveCliTest, OutputsRefusalsAndBadArguments) {
  test::WriteRampWav(Ch1() + "20261206100000.wav", 4);
  test::WriteRampWav(Ch1() + "20261206100006.wav", 2);
  const std::string range = " --channel 1 --from '2026-12-06 10:00:01' --duration 2 ";
  // A folder: the file is named by its start; "-": WAV on standard output.
  ASSERT_EQ(Varn("extract" + range + app.Path()).exitCode, 0) << Stderr();
  EXPECT_EQ(test::ReadPcmWav(app / "20261206100001.wav"), test::Ramp(8000, 16000, 1));
  const auto out = Varn("extract" + range + "-");
  EXPECT_EQ(out.exitCode, 0);
  EXPECT_EQ(out.output.size(), 44u + 32000);

  // Refusals: exit 1, and no file left behind.
  const std::string over = " --channel 1 --from '2026-12-06 10:00:02' --to '2026-12-06 10:00:07' ";
  EXPECT_EQ(Varn("extract" + over + "--no-fill " + app / "x.wav").exitCode, 1);
  EXPECT_NE(Stderr().find("1 hole in the range"), std::string::npos) << Stderr();
  EXPECT_EQ(Varn("extract --channel 1 --from '2026-12-07 10:00:00' --duration 5 " + app / "x.wav")
                .exitCode,
            1);
  EXPECT_NE(Stderr().find("no archive"), std::string::npos) << Stderr();
  EXPECT_FALSE(test::PathExists(app / "x.wav"));
  EXPECT_FALSE(test::PathExists(app / "x.wav.part"));

  const std::pair<std::string, std::string> bad[] = {
      {"extract --channel 1 --from yesterday --duration 2 " + app / "x.wav", "cannot read"},
      {"extract --channel 1 --from '2026-12-06 10:00:05' --to '2026-12-06 10:00:01' " +
           app / "x.wav",
       "ends before it starts"},
      {"extract --channel 5 --from '2026-12-06 10:00:01' --duration 2 " + app / "x.wav",
       "no channel 5"},
      {"extract --channel one --from '2026-12-06 10:00:01' --duration 2 " + app / "x.wav",
       "not a channel"},
      {"extract --channel 1 --from '2026-12-06 10:00:01' --duration 2", "needs OUT"},
      {"extract --channel 1 --from '2026-12-06 10:00:01' " + app / "x.wav", "--to"},
      {"extract" + range + app / "x.flac", "must end in"},
      {"extract" + range + "--copy " + app / "x.wav", "--copy"},
      {"extract --channel 1 --from 2026-12-06 --duration 0 " + app / "x.wav", "--duration"},
      {"archive list --to '2026-13-01'", "no such time"},
      {"archive list --channel 0", "not a channel"},
      {"archive list --since today", "not expected"},
      {"archive", "subcommand is required"},
  };
  // A time in the hour repeated when summer time ends: the first pass,
  // with a warning that says how to name the second.
  EXPECT_EQ(Varn("archive list --from '2026-10-25 02:30'", test::kCentralEurope).exitCode, 0);
  EXPECT_NE(Stderr().find("comes twice (summer time ended); the first pass is meant (+02:00); "
                          "write +01:00 after it for the second"),
            std::string::npos)
      << Stderr();
  for (const auto& [args, text] : bad) {
    EXPECT_EQ(Varn(args).exitCode, 2) << args;
    EXPECT_NE(Stderr().find(text), std::string::npos) << args << ": " << Stderr();
  }
}

TEST_F(ArchiveCliTest, StoppedExtractLeavesNothingBehind) {
  test::WriteRampWav(Ch1() + "20261206100000.wav", 1, 0, 48000, 2);
  // Two hours, nearly all of it a hole, encoded: many seconds of work.
  test::ChildProcess extract({"env", "TZ=UTC0", "XDG_CONFIG_HOME=" + home.Path(), VARN_EXE,
                              "--app-folder", app.Path(), "extract", "--channel", "1", "--from",
                              "2026-12-06 10:00:00", "--duration", "7200", app / "out.mp3"});
  ASSERT_TRUE(extract.Started());
  for (int i = 0; i < 1000 && !test::PathExists(app / "out.mp3.part"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(test::PathExists(app / "out.mp3.part"));
  EXPECT_EQ(extract.Stop(), 130);
  EXPECT_FALSE(test::PathExists(app / "out.mp3.part"));
  EXPECT_FALSE(test::PathExists(app / "out.mp3"));
}

}  // namespace
}  // namespace varn
