// The real program with its window on a virtual X server: the window comes
// up with its caption, the meters move, its metrics endpoint answers, and
// SIGTERM ends it as a session end.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <thread>

#include "integration/varn_run.h"
#include "support/http_client.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "ui/main_window/panel_geometry.h"

extern char** environ;

namespace varn::test {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 800;

bool Installed(const std::string& tool) {
  return RunCommand("command -v " + tool + " >/dev/null 2>&1").exitCode == 0;
}

// An Xvfb server of the test's own on a free display number.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    for (int n = 90 + getpid() % 50; n < 200 && pid_ < 0; ++n) {
      struct stat st {};
      if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) == 0) continue;
      const std::string display = ":" + std::to_string(n);
      const std::string screen = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
      const char* argv[] = {"Xvfb",         display.c_str(), "-screen", "0",
                            screen.c_str(), "-nolisten",     "tcp",     nullptr};
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
      posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
      pid_t pid = -1;
      const int r =
          posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
      posix_spawn_file_actions_destroy(&actions);
      if (r != 0) return;
      for (int i = 0; i < 100; ++i) {
        if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) == 0) {
          pid_ = pid;
          display_ = display;
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Up() const { return pid_ > 0; }
  const std::string& Name() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// The screen as xwd dumps it: 32-bit pixels, rows of bytesPerLine.
struct ScreenShot {
  int width = 0;
  int height = 0;
  int bytesPerLine = 0;
  std::vector<uint8_t> pixels;
  uint32_t At(int x, int y) const {
    const size_t o = static_cast<size_t>(y) * bytesPerLine + static_cast<size_t>(x) * 4;
    return pixels[o] | pixels[o + 1] << 8 | pixels[o + 2] << 16;
  }
};

uint32_t Be32(const std::vector<uint8_t>& b, size_t o) {
  return uint32_t{b[o]} << 24 | uint32_t{b[o + 1]} << 16 | uint32_t{b[o + 2]} << 8 | b[o + 3];
}

std::optional<ScreenShot> Shoot(const std::string& display, const std::string& path) {
  if (RunCommand("DISPLAY=" + display + " xwd -root -silent > " + path).exitCode != 0) return {};
  const std::vector<uint8_t> b = ReadBytes(path);
  if (b.size() < 100) return {};
  const uint32_t headerSize = Be32(b, 0);
  ScreenShot s;
  s.width = static_cast<int>(Be32(b, 16));
  s.height = static_cast<int>(Be32(b, 20));
  const uint32_t bitsPerPixel = Be32(b, 44);
  s.bytesPerLine = static_cast<int>(Be32(b, 48));
  const uint32_t colours = Be32(b, 76);
  const size_t data = headerSize + static_cast<size_t>(colours) * 12;
  if (bitsPerPixel != 32 || b.size() < data + static_cast<size_t>(s.bytesPerLine) * s.height)
    return {};
  s.pixels.assign(b.begin() + static_cast<std::ptrdiff_t>(data), b.end());
  return s;
}

int DifferingPixels(const ScreenShot& a, const ScreenShot& b, const TwipRect& r) {
  int n = 0;
  for (int y = r.top / 15; y < r.Bottom() / 15; ++y)
    for (int x = r.left / 15; x < r.Right() / 15; ++x) n += a.At(x, y) != b.At(x, y);
  return n;
}

TEST(Window, ComesUpWithItsCaptionShowsMovingMetersAndEndsCleanlyOnSigterm) {
  for (const char* tool : {"Xvfb", "xwd", "xwininfo"})
    if (!Installed(tool)) GTEST_SKIP() << tool << " is not installed";
  VirtualDisplay display;
  ASSERT_TRUE(display.Up());
  TempDir app;
  const uint16_t metricsPort = FreeTcpPort();
  WriteText(app / "varn.ini",
            "[conf]\nNumRec=4\nShowRecButton=0\nDeviceName_1=Sim Programme\n"
            "DeviceName_2=Sim Tone 1kHz\nDeviceName_3=Sim Pink Noise\nDeviceName_4=Sim Silence\n"
            "WindowLeft=0\nWindowTop=0\nWindowWidth=" +
                std::to_string(kWidth * 15) + "\nWindowHeight=" + std::to_string(kHeight * 15) +
                "\nMetricsListen=" + std::to_string(metricsPort) + "\n");
  VarnRun run(
      app.Path(), {"--audio", "sim"},
      {"DISPLAY=" + display.Name(), "QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + app.Path()});

  bool shown = false;
  for (int i = 0; i < 100 && !shown && run.Running(); ++i) {
    shown = RunCommand("DISPLAY=" + display.Name() +
                       " xwininfo -root -tree | grep -q '\"varn - VarnAudio\"'")
                .exitCode == 0;
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(shown) << run.Err();

  // About ten seconds of monitoring in all, the last one between two shots.
  std::this_thread::sleep_for(std::chrono::seconds(8));
  const auto first = Shoot(display.Name(), app / "first.xwd");
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const auto second = Shoot(display.Name(), app / "second.xwd");
  ASSERT_TRUE(first && second);
  ASSERT_EQ(first->width, kWidth);

  // Where the meters are: the layout the window itself uses, at 96 DPI and
  // with no window manager, so the client area starts at the screen's corner.
  PanelLayoutInput in;
  in.clientWidth = kWidth * 15;
  in.clientHeight = kHeight * 15;
  in.channels = 4;
  in.showRecButton = false;
  PanelLayout layout = LayoutPanels(in);
  auto onScreen = [&](TwipRect r) {
    r.left += layout.all.left + (kWidth * 15 - layout.all.width) / 2 - layout.all.left;
    r.top += layout.all.top;
    return r;
  };
  EXPECT_GT(DifferingPixels(*first, *second, onScreen(layout.panels[0].meter)), 0);
  EXPECT_GT(DifferingPixels(*first, *second, onScreen(layout.panels[0].waveView)), 0);
  // The silent line's meter stands still.
  EXPECT_EQ(DifferingPixels(*first, *second, onScreen(layout.panels[3].meter)), 0);
  // The window's engine publishes its metrics too.
  const std::string metrics = HttpGet(metricsPort, "/metrics").body;
  EXPECT_NE(metrics.find("varn_channel_recording{channel=\"4\",name=\"系統名4\"} 1\n"),
            std::string::npos)
      << metrics;

  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(15), 0) << run.Err();
  const std::vector<std::string> texts = EventTexts(Lines(EventFiles(app.Path())));
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "**************正常終了*****************");
  EXPECT_EQ(CountLines(EventFiles(app.Path()), "録音停止"), 4);
  EXPECT_FALSE(ArchiveFiles(app.Path(), 1).empty());
}

}  // namespace
}  // namespace varn::test
