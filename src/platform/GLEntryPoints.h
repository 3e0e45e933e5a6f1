// Looking up GL entry points beyond GL 1.1 by name, for the platform's frame and read-back code.
#pragma once
#include <SDL2/SDL.h>

#include <string>

// Sets target to the entry point name + suffix ("" for the core name, "EXT" or "ARB" for an
// extension's); false when the context has none.
template <typename Function>
bool LoadGLEntryPoint(Function& target, const char* name, const char* suffix) {
  const std::string full = std::string(name) + suffix;
  target = reinterpret_cast<Function>(SDL_GL_GetProcAddress(full.c_str()));
  return target != nullptr;
}
