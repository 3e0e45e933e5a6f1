// Storage of the show's clock values.
#include "timeline/ShowClock.h"

float ShowTime = 0;
float FrameDelta = 0;
float FramesPerSecond = 0;
bool ExitRequested = false;
