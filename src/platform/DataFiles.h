// The data folder: where the show's pictures, models, surfaces and music are read from.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Sets the folder that relative data file names are joined to; empty: the current directory.
void SetDataFolder(const std::string& folder);
const std::string& DataFolder();
// name joined to the data folder; an absolute name, or any name while the folder is empty,
// stays as it is.
std::string DataFilePath(const std::string& name);
// The whole file at path, or nothing when it cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);
