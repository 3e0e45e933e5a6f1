// The live mode: tool window, TCP stream server on port 1024 and the 500 ms show-frame timer.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "live/StreamPackets.h"
#include "platform/Timer.h"
#include "platform/ToolWindow.h"

// The server form: listens from construction, serves every client on the main thread, and
// ticks its own timer into ShowTime and FrameDelta every TimerInterval.
class TPDSServerObject {
 public:
  // Port 0 asks for an ephemeral port (tests); a port that cannot be bound shows a message and
  // leaves the object running without a server. The tool window is optional (tests without one).
  explicit TPDSServerObject(uint16_t port = 1024, bool openToolWindow = true);
  ~TPDSServerObject();
  TPDSServerObject(const TPDSServerObject&) = delete;
  TPDSServerObject& operator=(const TPDSServerObject&) = delete;

  bool Listening() const { return listener_ >= 0; }
  // The port actually bound (the ephemeral one when 0 was asked), 0 when not listening.
  uint16_t Port() const { return port_; }
  // One turn of the message loop: waits at most maxWaitMs for a socket, then serves connects,
  // packets and disconnects, the timer and the windows' events.
  void Step(int maxWaitMs);
  // Turns until Closed.
  void Run();
  // True once the tool window or the GL window was closed.
  bool Closed() const { return closed_; }
  int ClientCount() const { return static_cast<int>(clients_.size()); }

  // The two captions: connection state ("Offline"/"ONLINE") and the last packet's verdict.
  const std::string& OfflineCaption() const { return offline_; }
  const std::string& Label1Caption() const { return label1_; }

  // What a whole packet draws after StreamValues were refilled (DrawLiveFrame by default), and
  // what the timer draws after ShowTime and FrameDelta were set (the show's frame, which the
  // application supplies; nothing until it does).
  std::function<void()> DrawPacketFrame;
  std::function<void()> DrawTimerFrame;
  std::chrono::milliseconds TimerInterval{500};

  TToolWindow ToolWindow;
  TETimer LiveTimer;
  long PacketsHandled = 0;
  long OutOfSyncCounts = 0;
  long TimerFrames = 0;

 private:
  struct Client {
    int socket = -1;
    TStreamAssembler assembler;
    bool ended = false;
  };
  void Listen(uint16_t port);
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
};
