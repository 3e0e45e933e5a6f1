// Screenshots of the show's frame as drawn, saved as PNG files into the pictures folder.
#pragma once
#include <string>

// The directory the program was started in (before loading moves into the data directory):
// screenshots go there when the desktop names no pictures folder.
void RememberStartDirectory();
// The folder screenshots are saved in: the XDG pictures folder (user-dirs.dirs under
// $XDG_CONFIG_HOME, else ~/.config) when it exists, else the start directory.
std::string ScreenshotFolder();
// "vantrel-<show time>.png", the show time in seconds to the millisecond.
std::string ScreenshotName(float showTime);
// Saves the show's picture as drawn, at the size it was drawn (DrawingWidth() x DrawingHeight(),
// never the on-screen display), into the screenshot folder and says where and at which size on
// standard error; false (said as well) when it cannot be written.
bool SaveScreenshot(float showTime);
