// Render-to-texture through a square of the frame buffer, the blur and feedback effects, and fog.
#pragma once
#include <cstdint>

#include "render/Types.h"

// A size x size RGBA texture, zero (black, transparent), linear filtering, no mipmaps; stays bound.
TextureId CreateRenderTexture(int size);
// Shrinks the viewport to the size x size square in the lower-left corner of the window.
void BeginRenderToTexture(int size);
// Copies the lower-left size x size pixels into the texture and restores the drawing viewport.
void EndRenderToTexture(TextureId texture, int size);
// Cross-shaped box blur of the texture, passes times, through the lower-left square. Leaves
// blending on (SRC_ALPHA, ONE), lighting off, depth test on and the standard perspective.
void BlurTexture(int size, TextureId texture, int passes);
// Adds layers copies of the texture, each grown by growth window units per side and turned by a
// share of rotation degrees, back into the texture, passes times. Leaves blending off, lighting
// and depth test on, the drawing viewport and the standard perspective.
void ZoomRotateFeedback(int size, TextureId texture, int layers, float rotation, float growth,
                        int passes);
// Fog on with the colour, density and linear range; mode 0 linear, 1 exp, 2 exp2, any other
// mode keeps the current fog mode.
void EnableFog(const ColorRGBA& colour, uint8_t mode, float density, float start, float end);
// glDisable(GL_FOG).
void DisableFog();
