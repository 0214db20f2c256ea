// The ini reader on arbitrary text: parsing, looking up and setting keys must
// never crash, and a value set must read back as set (without line breaks).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/ini_document.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto doc = varn::IniDocument::Parse(text);
  (void)doc.Get("conf", "NumRec");
  const std::string_view value = text.substr(0, text.size() / 3);
  doc.Set("conf", "FuzzKey", value);
  const auto again = varn::IniDocument::Parse(doc.Text());
  const auto back = again.Get("conf", "FuzzKey");
  if (!back) std::abort();
  std::string expected(value);
  for (char& c : expected)
    if (c == '\r' || c == '\n') c = ' ';
  expected = varn::TrimBlanks(expected);
  if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
      expected.back() == expected.front())
    expected = expected.substr(1, expected.size() - 2);
  if (*back != expected) std::abort();
  return 0;
}
