// varn devices, as an operator runs it.

#include <gtest/gtest.h>

#include <cstdlib>

#include "archive/wav_file.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

test::CommandResult Varn(const std::string& env, const std::string& args) {
  return test::RunCommand(env + " " + VARN_EXE + " " + args + " 2>/dev/null");
}

TEST(DevicesCommand, ListsStreamsAfterTheSoundServersInputs) {
  test::TempDir app;
  test::WriteText(app / "varn.ini",
                  "[conf]\nStream_1=Radio|http://127.0.0.1:1/live.mp3\n"
                  "Stream_2=Local|file:///etc/passwd\nStream_3=Second|https://127.0.0.1:1/a\n");
  const auto r = Varn("", "--app-folder " + app.Path() + " devices --audio sim");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("in 4 Sim Ramp\nin 5 Radio (stream)\nin 6 Second (stream)\nout 0"),
            std::string::npos)
      << r.output;
  const auto refusal = test::RunCommand(std::string(VARN_EXE) + " --app-folder " + app.Path() +
                                        " devices --audio sim 2>&1 >/dev/null");
  EXPECT_NE(refusal.output.find("Stream_2: the scheme \"file\" is refused"), std::string::npos)
      << refusal.output;
}

TEST(DevicesCommand, ListsTheVirtualDevicesWithTheirNumbers) {
  test::TempDir files;
  ASSERT_TRUE(WriteWavHeader(8000, 16, 1, files / "jingle.wav", 0));
  const auto r = Varn("VARN_SIM_FILES=" + files.Path(), "devices --audio sim");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output,
            "in 0 Sim Tone 1kHz\nin 1 Sim Pink Noise\nin 2 Sim Programme\nin 3 Sim Silence\n"
            "in 4 Sim Ramp\nin 5 Sim File jingle.wav\nout 0 Sim Null Output\n");
  // The backend may also come from the global option or the environment.
  EXPECT_EQ(Varn("", "--audio sim devices").output, Varn("VARN_AUDIO=sim", "devices").output);
  EXPECT_NE(Varn("", "devices --audio alsa").exitCode, 0);
}

// An empty list would read as a machine without sound cards.
TEST(DevicesCommand, ABackendThatCannotBeReachedFailsAndSaysSo) {
  test::TempDir dir;
  const auto r = test::RunCommand("PULSE_SERVER=unix:" + dir / "no-such-socket" + " " + VARN_EXE +
                                  " devices --audio pulse 2>" + dir / "err.txt");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "");
  const std::string err = test::ReadText(dir / "err.txt");
  EXPECT_NE(err.find("varn: the PulseAudio server cannot be reached ("), std::string::npos) << err;
  EXPECT_NE(err.find("); no devices can be listed\n"), std::string::npos) << err;
}

TEST(DevicesCommand, ListsThePulseAudioDevicesWhenAServerRuns) {
  const char* wanted = std::getenv("VARN_TEST_PULSE");
  if (!wanted || !*wanted) GTEST_SKIP() << "VARN_TEST_PULSE is not set: no test server";
  const auto r = Varn("", "devices --audio pulse");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(
      r.output,
      "in 0 Monitor of VarnNullA\nin 1 Monitor of VarnNullB\nout 0 VarnNullA\nout 1 VarnNullB\n");
  EXPECT_EQ(Varn("", "devices --audio auto").output, r.output);
}

}  // namespace
}  // namespace varn
