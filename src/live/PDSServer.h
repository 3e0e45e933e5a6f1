// The live mode: tool window, TCP stream server on port 1024, OSC input and the 500 ms show-frame timer.
#pragma once
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "live/BeatSource.h"
#include "live/LiveLink.h"
#include "live/LiveListeners.h"
#include "live/OscInput.h"
#include "live/StreamPackets.h"
#include "platform/Timer.h"
#include "platform/ToolWindow.h"

// The tool window's last line: the keys the live mode takes.
inline constexpr const char* LiveKeysCaption = "Keys: f full screen, s save, q quit";

// Where the server listens and how long a client may hold a place without sending.
struct TLiveServerSettings {
  std::string listenAddress;  // numeric address or host name; empty: every interface
  uint16_t port = 1024;       // 0: an ephemeral port (tests)
  int oscPort = -1;           // UDP port for OSC on the same address; -1: none, 0: ephemeral
  bool openToolWindow = true;
  // A client holding part of a packet this long, or silent this long, is closed.
  std::chrono::milliseconds halfPacketLimit{10000};
  std::chrono::milliseconds idleLimit{60000};
  // Places for clients; a newcomer to a full server takes the longest-silent client's place.
  size_t maxClients = 64;
  // MIDI and the sound in the room, mixed with the packets into the same slots.
  TListenerSettings listeners;
  // Every slot change of every source, with its time, as a set --replay renders; empty: none.
  std::string recordPath;
  // A Link session to join (--link), its quantum, the picture's lead and its lines.
  bool link = false;
  LiveLinkSettings linkSettings;
};

// Frames drawn because each source set slots; the last writer of a slot wins.
struct TLiveSourceCounts {
  long tcp = 0;
  long osc = 0;
  long midi = 0;
  long sound = 0;
};

// Why clients were closed, and the packets that went with them.
struct TLiveCloseCounts {
  long left = 0;        // the client closed the connection
  long failed = 0;      // the connection broke (reset, keepalive gave up)
  long halfPacket = 0;  // held part of a packet too long
  long idle = 0;        // silent too long
  long evicted = 0;     // made room for a newcomer to a full server
  long packetsLost = 0; // whole packets not yet drawn and partial packets thrown away at a close
};

// The server form: listens from construction, serves every client on the main thread, and
// ticks its own timer into ShowTime and FrameDelta every TimerInterval.
class TPDSServerObject {
 public:
  // Port 0 asks for an ephemeral port (tests); a port that cannot be bound shows a message and
  // leaves the object running without a server. The tool window is optional (tests without one).
  explicit TPDSServerObject(uint16_t port = 1024, bool openToolWindow = true);
  explicit TPDSServerObject(const TLiveServerSettings& settings);
  ~TPDSServerObject();
  TPDSServerObject(const TPDSServerObject&) = delete;
  TPDSServerObject& operator=(const TPDSServerObject&) = delete;

  bool Listening() const { return listener_ >= 0; }
  // The port actually bound (the ephemeral one when 0 was asked), 0 when not listening.
  uint16_t Port() const { return port_; }
  // The OSC port actually bound, 0 when there is no OSC socket.
  uint16_t OscPort() const { return Osc.IsOpen() ? Osc.Port() : 0; }
  // One turn of the message loop: waits at most maxWaitMs for a socket, then serves connects,
  // packets and disconnects, the timer and the windows' events.
  void Step(int maxWaitMs);
  // Turns until Closed.
  void Run();
  // True once the tool window or the GL window was closed.
  bool Closed() const { return closed_; }
  // Takes the windows' pending events; true (and Closed from then on) once either was closed.
  // Called between any two frames, so that a flood cannot hold the program open.
  bool CloseSeen();
  int ClientCount() const { return static_cast<int>(clients_.size()); }

  // The two captions: connection state ("Offline"/"ONLINE") and the last packet's verdict.
  const std::string& OfflineCaption() const { return offline_; }
  const std::string& Label1Caption() const { return label1_; }
  // The third line: connected clients, frames drawn from packets in the last second, age of
  // the last packet ("3 clients, 25/s, last 0.2 s").
  std::string StatusCaption() const;
  // Frames drawn from TCP packets and OSC messages in the last second.
  int PacketsLastSecond() const;
  // OSC events received but not drawn yet.
  size_t OscPending() const { return oscEvents_.size(); }
  // Reads every datagram still queued by the system into the waiting events without drawing
  // them, so that the counts at the close account for every message that arrived.
  void ReadWaitingOsc();

  // What a whole packet draws after StreamValues were refilled (DrawLiveFrame by default), and
  // what the timer draws after ShowTime and FrameDelta were set (the show's frame, which the
  // application supplies; nothing until it does).
  std::function<void()> DrawPacketFrame;
  std::function<void()> DrawTimerFrame;
  // Called once a step after the events are taken: the viewer's keys (full screen, screenshot,
  // quit), which the application supplies; true ends the session like closing a window.
  std::function<bool()> ViewerKeys;
  std::chrono::milliseconds TimerInterval{500};

  TToolWindow ToolWindow;
  TETimer LiveTimer;
  long PacketsHandled = 0;  // TCP packets drawn
  long OutOfSyncCounts = 0;
  long TimerFrames = 0;
  long OscFrames = 0;       // OSC messages drawn
  TLiveCloseCounts Closes;
  TOscInput Osc;
  TLiveSourceCounts Sources;
  // MIDI and sound, when the settings ask for either; null otherwise.
  std::unique_ptr<TLiveListeners> Listeners;
  // The Link session, when the settings ask for it; null otherwise.
  std::unique_ptr<TLiveLink> Link;
  // The source the beat followed in the last turn (see ChooseBeatSource).
  BeatSource Beat = BeatSource::Own;
  long TempoMessages = 0;  // OSC tempos taken (committed to the Link session when there is one)
  // "TCP 12, OSC 3, MIDI 240, sound 55": frames drawn from each source.
  std::string SourcesCaption() const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Client {
    int socket = -1;
    TStreamAssembler assembler;
    bool ended = false;
    bool failed = false;               // ended by an error rather than the client's close
    Clock::time_point lastHeard;       // connect or the last bytes received
    Clock::time_point partialSince;    // when the part of a packet now held began to arrive
    bool holdingPartial = false;
  };
  enum class CloseReason { Left, HalfPacket, Idle, Evicted };
  void Listen(const std::string& address, uint16_t port);
  void OpenOsc(const std::string& address, int port);
  // Applies a limit to a client after it was served; true when it was closed.
  bool EnforceLimits(size_t index, Clock::time_point now);
  void CloseClient(size_t index, CloseReason reason);
  // Makes room for one more client by closing the one that has been silent longest.
  void EvictLongestSilent();
  void ServeOsc();
  void ServeListeners();
  void ServeLink();
  // Sets the live beat for the frames of this turn from the source the rule picks.
  void SteerBeat();
  // Appends the slot values now drawn to the recorded set.
  void RecordValues();
  void NotePacketDrawn();
  void UpdateStatus(bool force);
  void AcceptClients();
  // Receives what fits, then handles at most a turn's share of whole events.
  void ServeClient(Client& client);
  void HandleEvent(const StreamEvent& event);
  void RunTimer();
  void SetOffline(const std::string& text);
  void SetLabel1(const std::string& text);

  int listener_ = -1;
  uint16_t port_ = 0;
  bool closed_ = false;
  std::string offline_ = "Offline";
  std::string label1_ = "Reading 0 streams";
  std::vector<std::unique_ptr<Client>> clients_;
  std::chrono::steady_clock::time_point nextTimer_;
  TLiveServerSettings settings_;
  std::deque<OscEvent> oscEvents_;
  std::deque<Clock::time_point> recentPackets_;  // frames drawn from packets in the last second
  Clock::time_point lastPacket_{};
  bool anyPacket_ = false;
  Clock::time_point nextStatus_{};
  FILE* record_ = nullptr;
  std::vector<SlotWrite> midiWrites_;
  std::vector<SlotWrite> soundWrites_;
};
