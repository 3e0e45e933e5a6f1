// Small render-state operations that every drawer uses between its draws.
#pragma once
#include "render/Types.h"

// Clears colour and depth, selects the modelview matrix and loads the identity.
void BeginFrame();
// Blending on with (ONE, ONE).
void SetBlendAdd();
// Blending on with (SRC_ALPHA, ONE).
void SetBlendAlphaAdd();
// Blending on with (SRC_ALPHA, ONE_MINUS_SRC_ALPHA).
void SetBlendAlpha();
// Sphere-map texture generation on for S and T (the mode is set once by InitRenderState).
void EnableSphereMap();
void DisableSphereMap();
// Colour material off and the GL default material on both faces.
void ResetMaterial();
// Leaves: texture generation, colour material, texturing and blending off; current colour white;
// default material.
void ResetSurfaceState();
// Untextured, unblended colour: diffuse = colour, ambient black, current colour = colour.
void SetPlainColour(const ColorRGBA& colour);
// Drawing that a later opaque layer covers completely: between these two every call runs and
// leaves its state as usual, but no pixel is written (an empty scissor box), so a software
// renderer shades nothing. Clears are scissored too; copies from the frame are not (they copy
// what the frame holds). Not nested.
void BeginHiddenDrawing();
void EndHiddenDrawing();
