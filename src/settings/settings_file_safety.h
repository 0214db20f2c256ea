#pragma once
// Whoever can write the settings file can make varn run programs (the event
// and archive hooks). So a hook runs only when the file that names it is
// owned by the user running varn (or by root) and nobody else may write it.

#include <string>

namespace varn {

// "" when `path` is safe to take commands from, else why not ("varn.ini is
// writable by its group and others (mode 0666)").
std::string SettingsFileRefusal(const std::string& path);

}  // namespace varn
