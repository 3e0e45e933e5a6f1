// The ffmpeg pipe: the command line (raw RGBA in, x264 and AAC out), its start and its end.
#include "app/VideoPipe.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/FixedStepShow.h"
#include "app/FrameReadback.h"
#include "app/OffscreenModes.h"
#include "app/PngWriter.h"
#include "app/ProgramPath.h"

namespace {
std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
}  // namespace

bool CaptureCanStart(const ProgramOptions& options) {
  if (!ProgramOnPath("ffmpeg")) {
    std::fprintf(stderr,
                 "vantrel: capture needs ffmpeg, which was not found on PATH "
                 "(install it with: apt-get install ffmpeg)\n");
    return false;
  }
  // The video is written beside its name and renamed once whole: that place must take files.
  const std::string partial = UnfinishedPath(options.output);
  FILE* probe = std::fopen(partial.c_str(), "wb");
  if (!probe) {
    std::fprintf(stderr, "vantrel: cannot write the capture file \"%s\" (%s)\n", options.output.c_str(),
                 std::strerror(errno));
    return false;
  }
  std::fclose(probe);
  std::remove(partial.c_str());
  return true;
}

FILE* OpenVideoPipe(const ProgramOptions& options, const std::string& musicPath) {
  std::string command = "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgba -s " +
                        std::to_string(OutputWidth()) + "x" + std::to_string(OutputHeight()) +
                        " -r " + std::to_string(options.fps) + " -i -";
  const bool haveMusic = access(musicPath.c_str(), R_OK) == 0;
  // A capture that starts later in the show takes the music from the same moment.
  char musicStart[48] = "";
  if (options.from > 0) std::snprintf(musicStart, sizeof musicStart, " -ss %.6f", options.from);
  if (haveMusic)
    command += std::string(musicStart) + " -i " + ShellQuote(musicPath) +
               " -map 0:v -map 1:a -c:a aac -b:a 192k -shortest";
  // superfast: 40 % less encoder time a frame than veryfast at the same quality setting, for a
  // file about a tenth larger; x264 picks its own threads, which fill what the drawing leaves.
  command += " -c:v libx264 -preset superfast -crf 18 -pix_fmt yuv420p -movflags +faststart " +
             ShellQuote(UnfinishedPath(options.output));
  FILE* pipe = popen(command.c_str(), "w");
  if (!pipe) std::fprintf(stderr, "vantrel: could not start ffmpeg\n");
  return pipe;
}

int FinishVideo(FILE* pipe, bool writeFailed, const std::string& output) {
  ReportSoftenedFrames();
  const int status = pclose(pipe);
  const std::string partial = UnfinishedPath(output);
  if (writeFailed || status != 0) {
    std::remove(partial.c_str());
    std::string why = "it stopped taking frames";
    // ffmpeg runs under a shell, which reports its death by a signal as status 128 + signal.
    if (status > 0 && WIFSIGNALED(status))
      why = "it was ended by signal " + std::to_string(WTERMSIG(status));
    else if (status > 0 && WIFEXITED(status) && WEXITSTATUS(status) > 128)
      why = "it was ended by signal " + std::to_string(WEXITSTATUS(status) - 128);
    else if (status > 0 && WIFEXITED(status) && WEXITSTATUS(status) != 0)
      why = "it failed with status " + std::to_string(WEXITSTATUS(status)) + " (its own message is above)";
    std::fprintf(stderr, "\nvantrel: ffmpeg did not finish \"%s\": %s; nothing was kept\n", output.c_str(),
                 why.c_str());
    return 1;
  }
  if (std::rename(partial.c_str(), output.c_str()) != 0) {
    std::fprintf(stderr, "vantrel: the finished video \"%s\" could not be named \"%s\" (%s)\n", partial.c_str(),
                 output.c_str(), std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr, "vantrel: wrote %s\n", output.c_str());
  return 0;
}
