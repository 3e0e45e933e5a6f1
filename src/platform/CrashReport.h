// Crash reports (signal, call stack, the usual death) and libraries kept for the leak check.
#pragma once

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT (on a stack of their own, so
// that a stack overflow is reported too). Each writes one line naming the signal and the return
// addresses of the stack (with their libraries and offsets, for addr2line), then dies of the same
// signal, so the exit status and any core dump are as without it. Once per process.
void InstallCrashReport();

// In builds with AddressSanitizer: keeps every library loaded now in memory to the end of the
// process. The GL driver and its dependencies are unloaded as the display closes while blocks
// they allocated are still held by their globals; once unloaded, the leak check at exit would
// report those blocks as leaks of an unknown library, which no suppression can name. Elsewhere
// it does nothing.
void KeepLibrariesForLeakCheck();
