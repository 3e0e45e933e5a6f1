// Terminate requests: SIGINT and SIGTERM, taken by a handler of the program's own, so that the
// program ends in order within a second wherever it is, the splash and the loading included.
#pragma once

// Installs the handlers for SIGINT and SIGTERM (before SDL starts, which then leaves them alone)
// and ignores SIGPIPE, so that a write to a closed pipe or socket fails with EPIPE where it is
// made instead of killing the program. The handler only notes the signal; a second one a second or more
// later ends the program at once, as if there were no handler (copies that arrive together, as
// timeout(1) sends them, are one request). Once per process.
void InstallTerminateHandlers();
// The signal that asked the program to end; 0 while none did.
int TerminateSignal();
// Forgets a noted signal (tests).
void ClearTerminateSignal();
