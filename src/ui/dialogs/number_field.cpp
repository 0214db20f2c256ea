#include "ui/dialogs/number_field.h"

#include "settings/setting_keys.h"
#include "util/text.h"

namespace varn {

std::string ShownFieldText(std::string_view key, int decimals) {
  if (decimals == 0) return std::to_string(ReadKeyInt(key));
  return FormatFixed(ReadKeyReal(key), decimals);
}

}  // namespace varn
