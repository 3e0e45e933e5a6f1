// GLSL 1.20 programs through the GL 2.1 entry points the start-up made sure of.
#include "render/Shader.h"

#include <stdexcept>
#include <string>

#include "platform/GL.h"

namespace {
std::string InfoLog(GLuint object, bool program) {
  GLint length = 0;
  if (program)
    glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
  else
    glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
  std::string log(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) {
    if (program)
      glGetProgramInfoLog(object, length, nullptr, log.data());
    else
      glGetShaderInfoLog(object, length, nullptr, log.data());
  }
  while (!log.empty() && (log.back() == '\0' || log.back() == '\n')) log.pop_back();
  return log;
}

GLuint Compile(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled != GL_TRUE) {
    const std::string log = InfoLog(shader, false);
    glDeleteShader(shader);
    throw std::runtime_error(std::string(kind == GL_VERTEX_SHADER ? "vertex" : "fragment") +
                             " shader does not compile: " + log);
  }
  return shader;
}
}  // namespace

ShaderProgram BuildShaderProgram(const char* vertexSource, const char* fragmentSource) {
  const GLuint vertex = Compile(GL_VERTEX_SHADER, vertexSource);
  GLuint fragment = 0;
  try {
    fragment = Compile(GL_FRAGMENT_SHADER, fragmentSource);
  } catch (...) {
    glDeleteShader(vertex);
    throw;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  // The program keeps what it linked; the shader objects go with it.
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) {
    const std::string log = InfoLog(program, true);
    glDeleteProgram(program);
    throw std::runtime_error("shader program does not link: " + log);
  }
  return ShaderProgram{program};
}

void BeginProgram(const ShaderProgram& program) { glUseProgram(program.id); }

void EndProgram() { glUseProgram(0); }

void SetUniform(const ShaderProgram& program, const char* name, int value) {
  glUniform1i(glGetUniformLocation(program.id, name), value);
}

void SetUniform(const ShaderProgram& program, const char* name, float x) {
  glUniform1f(glGetUniformLocation(program.id, name), x);
}

void SetUniform(const ShaderProgram& program, const char* name, float x, float y) {
  glUniform2f(glGetUniformLocation(program.id, name), x, y);
}

void SetUniform(const ShaderProgram& program, const char* name, float x, float y, float z,
                float w) {
  glUniform4f(glGetUniformLocation(program.id, name), x, y, z, w);
}

void BindTextureUnits(const uint32_t* textures, int count) {
  for (int unit = count - 1; unit >= 0; --unit) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, textures[unit]);
  }
}
