// The one GL window: opening, the projection, presenting frames while taking events.
#pragma once
#include <functional>
#include <string>

#include "platform/ShowFrame.h"

// The record of the open window, copied by value. Handle and RenderContext are the SDL window and
// GL context (opaque outside the shell); DeviceContext is unused on this platform.
struct GLWindow {
  void* Handle = nullptr;
  void* DeviceContext = nullptr;
  void* RenderContext = nullptr;
  const char* Title = nullptr;
  int Width = 0;
  int Height = 0;
  int ColorBits = 0;
};

// Far clip distance of every perspective projection; the near distance is always 1.
inline constexpr float PerspectiveFarDistance = 100000.0f;

// Copy of the last record OpenWindow returned; drawers read its Width and Height.
extern GLWindow ActiveWindow;
// The program's main window as the start-up stored it; the live tool window makes its context
// current again after drawing its captions.
extern GLWindow MainWindow;

// The outcome of starting the video layer before any window is opened.
enum class DisplayStart { Desktop, Offscreen, NoDisplay };
// Starts SDL's video and event layers. Offscreen asks for SDL's offscreen driver and silent audio
// (the unattended modes). Without it, a fall-back to a headless driver that the user did not ask
// for counts as NoDisplay (the show would play unseen). reason says why on NoDisplay.
DisplayStart StartDisplay(bool offscreen, std::string& reason);

// Opens the window with a current GL context, sets the viewport, projection and initial GL state.
// Full screen falls back to a window with "Unable to switch to fullscreen!". Every failure shows
// its message (caption "Error") and the record is returned regardless.
GLWindow OpenWindow(int width, int height, int colorBits, bool fullScreen, const char* title);
// Tears down what OpenWindow built (used on its failure paths).
void CloseWindow(GLWindow& window, bool fullScreen);
// Every way out of the program: destroys MainWindow with its context and offscreen frame, then
// shuts SDL down, so the desktop is left as it was. Safe to call when nothing was opened.
void CloseDisplay();
// Viewport to width x height (height 0 counts as 1) and the 45-degree perspective.
void ResizeViewport(int width, int height);
// Perspective with the given vertical field of view; loads the identity modelview.
void SetFieldOfView(float fovY);
// Initial GL state: clear colour, smooth shading, depth test.
void InitRenderState();
// Flushes the drawing (finishes it on llvmpipe), takes the pending events (at most 64; a window
// resize sets the viewport), then swaps; true, without swapping, when a quit or window close
// request was among them.
bool PresentFrame(const GLWindow& window);
// The number of frames swapped onto the screen so far.
unsigned long PresentedFrames();
// True once a window close or quit request has been taken by PresentFrame or QuitCheckpoint, or
// a terminate signal arrived.
bool QuitRequested();
// Thrown by QuitCheckpoint: the program was asked to end in the middle of work between frames.
struct QuitWhileLoading {};
// For long work between frames (the splash, the loading, a late start's advance): looks in the
// event queue for a quit or window close request (at most every 20 ms, taking nothing else), and
// throws QuitWhileLoading once QuitRequested holds, so that the program ends within moments.
void QuitCheckpoint();
void ClearQuitRequest();
// Capture mode: called with every frame handed to PresentFrame, right after the flush.
using FrameHook = std::function<void()>;
void SetFrameHook(FrameHook hook);
// Drawn over the picture on the window only, after each present scales the frame into it and
// before the swap, with the window's framebuffer bound and the drawable's size in pixels: what
// the viewer sees over the show but no capture or read-back of the frame holds.
using OverlayHook = std::function<void(int drawableWidth, int drawableHeight)>;
void SetOverlayHook(OverlayHook hook);
// Shows the frame the show drew last again (with the overlay), taking the events as PresentFrame
// does, for a picture held still; true, without swapping, when a quit request was taken.
bool PresentAgain(const GLWindow& window);
// Switches the window between desktop full screen (the cursor hidden) and a window of the
// frame's size (the cursor shown); the frame keeps its 4:3 shape in either. Returns whether the
// window is full screen afterwards.
bool SetFullScreen(const GLWindow& window, bool fullScreen);
bool IsFullScreen(const GLWindow& window);
// Seconds between two refreshes of the window's display (1/60 when the display does not say).
double RefreshSeconds(const GLWindow& window);
// Whether the mouse cursor is shown over the window (hidden in full screen).
bool CursorShown();
// Whether the GL context draws on the processor (Mesa's llvmpipe): the sizes a screen shows
// cost several times the design size's time there.
bool SoftwareRendering();

// How the show's frame is sized on a screen (the player and the live mode). Pinned: the frame is
// pinned.width x pinned.height whatever the window does. Otherwise it follows the window: the
// picture size its drawable shows the picture at (WindowPicture), held between least and largest
// (both 4:3 sizes).
struct FrameSizing {
  PictureRect pinned;
  PictureRect least;
  PictureRect largest;
};
// Takes the sizing and makes the frame by it at once (FitFrameToWindow).
void SetFrameSizing(const FrameSizing& sizing);
// The rectangle of the main window's drawable the picture is shown in, in drawable pixels
// (HiDPI sizes honoured): FitPicture(800, 600, drawable); empty without a window.
PictureRect WindowPicture();
// Between frames, never while one is drawn: makes the frame again, black, at the size the sizing
// asks for now when that differs from the frame's, with the whole frame's drawing scale and the
// drawing viewport; true when it did.
bool FitFrameToWindow();
