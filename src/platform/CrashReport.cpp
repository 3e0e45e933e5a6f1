// Crash report with async-signal-safe calls only; libraries kept loaded for the leak check.
#include "platform/CrashReport.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

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

void KeepLibrariesForLeakCheck() {
#if defined(__SANITIZE_ADDRESS__)
  std::vector<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* list) {
        if (info->dlpi_name && *info->dlpi_name)
          static_cast<std::vector<std::string>*>(list)->push_back(info->dlpi_name);
        return 0;
      },
      &names);
  // Opened again (outside the iteration, which holds the loader's lock) and never unloaded.
  for (const std::string& name : names) dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}
