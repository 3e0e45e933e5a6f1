// Music playback: the audio device, a 128-slot sample table and one-shot playback.
#pragma once
#include <cstdint>

#include "platform/Window.h"

inline constexpr int SampleSlots = 128;
// Frames in each buffer the mixer hands to the device (23 ms at 44100 Hz): the sound's latency.
inline constexpr int MixBufferFrames = 1024;

// Opens the default audio device at 44100 Hz stereo and resumes playback; true on success.
bool InitAudio(const GLWindow& window);
// Decodes the whole file into the next free slot; returns the slot index or -1 (count unchanged).
int LoadSample(const char* fileName);
// Plays slot index once at volume 0..100 and pan -100 (left) .. 100 (right); returns the
// channel, or -1 when nothing plays (a slot that failed or lies outside the table).
int PlaySample(int index, int volume, int pan);
// The same from seconds into the sample (0 and below: its start; past its end: nothing plays).
// Stops what its previous call started first, so a show that starts again never plays its
// music twice.
int PlaySampleFrom(int index, int volume, int pan, double seconds);
// Seconds of the sample last started by PlaySample or PlaySampleFrom (counted from where it
// started) that have reached the listener by now: a smooth clock fitted to the buffers the
// device takes, offset by the output delay. Negative until its first frame is heard; NaN when
// nothing was started or the device takes no sound. Main thread only (like PlaySample).
double HeardMusicSeconds();
// The music heard now by the recent buffer stamps alone, before the clock's bounded approach
// (for a debug log of the clock); NaN before the first stamp or when nothing plays. Main thread
// only.
double StampedMusicSeconds();
// The delay from a buffer's mixing to its first frame heard that the heard clock uses now: the
// latency the sound server reports for the music's stream (smoothed over half a second, asked
// again ten times a second) where a PulseAudio-protocol server answers, else one mixer buffer.
struct OutputLatency {
  double seconds;   // what the clock uses
  double reported;  // what the server reports; NaN when none answers
  bool fromServer;
};
OutputLatency CurrentOutputLatency();
// Buffers of the music that reached the device after it had played everything it held (it ran
// dry and the listener heard a gap), counted from the mixer's buffer stamps since the device
// opened. Main thread only.
long SoundUnderruns();
// The mixer's thread runs at real-time priority (raised as the first buffer of music is mixed,
// where the system allows it).
bool MixerAtRealTimePriority();
// Stops the sample last started by PlaySample or PlaySampleFrom (a paused show); the heard clock
// then reads NaN until the next one starts.
void StopMusic();
// The listener's volume, 0 to 100 % of every level PlaySample is given (100 at start), applied
// at once to what plays and to what starts later. Only the level changes: the music's buffers
// and their stamps go on as before, so the heard clock does not move.
void SetListeningVolume(int percent);
int ListeningVolume();
// The device stopped taking sound (its sound server died, it was unplugged): HeardMusicSeconds
// reads NaN, and the samples wait for ReopenAudio.
bool SoundDeviceLost();
// Once the device is lost: closes it and opens the one the environment names again (a sound
// server that came back), keeping the loaded samples; true when it opened in their format, and
// nothing then plays until PlaySample or PlaySampleFrom. Main thread only.
bool ReopenAudio();
// The number of loaded samples.
int LoadedSampleCount();
// Closes the device and forgets every sample (tests and shutdown).
void CloseAudio();
