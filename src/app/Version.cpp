// The version line, from the header the build writes (cmake/WriteVersion.cmake). This source is
// the only one that includes it, so a new commit compiles this file again and nothing else.
#include "app/Version.h"

#include "BuildVersion.h"

std::string VersionLine(const std::string& program) {
  const std::string commit = VANTREL_COMMIT;
  return program + " " VANTREL_VERSION + (commit.empty() ? "" : " (git " + commit + ")");
}
