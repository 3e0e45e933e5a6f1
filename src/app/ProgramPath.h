// Finding a helper program (ffmpeg) on PATH before relying on it.
#pragma once

// True when an executable file of that name is in one of PATH's folders (/usr/bin:/bin without
// PATH).
bool ProgramOnPath(const char* name);
