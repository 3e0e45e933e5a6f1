// The pixel-buffer ring: GL writes a frame into a buffer of its own while the next is drawn.
#include "platform/PixelReadback.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/GL.h"
#include "platform/GLEntryPoints.h"

namespace {
struct BufferCalls {
  PFNGLGENBUFFERSPROC genBuffers = nullptr;
  PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
  PFNGLBINDBUFFERPROC bindBuffer = nullptr;
  PFNGLBUFFERDATAPROC bufferData = nullptr;
  PFNGLMAPBUFFERPROC mapBuffer = nullptr;
  PFNGLUNMAPBUFFERPROC unmapBuffer = nullptr;
};

struct Ring {
  BufferCalls gl;
  std::vector<GLuint> buffers;
  int width = 0;
  int height = 0;
  int oldest = 0;  // slot of the oldest queued frame
  int queued = 0;
};
Ring Readback;

// Buffer objects are core since GL 1.5 and pixel buffers since 2.1; older contexts may offer the
// ARB extension, whose calls take the same arguments under the ARB names.
bool LoadCalls(BufferCalls& gl) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const bool core = version && std::atof(version) >= 2.1;
  if (!core && !SDL_GL_ExtensionSupported("GL_ARB_pixel_buffer_object")) return false;
  const char* suffix = core ? "" : "ARB";
  return LoadGLEntryPoint(gl.genBuffers, "glGenBuffers", suffix) &&
         LoadGLEntryPoint(gl.deleteBuffers, "glDeleteBuffers", suffix) &&
         LoadGLEntryPoint(gl.bindBuffer, "glBindBuffer", suffix) &&
         LoadGLEntryPoint(gl.bufferData, "glBufferData", suffix) &&
         LoadGLEntryPoint(gl.mapBuffer, "glMapBuffer", suffix) &&
         LoadGLEntryPoint(gl.unmapBuffer, "glUnmapBuffer", suffix);
}

size_t FrameBytes() { return static_cast<size_t>(Readback.width) * Readback.height * 4; }
}  // namespace

bool StartPixelReadback(int slots, int width, int height) {
  StopPixelReadback();
  BufferCalls gl;
  if (slots <= 0 || width <= 0 || height <= 0 || !LoadCalls(gl)) return false;
  Readback.gl = gl;
  Readback.width = width;
  Readback.height = height;
  Readback.buffers.assign(static_cast<size_t>(slots), 0);
  gl.genBuffers(slots, Readback.buffers.data());
  for (GLuint buffer : Readback.buffers) {
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    gl.bufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(FrameBytes()), nullptr, GL_STREAM_READ);
  }
  gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return true;
}

void StopPixelReadback() {
  if (!Readback.buffers.empty())
    Readback.gl.deleteBuffers(static_cast<GLsizei>(Readback.buffers.size()), Readback.buffers.data());
  Readback = Ring{};
}

int QueuedPixelReadbacks() { return Readback.queued; }

bool PixelReadbackFull() { return Readback.queued == static_cast<int>(Readback.buffers.size()); }

bool QueuePixelReadback() {
  if (Readback.buffers.empty() || PixelReadbackFull()) return false;
  const size_t slot = (Readback.oldest + Readback.queued) % Readback.buffers.size();
  Readback.gl.bindBuffer(GL_PIXEL_PACK_BUFFER, Readback.buffers[slot]);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glReadPixels(0, 0, Readback.width, Readback.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glPopClientAttrib();
  // Unbound at once: every other read-back of the program goes to client memory.
  Readback.gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  ++Readback.queued;
  return true;
}

bool TakePixelReadback(uint8_t* pixels) {
  if (Readback.queued == 0) return false;
  const GLuint buffer = Readback.buffers[static_cast<size_t>(Readback.oldest)];
  Readback.oldest = (Readback.oldest + 1) % static_cast<int>(Readback.buffers.size());
  --Readback.queued;
  Readback.gl.bindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
  const void* mapped = Readback.gl.mapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
  if (mapped) std::memcpy(pixels, mapped, FrameBytes());
  // A buffer whose contents were lost while mapped (a display change) reports false here.
  const bool intact = mapped && Readback.gl.unmapBuffer(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
  Readback.gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return intact;
}
