// The PATH search: each folder of PATH in turn, the first executable of the name wins.
#include "app/ProgramPath.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

bool ProgramOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}
