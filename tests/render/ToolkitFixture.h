// The toolkit tests' GL fixture: a clean orthographic square, every GL setting restored after.
#pragma once
#include <gtest/gtest.h>

#include "MeshReference.h"
#include "platform/GL.h"
#include "support/TestSupport.h"

// Opens the GL context, draws into a clean, unlit, orthographic [-1, 1] square, and puts every
// GL setting back afterwards so other tests in the binary see what they left.
class GLStateTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureGLContext();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, 800, 600);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  void TearDown() override {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
  }
};
