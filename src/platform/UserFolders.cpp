// The config folder from the environment, and the pictures folder from user-dirs.dirs in it.
#include "platform/UserFolders.h"

#include <cstdlib>
#include <fstream>

namespace {
// The folder the variable names when it is set and not empty, else the one under the home folder.
std::string BaseFolder(const char* variable, const char* inHome) {
  const char* set = std::getenv(variable);
  if (set && *set) return set;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + inHome;
  return "";
}
}  // namespace

std::string ConfigFolder() { return BaseFolder("XDG_CONFIG_HOME", "/.config"); }

std::string CacheFolder() { return BaseFolder("XDG_CACHE_HOME", "/.cache"); }

// $HOME/... and "$HOME/..." as user-dirs.dirs writes them.
std::string PicturesFolder() {
  const std::string config = ConfigFolder();
  if (config.empty()) return "";
  const char* home = std::getenv("HOME");
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_PICTURES_DIR=";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) {
      if (!home) return "";
      value = std::string(home) + value.substr(5);
    }
    // A folder relative to nothing, or the home folder itself (how the file says "none").
    if (value.empty() || value.front() != '/' || (home && value == home)) return "";
    return value;
  }
  return "";
}
