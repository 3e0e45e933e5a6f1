// Terminate requests: a signal handler that only notes SIGINT or SIGTERM for the main thread.
#include "platform/Terminate.h"

#include <SDL2/SDL.h>
#include <signal.h>

#include <time.h>

#include <atomic>
#include <csignal>

namespace {
volatile std::sig_atomic_t NotedSignal = 0;
// When the first request came, in monotonic milliseconds (0: none yet). Lock-free, so the
// handler may touch it.
std::atomic<long> NotedAtMs{0};
static_assert(std::atomic<long>::is_always_lock_free);

// A second request ends the program at once, as if there were no handler, but only when it comes
// a second or more after the first: wrappers such as timeout(1) pass one request on twice, to
// the program and to its process group, and a shell's Ctrl+C can reach a process twice the same
// way. Those copies arrive together and must not cut the orderly ending short.
constexpr long RepeatAfterMs = 1000;

long MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + 1;
}

void NoteSignal(int signal) {
  const long now = MonotonicMs();
  if (NotedSignal == 0) {
    NotedSignal = signal;
    NotedAtMs = now;
    return;
  }
  if (now - NotedAtMs < RepeatAfterMs) return;
  struct sigaction fallback{};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);
}
}  // namespace

void InstallTerminateHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action{};
  action.sa_handler = NoteSignal;
  action.sa_flags = SA_RESTART;
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
void ClearTerminateSignal() {
  NotedSignal = 0;
  NotedAtMs = 0;
}
