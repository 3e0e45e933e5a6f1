// 2D overlay drawing: the Begin2D bracket, projection switches, quad drawers, billboards, font.
#pragma once
#include <cstdint>

#include "render/Types.h"

// First display list of the bitmap font built at start-up.
extern uint32_t FontListBase;

// Pushes the modelview and loads identity moved one unit into the screen.
void Begin2D();
// Pops the modelview pushed by Begin2D.
void End2D();
// Orthographic projection over the window in pixels, origin bottom left.
void SetOrthoProjection();

// Quad drawers; x, y, w, h in overlay pixels, angles in degrees counter-clockwise. Each leaves
// the standard perspective behind; see the definitions for the state each one leaves.
void DrawSpriteAdditive(TextureId texture, const ColorRGBA& colour, float x, float y, float w,
                        float h, float angle);
void DrawSpriteBlended(TextureId texture, float x, float y, float w, float h, float angle);
void DrawImage(TextureId texture, const ColorRGBA& colour, float x, float y, float w, float h);
void DrawImageAdditive(TextureId texture, const ColorRGBA& colour, float x, float y, float w,
                       float h);
// The same as DrawImageAdditive with each of up to four textures in turn (white colour with the
// given alpha), but in one pass over the rectangle; leaves the last texture bound.
void DrawImagesAdditive(const TextureId* textures, int count, const ColorRGBA& colour, float x,
                        float y, float w, float h);
// One texture added over the rectangle as up to four copies in one pass, like DrawImagesAdditive
// with the same texture each time, except that copy i looks the texture up through its own map of
// centred coordinates: with (x, y) running from -1 to 1 over the texture and turns[i] = {a, b, c,
// d}, the texel shown at (x, y) is the one at (a x + b y, c x + d y); beyond the texture's edge
// a copy adds nothing. The picture fills the share extent of the texture from its lower-left
// corner (1: all of it). Leaves the texture bound.
void DrawTurnedCopiesAdditive(TextureId texture, float extent, const float (*turns)[4], int count,
                              const ColorRGBA& colour, float x, float y, float w, float h);
void DrawPicture(TextureId texture, float x, float y, float w, float h);

// The largest side GL allows a texture (GL_MAX_TEXTURE_SIZE), asked once.
int LargestTextureSide();

// A layer that is the same picture every frame (a backdrop with its title, say), drawn once and
// then kept as a texture of the drawing's size, put back texel for pixel as one opaque layer
// without blending or filtering: the same bytes, for the cost of a plain copy.
//   if (!layer.DrawKept()) { draw the layer; layer.Keep(); }
class StillLayer {
 public:
  // Puts back the layer kept from an earlier frame over the whole drawing and returns true, when
  // one of the current viewport's size is kept and the drawing is seen whole (not hidden, not
  // scissored); otherwise draws nothing and returns false. Leaves the state DrawPicture leaves.
  bool DrawKept();
  // Keeps the drawing as it stands now, when it is seen whole and no texture is too small for it.
  void Keep();
  // Nothing is kept any more: the next frame draws the layer afresh (its pictures changed).
  void Forget() { width_ = height_ = 0; }

 private:
  TextureId texture_ = NoTexture;
  int width_ = 0, height_ = 0;  // of the drawing kept; 0 while nothing is kept
};
void DrawInvertRect(const ColorRGBA& colour, float x, float y, float w, float h);
void DrawRect(const ColorRGBA& colour, float x, float y, float w, float h);
void DrawRectAdditive(const ColorRGBA& colour, float x, float y, float w, float h);

// The camera's right and up axes in object space, from the current modelview matrix.
void GetBillboardAxes(Vector3& up, Vector3& right);
// One camera-facing textured quad 2 * halfSize wide around centre; sets no state.
void DrawBillboard(const Vector3& centre, float halfSize);
// 255 display lists of glyph bitmaps (characters 0 to 254) of the face; returns the first list.
uint32_t BuildFont(const char* faceName, int height, bool bold);
