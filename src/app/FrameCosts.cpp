// The frame-cost table: its text form, the look ahead, and where each machine keeps its own.
#include "app/FrameCosts.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "app/DefaultFrameCosts.h"
#include "platform/UserFolders.h"

namespace {
constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();
// Longer than the show and its ending by far: an entry past it is a damaged file.
constexpr double LongestTable = 3600;

long Index(double showSeconds) { return static_cast<long>(std::floor(showSeconds / FrameCosts::Step + 1e-9)); }
}  // namespace

bool FrameCosts::Parse(std::string_view text) {
  costs_.clear();
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    const size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    std::istringstream fields(line);
    double seconds = 0, cost = 0;
    std::string rest;
    if (!(fields >> seconds >> cost) || (fields >> rest) || !(seconds >= 0 && seconds < LongestTable) ||
        !(cost >= 0 && std::isfinite(cost))) {
      costs_.clear();
      return false;
    }
    Set(seconds, cost);
  }
  return true;
}

std::string FrameCosts::Text() const {
  std::string text =
      "# Vantrel Kelvara frame costs: a line per quarter second of the show, its start in seconds\n"
      "# and what a frame of it costs to draw at 800 x 600, in the timedemo's quads.\n";
  char line[64];
  for (size_t i = 0; i < costs_.size(); ++i) {
    if (std::isnan(costs_[i])) continue;
    std::snprintf(line, sizeof line, "%.2f %.2f\n", static_cast<double>(i) * Step, costs_[i]);
    text += line;
  }
  return text;
}

void FrameCosts::Set(double showSeconds, double cost) {
  const long index = Index(showSeconds);
  if (index < 0 || showSeconds >= LongestTable) return;
  if (static_cast<size_t>(index) >= costs_.size()) costs_.resize(static_cast<size_t>(index) + 1, Unknown);
  costs_[static_cast<size_t>(index)] = cost;
}

double FrameCosts::At(double showSeconds) const {
  const long index = Index(showSeconds);
  if (!(showSeconds >= 0) || index < 0 || static_cast<size_t>(index) >= costs_.size()) return Unknown;
  return costs_[static_cast<size_t>(index)];
}

double FrameCosts::MostAhead(double showSeconds, double seconds) const {
  if (!(showSeconds >= 0)) return Unknown;
  double most = Unknown;
  for (long i = Index(showSeconds); i <= Index(showSeconds + seconds); ++i) {
    if (i < 0 || static_cast<size_t>(i) >= costs_.size() || std::isnan(costs_[static_cast<size_t>(i)])) continue;
    most = std::isnan(most) ? costs_[static_cast<size_t>(i)] : std::max(most, costs_[static_cast<size_t>(i)]);
  }
  return most;
}

std::string MachineFrameCostsPath() {
  const std::string cache = CacheFolder();
  return cache.empty() ? "" : cache + "/vantrel/frame-costs.txt";
}

bool SaveMachineFrameCosts(const FrameCosts& costs) {
  const std::string path = MachineFrameCostsPath();
  if (path.empty()) return false;
  const std::string folder = path.substr(0, path.rfind('/'));
  const std::string parent = folder.substr(0, folder.rfind('/'));
  for (const std::string& made : {parent, folder})
    if (mkdir(made.c_str(), 0755) != 0 && errno != EEXIST) return false;
  // Written beside and renamed over, so that a player starting meanwhile reads a whole table.
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << costs.Text();
    if (!out.flush()) return false;
  }
  return std::rename(partial.c_str(), path.c_str()) == 0;
}

FrameCosts PlayerFrameCosts(std::string& source) {
  FrameCosts costs;
  const std::string path = MachineFrameCostsPath();
  if (!path.empty()) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    if (in && costs.Parse(text.str()) && !costs.Empty()) {
      source = path;
      return costs;
    }
  }
  costs.Parse(DefaultFrameCostsText);
  source = "the table the program carries";
  return costs;
}
