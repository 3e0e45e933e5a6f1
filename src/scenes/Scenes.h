// The show's cast: each scene's loader (called once while loading) and drawer (once per frame).
#pragma once
#include <any>

// What a scene carries from frame to frame beyond loading (a simulation, a camera), taken whole
// and put back whole: the show keeps such states along the show so that a jump need not advance
// from the start.
using SceneState = std::any;

// Cloth scene (scenes 99, 11, 12, 13): what the script does to the corners is in ClothScene.h.
enum class ClothCorners;
void LoadClothScene();
void DrawClothScene(float logoAlpha, ClothCorners corners);

// Light-cone scene (scene 5).
void LoadLightConeScene();
void DrawLightConeScene();

// Flower scene (scene 10 and the first layer of the ending).
void LoadFlowerScene();
void DrawFlowerScene();

// Well scene (scene 9): jolt, spin rate (degrees/s), scroll, bounce, spike.
void LoadWellScene();
void DrawWellScene(float jolt, float spinRate, float scroll, float bounce, float spike);

// Greetings scene (scene 8).
void LoadGreetingsScene();
void DrawGreetingsScene(float s, float p);

// Domino scene (scenes 6 and 7).
void LoadDominoScene();
void DrawDominoScene(float x);

// Point-burst scene (scene 14): the random cloud, 10,000 points more every second of the scene.
void DrawPointBurstScene();
void AdvancePointBurstScene();

// Rail and water scene (scenes 1 to 4): variant = scene number. The floor's sphere map takes its
// normals normalised, or as they are (normalised = false) as before the first lit scene.
void LoadRailScene();
void DrawRailScene(int variant, float sceneTime, float pulse, bool normalised = true);

// Advancing without drawing: what one drawn frame of a scene carries to the next (simulation,
// camera, draws from the generator), done exactly as the drawer does it before it draws.
void AdvanceDominoScene();
void AdvanceFlowerScene();
void AdvanceWellScene(float spinRate);
void AdvanceRailScene();
// Back to the state the loader left, as on a first run (a looping show starts again with these);
// pictures and models stay loaded.
void ResetClothScene();
void ResetDominoScene();
void ResetFlowerScene();
void ResetWellScene();
void ResetRailScene();
// Saving and putting back what a scene carries (SceneState): the cloth's particles, the rail's
// water, the dominoes' camera roll, the flowers' two eyes, the well's camera.
SceneState SaveClothScene();
void RestoreClothScene(const SceneState& state);
SceneState SaveRailScene();
void RestoreRailScene(const SceneState& state);
SceneState SaveDominoScene();
void RestoreDominoScene(const SceneState& state);
SceneState SaveFlowerScene();
void RestoreFlowerScene(const SceneState& state);
SceneState SaveWellScene();
void RestoreWellScene(const SceneState& state);
