// What each stretch of the show costs to draw: a table over show time that the timedemo measures
// and the player's dynamic resolution looks ahead in.
#pragma once
#include <string>
#include <string_view>
#include <vector>

class FrameCosts {
 public:
  // One entry for every quarter second of the show.
  static constexpr double Step = 0.25;
  // How far ahead of the frame being drawn the player looks.
  static constexpr double Lookahead = 0.5;

  // The table in its text form: a line per entry, "show-seconds cost" (the cost of a frame at
  // 800 x 600 in the timedemo's quads), '#' starting a comment. False, with the table left
  // empty, when a line is neither.
  bool Parse(std::string_view text);
  std::string Text() const;
  // The cost of the stretch starting at showSeconds (rounded down to the table's step).
  void Set(double showSeconds, double cost);
  // The cost at showSeconds; NaN where the table says nothing.
  double At(double showSeconds) const;
  // The largest cost from showSeconds to showSeconds + seconds; NaN where the table says nothing.
  double MostAhead(double showSeconds, double seconds) const;
  bool Empty() const { return costs_.empty(); }

 private:
  std::vector<double> costs_;  // by quarter second; NaN where unknown
};

// Where this machine's table is kept: $XDG_CACHE_HOME/vantrel/frame-costs.txt (~/.cache when
// unset); empty when no cache folder is known.
std::string MachineFrameCostsPath();
// Writes the table there (the folder made when missing); false when it cannot.
bool SaveMachineFrameCosts(const FrameCosts& costs);
// The table the player foresees with: this machine's, measured by its timedemo, when there is
// one; else the one the program carries, measured on another machine in the same unit. `source`
// says which.
FrameCosts PlayerFrameCosts(std::string& source);
