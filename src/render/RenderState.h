// Small render-state operations that every drawer uses between its draws.
#pragma once
#include "render/Types.h"

// Turns colour and depth writes on and clears both, selects the modelview matrix and loads the
// identity.
void BeginFrame();
// Blending on with (ONE, ONE).
void SetBlendAdd();
// Blending on with (SRC_ALPHA, ONE).
void SetBlendAlphaAdd();
// Blending on with (SRC_ALPHA, ONE_MINUS_SRC_ALPHA).
void SetBlendAlpha();
// Sphere-map texture generation on for S and T.
void EnableSphereMap();
void DisableSphereMap();
// Colour material off and the GL default material on both faces.
void ResetMaterial();
// Leaves: texture generation, colour material, texturing and blending off; current colour white;
// default material.
void ResetSurfaceState();
// Untextured, unblended colour: diffuse = colour, ambient black, current colour = colour.
void SetPlainColour(const ColorRGBA& colour);
// The standard 45-degree, 4:3 perspective with far plane 100000.
void RestorePerspective();
// Saves the projection and modelview matrices and makes both the identity, so that a drawer can
// place vertices in the viewport's -1 .. 1 square; PopIdentityMatrices brings both back and
// leaves the modelview matrix current.
void PushIdentityMatrices();
void PopIdentityMatrices();
// The state every scene drawer and every live layer starts from, set in full so that it draws
// the same whatever was drawn before it: texture unit 0 active; the drawing viewport, the
// standard perspective and an identity modelview; lighting off (a lit scene sets its light);
// normals normalised; the plain white material and colour with colour material off; texture
// generation in sphere-map mode but off; no texture, modulated; blending off with the function
// (ONE, ZERO) (every drawer that blends chooses its function); depth test on with less-or-equal
// and depth writes on; fog off; no face culling, the back face as the one to cull and
// counter-clockwise front faces; filled polygons; alpha test off with ALWAYS, 0; every colour
// channel written; no GLSL program; square points and lines of width DrawingScale() (one pixel of
// the 800 x 600 picture); the vertex, normal and texture-coordinate arrays off and no array
// buffer bound; a black clear colour. The scissor box is left alone, so that hidden drawing
// stays hidden.
void StartSceneState();
// Drawing that a later opaque layer covers completely: between these two every call runs and
// leaves its state as usual, but no pixel is written (an empty scissor box), so a software
// renderer shades nothing. Clears are scissored too; copies from the frame are not (they copy
// what the frame holds). Not nested.
void BeginHiddenDrawing();
void EndHiddenDrawing();
// Whole frames that nobody sees and that are drawn only for the GL state they leave (the frames
// before a late start): between these two the rasteriser discards every primitive and every
// clear, and the drawers skip sending their large meshes and point fields, so that such a frame
// costs little more than its state changes. Copies from the frame into textures still run (they
// copy whatever the frame holds; every texture the show copies into is written again by the
// frame that reads it). On a context without rasteriser discard (before GL 3.0) the frames are
// drawn as usual, only the large geometry skipped.
void BeginUnseenFrames();
void EndUnseenFrames();
// True between BeginUnseenFrames and EndUnseenFrames: a drawer sends no large geometry.
bool DrawingUnseen();
// The GL state as it is now (every attribute group, the client state and the three matrices),
// kept on GL's own attribute stacks: loading calls it once, and RestoreRememberedState brings
// it back, so that a jump to a later frame starts from the state a late start starts from.
void RememberRenderState();
void RestoreRememberedState();
