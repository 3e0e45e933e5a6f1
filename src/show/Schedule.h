// The timed show's schedule: the scene table (every scene of the show and all it needs), and the
// frame it makes of them for ShowTime.
#pragma once
#include <optional>
#include <vector>

#include "scenes/ClothScene.h"
#include "scenes/Scenes.h"

// One scene of the show: everything loading, the schedule, a late start, a jump, --loop's reset
// and the listings need to know of it. Scenes that share a cast (the rail's four variants, the
// cloth's four, the dominoes' two) share its loader, reset, save and restore, which run once per
// cast. A missing step (null) has nothing to do.
using SceneStep = void (*)();
struct ShowScene {
  int number = 0;              // as on the scene track
  const char* name = "";       // in --list-scenes and the timedemo's rows
  SceneStep load = nullptr;    // loads the cast's pictures and models, once while loading
  SceneStep advance = nullptr; // carries one frame without drawing, exactly as drawing does
  SceneStep draw = nullptr;    // draws one frame with its arguments from the clock
  SceneStep reset = nullptr;   // back to how loading left it, as on a first run
  // What the scene carries from frame to frame (whatever reset resets), taken whole for the
  // snapshots that seeking starts from, and put back whole.
  SceneState (*save)() = nullptr;
  void (*restore)(const SceneState&) = nullptr;
  // A cloth scene: what the script does to the cloth's corners while it runs.
  std::optional<ClothCorners> clothCorners = std::nullopt;
  // Sets its own light. The first lit scene to start switches the normalisation of normals on for
  // good: the rail before it shows its floor's sphere map from normals as they are.
  bool lit = false;
  float firstStart = 0;        // ShowTime of the scene's first start on the scene track
  float lastStart = 0;         // and of its last
};
// Every scene of the show, in the order their casts load.
const std::vector<ShowScene>& ShowScenes();
// The scene with that number; null for 0 or a number the show does not have.
const ShowScene* FindShowScene(int number);
// Each distinct function of one step (load, reset, save, ...) of the table once, in table order.
template <typename Step>
std::vector<Step> DistinctSceneSteps(Step ShowScene::*step) {
  std::vector<Step> steps;
  for (const ShowScene& scene : ShowScenes()) {
    const Step function = scene.*step;
    bool seen = false;
    for (const Step other : steps) seen = seen || other == function;
    if (function && !seen) steps.push_back(function);
  }
  return steps;
}

// Draws one complete frame for ShowTime, in gentle mode through the frame flash guard; the run
// loop presents it.
void DrawShowFrame();
// The same frame without the flash guard (warm-up frames before a late start).
void DrawShowPicture();
// Advances every state one show frame carries for the current ShowTime and FrameDelta, without
// drawing: beat clock, simulations, cameras, draws from the generator.
void AdvanceShowFrame();
// The scene part of AdvanceShowFrame for CurrentScene from the scene table (the beat clock
// already run).
void AdvanceScheduledScene();
// The drawer of CurrentScene from the scene table; nothing for 0 or an unknown scene.
void DrawScheduledScene();
