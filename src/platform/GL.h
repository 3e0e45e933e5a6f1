// The GL headers in one place: GL 2.1 with its entry points declared (the start-up checks that the
// context offers 2.1 before any of them is called), and GLU.
#pragma once
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <string>

// Whether the current context offers OpenGL 2.1 (GLSL 1.20 programs, point sprites, buffer
// objects), which the show's drawing needs. On false, why says what the driver offers instead.
bool ContextOffersGL21(std::string& why);
