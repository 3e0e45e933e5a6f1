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

// A square render texture whose side is a length of the 800 x 600 design, made at the drawing
// scale: at a scale of 2 a 256 texture is 512 texels wide, so it holds the same share of the
// picture at every size. The texture keeps its name when it is made again at another scale.
struct RenderTexture {
  int designSide = 0;            // in pixels of the 800 x 600 design
  TextureId texture = NoTexture;
  int side = 0;                  // in texels as last made; 0 before CreateRenderTexture
};
// The side in pixels of a render texture of designSide at the current drawing scale: at least
// one, and no larger than the drawing's height (it is copied from the frame's lower-left
// corner) nor than the largest texture GL allows.
int RenderTextureSide(int designSide);
// Makes the texture at the current drawing scale as CreateRenderTexture(int) does.
void CreateRenderTexture(RenderTexture& target);
// Makes the texture again, black, when the drawing scale changed its side since it was made (the
// player's dynamic resolution between frames), leaving the bound texture as it was; returns the
// side in pixels. Costs nothing while the side stays.
int FollowDrawingScale(RenderTexture& target);
// BeginRenderToTexture, EndRenderToTexture, BlurTexture and ZoomRotateFeedback through the
// texture's square at the current drawing scale (following it first).
void BeginRenderToTexture(RenderTexture& target);
void EndRenderToTexture(RenderTexture& target);
// The blur spreads the picture as widely as at its design side: its taps lie further apart on a
// larger texture, whose finer texels soften less of it themselves.
void BlurTexture(RenderTexture& target, int passes);
// Made finer than its design side, the texture is blurred once by as much as its design side's
// coarser texels soften it when it is stretched over the frame, so that a layer kept soft on
// purpose stays as soft at every size; otherwise nothing. Leaves what BlurTexture leaves.
void SoftenAsAtDesignSide(RenderTexture& target);
void ZoomRotateFeedback(RenderTexture& target, int layers, float rotation, float growth,
                        int passes);

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
