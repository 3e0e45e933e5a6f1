// Storage of the process-wide show values.
#include "shell/Globals.h"

float ShowTime = 0;
float FrameDelta = 0;
float FramesPerSecond = 0;
bool ExitRequested = false;
GLWindow MainWindow;

TextureId LoadingPicture = NoTexture;
TextureId ProgressIcon = NoTexture;
TextureId LogoTexture = NoTexture;
int MusicSample = -1;
