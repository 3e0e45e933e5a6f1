// The live frame in real pixels: which slots draw what, the bars, the overlay's guards, the layers.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "live/LiveLayers.h"
#include "live/LiveMeshLayers.h"
#include "live/LiveTestSupport.h"
#include "live/PDSServer.h"
#include "platform/GL.h"
#include "platform/Window.h"
#include "render/RenderState.h"
#include "render/ScrambledState.h"
#include "render/Texture.h"
#include "support/TestSupport.h"
#include "timeline/GentleFlashes.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// A closed box of side 2 * half around the origin, as the single mesh of a brush.
void MakeBoxBrush(TOrvBrush& brush, float half) {
  auto mesh = std::make_unique<TMeshDataNM>();
  for (int corner = 0; corner < 8; ++corner)
    mesh->AddVertex({corner & 1 ? half : -half, corner & 2 ? half : -half, corner & 4 ? half : -half},
                    {static_cast<float>(corner & 1), static_cast<float>((corner >> 1) & 1)});
  const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                            {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
  for (const auto& face : faces) mesh->Faces.push_back({face[0], face[1], face[2]});
  mesh->FaceCount = 12;
  mesh->Normals.resize(8);
  ComputeNormals(*mesh);
  brush.Meshes.clear();
  brush.Meshes.push_back(std::move(mesh));
  brush.MeshCount = 1;
}

TextureId SolidTexture(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> pixels(16 * 16 * 3);
  for (size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = r;
    pixels[i + 1] = g;
    pixels[i + 2] = b;
  }
  return CreateTexture(16, 16, GL_RGB, pixels.data());
}

struct Frame {
  std::vector<uint8_t> rgba;
  int Brightness(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * 800 + x) * 4;
    return rgba[i] + rgba[i + 1] + rgba[i + 2];
  }
  // Pixels in [x0, x1) x [y0, y1) brighter than a trace.
  int LitPixels(int x0, int y0, int x1, int y1) const {
    int lit = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) lit += Brightness(x, y) > 12;
    return lit;
  }
  bool BarsBlack() const { return LitPixels(0, 0, 800, 75) == 0 && LitPixels(0, 525, 800, 600) == 0; }
};

class LiveFrame : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    // The generated data set when there is one; the layers below get test assets either way.
    const auto here = std::filesystem::current_path();
    std::error_code error;
    std::filesystem::current_path(GeneratedDataPath(""), error);
    CreateLiveAssets();
    std::filesystem::current_path(here, error);
    const TextureId white = SolidTexture(255, 255, 255);
    LiveAssets.SwarmPicture = white;
    for (int i = 0; i < 4; ++i) LiveAssets.Textures[i] = SolidTexture(40 * i + 80, 200, 255 - 40 * i);
    MakeBoxBrush(LiveAssets.SwarmBrush, 40);
    MakeBoxBrush(LiveAssets.CrowdBrush, 3);
  }

  void SetUp() override {
    ShowTime = 0;
    FrameDelta = 0;
    ResetLiveBeat();
    LiveCamera.Random = 1.0f;
    // The clock-seeded choices follow ShowTime, so a frame can be drawn twice alike.
    SetShowTimeReseeding(true);
    SetFrameHook([this] { last.rgba = ReadFramePixels(); });
  }
  void TearDown() override {
    SetFrameHook({});
    SetShowTimeReseeding(false);
  }

  // Draws one live frame with these slots present and everything else absent.
  Frame Draw(const std::map<int, float>& slots) {
    ClearStreamValues(StreamValues);
    for (const auto& [slot, value] : slots) StreamValues[slot] = value;
    DrawLiveFrame();
    return last;
  }

  Frame last;
};
}  // namespace

TEST_F(LiveFrame, NoSlotsGiveABlackFrame) {
  const Frame frame = Draw({});
  EXPECT_EQ(frame.LitPixels(0, 0, 800, 600), 0);
}

TEST_F(LiveFrame, FlashLightsTheScreenBetweenTheBars) {
  const Frame flash = Draw({{0, 1.0f}});
  EXPECT_GT(flash.Brightness(400, 300), 700);
  EXPECT_GT(flash.Brightness(10, 76), 700);
  EXPECT_TRUE(flash.BarsBlack());
  for (float off : {0.0f, -0.5f}) EXPECT_EQ(Draw({{0, off}}).LitPixels(0, 0, 800, 600), 0) << off;
}

TEST_F(LiveFrame, GentleFlashIsHalfAsStrongAndNoMoreThanThreeInASecond) {
  GentleMode = true;
  // A strobe of ten packets a second on the live clock: flash, dark, flash, ...
  std::vector<int> peaks;
  for (int packet = 0; packet < 20; ++packet) {
    LivePacketSeconds = 100.0 + packet * 0.05;
    const Frame frame = Draw({{0, packet % 2 ? 0.0f : 1.0f}});
    if (packet % 2 == 0) peaks.push_back(frame.Brightness(400, 300));
    EXPECT_TRUE(frame.BarsBlack());
  }
  GentleMode = false;
  // Half opacity: 128 of 255 in each channel for the three flashes the first second allows.
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(peaks[i], 3 * 128, 6) << "flash " << i;
  // The fourth to the ninth fall in the same 1.2 s: only a soft step of 0.04 (10 of 255).
  for (size_t i = 3; i < peaks.size(); ++i) EXPECT_LE(peaks[i], 3 * 11) << "flash " << i;
}

TEST_F(LiveFrame, OnlyTheRingShowsOverTheClearedScreen) {
  const Frame ring = Draw({{9, 1.0f}});
  EXPECT_GT(ring.LitPixels(0, 75, 800, 525), 2000);
  EXPECT_TRUE(ring.BarsBlack());
  // The value itself is not used.
  const Frame other = Draw({{9, -40.0f}});
  EXPECT_EQ(ring.rgba, other.rgba);
}

TEST_F(LiveFrame, SlotThreeValueHasNoEffect) {
  const Frame a = Draw({{3, 0.0f}, {9, 1.0f}});
  const Frame b = Draw({{3, 7.5f}, {9, 1.0f}});
  EXPECT_GT(a.LitPixels(0, 75, 800, 525), 1000);
  EXPECT_EQ(a.rgba, b.rgba);
}

TEST_F(LiveFrame, OverlayPictureRoundsHalvesToEvenAndRefusesOtherNumbers) {
  EXPECT_EQ(OverlayPictureNumber(3.5f), 4);
  EXPECT_EQ(OverlayPictureNumber(2.5f), 2);
  EXPECT_EQ(OverlayPictureNumber(-0.4f), 0);
  EXPECT_EQ(OverlayPictureNumber(4.5f), 4);
  for (float bad : {-0.6f, 4.51f, 5.0f, 1e30f, -1e30f, INFINITY, -INFINITY, NAN})
    EXPECT_EQ(OverlayPictureNumber(bad), -1) << bad;

  // Picture 1 at half opacity in the box right of x = 325, nothing left of it.
  const Frame picture = Draw({{6, 1.2f}, {7, 0.5f}});
  EXPECT_GT(picture.Brightness(560, 300), 150);
  EXPECT_EQ(picture.LitPixels(0, 75, 320, 525), 0);
  EXPECT_TRUE(picture.BarsBlack());
  // No picture for numbers outside the table, nor for an absent opacity.
  EXPECT_EQ(Draw({{6, 7.0f}, {7, 1.0f}}).LitPixels(0, 0, 800, 600), 0);
  EXPECT_EQ(Draw({{6, -3.0f}, {7, 1.0f}}).LitPixels(0, 0, 800, 600), 0);
  EXPECT_EQ(Draw({{6, 1.0f}}).LitPixels(0, 0, 800, 600), 0);
}

TEST_F(LiveFrame, FeedbackPictureShowsFullScreenThroughPictureFour) {
  // Slot 10 feeds picture 2 into live texture 4; 3.5 rounds to 4, which shows it whole.
  const Frame feedback = Draw({{10, 0.5f}, {6, 3.5f}});
  EXPECT_GT(feedback.LitPixels(0, 75, 800, 525), 20000);
  EXPECT_TRUE(feedback.BarsBlack());
}

TEST_F(LiveFrame, BackgroundPicturesStayWithinOneToSix) {
  EXPECT_EQ(PickBackgroundPicture(0.0f), 1);
  EXPECT_EQ(PickBackgroundPicture(0.1f), 1);   // 0.5 goes to even 0
  EXPECT_EQ(PickBackgroundPicture(0.3f), 3);   // 1.5 goes to 2
  EXPECT_EQ(PickBackgroundPicture(0.5f), 3);   // 2.5 goes to 2
  EXPECT_EQ(PickBackgroundPicture(0.9f), 5);   // 4.5 goes to 4
  EXPECT_EQ(PickBackgroundPicture(0.99999994f), 6);
  EXPECT_EQ(PickBackgroundPicture(1.0f), 6);

  // At the crests of the waves the layer picks new pictures from the clock-seeded generator.
  std::set<int> seen;
  for (int beat = 0; beat < 120; ++beat) {
    ShowTime = (0.25f + static_cast<float>(beat)) * 60.0f / (4.0f * LiveBpm) + 0.0137f * (beat % 7);
    if (LiveWave(2) <= 0.92f && LiveWave(4) <= 0.92f) continue;
    DrawBackgroundLayer();
    ASSERT_GE(LiveBackground.PictureA, 1);
    ASSERT_LE(LiveBackground.PictureA, 6);
    ASSERT_GE(LiveBackground.PictureB, 1);
    ASSERT_LE(LiveBackground.PictureB, 6);
    seen.insert(LiveBackground.PictureA);
    seen.insert(LiveBackground.PictureB);
  }
  EXPECT_GE(seen.size(), 3u);
}

TEST_F(LiveFrame, BeatTriggersOncePerBeatOfFrameTime) {
  FrameDelta = 0.1f;
  int triggers = 0;
  for (int frame = 0; frame < 100; ++frame) {
    ShowTime += FrameDelta;
    AdvanceLiveBeat();
    if (LiveBeat.Flag) ++triggers;
    LiveBeat.Flag = false;
  }
  // Ten seconds at 157 beats a minute.
  EXPECT_EQ(triggers, 26);
  EXPECT_GE(LiveBeat.Timer, 0.0f);
  EXPECT_LE(LiveBeat.Timer, 60.0f / LiveBpm);
}

TEST_F(LiveFrame, BeatAdvancesOncePerTimerTickHoweverManyLiveFramesDrawInIt) {
  // Ten seconds of the live mode: a timer tick every 0.5 s, and between ticks 30 packets, each a
  // live frame whose two beat layers (slots 2 and 3) both call AdvanceLiveBeat.
  int triggers = 0;
  for (int tick = 1; tick <= 20; ++tick) {
    ShowTime = 0.5f * static_cast<float>(tick);
    FrameDelta = 0.5f;
    for (int frame = 0; frame < 30; ++frame) {
      for (int layer = 0; layer < 2; ++layer) {
        AdvanceLiveBeat();
        if (LiveBeat.Flag) ++triggers;
        LiveBeat.Flag = false;
      }
    }
    // Once per tick: the timer holds at most one beat's worth.
    ASSERT_GE(LiveBeat.Timer, 0.0f);
    ASSERT_LE(LiveBeat.Timer, 60.0f / LiveBpm);
  }
  // A tick (0.5 s) is longer than a beat (0.38 s): every tick triggers, once.
  EXPECT_EQ(triggers, 20);
}

TEST_F(LiveFrame, WarpGridRestsOnTheScreenAndMovesWithTheWave) {
  WarpGrid grid = LiveAssets.BackgroundGrid;
  ResetWarpGrid(grid);
  EXPECT_EQ(grid.s(0, 0), 0.0f);
  EXPECT_EQ(grid.s(39, 5), 1.0f);
  EXPECT_EQ(grid.t(5, 39), 1.0f);
  // A NaN or negative wave gives the background warp amplitude 0: the pictures stay undistorted.
  BindTexture(LiveAssets.SwarmPicture);
  WarpPass(grid, 0.0f, 1.44f, 13.0f);
  EXPECT_FLOAT_EQ(grid.s(20, 7), 20.0f / 39.0f);
  WarpPass(grid, 1.0f, 0.0f, 3.0f);
  EXPECT_NE(grid.s(20, 7), 20.0f / 39.0f);
  // The pass leaves lighting and the depth test on and the perspective projection behind.
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(LiveFrame, EveryLayerTogetherKeepsTheBarsAndLeavesUsableState) {
  ShowTime = 3.3f;
  FrameDelta = 0.5f;
  std::map<int, float> all;
  for (int slot = 0; slot <= 10; ++slot) all[slot] = 0.5f;
  all[6] = 0.0f;
  const Frame frame = Draw(all);
  EXPECT_TRUE(frame.BarsBlack());
  EXPECT_GT(frame.LitPixels(0, 75, 800, 525), 1000);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Each layer starts from the state the scenes start from: after a frame that left every state
// it could scrambled, each layer on its own draws the same bytes as after the scenes' start.
TEST_F(LiveFrame, EachLayerDrawsTheSameWhateverStateItFinds) {
  ShowTime = 3.3f;
  const std::pair<const char*, std::map<int, float>> layers[] = {
      {"feedback through picture 4", {{10, 0.5f}, {6, 4.0f}}},
      {"warped background", {{1, 0.7f}}},
      {"swarm trail", {{2, 0.5f}}},
      {"ring and crowd", {{3, 1.0f}}},
      {"warp copies", {{4, 0.5f}}},
      {"rings and pillars", {{5, 1.0f}}},
      {"swarm", {{8, 0.5f}}},
      {"ring", {{9, 1.0f}}},
      {"flash and overlay picture", {{0, 0.3f}, {6, 1.0f}, {7, 0.5f}}}};
  for (const auto& [what, slots] : layers) {
    SCOPED_TRACE(what);
    StartSceneState();
    const Frame clean = Draw(slots);
    ASSERT_GT(clean.LitPixels(0, 75, 800, 525), 1000);
    ScrambleDrawingState();
    EXPECT_TRUE(Draw(slots).rgba == clean.rgba);
  }
}

TEST_F(LiveFrame, PacketInOneWriteAndByteByByteDrawTheSameFrame) {
  TPDSServerObject server(0, false);
  // The first tick is due 500 ms after start whatever the interval: it must not move the clock.
  server.DrawTimerFrame = [] {
    ShowTime = 1.7f;
    FrameDelta = 0;
  };
  server.TimerInterval = std::chrono::hours(1);
  ShowTime = 1.7f;
  const auto bytes = PacketBytes({0.2f, 0.8f, NAN, NAN, NAN, NAN, 0.0f, 0.6f, NAN, 1.0f});
  LoopbackClient client(server.Port());
  client.Send(bytes);
  ASSERT_TRUE(StepUntil(server, [&] { return server.PacketsHandled == 1; }));
  const Frame whole = last;
  for (size_t i = 0; i < bytes.size(); ++i) {
    client.Send({bytes[i]});
    server.Step(1);
    if (i + 1 < bytes.size()) {
      ASSERT_EQ(server.PacketsHandled, 1) << "frame after byte " << i;
    }
  }
  ASSERT_TRUE(StepUntil(server, [&] { return server.PacketsHandled == 2; }));
  EXPECT_GT(whole.LitPixels(0, 75, 800, 525), 2000);
  EXPECT_EQ(whole.rgba, last.rgba);

  // A count of 0 draws a frame with only the bars over the cleared screen.
  client.Send(PacketBytes({}));
  ASSERT_TRUE(StepUntil(server, [&] { return server.PacketsHandled == 3; }));
  EXPECT_EQ(server.Label1Caption(), "Reading 0 streams");
  EXPECT_EQ(last.LitPixels(0, 0, 800, 600), 0);
  // Out-of-range counts draw nothing.
  last.rgba.clear();
  client.Send(CountBytes(65));
  client.Send(CountBytes(-1));
  ASSERT_TRUE(StepUntil(server, [&] { return server.OutOfSyncCounts == 2; }));
  EXPECT_EQ(server.Label1Caption(), "Out of sync");
  EXPECT_TRUE(last.rgba.empty());
}

TEST_F(LiveFrame, NonFiniteAndHugeValuesInEverySlotDrawAndLeaveTheNextFrameAlone) {
  ShowTime = 2.2f;
  // Every layer at once, the overlay picture 1 at half opacity.
  std::map<int, float> normal;
  for (int slot = 0; slot <= 10; ++slot) normal[slot] = 0.5f;
  normal[6] = 1.0f;
  while (glGetError() != GL_NO_ERROR) {
  }
  const Frame reference = Draw(normal);
  ASSERT_GT(reference.LitPixels(0, 75, 800, 525), 1000);
  const float bad[] = {NAN, INFINITY, -INFINITY, 3e38f, -3e38f, 0.0f};
  // Each value in turn draws without a GL error; then the normal packet draws what it drew
  // before. (One normal frame per slot rather than per value keeps the test short; a value that
  // spoilt the state would have to be mended by the values after it to go unseen.)
  auto check = [&](int first, int last) {
    for (float value : bad) {
      std::map<int, float> slots = normal;
      for (int slot = first; slot <= last; ++slot) slots[slot] = value;
      Draw(slots);
      EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "slots " << first << " to " << last << " = " << value;
    }
    const Frame after = Draw(normal);
    EXPECT_EQ(after.rgba, reference.rgba) << "the normal frame after slots " << first << " to " << last;
  };
  for (int slot = 0; slot <= 10; ++slot) check(slot, slot);
  // The unused slots, all at once.
  check(11, MaxStreamCount - 1);
}

TEST_F(LiveFrame, OscPacketsDrawTheFramesOfTheSameTcpPackets) {
  TLiveServerSettings settings;
  settings.listenAddress = "127.0.0.1";
  settings.port = 0;
  settings.oscPort = 0;
  settings.openToolWindow = false;
  TPDSServerObject server(settings);
  // The first tick is due 500 ms after start whatever the interval: it must not move the clock.
  server.DrawTimerFrame = [] {
    ShowTime = 4.1f;
    FrameDelta = 0;
  };
  server.TimerInterval = std::chrono::hours(1);
  ShowTime = 4.1f;
  LoopbackClient client(server.Port());
  const std::vector<std::vector<float>> packets = {
      {0.3f, 0.8f, NAN, NAN, 0.6f, NAN, 2.0f, 0.7f, NAN, 1.0f},
      {NAN, NAN, 0.4f, NAN, NAN, 1.0f, NAN, NAN, 0.2f, NAN, 0.3f},
  };
  long drawn = 0;
  for (const auto& values : packets) {
    client.Send(PacketBytes(values));
    ASSERT_TRUE(StepUntil(server, [&] { return server.PacketsHandled + server.OscFrames == drawn + 1; }));
    const Frame overTcp = last;
    ASSERT_TRUE(SendDatagram(server.OscPort(), OscMessageBytes("/vantrel/packet", std::string(values.size(), 'f').c_str(), values)));
    ASSERT_TRUE(StepUntil(server, [&] { return server.PacketsHandled + server.OscFrames == drawn + 2; }));
    drawn += 2;
    EXPECT_GT(overTcp.LitPixels(0, 75, 800, 525), 1000);
    EXPECT_EQ(last.rgba, overTcp.rgba);
  }
}

TEST_F(LiveFrame, AWindowClosedDuringAFloodEndsTheLoopWithinAFrame) {
  SetFrameHook({});
  for (bool toolWindow : {true, false}) {
    auto server = std::make_unique<TPDSServerObject>(0, true);
    server->DrawTimerFrame = [] {};
    ASSERT_TRUE(server->ToolWindow.IsOpen());
    LoopbackClient client(server->Port());
    // Ten seconds of empty packets as fast as they go, from another thread.
    std::atomic<bool> stop{false};
    std::thread flood([&] {
      const auto bytes = PacketBytes({});
      std::vector<uint8_t> burst;
      for (int i = 0; i < 256; ++i) burst.insert(burst.end(), bytes.begin(), bytes.end());
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!stop && std::chrono::steady_clock::now() < end && client.Send(burst)) {
      }
    });
    const unsigned windowId = toolWindow ? server->ToolWindow.WindowId()
                                         : SDL_GetWindowID(static_cast<SDL_Window*>(MainWindow.Handle));
    std::atomic<int64_t> closedAt{0};
    std::thread closer([&] {
      std::this_thread::sleep_for(std::chrono::seconds(2));
      SDL_Event close{};
      close.type = SDL_WINDOWEVENT;
      close.window.event = SDL_WINDOWEVENT_CLOSE;
      close.window.windowID = windowId;
      closedAt = std::chrono::steady_clock::now().time_since_epoch().count();
      SDL_PushEvent(&close);
    });
    server->Run();
    const auto ended = std::chrono::steady_clock::now().time_since_epoch().count();
    closer.join();
    const long frames = server->PacketsHandled;
    EXPECT_TRUE(server->Closed());
    // Closing the server's side ends the flood's blocked send.
    stop = true;
    server.reset();
    flood.join();
    const double ms = static_cast<double>(ended - closedAt.load()) / 1e6;
    std::printf("[ figures  ] %s window closed during a flood: the loop ended %.1f ms later, after %ld frames\n",
                toolWindow ? "tool" : "GL", ms, frames);
    EXPECT_GT(frames, 0);
    ClearQuitRequest();
  }
}
