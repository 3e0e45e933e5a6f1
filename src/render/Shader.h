// Small GLSL 1.20 programs: built once from source, then used for one draw at a time.
#pragma once
#include <cstdint>

// A linked program; id 0 until built.
struct ShaderProgram {
  uint32_t id = 0;
};

// Compiles and links the two GLSL 1.20 sources; throws std::runtime_error carrying the
// compiler's or linker's log on failure.
ShaderProgram BuildShaderProgram(const char* vertexSource, const char* fragmentSource);
// Makes the program current (glUseProgram); EndProgram returns to fixed-function drawing.
void BeginProgram(const ShaderProgram& program);
void EndProgram();
// Uniforms of the current program by name; a name the program does not use is ignored.
void SetUniform(const ShaderProgram& program, const char* name, int value);
void SetUniform(const ShaderProgram& program, const char* name, float x);
void SetUniform(const ShaderProgram& program, const char* name, float x, float y);
void SetUniform(const ShaderProgram& program, const char* name, float x, float y, float z, float w);
// Binds the textures to units 0 .. count - 1 for a program's samplers, leaving unit 0 active.
// Only the bindings change: fixed-function texturing stays as it was on every unit.
void BindTextureUnits(const uint32_t* textures, int count);
