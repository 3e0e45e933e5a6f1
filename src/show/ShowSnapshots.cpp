// The show's snapshots: taken whole, kept by frame, extended by advancing without drawing.
#include "show/ShowSnapshots.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#include "platform/Window.h"
#include "scenes/Scenes.h"
#include "show/Schedule.h"
#include "show/Seeking.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
constexpr int DesignRate = 60;
// Seconds of show time between two kept snapshots.
constexpr long SnapshotSpacingSeconds = 2;

// What each cast of the scene table carries (its save and restore), with the clock and the seed.
struct ShowSnapshot {
  BeatClockState clock;
  uint32_t seed = 0;
  std::vector<SceneState> scenes;  // one per entry of CarryingScenes()
  float showTime = 0, frameDelta = 0, framesPerSecond = 0;
};

// One entry of the table for each cast that carries something (the first with its save).
const std::vector<const ShowScene*>& CarryingScenes() {
  static const std::vector<const ShowScene*> scenes = [] {
    std::vector<const ShowScene*> found;
    for (const auto save : DistinctSceneSteps(&ShowScene::save))
      for (const ShowScene& scene : ShowScenes())
        if (scene.save == save) {
          found.push_back(&scene);
          break;
        }
    return found;
  }();
  return scenes;
}

std::unique_ptr<ShowSnapshot> TakeSnapshot() {
  auto snapshot = std::make_unique<ShowSnapshot>();
  snapshot->clock = SaveBeatClock();
  snapshot->seed = RandomSeed;
  for (const ShowScene* scene : CarryingScenes()) snapshot->scenes.push_back(scene->save());
  snapshot->showTime = ShowTime;
  snapshot->frameDelta = FrameDelta;
  snapshot->framesPerSecond = FramesPerSecond;
  return snapshot;
}

void PutBack(const ShowSnapshot& snapshot) {
  RestoreBeatClock(snapshot.clock);
  RandomSeed = snapshot.seed;
  const std::vector<const ShowScene*>& scenes = CarryingScenes();
  for (size_t i = 0; i < scenes.size(); ++i) scenes[i]->restore(snapshot.scenes.at(i));
  ShowTime = snapshot.showTime;
  FrameDelta = snapshot.frameDelta;
  FramesPerSecond = snapshot.framesPerSecond;
}

// Snapshots of one frame rate: frame -> the state before that frame. The snapshots on the
// spacing grid are kept from frame 0 without a gap up to `covered`; `building` is the state
// before frame `covered` + the frames ExtendShowSnapshots advanced past it.
struct SnapshotShelf {
  int framesPerSecond = 0;
  std::map<long, std::unique_ptr<ShowSnapshot>> kept;
  long covered = 0;
  std::unique_ptr<ShowSnapshot> building;
  long buildingFrame = 0;
};
SnapshotShelf Shelf;

long LastShowFrame(int framesPerSecond) { return static_cast<long>(ShowLength * framesPerSecond) + 1; }
long Spacing(int framesPerSecond) { return SnapshotSpacingSeconds * framesPerSecond; }

// The shelf for framesPerSecond with at least the reset show at frame 0.
void PrepareShelf(int framesPerSecond) {
  if (Shelf.framesPerSecond != framesPerSecond) {
    Shelf = SnapshotShelf{};
    Shelf.framesPerSecond = framesPerSecond;
  }
  if (Shelf.kept.empty()) {
    ResetCarriedState();
    Shelf.kept.emplace(0, TakeSnapshot());
  }
}

// Advances the show from frame `from` (its state already in place) to frame `to`, keeping the
// snapshots on the spacing grid it passes. With checkQuit (a late start, a jump) a quit or
// terminate request ends the work, as anywhere between frames.
void AdvanceFrames(long from, long to, int framesPerSecond, bool checkQuit) {
  for (long step = from; step < to; ++step) {
    if (checkQuit && step % framesPerSecond == 0) QuitCheckpoint();
    ShowTime = static_cast<float>(static_cast<double>(step) / framesPerSecond);
    FrameDelta = 1.0f / framesPerSecond;
    FramesPerSecond = static_cast<float>(framesPerSecond);
    AdvanceShowFrame();
    const long next = step + 1;
    if (next % Spacing(framesPerSecond) == 0) Shelf.kept.try_emplace(next, TakeSnapshot());
  }
  while (Shelf.kept.count(Shelf.covered + Spacing(framesPerSecond))) Shelf.covered += Spacing(framesPerSecond);
}

// Reseeding from the show's time for as long as it lives, so that every snapshot is the same
// whatever the wall clock says.
struct ShowTimeReseeding {
  ShowTimeReseeding() { SetShowTimeReseeding(true); }
  ~ShowTimeReseeding() { SetShowTimeReseeding(previous); }
  bool previous = ShowTimeReseedingEnabled();
};
}  // namespace

void RestoreShowFrameState(long frame, int framesPerSecond) {
  ShowTimeReseeding reseeding;
  PrepareShelf(framesPerSecond);
  frame = std::max(0L, std::min(frame, LastShowFrame(framesPerSecond)));
  const auto nearest = std::prev(Shelf.kept.upper_bound(frame));
  PutBack(*nearest->second);
  AdvanceFrames(nearest->first, frame, framesPerSecond, true);
}

bool ExtendShowSnapshots(long frames) {
  const long last = LastShowFrame(DesignRate);
  if (Shelf.framesPerSecond == DesignRate && Shelf.covered + Spacing(DesignRate) > last) return false;
  const std::unique_ptr<ShowSnapshot> current = TakeSnapshot();
  {
    ShowTimeReseeding reseeding;
    PrepareShelf(DesignRate);
    if (!Shelf.building || Shelf.buildingFrame < Shelf.covered) {
      Shelf.buildingFrame = Shelf.covered;
      PutBack(*Shelf.kept.at(Shelf.covered));
    } else {
      PutBack(*Shelf.building);
    }
    const long to = std::min(Shelf.buildingFrame + frames, last);
    AdvanceFrames(Shelf.buildingFrame, to, DesignRate, false);
    Shelf.buildingFrame = to;
    Shelf.building = TakeSnapshot();
  }
  PutBack(*current);
  return true;
}

void ForgetShowSnapshots() { Shelf = SnapshotShelf{}; }
