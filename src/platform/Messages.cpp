// Message boxes through SDL, or standard error when nobody can click them away.
#include "platform/Messages.h"

#include <SDL2/SDL.h>
#include <unistd.h>

#include <cstdio>

namespace {
bool Interactive = false;
MessageRecorder Recorder;
}  // namespace

void SetInteractiveDisplay(bool interactive) { Interactive = interactive; }
bool IsInteractiveDisplay() { return Interactive; }
void SetMessageRecorder(MessageRecorder recorder) { Recorder = std::move(recorder); }

void ShowMessage(const std::string& caption, const std::string& text) {
  if (Recorder) Recorder(caption, text);
  if (Interactive &&
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr) == 0)
    return;
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void ErrorBeep() {
  if (isatty(STDERR_FILENO)) std::fputc('\a', stderr);
}
