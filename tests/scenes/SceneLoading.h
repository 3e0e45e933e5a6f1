// Shared by the scene tests: runs a scene loader in the build's generated data set when there is
// one, otherwise where the test runs (every file then missing).
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TestSupport.h"

// Returns whether the data set was found.
inline bool LoadInDataDirectory(void (*loader)()) {
  const std::filesystem::path data = GeneratedDataPath("");
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (!std::filesystem::is_directory(data, error) || chdir(data.c_str()) != 0) {
    loader();
    return false;
  }
  loader();
  if (chdir(here.c_str()) != 0) ADD_FAILURE() << "could not return to " << here;
  return true;
}
