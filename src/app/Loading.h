// Loading: where the data set is, the splash and progress pictures, every scene's assets and the
// music, which starts when loading ends.
#pragma once
#include <string>

#include "render/Types.h"

extern TextureId LoadingPicture;  // "loading.jpg"
extern TextureId ProgressIcon;    // "sex.jpg"
extern int MusicSample;           // slot of "music.mp3" in the sample table, -1 if none

// Chooses the data directory: "data" in the current directory, else the one beside the program.
void ChooseDataDirectory(const char* argv0);
// The data directory chosen at start-up.
const std::string& DataDirectory();
// The splash picture "load.jpg", held for its fixed number of presented frames.
void ShowSplash();
// Loads every scene's assets behind the progress picture and starts the music.
void LoadAssets();
// The progress picture with one icon per finished stage, held for 51 presented frames.
void ShowLoadingProgress(int stages);
// Seconds since the program began, and the part of them spent holding the splash and progress
// pictures on screen (fixed frame counts, not work).
double SecondsSinceProgramStart();
double FixedHoldSeconds();
