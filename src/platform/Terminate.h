// Terminate requests: SIGINT and SIGTERM, taken by a handler of the program's own, so that the
// program ends in order within a second wherever it is, the splash and the loading included.
#pragma once

// Installs the handlers for SIGINT and SIGTERM (before SDL starts, which then leaves them alone)
// and ignores SIGPIPE, so that a write to a closed pipe or socket fails with EPIPE where it is
// made instead of killing the program. The handler only notes the signal; a second one a second or more
// later ends the program at once, as if there were no handler (copies that arrive together, as
// timeout(1) sends them, are one request). Once per process.
void InstallTerminateHandlers();
// The signal that asked the program to end; 0 while none did. A nonzero answer counts as the
// request taken: the program is ending in order, and the deadline below stands down.
int TerminateSignal();
// Arms the ending's deadline (the window modes, where nothing is being written that a cut would
// lose): a thread of its own waits for a terminate signal, and if the main thread has not taken
// it within `graceMs` (a frame the GL driver is still compiling its drawing for, on a heavily
// loaded machine), it says so on standard error and ends the program at once with status 0.
// Not while a TerminateDeadlineHold is held. Builds with AddressSanitizer never arm it: their
// leak check at exit needs the orderly ending. Once per process.
void ArmTerminateDeadline(int graceMs = 600);
// Held while the main thread writes a file (a screenshot, a recorded set), so that the deadline
// waits for the file to be whole.
class TerminateDeadlineHold {
 public:
  TerminateDeadlineHold();
  ~TerminateDeadlineHold();
  TerminateDeadlineHold(const TerminateDeadlineHold&) = delete;
  TerminateDeadlineHold& operator=(const TerminateDeadlineHold&) = delete;
};
// Forgets a noted signal (tests).
void ClearTerminateSignal();
