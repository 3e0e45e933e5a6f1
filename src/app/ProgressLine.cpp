// The progress line: share done, frame count, rate and the time left, at a pace that suits a
// terminal or a log file.
#include "app/ProgressLine.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {
std::string Duration(double seconds) {
  const int total = static_cast<int>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", total / 60, total % 60);
  return text;
}
}  // namespace

ProgressLine::ProgressLine(const char* what, long total)
    : what_(what), total_(total), start_(SteadyClock::now()), terminal_(isatty(STDERR_FILENO)) {}

void ProgressLine::Update(long done, bool last) {
  const double elapsed = SecondsSince(start_);
  if (!last && elapsed - lastPrint_ < (terminal_ ? 0.5 : 30.0)) return;
  lastPrint_ = elapsed;
  const double rate = elapsed > 0 ? done / elapsed : 0;
  const double left = rate > 0 ? (total_ - done) / rate : 0;
  std::fprintf(stderr, "%s%s: %5.1f%%  frame %ld/%ld  %5.1f fps  %s left   %s",
               terminal_ ? "\r" : "", what_, 100.0 * done / total_, done, total_, rate,
               Duration(left).c_str(), terminal_ && !last ? "" : "\n");
  std::fflush(stderr);
}
