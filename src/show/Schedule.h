// The timed show's frame: beat clock, scene dispatch, point fields, pulse overlays, the ending.
#pragma once
#include <optional>
#include <vector>

#include "render/Types.h"
#include "scenes/ClothScene.h"

// The logo of the ending ("vantrel_a.jpg" coloured, alpha from "vantrel.jpg"), loaded with the
// show's assets.
extern TextureId LogoTexture;

// ShowTime from which the fixed ending replaces the scenes and the beat clock stops.
inline constexpr float EndingStartTime = 198.0f;
// ShowTime after which the star field is drawn over the scenes.
inline constexpr float StarFieldStartTime = 160.0f;

// Draws one complete frame for ShowTime (in gentle mode through the frame flash guard), presents
// it and polls the keyboard.
void DrawShowFrame();
// The same frame without presenting it or polling (warm-up frames before a late start).
void DrawShowPicture();
// Advances every state one show frame carries for the current ShowTime and FrameDelta, without
// drawing: beat clock, simulations, cameras, draws from the generator.
void AdvanceShowFrame();
// The scene part of AdvanceShowFrame for CurrentScene from the scene table (the beat clock
// already run).
void AdvanceScheduledScene();
// A run that starts later in the show draws this much of the show before its first frame (unseen),
// so that whatever drawing carries from frame to frame (render textures, the frame buffer) holds
// what a whole run has.
inline constexpr float WarmUpSeconds = 2.0f;
// Brings everything the show carries to the first frame at or after ShowTime target of a run at
// framesPerSecond as a whole run from a reset leaves it: the frames before target - WarmUpSeconds
// advanced without drawing (from the nearest snapshot; every scene sets the GL state it draws
// with, so nothing drawn before is needed), the rest before target drawn as unseen frames (nor
// guarded: gentle mode's flash guard starts with the first frame shown, as a viewer does). The
// generator is reseeded from the show's time throughout, as in the offscreen modes. Returns the
// index of that first frame (ShowTime = frame / framesPerSecond); ShowTime and FrameDelta are
// left as the last frame before it set them.
long AdvanceShowTo(float target, int framesPerSecond);
// What the last AdvanceShowTo did: frames drawn unseen, and the seconds spent bringing the
// carried state to its frames (from snapshots) and issuing the unseen frames' drawing.
struct AdvanceFigures {
  long unseenFrames = 0;
  double stateSeconds = 0;
  double drawingSeconds = 0;
};
const AdvanceFigures& LastAdvanceFigures();
// What AdvanceShowTo does, for a show that is already playing (the viewer's jumps): the same
// first frame and the same carried state, from the snapshots, and the GL state loading left
// (RememberRenderState). No warm-up is drawn: every scene sets the GL state it draws with and
// no texture the show copies into outlives the frame that reads it, so the warm-up leaves
// nothing the first frame reads, and that frame is the one a late start at target draws.
long SeekShowTo(float target, int framesPerSecond);
// Remembers the generator's seed as loading left it, where every pass of the show starts (the
// snapshots taken before are dropped).
void RecordShowStart();
// Beat clock, every scene's simulation and camera and the generator's seed back to how loading
// left them.
void ResetCarriedState();
// Everything the show carries from frame to frame back to how loading left it, as on a first
// run: beat clock, every scene's simulation and camera, the generator's seed, ExitRequested.
void ResetShow();

// One scene of the show: what loading, the schedule, a late start, --loop's reset and the
// listings need to know of it. Scenes that share a cast (the rail's four variants, the cloth's
// four, the dominoes' two) share its loader and reset, which run once. A missing step (null)
// has nothing to do.
using SceneStep = void (*)();
struct ShowScene {
  int number = 0;              // as on the scene track
  const char* name = "";       // in --list-scenes and the timedemo's rows
  SceneStep load = nullptr;    // loads the cast's pictures and models, once while loading
  SceneStep advance = nullptr; // carries one frame without drawing, exactly as drawing does
  SceneStep draw = nullptr;    // draws one frame with its arguments from the clock
  SceneStep reset = nullptr;   // back to how loading left it, as on a first run
  float firstStart = 0;        // ShowTime of the scene's first start on the scene track
  float lastStart = 0;         // and of its last
};
// Every scene of the show, in the order their casts load.
const std::vector<ShowScene>& ShowScenes();
// The scene with that number; null for 0 or a number the show does not have.
const ShowScene* FindShowScene(int number);
// Each distinct function of one step (load, reset, ...) of the table once, in table order.
std::vector<SceneStep> DistinctSceneSteps(SceneStep ShowScene::*step);

// What the script does to the cloth's corners in a cloth scene (99, 11, 12, 13); none otherwise.
std::optional<ClothCorners> ClothCornersOf(int scene);

// The pieces of a frame, in the order DrawShowFrame uses them (each callable on its own):
// The drawer of CurrentScene from the scene table; nothing for 0 or an unknown scene.
void DrawScheduledScene();
// Above 160 s, (ShowTime - 160) * 3000 + 1 random points (nothing at or below), at most the
// 141,001 of 207 s; the ending's variant clears depth instead of disabling the depth test and
// keeps fog. Hidden (under an opaque layer drawn after it): the same states and draws of the
// generator, but no point is sent.
void DrawStarField(bool ending, bool hidden);
// The inversion quad while Pulse2 > 0 and the additive white flash while Pulse1 > 0.
void DrawPulseOverlays();
// The fixed ending for ShowTime from 198 s: flowers, fade, stars, the logo, the last fade.
void DrawEnding();
