// Crash report: only async-signal-safe calls in the handler (write, backtrace_symbols_fd, raise).
#include "platform/CrashReport.h"

#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {
constexpr int ReportedSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
alignas(16) char HandlerStack[64 * 1024];

void Write(const char* text) {
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void ReportCrash(int signal) {
  Write("vantrel: crashed with signal ");
  char number[4] = {static_cast<char>('0' + signal / 10 % 10), static_cast<char>('0' + signal % 10), '\n', 0};
  Write(signal >= 10 ? number : number + 1);
  Write("vantrel: call stack:\n");
  void* frames[64];
  const int count = backtrace(frames, 64);
  backtrace_symbols_fd(frames, count, STDERR_FILENO);
  // The handler was reset on entry: the same signal now ends the process as it would have.
  raise(signal);
}
}  // namespace

void InstallCrashReport() {
#if defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer reports crashes itself, with more than a stack.
  return;
#endif
  static bool installed = false;
  if (installed) return;
  installed = true;
  // backtrace loads its unwinder on first use, which must not happen inside a handler.
  void* warm[1];
  backtrace(warm, 1);
  stack_t stack{};
  stack.ss_sp = HandlerStack;
  stack.ss_size = sizeof HandlerStack;
  sigaltstack(&stack, nullptr);
  struct sigaction action{};
  action.sa_handler = ReportCrash;
  action.sa_flags = SA_RESETHAND | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (const int signal : ReportedSignals) sigaction(signal, &action, nullptr);
}
