// Loading: where the data set is, the splash and progress pictures, every scene's assets and the
// music, which starts when loading ends.
#pragma once
#include <string>

#include "render/Types.h"

extern TextureId LoadingPicture;  // "loading.jpg"
extern TextureId ProgressIcon;    // "sex.jpg"

// Chooses the data folder every loader reads from (without changing the working directory):
// "data" in the current directory, else "data" beside the program,
// else the installed data folder (share/vantrel beside the program's bin folder, then the one
// of the configured installation prefix).
void ChooseDataDirectory(const char* argv0);
// The data directory chosen at start-up.
const std::string& DataDirectory();
// The splash picture "load.jpg", held for its fixed number of presented frames.
void ShowSplash();
// Loads every scene's assets behind the progress picture, records the generator's seed where the
// show starts, and starts the music unless told not to (a show that starts later starts it).
void LoadAssets(bool startMusic = true);
// Plays the music from seconds into it, stopping what a previous call started.
void StartMusic(float seconds);
// The progress picture with one icon per finished stage, held for 51 presented frames.
void ShowLoadingProgress(int stages);
// Seconds since the program began, and the part of them spent holding the splash and progress
// pictures on screen (fixed frame counts, not work).
double SecondsSinceProgramStart();
double FixedHoldSeconds();
