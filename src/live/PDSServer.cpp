// The live mode's message loop: poll()ed non-blocking sockets, the tool window and the timer.
#include "live/PDSServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "live/LiveAssets.h"
#include "live/LiveBeat.h"
#include "live/LiveFrame.h"
#include "live/LocalSockets.h"
#include "live/SetRecording.h"
#include "platform/Messages.h"
#include "platform/Terminate.h"
#include "platform/Window.h"
#include "timeline/ShowClock.h"

namespace {
// Room for every place to be asked for at once (a stage network coming back after a drop).
constexpr int ListenBacklog = 64;
// At most this many clients at once: a new one beyond it takes the place of the one heard from
// longest ago, rather than starving the ones being served.
constexpr size_t MaxClients = 64;
// A client's share of one turn: a fast sender cannot keep the others (or the timer) waiting.
constexpr int PacketsPerTurn = 8;
// How long one turn may sleep in poll(): the windows' events are taken between turns.
constexpr int EventLatencyMs = 10;
// OSC events waiting to be drawn; beyond this the datagrams wait in the system's queue.
constexpr size_t OscBacklog = 256;
// TCP keepalive: a peer that vanished (a laptop asleep, a dropped link) is found within about
// a minute even when the idle limit is set longer.
constexpr int KeepaliveIdleSeconds = 30;
constexpr int KeepaliveIntervalSeconds = 10;
constexpr int KeepaliveProbes = 3;
// The third caption changes at most this often, so that a flood does not redraw the window.
constexpr auto StatusInterval = std::chrono::milliseconds(250);

TLiveServerSettings PortOnly(uint16_t port, bool openToolWindow) {
  TLiveServerSettings settings;
  settings.port = port;
  settings.openToolWindow = openToolWindow;
  return settings;
}
}  // namespace

TPDSServerObject::TPDSServerObject(uint16_t port, bool openToolWindow)
    : TPDSServerObject(PortOnly(port, openToolWindow)) {}

TPDSServerObject::TPDSServerObject(const TLiveServerSettings& settings) : settings_(settings) {
  DrawPacketFrame = [] { DrawLiveFrame(); };
  const bool listening = settings.listeners.midi || settings.listeners.sound || settings.link;
  // With MIDI, sound or Link the window grows two lines: the last message, the tempos (Link's
  // with its peers and phase) and the sources.
  // The keys the live mode takes come last.
  if (settings.openToolWindow &&
      ToolWindow.Open("PDSServerObject", 1414, 422, listening ? 300 : 220, listening ? 156 : 108)) {
    ToolWindow.SetCaption1(offline_);
    ToolWindow.SetCaption2(label1_);
    ToolWindow.SetCaption3(StatusCaption());
    if (listening)
      ToolWindow.SetCaption6(LiveKeysCaption);
    else
      ToolWindow.SetCaption4(LiveKeysCaption);
    ToolWindow.Refresh();
  }
  Listen(settings.listenAddress, settings.port);
  if (settings.oscPort >= 0) OpenOsc(settings.listenAddress, settings.oscPort);
  if (settings.listeners.midi || settings.listeners.sound)
    Listeners = std::make_unique<TLiveListeners>(settings.listeners);
  if (settings.link) Link = std::make_unique<TLiveLink>(settings.linkSettings);
  if (!settings.recordPath.empty()) {
    record_ = std::fopen(settings.recordPath.c_str(), "w");
    if (!record_)
      ShowMessage("Error", "Cannot write the set to " + settings.recordPath + " (" + std::strerror(errno) +
                               "): the live mode goes on without recording it.");
    else
      std::fputs("# vantrel -pds --record: seconds since the live mode started, then the values of slots 0, 1, ...\n",
                 record_);
  }
  LiveTimer.Reset();
  ClearStreamValues(StreamValues);
  nextTimer_ = std::chrono::steady_clock::now() + TimerInterval;
}

TPDSServerObject::~TPDSServerObject() {
  if (record_) std::fclose(record_);
  for (auto& client : clients_) close(client->socket);
  if (listener_ >= 0) close(listener_);
}

void TPDSServerObject::Listen(const std::string& listenAddress, uint16_t port) {
  int failure = 0;
  std::string error;
  int fd = BindLocalSocket(listenAddress, port, SOCK_STREAM, [](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  }, failure, error);
  if (fd >= 0 && listen(fd, ListenBacklog) != 0) {
    failure = errno;
    error = std::strerror(failure);
    close(fd);
    fd = -1;
  }
  if (fd < 0) {
    const std::string number = std::to_string(port);
    if (failure == EADDRINUSE)
      ShowMessage("Error", "Port " + number +
                               " is already in use by another program: the live mode runs without "
                               "its stream server and draws only the show's timer frames.");
    else if (failure == 0)
      ShowMessage("Error", "The stream server cannot listen on \"" + listenAddress + "\" (" + error +
                               "): the live mode draws only the show's timer frames.");
    else
      ShowMessage("Error", "The stream server cannot listen on port " + number + " (" + error +
                               "): the live mode draws only the show's timer frames.");
    return;
  }
  listener_ = fd;
  port_ = BoundPort(fd);
}

void TPDSServerObject::OpenOsc(const std::string& address, int port) {
  std::string error;
  if (port > 65535 || !Osc.Open(address, static_cast<uint16_t>(port), error))
    ShowMessage("Error", "The OSC input cannot listen on UDP port " + std::to_string(port) + " (" +
                             error + "): the live mode goes on without OSC.");
}

void TPDSServerObject::Run() {
  while (!closed_) Step(EventLatencyMs);
}

bool TPDSServerObject::CloseSeen() {
  if (!closed_ && (ToolWindow.PumpEvents() || QuitRequested())) closed_ = true;
  if (!closed_ && ViewerKeys && ViewerKeys()) closed_ = true;
  return closed_;
}

void TPDSServerObject::Step(int maxWaitMs) {
  if (CloseSeen()) return;
  SteerBeat();

  const auto now = std::chrono::steady_clock::now();
  int timeout = std::max(0, maxWaitMs);
  const auto untilTimer =
      std::chrono::duration_cast<std::chrono::milliseconds>(nextTimer_ - now).count() + 1;
  timeout = static_cast<int>(std::clamp<long long>(untilTimer, 0, timeout));
  for (const auto& client : clients_)
    if (client->assembler.HasEvent() || client->ended) timeout = 0;
  if (!oscEvents_.empty()) timeout = 0;
  const std::vector<int> ears = Listeners ? Listeners->Descriptors() : std::vector<int>{};

  std::vector<pollfd> fds;
  fds.reserve(clients_.size() + 2);
  if (listener_ >= 0) fds.push_back({listener_, POLLIN, 0});
  const size_t oscIndex = fds.size();
  if (Osc.IsOpen()) fds.push_back({Osc.Socket(), POLLIN, 0});
  for (const auto& client : clients_) fds.push_back({client->socket, POLLIN, 0});
  for (int fd : ears) fds.push_back({fd, POLLIN, 0});
  if (!fds.empty())
    poll(fds.data(), fds.size(), timeout);
  else if (timeout > 0)
    poll(nullptr, 0, timeout);

  if (listener_ >= 0 && (fds[0].revents & POLLIN)) AcceptClients();
  if (Osc.IsOpen() && (fds[oscIndex].revents & POLLIN) && oscEvents_.size() < OscBacklog)
    Osc.Receive(oscEvents_, static_cast<int>(OscBacklog));

  // Served in turn; a client may be removed while its share is handled, so walk by index.
  for (size_t i = 0; i < clients_.size() && !closed_;) {
    Client& client = *clients_[i];
    ServeClient(client);
    if (client.ended && !client.assembler.HasEvent()) {
      CloseClient(i, CloseReason::Left);
    } else if (!EnforceLimits(i, std::chrono::steady_clock::now())) {
      ++i;
    }
    // With many busy clients a turn draws many packets; the show's timer frames come between
    // clients' shares so that they keep their pace.
    if (!closed_ && std::chrono::steady_clock::now() >= nextTimer_) RunTimer();
  }

  if (!closed_) ServeOsc();
  if (!closed_) ServeListeners();
  if (!closed_) ServeLink();
  if (!closed_ && std::chrono::steady_clock::now() >= nextTimer_) RunTimer();
  if (QuitRequested()) closed_ = true;
  UpdateStatus(false);
  ToolWindow.Refresh();
}

void TPDSServerObject::AcceptClients() {
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (clients_.size() >= std::min(settings_.maxClients, MaxClients)) EvictLongestSilent();
    // Keepalive finds a peer that vanished without a word; the idle limit closes it anyway.
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &yes, sizeof yes);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &KeepaliveIdleSeconds, sizeof KeepaliveIdleSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &KeepaliveIntervalSeconds, sizeof KeepaliveIntervalSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &KeepaliveProbes, sizeof KeepaliveProbes);
    auto client = std::make_unique<Client>();
    client->socket = fd;
    client->lastHeard = Clock::now();
    clients_.push_back(std::move(client));
    SetOffline("ONLINE");
  }
}

void TPDSServerObject::ServeClient(Client& client) {
  if (!client.ended) {
    size_t room = 0;
    uint8_t* target = client.assembler.Reserve(room);
    if (room > 0) {
      const ssize_t received = recv(client.socket, target, room, 0);
      if (received > 0) {
        client.assembler.Commit(static_cast<size_t>(received));
        client.lastHeard = Clock::now();
      } else if (received == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        client.ended = true;
        client.failed = received < 0;
      }
    }
  }
  // Out-of-sync counts draw nothing and cost little; only whole packets use up the share.
  int packets = 0;
  StreamEvent event;
  while (packets < PacketsPerTurn && !closed_ && client.assembler.Next(event)) {
    HandleEvent(event);
    if (event.kind == StreamEvent::Kind::Packet) ++packets;
  }
  // Whatever is left without a whole event is part of a packet: the clock of the half-packet
  // limit runs from when that part began to arrive.
  const bool partial = client.assembler.Buffered() > 0 && !client.assembler.HasEvent();
  if (partial && !client.holdingPartial) client.partialSince = client.lastHeard;
  client.holdingPartial = partial;
}

void TPDSServerObject::HandleEvent(const StreamEvent& event) {
  if (event.kind == StreamEvent::Kind::OutOfSync) {
    ++OutOfSyncCounts;
    SetLabel1("Out of sync");
    return;
  }
  SetLabel1("Reading " + std::to_string(event.count) + " streams");
  ToolWindow.Refresh();
  StreamValues = event.values;
  ++PacketsHandled;
  ++Sources.tcp;
  RecordValues();
  LivePacketSeconds = LiveTimer.Now();
  if (DrawPacketFrame) DrawPacketFrame();
  NotePacketDrawn();
  CloseSeen();
}

void TPDSServerObject::RunTimer() {
  ShowTime = LiveTimer.Tick();
  FrameDelta = LiveTimer.Delta;
  ++TimerFrames;
  if (DrawTimerFrame) DrawTimerFrame();
  CloseSeen();
  nextTimer_ += TimerInterval;
  // After a long stall the timer fires once and starts counting again, like a window timer.
  const auto now = std::chrono::steady_clock::now();
  if (nextTimer_ <= now) nextTimer_ = now + TimerInterval;
}

void TPDSServerObject::SetOffline(const std::string& text) {
  offline_ = text;
  ToolWindow.SetCaption1(text);
}

void TPDSServerObject::SetLabel1(const std::string& text) {
  label1_ = text;
  ToolWindow.SetCaption2(text);
}

bool TPDSServerObject::EnforceLimits(size_t index, Clock::time_point now) {
  const Client& client = *clients_[index];
  if (client.holdingPartial && now - client.partialSince > settings_.halfPacketLimit) {
    CloseClient(index, CloseReason::HalfPacket);
    return true;
  }
  if (!client.assembler.HasEvent() && now - client.lastHeard > settings_.idleLimit) {
    CloseClient(index, CloseReason::Idle);
    return true;
  }
  return false;
}

void TPDSServerObject::CloseClient(size_t index, CloseReason reason) {
  Client& client = *clients_[index];
  switch (reason) {
    case CloseReason::Left: ++(client.failed ? Closes.failed : Closes.left); break;
    case CloseReason::HalfPacket: ++Closes.halfPacket; break;
    case CloseReason::Idle: ++Closes.idle; break;
    case CloseReason::Evicted: ++Closes.evicted; break;
  }
  // Whole packets still buffered, and a packet not finished, go with the client.
  StreamEvent event;
  while (client.assembler.Next(event))
    if (event.kind == StreamEvent::Kind::Packet) ++Closes.packetsLost;
  if (client.assembler.Buffered() > 0) ++Closes.packetsLost;
  close(client.socket);
  clients_.erase(clients_.begin() + static_cast<long>(index));
  if (clients_.empty()) SetOffline("Offline");
}

void TPDSServerObject::EvictLongestSilent() {
  if (clients_.empty()) return;
  size_t silent = 0;
  for (size_t i = 1; i < clients_.size(); ++i)
    if (clients_[i]->lastHeard < clients_[silent]->lastHeard) silent = i;
  CloseClient(silent, CloseReason::Evicted);
}

void TPDSServerObject::ServeOsc() {
  // The same share per turn as a TCP client, so OSC and the clients take turns.
  for (int drawn = 0; drawn < PacketsPerTurn && !oscEvents_.empty() && !closed_; ++drawn) {
    const OscEvent event = oscEvents_.front();
    oscEvents_.pop_front();
    if (event.kind == OscEvent::Kind::Tempo) {
      // A tempo draws no frame: the beat takes it from the next turn on.
      if (TempoMessages++ == 0 && !Link)
        std::fprintf(stderr, "vantrel: an OSC tempo came, but there is no Link session to set it in (--link)\n");
      if (Link) Link->SetTempo(event.value);
      SetLabel1("OSC tempo " + std::to_string(static_cast<int>(std::lround(event.value))) + " BPM");
      continue;
    }
    ApplyOscEvent(event, StreamValues);
    switch (event.kind) {
      case OscEvent::Kind::Packet: SetLabel1("Reading " + std::to_string(event.count) + " streams"); break;
      case OscEvent::Kind::SetSlot: SetLabel1("OSC slot " + std::to_string(event.slot)); break;
      case OscEvent::Kind::ClearSlot: SetLabel1("OSC slot " + std::to_string(event.slot) + " off"); break;
      case OscEvent::Kind::ClearAll: SetLabel1("OSC clear"); break;
      case OscEvent::Kind::Tempo: break;
    }
    ToolWindow.Refresh();
    ++OscFrames;
    ++Sources.osc;
    RecordValues();
    if (DrawPacketFrame) DrawPacketFrame();
    NotePacketDrawn();
    CloseSeen();
  }
}

void TPDSServerObject::ServeListeners() {
  if (!Listeners) return;
  midiWrites_.clear();
  soundWrites_.clear();
  std::vector<std::string> notices;
  Listeners->Serve(std::chrono::duration<double>(Clock::now().time_since_epoch()).count(), midiWrites_,
                   soundWrites_, notices);
  for (const std::string& notice : notices) {
    std::fprintf(stderr, "vantrel: %s\n", notice.c_str());
    SetLabel1(notice);
  }
  if (midiWrites_.empty() && soundWrites_.empty()) return;
  // Everything that arrived in this turn draws one frame: a fader sends dozens of messages a
  // second and the sound an energy every 23 ms, more than frames can keep up with. But a slot
  // switched on and off again within the turn (a pad hit, a kick's flash) gets a frame of its
  // own first, so that no hit goes unseen however slow the frames are.
  std::array<bool, MaxStreamCount> written{};
  bool fromMidi = false, fromSound = false;
  auto drawFrame = [&] {
    if (fromMidi) ++Sources.midi;
    if (fromSound) ++Sources.sound;
    RecordValues();
    LivePacketSeconds = LiveTimer.Now();
    if (DrawPacketFrame) DrawPacketFrame();
    NotePacketDrawn();
    CloseSeen();
    written = {};
    fromMidi = fromSound = false;
  };
  auto apply = [&](const SlotWrite& write, bool midi) {
    const auto slot = static_cast<size_t>(write.slot);
    const bool switches = std::isnan(StreamValues[slot]) != std::isnan(write.value);
    if (written[slot] && switches) drawFrame();
    StreamValues[slot] = write.value;
    written[slot] = true;
    (midi ? fromMidi : fromSound) = true;
  };
  for (const SlotWrite& write : midiWrites_) apply(write, true);
  for (const SlotWrite& write : soundWrites_) apply(write, false);
  if (!closed_) drawFrame();
}

void TPDSServerObject::ServeLink() {
  if (!Link) return;
  std::vector<std::string> notices;
  Link->Report(notices);
  for (const std::string& notice : notices) {
    std::fprintf(stderr, "vantrel: %s\n", notice.c_str());
    SetLabel1(notice);
  }
}

void TPDSServerObject::SteerBeat() {
  // The beat every frame of this turn is drawn with, from the one source ChooseBeatSource picks.
  const double now = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
  double midiBeats = 0, soundBeats = 0;
  BeatCandidates candidates;
  if (Listeners) {
    candidates.midiClock = Listeners->MidiClockBeat(now, midiBeats);
    candidates.sound = Listeners->SoundBeat(now, soundBeats);
  }
  candidates.link = Link != nullptr;
  Beat = ChooseBeatSource(candidates);
  switch (Beat) {
    case BeatSource::MidiClock: FollowExternalBeat(midiBeats); break;
    case BeatSource::Link:
      Link->Update();
      FollowExternalBeat(Link->DrawnBeats());
      break;
    case BeatSource::Sound: FollowExternalBeat(soundBeats); break;
    case BeatSource::Own: ReleaseExternalBeat(); break;
  }
  // The peers and the tempo are shown even while a MIDI clock leads the beat.
  if (Link && Beat != BeatSource::Link) Link->Update();
}

void TPDSServerObject::RecordValues() {
  if (!record_) return;
  int count = MaxStreamCount;
  while (count > 0 && std::isnan(StreamValues[static_cast<size_t>(count - 1)])) --count;
  const std::string line = FormatRecordedPacket(LiveTimer.Now(), StreamValues.data(), count);
  // A recorded set keeps whole lines, even when a terminate request's deadline passes.
  const TerminateDeadlineHold wholeLine;
  std::fputs(line.c_str(), record_);
  std::fflush(record_);
}

std::string TPDSServerObject::SourcesCaption() const {
  return "TCP " + std::to_string(Sources.tcp) + ", OSC " + std::to_string(Sources.osc) + ", MIDI " +
         std::to_string(Sources.midi) + ", sound " + std::to_string(Sources.sound);
}

void TPDSServerObject::ReadWaitingOsc() {
  while (Osc.Receive(oscEvents_, static_cast<int>(OscBacklog)) > 0) {
  }
}

void TPDSServerObject::NotePacketDrawn() {
  lastPacket_ = Clock::now();
  anyPacket_ = true;
  recentPackets_.push_back(lastPacket_);
  while (lastPacket_ - recentPackets_.front() > std::chrono::seconds(1)) recentPackets_.pop_front();
}

int TPDSServerObject::PacketsLastSecond() const {
  const auto since = Clock::now() - std::chrono::seconds(1);
  int count = 0;
  for (auto it = recentPackets_.rbegin(); it != recentPackets_.rend() && *it >= since; ++it) ++count;
  return count;
}

std::string TPDSServerObject::StatusCaption() const {
  const int clients = ClientCount();
  std::string text = std::to_string(clients) + (clients == 1 ? " client, " : " clients, ") +
                     std::to_string(PacketsLastSecond()) + "/s, ";
  if (!anyPacket_) return text + "no packet yet";
  const double age = std::chrono::duration<double>(Clock::now() - lastPacket_).count();
  char last[32];
  std::snprintf(last, sizeof last, age < 100 ? "last %.1f s" : "last %.0f s", age);
  return text + last;
}

void TPDSServerObject::UpdateStatus(bool force) {
  const auto now = Clock::now();
  if (!force && now < nextStatus_) return;
  nextStatus_ = now + StatusInterval;
  ToolWindow.SetCaption3(StatusCaption());
  if (Listeners || Link) {
    std::string tempos = Listeners ? Listeners->Caption() : "";
    if (Link) tempos += (tempos.empty() ? "" : "; ") + Link->Caption();
    ToolWindow.SetCaption4(tempos);
    ToolWindow.SetCaption5(SourcesCaption() + "; beat: " + BeatSourceName(Beat));
  }
}
