// The live mode: tool window, TCP stream server on port 1024 and the 500 ms show-frame timer.
#pragma once

// Runs the live mode until the tool window (or the GL window) is closed.
void RunStreamServer();
