// The slot map: what each stream slot of the live picture drives, and over which values.
#pragma once
#include <array>
#include <string_view>

// One stream slot. A present slot switches its layer on; its value then sets what "drives" says
// (some layers only look at presence). low..high is the travel a controller gets by default.
struct LiveSlot {
  int number;
  const char* name;    // also the OSC address /vantrel/slot/NAME and the map file's slot name
  float low;
  float high;
  bool valueUsed;      // false: only present or absent changes the picture
  const char* drives;
};

enum LiveSlotNumber : int {
  FlashSlot = 0,
  BackgroundSlot = 1,
  SwarmTrailSlot = 2,
  CrowdSlot = 3,
  WarpSlot = 4,
  PillarSlot = 5,
  OverlayPictureSlot = 6,
  OverlayOpacitySlot = 7,
  SwarmSlot = 8,
  RingSlot = 9,
  FeedbackSlot = 10,
};

// Slots 11 to 63 are received and kept but draw nothing.
inline constexpr std::array<LiveSlot, 11> LiveSlotMap = {{
    {FlashSlot, "flash", 0, 1, true, "above 0, the whole screen lightened with this opacity"},
    {BackgroundSlot, "background", 0, 1, true, "the two warped background pictures, added with this opacity"},
    {SwarmTrailSlot, "swarm-trail", 0, 1, true, "the swarm fed back through a zooming trail: its growth and strength"},
    {CrowdSlot, "crowd", 1, 1, false, "the ring fed back, the ring again and a crowd of 301 small models"},
    {WarpSlot, "warp", 0, 1, true, "the warp picture as six growing additive copies: their tint"},
    {PillarSlot, "pillars", 1, 1, false, "five nested lit rings and a 6 x 6 field of pillar pairs that glow when they close"},
    {OverlayPictureSlot, "overlay", 0, 4, true,
     "the overlay picture: rounded (halves to even), 0 to 3 over the right part of the screen, 4 the feedback picture over the whole screen"},
    {OverlayOpacitySlot, "overlay-opacity", 0, 1, true, "the opacity of overlay pictures 0 to 3 (absent: no overlay picture)"},
    {SwarmSlot, "swarm", 0, 1, true, "the swarm straight on the screen: its field of view"},
    {RingSlot, "ring", 1, 1, false, "the ring of 31 models"},
    {FeedbackSlot, "feedback", 0, 1, true, "the feedback picture (shown through overlay 4): its position and swirl"},
}};

// The number of the slot with this name, or -1.
constexpr int LiveSlotNamed(std::string_view name) {
  for (const LiveSlot& slot : LiveSlotMap)
    if (name == slot.name) return slot.number;
  return -1;
}
