#include "audio/device_catalogue.h"

#include "archive/format_codes.h"
#include "util/error_catch.h"
#include "util/numeric.h"
#include "util/text.h"

namespace varn {

namespace {

std::string Key(std::string_view name) { return TrimBlanks(ToLowerAscii(name)); }

// Removes every "k- " when the text holds "(k- " for a digit k of 0 to 5.
void DropInstanceNumbers(std::string& s) {
  for (char k = '0'; k <= '5'; ++k) {
    const std::string marker = std::string("(") + k + "- ";
    if (s.find(marker) == std::string::npos) continue;
    const std::string prefix = std::string(1, k) + "- ";
    for (size_t at = s.find(prefix); at != std::string::npos; at = s.find(prefix, at))
      s.erase(at, prefix.size());
  }
}

bool IsPrefixMark(char c) {
  return c == ' ' || (c >= '0' && c <= '9') || c == '-' || c == '(' || c == ')';
}

// Looks at positions 1 to 4 of the text as it stands and drops the first
// character each time the one there is a blank, digit, "-" or a bracket.
void DropLeadingMarks(std::string& s) {
  if (s.size() <= 4) return;
  for (size_t position = 1; position <= 4; ++position) {
    if (position <= s.size() && IsPrefixMark(s[position - 1])) s.erase(0, 1);
  }
  s = TrimBlanks(s);
}

}  // namespace

void FillFormatCombo(ChoiceList& list, int selected, int lastCode) {
  TrappedStep([&] {
    list.Clear();
    for (int code = 0; code <= lastCode; ++code) list.Add(FormatName(code));
    if (list.Count() > 0 && selected >= 0) list.Select(selected < list.Count() ? selected : 0);
  });
}

void FillRateCombo(ChoiceList& list, int current, int minRate, int maxRate) {
  TrappedStep([&] {
    list.Clear();
    for (const int rate : kRateCandidates) {
      if ((rate >= minRate || minRate == 0) && (rate <= maxRate || maxRate == 0))
        list.Add(std::to_string(rate));
    }
    const std::string wanted = std::to_string(current);
    for (int i = 0; i < list.Count(); ++i) {
      if (list.Text(i) == wanted) {
        list.Select(i);
        return;
      }
    }
  });
}

void FillDeviceCombo(ChoiceList& list, bool isInput, std::string_view name,
                     DeviceDirectory& devices) {
  TrappedStep([&] {
    list.Clear();
    const int count = devices.DeviceCount(isInput);
    for (int i = 0; i < count; ++i) list.Add(devices.DeviceName(isInput, i));
    const std::string wanted = Key(name);
    for (int i = 0; i < list.Count(); ++i) {
      if (ToLowerAscii(list.Text(i)) == wanted) {
        list.Select(i);
        return;
      }
    }
    if (wanted.empty()) return;
    for (int i = 0; i < list.Count(); ++i) {
      if (DeviceNamesMatch(list.Text(i), wanted) == 1) {
        list.Select(i);
        return;
      }
    }
  });
}

int FindDeviceId(bool isInput, std::string_view name, DeviceDirectory& devices) {
  return Trapped(0, [&] {
    const std::string wanted = Key(name);
    if (wanted.empty()) return 0;
    if (const auto number = ParseNumber(wanted)) {
      // A number that does not fit is a fault: nothing was found yet.
      return ToInt32(*number).value_or(0);
    }
    const int count = devices.DeviceCount(isInput);
    if (count <= 0) return 0;
    for (int i = 0; i < count; ++i)
      if (Key(devices.DeviceName(isInput, i)) == wanted) return i;
    return -1;
  });
}

int DeviceNamesMatch(std::string_view a, std::string_view b) {
  return Trapped(0, [&] {
    std::string x = ToLowerAscii(a);
    std::string y = ToLowerAscii(b);
    DropInstanceNumbers(x);
    DropInstanceNumbers(y);
    if (x == y) return 1;
    DropLeadingMarks(x);
    DropLeadingMarks(y);
    return x == y ? 1 : 0;
  });
}

}  // namespace varn
