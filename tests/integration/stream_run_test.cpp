// Network streams as input devices, end to end against real servers on
// loopback: two Icecast servers fed by ffmpeg as source client (MP3, Ogg
// Vorbis, a silent mount, a source that pauses, a server that is killed and
// restarted), and an HLS playlist from ffmpeg's HLS muxer with a file of
// garbage beside it, served by python's HTTP server. One headless run
// watches all eight at once, so the servers and their waits overlap.

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "archive/wav_file.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"
#include "support/wait_for.h"
#include "varn_run.h"

extern char** environ;

namespace varn {
namespace {

using Texts = std::vector<std::string>;

bool Installed(const std::string& program) {
  return test::RunCommand("command -v " + program + " >/dev/null 2>&1").exitCode == 0;
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

// A background program whose pid the test signals (pause, kill).
class Proc {
 public:
  explicit Proc(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Proc() { End(SIGKILL); }
  Proc(const Proc&) = delete;
  Proc& operator=(const Proc&) = delete;
  void Signal(int s) {
    if (pid_ > 0) kill(pid_, s);
  }
  void End(int s = SIGTERM) {
    if (pid_ <= 0) return;
    kill(pid_, SIGCONT);
    kill(pid_, s);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// Debian's icecast2 on a loopback port of its own. It refuses to run as
// root, so its configuration hands it to "nobody" once the port is bound.
class Icecast {
 public:
  explicit Icecast(const test::TempDir& dir, const std::string& name) : port_(FreePort()) {
    config_ = dir / (name + ".xml");
    const std::string logs = dir.Path();
    test::WriteText(config_,
                    "<icecast><limits><sources>8</sources>"
                    "<source-timeout>30</source-timeout><burst-size>65536</burst-size>"
                    "</limits><authentication><source-password>pw</source-password>"
                    "<admin-user>admin</admin-user><admin-password>pw</admin-password>"
                    "</authentication><hostname>127.0.0.1</hostname>"
                    "<listen-socket><port>" +
                        std::to_string(port_) +
                        "</port><bind-address>127.0.0.1</bind-address></listen-socket>"
                        "<paths><basedir>" +
                        logs + "</basedir><logdir>" + logs +
                        "</logdir><webroot>/usr/share/icecast2/web</webroot>"
                        "<adminroot>/usr/share/icecast2/admin</adminroot></paths>"
                        "<logging><accesslog>" +
                        name + "-access.log</accesslog><errorlog>" + name +
                        "-error.log</errorlog><loglevel>1</loglevel></logging>"
                        "<security><chroot>0</chroot><changeowner><user>nobody</user>"
                        "<group>nogroup</group></changeowner></security></icecast>");
    Start();
  }
  bool Start() {
    server_ = std::make_unique<Proc>(std::vector<std::string>{"icecast2", "-c", config_});
    return test::WaitFor([&] { return Listening(port_); }, 5.0);
  }
  void Kill() { server_.reset(); }
  std::string Mount(const std::string& mount) const {
    return "icecast://source:pw@127.0.0.1:" + std::to_string(port_) + "/" + mount;
  }
  std::string Url(const std::string& mount) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + mount;
  }
  int Port() const { return port_; }

 private:
  int port_;
  std::string config_;
  std::unique_ptr<Proc> server_;
};

// ffmpeg as a source client: `input` (a file, looped, at real-time pace)
// to an Icecast mount.
std::unique_ptr<Proc> Source(const std::string& input, const std::string& target, bool ogg) {
  std::vector<std::string> args = {"ffmpeg",       "-nostdin", "-loglevel", "error", "-re",
                                   "-stream_loop", "-1",       "-i",        input};
  if (ogg) {
    for (const char* a :
         {"-c:a", "libvorbis", "-q:a", "4", "-content_type", "audio/ogg", "-f", "ogg"})
      args.push_back(a);
  } else {
    for (const char* a :
         {"-c:a", "libmp3lame", "-b:a", "128k", "-content_type", "audio/mpeg", "-f", "mp3"})
      args.push_back(a);
  }
  args.push_back(target);
  return std::make_unique<Proc>(args);
}

double IntegratedLoudness(const std::string& file) {
  const std::string log = test::RunCommand("ffmpeg -hide_banner -nostats -i " + file +
                                           " -af ebur128 -f null - 2>&1 >/dev/null")
                              .output;
  std::istringstream in(log.substr(std::min(log.rfind("Summary:"), log.size())));
  for (std::string name; in >> name;) {
    double v = 0;
    if (name == "I:" && in >> v) return v;
  }
  return NAN;
}

// Seconds from the first to the last sample louder than -50 dBFS.
double SoundingSpan(const std::string& wav) {
  const WavInfo info = ReadWavInfo(wav);
  if (info.Valid != 1) return -1;
  const auto bytes = test::ReadBytes(wav);
  const size_t frameBytes = 2u * info.Channels;
  int64_t first = -1;
  int64_t last = -1;
  for (size_t at = info.DataOffset, frame = 0; at + frameBytes <= bytes.size();
       at += frameBytes, ++frame) {
    const int v = static_cast<int16_t>(test::Le16(bytes, at));
    if (std::abs(v) > 100) {
      if (first < 0) first = static_cast<int64_t>(frame);
      last = static_cast<int64_t>(frame);
    }
  }
  return first < 0 ? 0 : static_cast<double>(last - first + 1) / info.SampleRate;
}

std::string LocalTimeText(std::time_t t) {
  char text[32];
  std::tm tm{};
  localtime_r(&t, &tm);
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &tm);
  return text;
}

// The event lines of channel `ch` (1-based) with their local time.
std::vector<std::pair<std::string, std::string>> ChannelEvents(const std::string& events, int ch) {
  std::vector<std::pair<std::string, std::string>> out;
  const std::string tag = " ch" + std::to_string(ch) + " ";
  for (const std::string& line : test::Lines(events)) {
    const size_t at = line.find(tag);
    if (at == std::string::npos || line.size() < 19) continue;
    out.emplace_back(line.substr(0, 19), line.substr(at + tag.size()));
  }
  return out;
}

bool Has(const std::vector<std::pair<std::string, std::string>>& events, const std::string& text) {
  for (const auto& e : events)
    if (e.second.rfind(text, 0) == 0) return true;
  return false;
}

TEST(StreamInputs, EightStreamsAgainstRealServers) {
  if (!Installed("icecast2") || !Installed("ffmpeg") || !Installed("python3"))
    GTEST_SKIP() << "icecast2, ffmpeg and python3 are needed (scripts/setup.sh)";
  test::TempDir dir;
  chmod(dir.Path().c_str(), 0777);  // icecast writes its logs as "nobody"
  // The programme: a 1 kHz tone at -12 dBFS, and digital silence.
  ASSERT_EQ(test::RunCommand("cd " + dir.Path() +
                             " && ffmpeg -loglevel error -f lavfi -i "
                             "sine=frequency=1000:sample_rate=44100 -af volume=0.5 -ac 2 -t 20 "
                             "tone.wav && ffmpeg -loglevel error -f lavfi -i "
                             "anullsrc=r=44100:cl=stereo -t 5 silence.wav")
                .exitCode,
            0);
  const double sourceLoudness = IntegratedLoudness(dir / "tone.wav");
  // The HLS playlist of the 20 s tone, and garbage where audio should be.
  const std::string web = dir / "web";
  ASSERT_EQ(test::RunCommand("mkdir -p " + web + " && cd " + web +
                             " && ffmpeg -loglevel error -i ../tone.wav -c:a aac -b:a 128k -f hls "
                             "-hls_time 2 -hls_playlist_type vod tone.m3u8 && yes 'this is not "
                             "audio' | head -c 200000 > garbage.mp3")
                .exitCode,
            0);
  const int webPort = FreePort();
  Proc httpServer({"python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", web,
                   std::to_string(webPort)});

  Icecast main(dir, "main");
  Icecast fragile(dir, "fragile");
  ASSERT_TRUE(Listening(main.Port()) && Listening(fragile.Port()));
  auto mp3 = Source(dir / "tone.wav", main.Mount("tone.mp3"), false);
  auto ogg = Source(dir / "tone.wav", main.Mount("tone.ogg"), true);
  auto silent = Source(dir / "silence.wav", main.Mount("silent.mp3"), false);
  auto pausing = Source(dir / "tone.wav", main.Mount("pausing.mp3"), false);
  auto fragileSource = Source(dir / "tone.wav", fragile.Mount("tone.mp3"), false);
  ASSERT_TRUE(test::WaitFor(
      [&] {
        // A live mount never ends: its first bytes are enough.
        return test::RunCommand("curl -s -m 2 " + main.Url("pausing.mp3") +
                                " | head -c 100 | wc -c")
                       .output == "100\n" &&
               Listening(webPort);
      },
      10.0));
  std::this_thread::sleep_for(std::chrono::seconds(1));

  test::TempDir app;
  // A station's low-level threshold: an encoder's silence decodes to a
  // few bits of noise, far under it.
  std::string conf = "[conf]\nNumRec=8\nMinGateLevel_1=-60\n";
  const std::vector<std::pair<std::string, std::string>> streams = {
      {"Tone MP3", main.Url("tone.mp3")},
      {"Tone Ogg", main.Url("tone.ogg")},
      {"Silent", main.Url("silent.mp3")},
      {"Tone HLS", "http://127.0.0.1:" + std::to_string(webPort) + "/tone.m3u8"},
      {"Garbage", "http://127.0.0.1:" + std::to_string(webPort) + "/garbage.mp3"},
      {"Pausing", main.Url("pausing.mp3")},
      {"Fragile", fragile.Url("tone.mp3")},
      {"Passwords", "file:///etc/passwd"},
  };
  for (size_t i = 0; i < streams.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    conf += "Stream_" + n + "=" + streams[i].first + "|" + streams[i].second + "\n";
    conf += "DeviceName_" + n + "=" + streams[i].first + "\nBitRate_" + n + "=0\n";
  }
  test::WriteText(app / "varn.ini", conf);

  constexpr double kRunSec = 30;
  const int metricsPort = FreePort();
  test::VarnRun run(app.Path(),
                    {"--headless", "--audio", "sim", "--duration", std::to_string(kRunSec),
                     "--metrics", std::to_string(metricsPort)});
  // The second server dies at 8 s and is back at 14 s; the pausing source
  // stops sending from 8 s to 18 s while its server stays up.
  std::this_thread::sleep_for(std::chrono::seconds(8));
  fragile.Kill();
  fragileSource.reset();
  pausing->Signal(SIGSTOP);
  std::this_thread::sleep_for(std::chrono::seconds(6));
  ASSERT_TRUE(fragile.Start());
  const std::time_t restarted = std::time(nullptr);
  fragileSource = Source(dir / "tone.wav", fragile.Mount("tone.mp3"), false);
  std::this_thread::sleep_for(std::chrono::seconds(4));
  pausing->Signal(SIGCONT);
  // The title as a station's playout system sets it.
  test::RunCommand(
      "curl -s -m 2 -o /dev/null 'http://admin:pw@127.0.0.1:" + std::to_string(main.Port()) +
      "/admin/metadata?mount=/tone.mp3&mode=updinfo&song=Station%20%22Jingle%22'");
  // The title reaches the metrics, escaped as a label value.
  std::string metrics;
  EXPECT_TRUE(test::WaitFor(
      [&] {
        metrics = test::RunCommand("curl -s -m 1 http://127.0.0.1:" + std::to_string(metricsPort) +
                                   "/metrics")
                      .output;
        return metrics.find("varn_stream_info{channel=\"1\",title=\"Station \\\"Jingle\\\"\"} 1") !=
               std::string::npos;
      },
      6.0))
      << metrics;
  EXPECT_EQ(run.Wait(kRunSec + 10), 0) << run.Err();

  const std::string events = test::EventFiles(app.Path());
  const std::string diagnostics = test::DiagnosticsFiles(app.Path());
  SCOPED_TRACE(events + diagnostics + run.Err());

  // MP3, Ogg and HLS: the archive sounds as loud as the source.
  for (const int ch : {1, 2, 4}) {
    const auto e = ChannelEvents(events, ch);
    EXPECT_TRUE(Has(e, "録音開始")) << ch;
    EXPECT_FALSE(Has(e, "音声欠落")) << ch;
    const auto files = test::ArchiveFiles(app.Path(), ch);
    ASSERT_FALSE(files.empty()) << ch;
    EXPECT_NEAR(IntegratedLoudness(files.front()), sourceLoudness, 0.5) << ch;
  }
  EXPECT_FALSE(Has(ChannelEvents(events, 1), "入力デバイス異常"));
  EXPECT_FALSE(Has(ChannelEvents(events, 2), "入力デバイス異常"));
  // The playlist ends: all of its 20 s are in the archive, then the stream
  // counts as a failed device.
  EXPECT_NEAR(SoundingSpan(test::ArchiveFiles(app.Path(), 4).front()), 20.0, 0.5);
  EXPECT_TRUE(Has(ChannelEvents(events, 4), "入力デバイス異常"));
  EXPECT_NE(diagnostics.find("Stream ch1 (Tone MP3): connected: mp3/mp3, 44100 Hz"),
            std::string::npos);
  EXPECT_NE(diagnostics.find("Stream ch1 (Tone MP3): title \"Station \\\"Jingle\\\"\""),
            std::string::npos);

  EXPECT_TRUE(Has(ChannelEvents(events, 3), "Lch レベルDOWN"));
  // Garbage: the first start opens the stream without waiting for the
  // network, so it starts and then fails; the retries are refused.
  const auto garbage = ChannelEvents(events, 5);
  ASSERT_GE(garbage.size(), 2u);
  EXPECT_EQ(garbage[0].second, "録音開始");
  EXPECT_EQ(garbage[1].second, "入力デバイス異常");
  EXPECT_EQ(std::count_if(garbage.begin(), garbage.end(),
                          [](const auto& e) { return e.second == "録音開始"; }),
            1);

  // The paused source stalls the line, and it comes back.
  const auto paused = ChannelEvents(events, 6);
  EXPECT_TRUE(Has(paused, "入力途絶"));
  EXPECT_TRUE(Has(paused, "入力再開"));
  EXPECT_FALSE(Has(paused, "入力デバイス異常"));

  // The killed server is a failed device; its return starts the line again
  // within 10 s.
  const auto fragileEvents = ChannelEvents(events, 7);
  bool failed = false;
  bool back = false;
  for (const auto& [time, text] : fragileEvents) {
    if (text.rfind("入力デバイス異常", 0) == 0) failed = true;
    if (failed && text.rfind("録音開始", 0) == 0) {
      back = true;
      EXPECT_LE(time, LocalTimeText(restarted + 10));
    }
  }
  EXPECT_TRUE(failed && back);

  // A file URL is refused by name, and nothing records in its place.
  EXPECT_NE(run.Err().find("the scheme \"file\" is refused"), std::string::npos);
  EXPECT_TRUE(Has(ChannelEvents(events, 8), "入力デバイス異常"));
  EXPECT_FALSE(Has(ChannelEvents(events, 8), "録音開始"));
}

// An HTTP server of the test's own that sends an MP3 as a live mount would
// (no length, no end), but `speed` times faster than it plays.
class FastMount {
 public:
  FastMount(std::vector<uint8_t> mp3, int bytesPerSecond, double speed)
      : mp3_(std::move(mp3)), chunk_(static_cast<size_t>(bytesPerSecond * speed / 10)) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    listen(listen_, 4);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FastMount() {
    quit_ = true;
    shutdown(listen_, SHUT_RDWR);
    close(listen_);
    thread_.join();
  }
  int Port() const { return port_; }

 private:
  void Serve() {
    while (!quit_) {
      const int fd = accept(listen_, nullptr, nullptr);
      if (fd < 0) return;
      char request[2048];
      (void)!read(fd, request, sizeof request);
      const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";
      bool ok = send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0;
      for (size_t at = 0; ok && !quit_; at = (at + chunk_) % mp3_.size()) {
        const size_t n = std::min(chunk_, mp3_.size() - at);
        ok = send(fd, mp3_.data() + at, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      close(fd);
    }
  }

  std::vector<uint8_t> mp3_;
  size_t chunk_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

TEST(StreamInputs, AStreamFasterThanRealTimeForLongerThanItsBufferIsLostAudio) {
  if (!Installed("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed (scripts/setup.sh)";
  test::TempDir dir;
  ASSERT_EQ(
      test::RunCommand("ffmpeg -loglevel error -f lavfi -i sine=frequency=1000:sample_rate=44100 "
                       "-ac 2 -t 10 -c:a libmp3lame -b:a 128k " +
                       dir / "tone.mp3")
          .exitCode,
      0);
  // Three times as fast: the buffer (0.5 s, and the 8 s beyond it) fills
  // at two seconds a second once the connect burst has been trimmed.
  FastMount mount(test::ReadBytes(dir / "tone.mp3"), 16000, 3.0);
  test::TempDir app;
  test::WriteText(app / "varn.ini",
                  "[conf]\nNumRec=1\nStreamBufferMs=500\nArcOn_1=0\n"
                  "Stream_1=Fast|http://127.0.0.1:" +
                      std::to_string(mount.Port()) + "/fast.mp3\nDeviceName_1=Fast\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim", "--duration", "12"});
  EXPECT_EQ(run.Wait(25), 0) << run.Err();
  const std::string events = test::EventFiles(app.Path());
  SCOPED_TRACE(events + test::DiagnosticsFiles(app.Path()));
  const auto e = ChannelEvents(events, 1);
  EXPECT_TRUE(Has(e, "録音開始"));
  EXPECT_TRUE(Has(e, "音声欠落"));
  EXPECT_FALSE(Has(e, "入力デバイス異常"));
}

}  // namespace
}  // namespace varn
