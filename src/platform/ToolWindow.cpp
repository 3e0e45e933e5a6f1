// The live mode's tool window: an SDL window with a software renderer and SDL2_ttf captions.
#include "platform/ToolWindow.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/Window.h"

namespace {
// The button-face grey of a tool window and the positions of its labels.
constexpr SDL_Color Ground = {240, 240, 240, 255};
constexpr SDL_Color Ink = {0, 0, 0, 255};
constexpr int LabelLeft = 16;
constexpr int Label1Top = 8;
constexpr int Label2Top = 32;
constexpr int Label3Top = 56;
constexpr int Label4Top = 80;
constexpr int Label5Top = 104;
constexpr int Label6Top = 128;
constexpr int FontPixels = 11;

const char* const FontCandidates[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
};

// Events of the tool window are taken out of the queue as they arrive, so that the GL window's
// presentation never sees them (a size event of this window must not resize the GL viewport).
std::atomic<Uint32> FilteredWindowId{0};
std::atomic<bool> FilteredClose{false};
std::atomic<bool> FilteredExposed{false};
SDL_EventFilter ChainedFilter = nullptr;
void* ChainedData = nullptr;

int ToolWindowFilter(void* data, SDL_Event* event) {
  const Uint32 id = FilteredWindowId.load();
  if (id != 0 && event->type == SDL_WINDOWEVENT && event->window.windowID == id) {
    if (event->window.event == SDL_WINDOWEVENT_CLOSE) FilteredClose = true;
    if (event->window.event == SDL_WINDOWEVENT_EXPOSED || event->window.event == SDL_WINDOWEVENT_SHOWN)
      FilteredExposed = true;
    return 0;
  }
  (void)data;
  return ChainedFilter ? ChainedFilter(ChainedData, event) : 1;
}

void RestoreGLContext() {
  if (MainWindow.Handle && MainWindow.RenderContext)
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(MainWindow.Handle),
                       static_cast<SDL_GLContext>(MainWindow.RenderContext));
}

std::vector<Uint32> LastDrawing;
int LastWidth = 0;
int LastHeight = 0;
}  // namespace

TToolWindow::~TToolWindow() { Close(); }

bool TToolWindow::Open(const std::string& title, int left, int top, int width, int height) {
  Close();
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
    return false;
  SDL_Rect bounds{};
  if (SDL_GetDisplayUsableBounds(0, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
    left = std::max(bounds.x, std::min(left, bounds.x + bounds.w - width));
    top = std::max(bounds.y, std::min(top, bounds.y + bounds.h - height));
  }
  // A plain framebuffer window: the renderer must not create a GL context of its own.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_Window* window = SDL_CreateWindow(title.c_str(), left, top, width, height,
                                        SDL_WINDOW_UTILITY | SDL_WINDOW_SKIP_TASKBAR);
  if (!window) {
    RestoreGLContext();
    return false;
  }
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer) {
    SDL_DestroyWindow(window);
    RestoreGLContext();
    return false;
  }
  if (!TTF_WasInit()) TTF_Init();
  TTF_Font* font = nullptr;
  for (const char* path : FontCandidates)
    if ((font = TTF_OpenFont(path, FontPixels))) break;

  window_ = window;
  renderer_ = renderer;
  font_ = font;
  windowId_ = SDL_GetWindowID(window);
  if (FilteredWindowId.load() == 0) {
    SDL_GetEventFilter(&ChainedFilter, &ChainedData);
    SDL_SetEventFilter(ToolWindowFilter, nullptr);
  }
  FilteredClose = false;
  FilteredExposed = false;
  FilteredWindowId = windowId_;
  dirty_ = true;
  Refresh();
  return true;
}

void TToolWindow::SetCaption(std::string& caption, const std::string& text) {
  if (text != caption) dirty_ = true;
  caption = text;
}

void TToolWindow::SetCaption1(const std::string& text) { SetCaption(caption1_, text); }

void TToolWindow::SetCaption2(const std::string& text) { SetCaption(caption2_, text); }

void TToolWindow::SetCaption3(const std::string& text) { SetCaption(caption3_, text); }

void TToolWindow::SetCaption4(const std::string& text) { SetCaption(caption4_, text); }

void TToolWindow::SetCaption5(const std::string& text) { SetCaption(caption5_, text); }

void TToolWindow::SetCaption6(const std::string& text) { SetCaption(caption6_, text); }

void TToolWindow::Refresh() {
  if (!window_) return;
  if (FilteredExposed.exchange(false)) dirty_ = true;
  if (!dirty_) return;
  Draw();
  dirty_ = false;
}

void TToolWindow::Draw() {
  auto* renderer = static_cast<SDL_Renderer*>(renderer_);
  SDL_SetRenderDrawColor(renderer, Ground.r, Ground.g, Ground.b, Ground.a);
  SDL_RenderClear(renderer);
  auto drawText = [&](const std::string& text, int top) {
    if (!font_ || text.empty()) return;
    SDL_Surface* surface = TTF_RenderUTF8_Blended(static_cast<TTF_Font*>(font_), text.c_str(), Ink);
    if (!surface) return;
    if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface)) {
      const SDL_Rect target = {LabelLeft, top, surface->w, surface->h};
      SDL_RenderCopy(renderer, texture, nullptr, &target);
      SDL_DestroyTexture(texture);
    }
    SDL_FreeSurface(surface);
  };
  drawText(caption1_, Label1Top);
  drawText(caption2_, Label2Top);
  drawText(caption3_, Label3Top);
  drawText(caption4_, Label4Top);
  drawText(caption5_, Label5Top);
  drawText(caption6_, Label6Top);

  SDL_GetRendererOutputSize(renderer, &LastWidth, &LastHeight);
  LastDrawing.assign(static_cast<size_t>(LastWidth) * LastHeight, 0);
  SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, LastDrawing.data(),
                       LastWidth * 4);
  SDL_RenderPresent(renderer);
  ++redraws_;
  RestoreGLContext();
}

int TToolWindow::InkPixels(int x, int y, int w, int h) const {
  int count = 0;
  for (int row = std::max(0, y); row < std::min(LastHeight, y + h); ++row)
    for (int column = std::max(0, x); column < std::min(LastWidth, x + w); ++column) {
      const Uint32 pixel = LastDrawing[static_cast<size_t>(row) * LastWidth + column];
      const int green = (pixel >> 8) & 0xFF;
      if (green < 128) ++count;
    }
  return count;
}

bool TToolWindow::PumpEvents() {
  // The whole queue is taken here so that PresentFrame, which swaps only when no event is
  // pending, finds it empty and shows every live frame.
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) FilteredClose = true;
    if (event.type != SDL_WINDOWEVENT) continue;
    if (event.window.event == SDL_WINDOWEVENT_CLOSE) FilteredClose = true;
    if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
      ResizeViewport(event.window.data1, event.window.data2);
  }
  return CloseRequested();
}

bool TToolWindow::CloseRequested() const { return FilteredClose.load(); }

void TToolWindow::Close() {
  if (!window_) return;
  FilteredWindowId = 0;
  SDL_SetEventFilter(ChainedFilter, ChainedData);
  ChainedFilter = nullptr;
  ChainedData = nullptr;
  if (font_) TTF_CloseFont(static_cast<TTF_Font*>(font_));
  SDL_DestroyRenderer(static_cast<SDL_Renderer*>(renderer_));
  SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  font_ = renderer_ = window_ = nullptr;
  windowId_ = 0;
  RestoreGLContext();
}
