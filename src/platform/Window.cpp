// The show's window and its GL context through SDL: opening, the projection, presenting frames.
#include "platform/Window.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/CrashReport.h"
#include "platform/GL.h"
#include "platform/Messages.h"
#include "platform/ShowFrame.h"
#include "platform/Terminate.h"

GLWindow ActiveWindow;
GLWindow MainWindow;

namespace {
// A frame takes at most this many events, so that a flood of them cannot hold the picture back;
// the rest wait for the next frame.
constexpr int MaxEventsPerFrame = 64;
bool FullScreenRequested = false;
bool QuitTaken = false;
unsigned long SwapCount = 0;
FrameHook PresentHook;
OverlayHook DrawOverlay;
// Where the window was before it went full screen, to put it back.
int WindowedX = 0, WindowedY = 0;
// The window is on no screen (the offscreen modes): nobody sees it, so presents leave the frame
// where it is and only swap.
bool NoScreen = false;
// The context draws through llvmpipe, Mesa's threaded software rasterizer: read once when the
// context is made, since PresentFrame asks every frame.
bool SoftwareRasterizer = false;

// How the frame follows the window; by default it keeps the size it was opened with.
FrameSizing Sizing;
bool SizingSet = false;
// A size the driver could not make a frame of, not asked for again.
PictureRect RefusedSize;

void ShowError(const char* text) { ShowMessage("Error", text); }

// The offscreen frame scaled into the window's drawable, in pixels (larger than the window's size
// on HiDPI screens).
void PresentToWindow(SDL_Window* window) {
  if (NoScreen && ShowFrameActive()) return;
  int drawableWidth = 0, drawableHeight = 0;
  SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
  PresentShowFrame(drawableWidth, drawableHeight);
  if (DrawOverlay) {
    BindWindowFramebuffer(true);
    DrawOverlay(drawableWidth, drawableHeight);
    BindWindowFramebuffer(false);
  }
}

// The X server went away (it ended, or the connection broke): nothing can be drawn or taken any
// more. Xlib would exit(1) after its own message, running every static destructor and atexit
// handler while the sound's and the renderer's threads still run; the program leaves at once
// instead, with one line that says why. Only write() here: Xlib holds its locks.
int DisplayLost(void* /*display*/) {
  static const char text[] = "vantrel: the connection to the X server was lost; the program ends.\n";
  const ssize_t ignored = write(STDERR_FILENO, text, sizeof text - 1);
  (void)ignored;
  _exit(1);
}

// SDL opens Xlib itself at run time; the handler goes into the copy it loaded.
void TakeDisplayLoss() {
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (!xlib) return;
  using Handler = int (*)(void*);
  using SetHandler = Handler (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(xlib, "XSetIOErrorHandler"))) set(DisplayLost);
  dlclose(xlib);
}

bool EnsureVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
}

// A held key's repeats, typed text and mouse motion (which the show never uses; the video layer
// is told not to make the last two, but anyone may push them).
bool Ignored(const SDL_Event& event) {
  return (event.type == SDL_KEYDOWN && event.key.repeat != 0) || event.type == SDL_TEXTINPUT ||
         event.type == SDL_TEXTEDITING || event.type == SDL_MOUSEMOTION;
}

void HandleEvent(const SDL_Event& event) {
  // Only the GL window's size sets the viewport, and only when the show draws straight into it:
  // the offscreen frame keeps its size and each present scales it into the window. The live
  // mode's tool window has its own.
  if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED &&
      event.window.windowID == SDL_GetWindowID(static_cast<SDL_Window*>(ActiveWindow.Handle)) &&
      !ShowFrameActive())
    ResizeViewport(event.window.data1, event.window.data2);
  // Key events are consumed; the keyboard is read through its polled state.
}
}  // namespace

DisplayStart StartDisplay(bool offscreen, std::string& reason) {
  if (offscreen) {
    // Nothing on screen and nothing out of the speakers: the offscreen modes run unattended.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  // Read before SDL_Init: whether the user chose a video driver himself.
  const char* requestedDriver = std::getenv("SDL_VIDEODRIVER");
  const bool driverRequested = requestedDriver && *requestedDriver;
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    reason = SDL_GetError();
    return DisplayStart::NoDisplay;
  }
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  const bool headless = driver == "offscreen" || driver == "dummy";
  // With no display SDL falls back to its offscreen driver by itself; the show would then play
  // unseen. Only the offscreen modes, or a user who asked for that driver, draw without a screen.
  if (!offscreen && !driverRequested && headless) {
    SDL_Quit();
    reason = "no desktop was found";
    return DisplayStart::NoDisplay;
  }
  SetInteractiveDisplay(!headless && !offscreen);
  if (driver == "x11") TakeDisplayLoss();
  return headless ? DisplayStart::Offscreen : DisplayStart::Desktop;
}

GLWindow OpenWindow(int width, int height, int colorBits, bool fullScreen, const char* title) {
  FullScreenRequested = fullScreen;
  GLWindow window;
  window.Title = title;
  window.Width = width;
  window.Height = height;
  window.ColorBits = colorBits;

  if (!EnsureVideo()) {
    ShowError("Unable to create window!");
    ActiveWindow = window;
    return window;
  }
  // Moving the mouse must never cost the presentation anything: motion never reaches the queue.
  SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);

  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // No destination alpha, as the show's pixel format always had: copies of the frame into
  // textures must read alpha 1, or every blur and feedback pass would fade the picture.
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

  // The drawable may be larger than the window on HiDPI screens; presents read its real size.
  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
  SDL_Window* handle = nullptr;
  if (fullScreen) {
    // The desktop's own resolution on the window's monitor: no display-mode switch, so nothing
    // is left to restore when the show ends. Opened at the monitor's size as well, so that it
    // covers the screen even where no window manager is there to honour the full-screen state.
    SDL_Rect bounds{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height};
    if (SDL_GetDisplayBounds(0, &bounds) != 0)
      bounds = SDL_Rect{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height};
    handle = SDL_CreateWindow(title, bounds.x, bounds.y, bounds.w, bounds.h,
                              flags | SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (!handle) {
      ShowError("Unable to switch to fullscreen!");
      fullScreen = false;
    } else {
      SDL_ShowCursor(SDL_DISABLE);
    }
  }
  // The window can be resized and maximised; the picture keeps its shape inside it.
  if (!handle) handle = SDL_CreateWindow(title, 0, 0, width, height, flags | SDL_WINDOW_RESIZABLE);
  if (!handle) {
    ShowError("Unable to create window!");
    ActiveWindow = window;
    return window;
  }
  window.Handle = handle;

  SDL_GLContext context = SDL_GL_CreateContext(handle);
  if (!context) {
    // SDL asks for a 2.1 context unless told otherwise, so an older driver ends here.
    const std::string text =
        std::string("Unable to create an OpenGL rendering context; this program needs OpenGL 2.1 (") +
        SDL_GetError() + ")";
    CloseWindow(window, FullScreenRequested);
    ShowError(text.c_str());
    ActiveWindow = window;
    return window;
  }
  window.RenderContext = context;
  if (SDL_GL_MakeCurrent(handle, context) != 0) {
    CloseWindow(window, FullScreenRequested);
    ShowError("Unable to activate OpenGL rendering context");
    ActiveWindow = window;
    return window;
  }
  std::string why;
  if (!ContextOffersGL21(why)) {
    CloseWindow(window, FullScreenRequested);
    const std::string text =
        "This program draws with OpenGL 2.1, which this system's driver does not offer: " + why;
    ShowError(text.c_str());
    ActiveWindow = window;
    return window;
  }
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  SoftwareRasterizer = renderer && std::strstr(renderer, "llvmpipe");
  SDL_GL_SetSwapInterval(1);
  SDL_ShowWindow(handle);
  SDL_RaiseWindow(handle);
  // Nor typing: the show takes no text, so no text-input events are made (the video layer's
  // start-up and window creation switch them on); a held key's repeats are dropped as
  // PresentFrame takes them.
  SDL_StopTextInput();

  ActiveWindow = window;
  // Every mode draws the show into its own frame: the window scales it in at each present, and
  // the offscreen modes read it back. One drawing path, so that a screenshot in the window, a
  // frame of --frames and a captured frame at one show time are the same pixels (Mesa rounds a
  // few edge pixels of a frame object differently from a window's surface). Without
  // framebuffer objects the show draws into the window itself, as it always did.
  const char* driver = SDL_GetCurrentVideoDriver();
  NoScreen = driver && (std::string(driver) == "offscreen" || std::string(driver) == "dummy");
  CreateShowFrame(width, height);
  ResizeViewport(width, height);
  InitRenderState();
  return window;
}

void CloseWindow(GLWindow& window, bool fullScreen) {
  if (fullScreen) SDL_ShowCursor(SDL_ENABLE);
  if (window.RenderContext) {
    DestroyShowFrame();
    if (SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window.Handle), nullptr) != 0)
      ShowError("Release of DC and RC failed!");
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(window.RenderContext));
    window.RenderContext = nullptr;
  }
  if (window.Handle) {
    SDL_DestroyWindow(static_cast<SDL_Window*>(window.Handle));
    window.Handle = nullptr;
  }
}

void ResizeViewport(int width, int height) {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(width) / height, 1.0, PerspectiveFarDistance);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void SetFieldOfView(float fovY) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fovY, static_cast<double>(ActiveWindow.Width) / ActiveWindow.Height, 1.0,
                 PerspectiveFarDistance);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool ContextOffersGL21(std::string& why) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!version) {
    why = "the context reports no version";
    return false;
  }
  int major = 0, minor = 0;
  if (std::sscanf(version, "%d.%d", &major, &minor) == 2 && (major > 2 || (major == 2 && minor >= 1)))
    return true;
  why = std::string("it offers OpenGL ") + version;
  return false;
}

void InitRenderState() {
  glClearColor(0.2f, 0.2f, 0.4f, 0.0f);
  glShadeModel(GL_SMOOTH);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

namespace {
// The events that arrived since the last frame (at most MaxEventsPerFrame of them); true when a
// quit or window close request was among them.
bool TakeEvents() {
  SDL_Event event;
  for (int taken = 0; taken < MaxEventsPerFrame && SDL_PollEvent(&event);) {
    // Dropped without counting, so that none of them stands between a frame and a quit
    // request behind it.
    if (Ignored(event)) continue;
    ++taken;
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
      QuitTaken = true;
      return true;
    }
    HandleEvent(event);
  }
  return false;
}

void SwapWindow(const GLWindow& window) {
  if (window.Handle) {
    PresentToWindow(static_cast<SDL_Window*>(window.Handle));
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window.Handle));
  }
  ++SwapCount;
}
}  // namespace

bool PresentFrame(const GLWindow& window) {
  // On Mesa's software renderer (llvmpipe 22.3) the frame is finished, not only flushed: the
  // renderer frees a drawing's fence when a later call finds it signalled, a check made without the
  // fence's lock, so a check that lands while the last worker is between signalling and unlocking
  // frees memory that worker still writes. Waiting right after the hand-over takes the lock and
  // returns only once the workers let go; the present's checks then find the fence long done.
  // Quick frames (the splash, the loading's progress) followed by the events' polling left that to
  // chance, and a start crashed now and then. Other drivers keep drawing while the events are taken.
  if (SoftwareRasterizer)
    glFinish();
  else
    glFlush();
  // Capture mode records every drawn frame.
  if (PresentHook) PresentHook();
  // The events that arrived since the last frame are taken first, then the frame is shown
  // whatever they were: a frame drawn is a frame seen (the live mode's timer frames among them).
  // Only a quit request skips the swap, as the program is ending.
  if (TakeEvents()) return true;
  SwapWindow(window);
  return false;
}

bool PresentAgain(const GLWindow& window) {
  if (TakeEvents()) return true;
  SwapWindow(window);
  return false;
}

bool SetFullScreen(const GLWindow& window, bool fullScreen) {
  SDL_Window* handle = static_cast<SDL_Window*>(window.Handle);
  if (!handle) return false;
  if (fullScreen) {
    if (IsFullScreen(window)) return true;
    SDL_GetWindowPosition(handle, &WindowedX, &WindowedY);
    // Moved over the whole screen first: where no window manager honours the full-screen state
    // the window still covers the screen, as when the show opens full screen.
    const int display = SDL_GetWindowDisplayIndex(handle);
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) == 0) {
      SDL_SetWindowPosition(handle, bounds.x, bounds.y);
      SDL_SetWindowSize(handle, bounds.w, bounds.h);
    }
    if (SDL_SetWindowFullscreen(handle, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return IsFullScreen(window);
    SDL_ShowCursor(SDL_DISABLE);
  } else {
    SDL_SetWindowFullscreen(handle, 0);
    // A show that opened full screen has a window of the desktop's size behind it.
    SDL_SetWindowResizable(handle, SDL_TRUE);
    SDL_SetWindowSize(handle, window.Width, window.Height);
    SDL_SetWindowPosition(handle, WindowedX, WindowedY);
    SDL_ShowCursor(SDL_ENABLE);
  }
  FullScreenRequested = fullScreen;
  return IsFullScreen(window);
}

bool IsFullScreen(const GLWindow& window) {
  SDL_Window* handle = static_cast<SDL_Window*>(window.Handle);
  return handle && (SDL_GetWindowFlags(handle) & SDL_WINDOW_FULLSCREEN) != 0;
}

bool CursorShown() { return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE; }

double RefreshSeconds(const GLWindow& window) {
  SDL_Window* handle = static_cast<SDL_Window*>(window.Handle);
  SDL_DisplayMode mode{};
  if (handle && SDL_GetWindowDisplayMode(handle, &mode) == 0 && mode.refresh_rate > 0) return 1.0 / mode.refresh_rate;
  return 1.0 / 60;
}

bool SoftwareRendering() { return SoftwareRasterizer; }

PictureRect WindowPicture() {
  SDL_Window* handle = static_cast<SDL_Window*>(MainWindow.Handle);
  if (!handle) return {};
  int drawableWidth = 0, drawableHeight = 0;
  SDL_GL_GetDrawableSize(handle, &drawableWidth, &drawableHeight);
  return FitPicture(DesignWidth, DesignHeight, drawableWidth, drawableHeight);
}

void SetFrameSizing(const FrameSizing& sizing) {
  Sizing = sizing;
  SizingSet = true;
  FitFrameToWindow();
}

bool FitFrameToWindow() {
  // Without frame objects the show draws straight into the window at the design size.
  if (!SizingSet || !MainWindow.Handle || !ShowFrameActive()) return false;
  PictureRect wanted = Sizing.pinned;
  if (wanted.width <= 0) {
    wanted = WindowPicture();
    // A window shrunk to nothing (minimised) keeps the frame it has.
    if (wanted.width <= 0) return false;
    if (wanted.width < Sizing.least.width || wanted.height < Sizing.least.height) wanted = Sizing.least;
    if (wanted.width > Sizing.largest.width || wanted.height > Sizing.largest.height) wanted = Sizing.largest;
  }
  if ((wanted.width == ShowFrameWidth() && wanted.height == ShowFrameHeight()) ||
      (wanted.width == RefusedSize.width && wanted.height == RefusedSize.height))
    return false;
  if (!CreateShowFrame(wanted.width, wanted.height)) {
    // No frame object of that size (beyond the driver's limit): the design size, as the show
    // always drew.
    RefusedSize = wanted;
    CreateShowFrame(DesignWidth, DesignHeight);
  }
  SetDrawingViewport();
  return true;
}

unsigned long PresentedFrames() { return SwapCount; }
bool QuitRequested() { return QuitTaken || TerminateSignal() != 0; }

void QuitCheckpoint() {
  static std::chrono::steady_clock::time_point lastLook;
  const auto now = std::chrono::steady_clock::now();
  if (!QuitRequested() && SDL_WasInit(SDL_INIT_EVENTS) && now - lastLook >= std::chrono::milliseconds(20)) {
    lastLook = now;
    SDL_PumpEvents();
    SDL_Event events[16];
    if (SDL_PeepEvents(events, 1, SDL_GETEVENT, SDL_QUIT, SDL_QUIT) > 0) QuitTaken = true;
    const int windowEvents = SDL_PeepEvents(events, 16, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    for (int i = 0; i < windowEvents; ++i)
      if (events[i].window.event == SDL_WINDOWEVENT_CLOSE) QuitTaken = true;
  }
  if (QuitRequested()) throw QuitWhileLoading{};
}
void ClearQuitRequest() { QuitTaken = false; }
void SetFrameHook(FrameHook hook) { PresentHook = std::move(hook); }
void SetOverlayHook(OverlayHook hook) { DrawOverlay = std::move(hook); }

void CloseDisplay() {
  KeepLibrariesForLeakCheck();
  if (MainWindow.Handle) {
    CloseWindow(MainWindow, FullScreenRequested);
    ActiveWindow = MainWindow;
  }
  SDL_Quit();
}
