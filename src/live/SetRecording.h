// A recorded set: the packets a stream client sent, each with its time, as lines of text.
//
// One line per packet: the seconds since the client began sending, then the values of slots
// 0, 1, ... ("nan" for an absent slot); lines starting with '#' are comments. For example
//   0.040000 0.5 nan 1
// The stream client writes and replays it; the live mode renders it offline into a video.
#pragma once
#include <string>
#include <vector>

struct RecordedPacket {
  double time = 0;            // seconds since the start of the set
  std::vector<float> values;  // at most 64
};

// A value as the stream client takes it from a user: a decimal number, "inf", or "nan" for an
// absent slot. A number too large for a float (1e39) is refused rather than sent as infinity.
bool ParseStreamValue(const std::string& text, float& value);
// The line of one packet, with a newline; values print exactly as they read back.
std::string FormatRecordedPacket(double time, const float* values, int count);
// Reads a recording. Times must be finite, not negative and never go back; false with the line
// number and the reason in error otherwise.
bool ReadSetRecording(const std::string& path, std::vector<RecordedPacket>& packets, std::string& error);
