// The program's entry: start-up in its fixed order, then the mode the command line chose.
#pragma once

// The whole life of the process; returns the exit code.
int RunProgram(int argc, char** argv);
