// The show's music: synthesised at the show's tempo, following its sync tracks.
#pragma once
#include <vector>

namespace datagen {

inline constexpr int MusicRate = 44100;
// Samples written (before encoding): at least 208 seconds.
inline constexpr int MusicSeconds = 209;
// Samples the MP3 decoder adds before the first encoded sample (beyond the encoder's own delay).
inline constexpr int DecoderDelay = 529;

// Interleaved stereo samples in -1..1 of the show's clock shifted earlier by `lead` samples: the
// sample at index i sounds what the show plays at (i + lead) / MusicRate seconds.
std::vector<float> SynthesiseMusic(int lead);

}  // namespace datagen
