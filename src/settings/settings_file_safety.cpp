#include "settings/settings_file_safety.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varn {

std::string SettingsFileRefusal(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "cannot check " + path + ": " + std::strerror(errno);
  if (st.st_uid != geteuid() && st.st_uid != 0)
    return path + " belongs to user " + std::to_string(st.st_uid) +
           ", not to the user running varn";
  const bool group = (st.st_mode & S_IWGRP) != 0;
  const bool others = (st.st_mode & S_IWOTH) != 0;
  if (!group && !others) return "";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return path + " is writable by " +
         (group && others ? "its group and others"
          : group         ? "its group"
                          : "others") +
         " (mode " + mode + ")";
}

}  // namespace varn
