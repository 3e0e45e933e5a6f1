// GL state as unlike what the drawers start from as it can be, for the tests that a scene or a live
// layer draws the same whatever state it finds.
#pragma once
#include "platform/GL.h"
#include "render/Shader.h"

// Scrambles everything StartSceneState sets (the scissor box aside): projection, modelview,
// viewport, light, material, texture generation, texturing, blending, depth, fog, culling,
// polygon mode, alpha test, colour mask, program, points, lines, vertex arrays and their buffer,
// the active texture unit and the colours.
inline void ScrambleDrawingState() {
  glActiveTexture(GL_TEXTURE0);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-3, 5, -2, 7, -50, 50);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(33, 1, 2, 3);
  glViewport(10, 20, 300, 200);
  const GLfloat red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1}, far[4] = {-40, 7, 3, 0};
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_AMBIENT, green);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, red);
  glLightfv(GL_LIGHT0, GL_POSITION, far);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, red);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, green);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40);
  glEnable(GL_COLOR_MATERIAL);
  glDisable(GL_NORMALIZE);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_GREATER);
  glDepthMask(GL_FALSE);
  glEnable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_EXP);
  glFogfv(GL_FOG_COLOR, green);
  glFogf(GL_FOG_DENSITY, 0.5f);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glFrontFace(GL_CW);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.9f);
  glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
  // A program that paints every fragment magenta.
  static const ShaderProgram magenta = BuildShaderProgram(
      "#version 120\nvoid main() { gl_Position = ftransform(); }\n",
      "#version 120\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0); }\n");
  BeginProgram(magenta);
  glEnable(GL_POINT_SMOOTH);
  glPointSize(9);
  glLineWidth(7);
  // Arrays left on, with a buffer bound that a client-side pointer would be read from.
  static GLuint buffer = 0;
  if (buffer == 0) {
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, 64, nullptr, GL_STATIC_DRAW);
  }
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glColor4f(0.2f, 0.9f, 0.1f, 0.5f);
  glClearColor(0.3f, 0.1f, 0.5f, 1);
  // Unit 1 left active: texture state set now would not be unit 0's.
  glActiveTexture(GL_TEXTURE1);
}
