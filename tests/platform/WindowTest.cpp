// The window's projection, initial state and PresentFrame's events: every frame shown, quit
// requests taken at once, held keys and typing never in the way.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "platform/Window.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

namespace {
// Projection matrix entry [0] / [5] is 1 / aspect for gluPerspective.
float ProjectionAspect() {
  GLfloat m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  return m[5] / m[0];
}

// The GL window open, no event pending and no quit request taken; the frames presented so far.
unsigned long StartWithAnEmptyQueue() {
  EnsureGLContext();
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  ClearQuitRequest();
  return PresentedFrames();
}
}  // namespace

TEST(Window, OpensTheTitledWindowWithItsInitialState) {
  EnsureGLContext();
  EXPECT_EQ(ActiveWindow.Width, 800);
  EXPECT_EQ(ActiveWindow.Height, 600);
  EXPECT_STREQ(SDL_GetWindowTitle(static_cast<SDL_Window*>(MainWindow.Handle)), "Vantrel Kelvara");
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLint depthFunc = 0, depthBits = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_EQ(depthFunc, GL_LEQUAL);
  EXPECT_GE(depthBits, 24);
  // Without destination alpha a frame copied into a texture is opaque, so feedback and blur
  // passes cannot fade it.
  glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(ReadPixel(10, 10).a, 255);
}

TEST(Window, ResizeViewportWithHeightZeroUsesHeightOne) {
  EnsureGLContext();
  ResizeViewport(640, 0);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 640);
  EXPECT_EQ(viewport[3], 1);
  EXPECT_NEAR(ProjectionAspect(), 640.0f, 0.01f);
  EXPECT_FALSE(std::isinf(ProjectionAspect()));
  ResizeViewport(800, 600);
  EXPECT_NEAR(ProjectionAspect(), 800.0f / 600.0f, 1e-5f);
}

TEST(Window, SetFieldOfViewDiscardsTheCamera) {
  EnsureGLContext();
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  SetFieldOfView(90);
  GLfloat m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  EXPECT_NEAR(m[5], 1.0f, 1e-5f);  // cot(45 degrees)
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_EQ(m[12], 0.0f);
  ResizeViewport(800, 600);
}

TEST(Window, PresentFrameTakesAQuitEventInsteadOfSwapping) {
  const unsigned long before = StartWithAnEmptyQueue();

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_TRUE(PresentFrame(MainWindow));
  EXPECT_EQ(PresentedFrames(), before);  // no swap in the call that took the event
  EXPECT_TRUE(QuitRequested());
  EXPECT_FALSE(PresentFrame(MainWindow));
  EXPECT_EQ(PresentedFrames(), before + 1);
  ClearQuitRequest();
}

TEST(Window, EveryFrameIsPresentedWhateverEventsArePending) {
  const unsigned long before = StartWithAnEmptyQueue();
  SDL_Event user{};
  user.type = SDL_USEREVENT;
  for (int n = 0; n < 3; ++n) SDL_PushEvent(&user);
  EXPECT_FALSE(PresentFrame(MainWindow));
  EXPECT_EQ(PresentedFrames(), before + 1);
  EXPECT_FALSE(QuitRequested());
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);

  // A flood takes at most 64 events a frame, and every frame is still shown.
  for (int n = 0; n < 100; ++n) SDL_PushEvent(&user);
  EXPECT_FALSE(PresentFrame(MainWindow));
  EXPECT_FALSE(PresentFrame(MainWindow));
  EXPECT_EQ(PresentedFrames(), before + 3);
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);

  // A resize of the GL window among them leaves the show's frame as it is (each present scales
  // it into the window); drawing straight into the window, as without frame objects, it sets
  // the viewport before the frame is shown.
  SDL_Event resize{};
  resize.type = SDL_WINDOWEVENT;
  resize.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  resize.window.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(MainWindow.Handle));
  resize.window.data1 = 640;
  resize.window.data2 = 480;
  ASSERT_TRUE(ShowFrameActive());
  for (int expected : {800, 640}) {
    if (expected == 640) DestroyShowFrame();
    SDL_PushEvent(&user);
    SDL_PushEvent(&resize);
    EXPECT_FALSE(PresentFrame(MainWindow));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], expected);
  }
  EXPECT_EQ(PresentedFrames(), before + 5);
  ASSERT_TRUE(CreateShowFrame(800, 600));
  ResizeViewport(800, 600);
}

TEST(Window, HeldKeysAndTypingNeverHoldBackAFrameOrAQuitRequest) {
  const unsigned long before = StartWithAnEmptyQueue();
  SDL_Event repeat{};
  repeat.type = SDL_KEYDOWN;
  repeat.key.repeat = 1;
  repeat.key.keysym.scancode = SDL_SCANCODE_A;
  repeat.key.keysym.sym = SDLK_a;
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.text[0] = 'a';
  // A key held for a while: its repeats and the text it types, more than a frame takes.
  for (int n = 0; n < 200; ++n) {
    SDL_PushEvent(&repeat);
    SDL_PushEvent(&text);
  }
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 400);
  // The quit request behind them all is taken by the very next frame.
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_TRUE(PresentFrame(MainWindow));
  EXPECT_TRUE(QuitRequested());
  ClearQuitRequest();
  // Repeats alone: every frame is presented and the queue is empty after each (SDL keeps a
  // marker of its last pump in the queue; start clean).
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  for (int frame = 1; frame <= 3; ++frame) {
    for (int n = 0; n < 100; ++n) SDL_PushEvent(&repeat);
    EXPECT_FALSE(PresentFrame(MainWindow));
    EXPECT_EQ(PresentedFrames(), before + frame);
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
  }
  // A first key press (not a repeat) is taken like any event; Escape's state is read by
  // PollKeyboard, which these events do not change.
  repeat.key.repeat = 0;
  repeat.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  SDL_PushEvent(&repeat);
  EXPECT_FALSE(PresentFrame(MainWindow));
  EXPECT_EQ(PresentedFrames(), before + 4);
}
