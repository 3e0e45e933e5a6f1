// Terminate requests: a signal handler that only notes SIGINT or SIGTERM for the main thread.
#include "platform/Terminate.h"

#include <SDL2/SDL.h>
#include <signal.h>

#include <csignal>

namespace {
volatile std::sig_atomic_t NotedSignal = 0;

void NoteSignal(int signal) { NotedSignal = signal; }
}  // namespace

void InstallTerminateHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action{};
  action.sa_handler = NoteSignal;
  // Reset on the first: whoever sends a second one means it.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  struct sigaction ignore{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  // SDL would otherwise put its own handlers in, turning the signals into a quit event that only
  // the next frame's event poll sees.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

int TerminateSignal() { return NotedSignal; }
void ClearTerminateSignal() { NotedSignal = 0; }
