// Reading and writing recorded sets, and the number rules every value from a user goes through.
#include "live/SetRecording.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "live/StreamPackets.h"

bool ParseStreamValue(const std::string& text, float& value) {
  if (text == "nan" || text == "NaN" || text == "NAN" || text == "-nan") {
    value = AbsentStreamValue();
    return true;
  }
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtof(text.c_str(), &end);
  if (!end || *end != '\0') return false;
  // strtof says ERANGE both for overflow (an infinity) and for underflow (a value near 0, which
  // is harmless); only the first is refused. "inf" written out is taken as asked.
  return !(errno == ERANGE && std::isinf(value));
}

std::string FormatRecordedPacket(double time, const float* values, int count) {
  char number[32];
  std::snprintf(number, sizeof number, "%.6f", time);
  std::string line = number;
  for (int i = 0; i < count; ++i) {
    if (std::isnan(values[i]))
      std::snprintf(number, sizeof number, " nan");
    else
      std::snprintf(number, sizeof number, " %.9g", static_cast<double>(values[i]));
    line += number;
  }
  return line + "\n";
}

bool ReadSetRecording(const std::string& path, std::vector<RecordedPacket>& packets, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  packets.clear();
  std::string line;
  double last = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream words(line);
    std::string word;
    words >> word;
    char* end = nullptr;
    RecordedPacket packet;
    packet.time = std::strtod(word.c_str(), &end);
    const auto refuse = [&](const std::string& why) {
      error = path + " line " + std::to_string(number) + ": " + why;
      return false;
    };
    if (*end != '\0' || !std::isfinite(packet.time) || packet.time < 0)
      return refuse("the time \"" + word + "\" is not a number of seconds");
    if (packet.time < last) return refuse("the time goes back");
    last = packet.time;
    while (words >> word) {
      float value = 0;
      if (!ParseStreamValue(word, value)) return refuse("not a value: " + word);
      packet.values.push_back(value);
    }
    if (packet.values.size() > static_cast<size_t>(MaxStreamCount)) return refuse("more than 64 values");
    packets.push_back(std::move(packet));
  }
  return true;
}
