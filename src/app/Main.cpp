// Program entry: everything happens in RunProgram.
#include "app/Entry.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
