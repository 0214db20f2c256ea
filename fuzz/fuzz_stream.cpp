// The parts of a network stream's path that are ours, on arbitrary input:
// the Stream_N setting line ("NAME|URL"), the now-playing title a server
// sends (ICY metadata), and the jitter buffer's runs of samples. The first
// byte picks the part. A parsed stream must have an http(s) URL; a cleaned
// title must be valid UTF-8 of at most 256 characters without control
// characters; the buffer must give back exactly the samples written, in
// order, never more than it holds.

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "audio/stream/sample_ring.h"
#include "audio/stream/stream_title.h"
#include "settings/stream_setting.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void SettingLine(std::string_view text) {
  const varn::StreamSettingParse p = varn::ParseStreamSetting(text);
  Check(!p.stream || p.problem.empty());
  if (!p.stream) return;
  Check(!p.stream->name.empty());
  const std::string scheme = p.stream->url.substr(0, p.stream->url.find(':'));
  Check(scheme.size() == 4 || scheme.size() == 5);
  Check(varn::StreamUrlRefusal(p.stream->url).empty());
}

void Title(std::string_view block) {
  const std::string raw = varn::IcyStreamTitle(block).value_or(std::string(block));
  const std::string clean = varn::CleanStreamTitle(raw);
  size_t chars = 0;
  for (size_t i = 0; i < clean.size(); ++chars) {
    const unsigned char c = static_cast<unsigned char>(clean[i]);
    Check(c >= 0x20 && c != 0x7F);
    const size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    Check(c < 0x80 || (c >= 0xC2 && c <= 0xF4));
    Check(i + n <= clean.size());
    for (size_t k = 1; k < n; ++k) Check((static_cast<unsigned char>(clean[i + k]) & 0xC0) == 0x80);
    i += n;
  }
  Check(chars <= varn::kStreamTitleChars);
}

void Ring(const uint8_t* data, size_t size) {
  if (size < 1) return;
  varn::SampleRing ring(1 + data[0] % 64);
  std::deque<int16_t> model;
  int16_t next = 0;
  std::vector<int16_t> buffer(300);
  for (size_t i = 1; i < size; ++i) {
    const size_t n = data[i] % 128;
    if (data[i] & 0x80) {
      for (size_t k = 0; k < n; ++k) buffer[k] = static_cast<int16_t>(next + k);
      const size_t written = ring.Write(buffer.data(), n);
      Check(written == std::min(n, ring.Capacity() - model.size()));
      for (size_t k = 0; k < written; ++k) model.push_back(static_cast<int16_t>(next + k));
      next = static_cast<int16_t>(next + written);
    } else {
      const size_t got = ring.Read((i & 1) ? buffer.data() : nullptr, n);
      Check(got == std::min(n, model.size()));
      for (size_t k = 0; k < got; ++k) {
        if (i & 1) Check(buffer[k] == model.front());
        model.pop_front();
      }
    }
    Check(ring.Size() == model.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0:
      SettingLine(text);
      break;
    case 1:
      Title(text);
      break;
    default:
      Ring(data + 1, size - 1);
      break;
  }
  return 0;
}
