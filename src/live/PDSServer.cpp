// Live mode placeholder.
#include "live/PDSServer.h"

void RunStreamServer() {}
