// Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from
// the program's own writers: WAV files from the WAV header builder and the
// tests' signal generator, MP3 files from C_mp3acm, ini texts and analysis
// inputs written here. Deterministic: the same build writes the same bytes.
//
//   cmake --build build-fuzz --target make_corpus
//   build-fuzz/fuzz/make_corpus fuzz/corpus

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "archive/mp3acm.h"
#include "archive/wav_file.h"
#include "support/signal_generator.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using varn::test::Samples;

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// 16-bit samples as the integers a WAV of `bits` stores (8-bit ones unsigned).
std::vector<int32_t> Stored(const Samples& s, int bits) {
  std::vector<int32_t> out;
  out.reserve(s.size());
  for (const int16_t v : s) {
    if (bits == 8)
      out.push_back((v >> 8) + 128);
    else if (bits == 24)
      out.push_back(v * 256 + (v & 0xFF));
    else
      out.push_back(v);
  }
  return out;
}

// Interleaves `channels` sides; side c is a sine of 300 + 200 c Hz.
Samples Tones(int rate, int channels, int64_t frames, double dbfs) {
  const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
  Samples out(static_cast<size_t>(frames * channels));
  for (int c = 0; c < channels; ++c) {
    const Samples side = varn::test::Sine(rate, 300.0 + 200.0 * c, amplitude, frames);
    for (int64_t n = 0; n < frames; ++n) out[static_cast<size_t>(n * channels + c)] = side[n];
  }
  return out;
}

Bytes Wav(int rate, int bits, int channels, const Samples& interleaved) {
  return varn::test::WavBytes(rate, bits, channels, Stored(interleaved, bits));
}

std::map<std::string, Bytes> WavFiles() {
  std::map<std::string, Bytes> w;
  w["wav16_stereo_44k.wav"] = Wav(44100, 16, 2, Tones(44100, 2, 300, -20));
  {
    Samples s = Tones(8000, 1, 600, -6);
    varn::test::AddClick(s, 300, 20000);
    w["wav8_mono_8k.wav"] = Wav(8000, 8, 1, s);
  }
  w["wav24_stereo_48k.wav"] = Wav(48000, 24, 2, Tones(48000, 2, 200, -1));
  w["wav16_51_extensible.wav"] = Wav(48000, 16, 6, Tones(48000, 6, 100, -12));
  w["wav24_71_extensible.wav"] = Wav(44100, 24, 8, Tones(44100, 8, 50, -12));
  {
    // Cut short: the header promises 2000 bytes, the file ends inside a sample.
    Bytes b = Wav(22050, 16, 1, Tones(22050, 1, 1000, -3));
    b.resize(varn::kWavHeaderBytes + 301);
    w["wav16_mono_truncated.wav"] = b;
  }
  {
    // An archive whose sizes were never patched: data size 0, samples after it.
    Bytes b = Wav(32000, 16, 2, Tones(32000, 2, 250, -30));
    Put32(b, 4, 36);
    Put32(b, 40, 0);
    w["wav16_unpatched.wav"] = b;
  }
  {
    // A LIST chunk of odd size (and its pad byte) between "fmt " and "data".
    Bytes b = Wav(16000, 16, 1, Tones(16000, 1, 400, -10));
    const Bytes list = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0};
    b.insert(b.begin() + 36, list.begin(), list.end());
    Put32(b, 4, static_cast<uint32_t>(b.size() - 8));
    w["wav16_list_chunk.wav"] = b;
  }
  return w;
}

Bytes Mp3(int rate, int channels, int kbps, const Samples& interleaved) {
  varn::WavInfo info;
  info.SampleRate = rate;
  info.BitsPerSample = 16;
  info.Channels = static_cast<int16_t>(channels);
  info.BlockAlign = 2 * channels;
  varn::C_mp3acm enc;
  if (!enc.EncInit(kbps, &info)) {
    std::fprintf(stderr, "make_corpus: no MP3 stream for %d Hz, %d ch, %d kbit/s\n", rate, channels,
                 kbps);
    std::exit(1);
  }
  Bytes out;
  std::vector<uint8_t> buffer;
  int32_t used = 0;
  int32_t produced = 0;
  const auto* pcm = reinterpret_cast<const uint8_t*>(interleaved.data());
  const auto bytes = static_cast<int32_t>(interleaved.size() * 2);
  if (!enc.EncProc(pcm, bytes, buffer, used, produced)) std::exit(1);
  out.insert(out.end(), buffer.begin(), buffer.begin() + produced);
  if (!enc.EncFlush(buffer, produced)) std::exit(1);
  out.insert(out.end(), buffer.begin(), buffer.begin() + produced);
  enc.AcmClose();
  return out;
}

std::map<std::string, Bytes> Mp3Files() {
  std::map<std::string, Bytes> m;
  const Bytes cbr = Mp3(44100, 2, 160, Tones(44100, 2, 4410, -12));
  m["mp3_cbr160_stereo_44k.mp3"] = cbr;
  m["mp3_32k_mono_16k.mp3"] = Mp3(16000, 1, 32, Tones(16000, 1, 4000, -6));
  m["mp3_8k_mono_8k.mp3"] = Mp3(8000, 1, 8, Tones(8000, 1, 3000, -6));
  {
    // An ID3v2 tag (10-byte header, 20 bytes of padding) before the frames
    // and an ID3v1 tag after them.
    Bytes b = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
    b.resize(30, 0);
    const Bytes low = Mp3(22050, 2, 64, Tones(22050, 2, 2000, -12));
    b.insert(b.end(), low.begin(), low.end());
    Bytes tag(128, 0);
    std::memcpy(tag.data(), "TAGfuzz seed", 12);
    b.insert(b.end(), tag.begin(), tag.end());
    m["mp3_id3_tags_22k.mp3"] = b;
  }
  {
    // Junk before the first frame, and the last frame cut in half.
    Bytes b(37, 0xAB);
    b.insert(b.end(), cbr.begin(), cbr.begin() + static_cast<std::ptrdiff_t>(cbr.size() * 3 / 5));
    m["mp3_junk_truncated.mp3"] = b;
  }
  return m;
}

std::map<std::string, Bytes> IniTexts() {
  std::map<std::string, Bytes> t;
  t["plain.ini"] = Text(
      "[conf]\nNumRec=4\nDeviceName_1=Line In (USB Audio)\nRecMode_1=3\nRecFreq_1=44100\n"
      "BitRate_1=160\nMaxGateLevel_1=-0.5\nMinGateLevel_1=-70\nSoundpath=/srv/varn/data/\n"
      "SelectedSetting=2\nPeakHoldSec_2=1.5\nChName_1=系統名1\n");
  t["quotes_crlf.ini"] = Text(
      "\xEF\xBB\xBF; written by hand\r\n[Conf]\r\nchname_2=\"Studio A\"\r\nChName_3='quoted'\r\n"
      "  DeviceName_2 =  spaced value  \r\nMonDeviceName=\"\r\nVULevelTrim=***\r\n"
      "FFTAvrSec_1=ISDEFAULT\r\nTimerUpdateInt=1e3\r\n");
  t["odd_lines.ini"] = Text(
      "stray text before any section\n[other]\nNumRec=9\n[conf\n=no key\n[conf]\n"
      "# comment\n\nNumRec= 2 \nNumRec=7\nWindowLeft=0x10\nWindowHeight=1e400\n"
      "WindowState=70000\nPuchiSense_1=-0\nBufferSec_1=12.5\n[conf]\nMaxNumX=3\n"
      "key=with=equals\n[]\n[ conf ]\nLangMode=1");
  {
    std::string longValue = "[conf]\nChName_4=";
    for (int i = 0; i < 90; ++i) longValue += "名";  // 270 bytes: cut at a character
    longValue += "\nDeviceName_8=" + std::string(300, 'x') + "\n";
    t["long_values.ini"] = Text(longValue);
  }
  {
    // A NUL inside a value, an empty value, stray carriage returns.
    static constexpr char kText[] = "[conf]\nChName_1=a\0b\nNumRec=\nX=\r\r\n";
    t["empty_and_nul.ini"] = Text(std::string_view(kText, sizeof kText - 1));
  }
  return t;
}

// Analysis input: shape byte (rate = 8000 + 4000 * (shape % 12), stereo
// with the top bit, MP3 archive with 0x40), stereo mode, then the monitoring
// settings as fuzz_analyze reads them, then 16-bit samples.
struct AnalysisSeed {
  uint8_t shape;
  int8_t stereoMode;
  float recLevelDb, peakHoldSec, fftAvrSec, maxGateLevel, minGateLevel;
  int32_t minGateSpan;
  int8_t fftInfinite;
  int32_t puchiSense;
  float puchiOkLength;
  int32_t fftSense;
};

Bytes Analysis(const AnalysisSeed& a, const Samples& samples) {
  Bytes b;
  auto put = [&](const auto& v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    b.insert(b.end(), p, p + sizeof v);
  };
  put(a.shape);
  put(a.stereoMode);
  put(a.recLevelDb);
  put(a.peakHoldSec);
  put(a.fftAvrSec);
  put(a.maxGateLevel);
  put(a.minGateLevel);
  put(a.minGateSpan);
  put(a.fftInfinite);
  put(a.puchiSense);
  put(a.puchiOkLength);
  put(a.fftSense);
  const auto* p = reinterpret_cast<const uint8_t*>(samples.data());
  b.insert(b.end(), p, p + samples.size() * 2);
  return b;
}

std::map<std::string, Bytes> AnalysisInputs() {
  using namespace varn::test;
  std::map<std::string, Bytes> a;
  const AnalysisSeed usual{0, 0, 0.0f, 2.0f, 0.7f, 0.0f, -90.0f, 300, 0, 50, 1.0f, 50};
  {
    // 8 kHz mono: quiet tone with clicks, silence, a burst to full scale.
    Samples s = Concat(Sine(8000, 1000, 3000, 800), Silence(400));
    AddClick(s, 200, 25000);
    AddClick(s, 600, -25000);
    s = Concat(s, Sine(8000, 440, 32767, 300));
    AnalysisSeed seed = usual;
    seed.minGateSpan = 20;
    seed.puchiOkLength = 0.01f;
    seed.peakHoldSec = 0.05f;
    a["mono_8k_events.bin"] = Analysis(seed, s);
  }
  {
    // 16 kHz stereo with an MP3 archive: noise on the left, tone on the right.
    AnalysisSeed seed = usual;
    seed.shape = 0x80 | 0x40 | 2;
    seed.stereoMode = 1;
    seed.fftInfinite = 1;
    seed.fftSense = 100;
    a["stereo_16k_mp3.bin"] =
        Analysis(seed, Interleave(Noise(7, 8000, 700), Sine(16000, 3000, 12000, 700)));
  }
  {
    // Settings at and past the dialogs' edges.
    AnalysisSeed seed{0xC5, 3, 40.0f, 0.0f, 0.0f, -99.0f, 40.0f, 1, 1, 100, 0.0f, 0};
    a["stereo_edges.bin"] =
        Analysis(seed, Interleave(Constant(32767, 400), Step(0, -32767, 200, 400)));
  }
  {
    // Out-of-range settings a hand-edited store can hold.
    AnalysisSeed seed{10, -7, -1000.0f, -5.0f, 1e9f, 1e30f, -1e30f, -300, -1, 1000, -1.0f, -50};
    a["mono_48k_wild_settings.bin"] = Analysis(seed, Noise(3, 32767, 900));
  }
  return a;
}

void WriteAll(const fs::path& folder, const std::map<std::string, Bytes>& files) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto& [name, bytes] : files) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_corpus: cannot write %s\n", (folder / name).c_str());
      std::exit(1);
    }
  }
}

template <class... Maps>
std::map<std::string, Bytes> Join(const Maps&... maps) {
  std::map<std::string, Bytes> all;
  (all.insert(maps.begin(), maps.end()), ...);
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus CORPUS_FOLDER (normally fuzz/corpus)\n");
    return 2;
  }
  const fs::path root = argv[1];
  const auto wav = WavFiles();
  const auto mp3 = Mp3Files();
  const auto ini = IniTexts();
  WriteAll(root / "fuzz_wavinfo", wav);
  WriteAll(root / "fuzz_mpeginfo", mp3);
  WriteAll(root / "fuzz_archive_read", mp3);
  WriteAll(root / "fuzz_pcmfile", Join(wav, mp3));
  WriteAll(root / "fuzz_ini", ini);
  WriteAll(root / "fuzz_settings", ini);
  const auto analysis = AnalysisInputs();
  WriteAll(root / "fuzz_analyze", analysis);
  std::printf("make_corpus: wrote %zu WAV, %zu MP3, %zu ini and %zu analysis seeds under %s\n",
              wav.size(), mp3.size(), ini.size(), analysis.size(), root.c_str());
  return 0;
}
