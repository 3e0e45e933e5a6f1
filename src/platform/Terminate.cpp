// Terminate requests: a signal handler that only notes SIGINT or SIGTERM for the main thread.
#include "platform/Terminate.h"

#include <SDL2/SDL.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {
// Atomic rather than volatile sig_atomic_t: the handler runs on whichever thread the signal
// reaches, and the main thread reads what it wrote.
std::atomic<int> NotedSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// When the first request came, in monotonic milliseconds (0: none yet). Lock-free, so the
// handler may touch it.
std::atomic<long> NotedAtMs{0};
static_assert(std::atomic<long>::is_always_lock_free);

// A second request ends the program at once, as if there were no handler, but only when it comes
// a second or more after the first: wrappers such as timeout(1) pass one request on twice, to
// the program and to its process group, and a shell's Ctrl+C can reach a process twice the same
// way. Those copies arrive together and must not cut the orderly ending short.
constexpr long RepeatAfterMs = 1000;

// The ending's deadline: the handler posts the semaphore (async-signal-safe) for the deadline's
// thread, which then watches whether the main thread takes the request in time.
sem_t RequestPosted;
std::atomic<bool> DeadlineArmed{false};
std::atomic<bool> RequestTaken{false};
std::atomic<int> Holds{0};
static_assert(std::atomic<bool>::is_always_lock_free);

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
    if (DeadlineArmed) sem_post(&RequestPosted);
    return;
  }
  if (now - NotedAtMs < RepeatAfterMs) return;
  struct sigaction fallback{};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);
}

void WatchDeadline(int graceMs) {
  while (sem_wait(&RequestPosted) != 0 && errno == EINTR) {
  }
  for (;;) {
    if (RequestTaken) return;
    const long left = NotedAtMs + graceMs - MonotonicMs();
    if (left <= 0 && Holds == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(left > 10 ? 10 : (left > 0 ? left : 1)));
  }
  // Not through stdio: the main thread may hold its lock.
  char line[160];
  const int length = std::snprintf(line, sizeof line,
                                   "vantrel: the drawing did not come back to the request to end within %d ms; "
                                   "ending at once\n",
                                   graceMs);
  if (length > 0 && write(STDERR_FILENO, line, static_cast<size_t>(length)) < 0) {
    // Nothing more can be said.
  }
  _exit(0);
}
}  // namespace

void ArmTerminateDeadline(int graceMs) {
#if defined(__SANITIZE_ADDRESS__)
  (void)graceMs;
#else
  static bool armed = false;
  if (armed) return;
  armed = true;
  sem_init(&RequestPosted, 0, 0);
  std::thread(WatchDeadline, graceMs).detach();
  DeadlineArmed = true;
  // A request that came before the deadline was armed is watched as well.
  if (NotedSignal != 0) sem_post(&RequestPosted);
#endif
}

TerminateDeadlineHold::TerminateDeadlineHold() { ++Holds; }
TerminateDeadlineHold::~TerminateDeadlineHold() { --Holds; }

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

int TerminateSignal() {
  const int signal = NotedSignal;
  if (signal != 0) RequestTaken = true;
  return signal;
}
void ClearTerminateSignal() {
  NotedSignal = 0;
  NotedAtMs = 0;
  RequestTaken = false;
}
