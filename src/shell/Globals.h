// Process-wide values of the running show, written once per frame by the run loop.
#pragma once
#include "render/Types.h"
#include "shell/Window.h"

extern float ShowTime;         // seconds since the show's timer was reset
extern float FrameDelta;       // duration of the previous frame in seconds
extern float FramesPerSecond;  // the timer's frame count of its last one-second window
extern bool ExitRequested;     // set once ShowTime has passed 207 s
extern GLWindow MainWindow;    // the record OpenWindow returned

extern TextureId LoadingPicture;  // "loading.jpg"
extern TextureId ProgressIcon;    // "sex.jpg"
extern TextureId LogoTexture;     // "vantrel_a.jpg" coloured, alpha from "vantrel.jpg"
extern int MusicSample;           // slot of "music.mp3" in the sample table, -1 if none
