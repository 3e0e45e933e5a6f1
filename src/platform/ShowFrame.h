// The frame the show draws into (a framebuffer object) at the size of its picture, and its
// presentation scaled into whatever the window's drawable is: full screen at the desktop's size,
// a resized window.
#pragma once

// The show's design size: every quantity of the show measured in pixels (viewports, render
// textures, point sizes, line widths, glyphs) is written for a picture of 800 x 600 and drawn
// at DrawingScale() times that.
inline constexpr int DesignWidth = 800;
inline constexpr int DesignHeight = 600;

// A rectangle of the drawable in pixels, origin at the lower left as GL counts.
struct PictureRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The largest rectangle with the frame's aspect that fits the drawable, centred (black bars fill
// the rest): 800 x 600 into 1920 x 1080 gives 1440 x 1080 at x 240. Empty for an empty drawable.
PictureRect FitPicture(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight);

// Creates the width x height frame on the current context (colour without destination alpha,
// depth 24, stencil 8), clears it to black and leaves it bound for drawing and reading, so every
// viewport, copy into a texture and read-back of the show addresses it. False when the context
// offers no framebuffer objects: the show then draws straight into the window as before.
// The drawing scale becomes the whole frame's (height / 600).
bool CreateShowFrame(int width, int height);
// The frame's size in pixels: the largest picture this run draws (800 x 600 unless a size was
// asked for), also without a frame object (the window's own framebuffer then holds it).
int ShowFrameWidth();
int ShowFrameHeight();
// The drawing scale of the whole frame: its height / 600.
float FrameScale();
// Deletes the frame and binds the window's own framebuffer again (before the context goes).
void DestroyShowFrame();
// True while the frame exists.
bool ShowFrameActive();
// Scales the frame into the drawable with linear filtering and black bars around it, drawing into
// the window's framebuffer; leaves the frame bound and every other GL state as it found it.
// Does nothing without a frame.
void PresentShowFrame(int drawableWidth, int drawableHeight);
// Binds the window's own framebuffer (true) or the frame again (false), for reading back what a
// present put on the window.
void BindWindowFramebuffer(bool window);
// The picture's pixels per pixel of the 800 x 600 design (the player's dynamic resolution draws
// below the frame's own scale), at least MinimumDrawingScale (or the frame's scale when that is
// smaller) and at most FrameScale(): every full-frame pass draws into the lower-left
// DrawingWidth() x DrawingHeight() of the frame, and presentation scales that part to the
// picture's rectangle. Starts at the frame's scale; captures, frames and the timedemo's main
// table keep it there. Setting it (between frames) also sets the viewport to the new drawing
// size.
inline constexpr float MinimumDrawingScale = 0.6f;
void SetDrawingScale(float scale);
float DrawingScale();
// 800 x 600 times the drawing scale, rounded, never beyond the frame.
int DrawingWidth();
int DrawingHeight();
// A length in pixels of the 800 x 600 design at the drawing scale, rounded to whole pixels and
// at least one (render-texture sides, offsets that must land on pixels).
int ScaledPixels(float designPixels);
// Sets the viewport to the lower-left DrawingWidth() x DrawingHeight() pixels: where the show's
// full-frame passes draw.
void SetDrawingViewport();
// Whether presentation may use a framebuffer blit (default) or must draw a textured quad, the
// path for contexts without blits; tests compare the two.
void SetShowFrameBlit(bool allowed);
