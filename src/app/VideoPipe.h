// The ffmpeg pipe that turns raw show frames and the music into an H.264 MP4.
#pragma once
#include <cstdio>
#include <string>

#include "app/Options.h"

// ffmpeg reading raw frame-sized RGBA frames at options.fps from the pipe, with the music muxed in
// when there is some (from options.from on); null after saying why.
FILE* OpenVideoPipe(const ProgramOptions& options, const std::string& musicPath);
// Closes the pipe and reports: 0 when every frame went in and ffmpeg wrote the file, which then
// takes its name; else 1 after saying why, with what ffmpeg wrote removed.
int FinishVideo(FILE* pipe, bool writeFailed, const std::string& output);
