// The window's projection, initial state and PresentFrame's one-event-or-one-swap rule.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>

#include "platform/GL.h"
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
  EnsureGLContext();
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  ClearQuitRequest();
  const unsigned long before = PresentedFrames();

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

TEST(Window, AnOrdinaryEventIsHandledWithoutPresenting) {
  EnsureGLContext();
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  const unsigned long before = PresentedFrames();
  SDL_Event user{};
  user.type = SDL_USEREVENT;
  SDL_PushEvent(&user);
  EXPECT_FALSE(PresentFrame(MainWindow));
  EXPECT_EQ(PresentedFrames(), before);
  EXPECT_FALSE(QuitRequested());
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
}
